// The windows as the document sees them: the few things the document and its
// picture preloader ask of the main window and its two views. The user
// interface implements DocWindows and hands it to the document; the document
// never owns it. Every call comes from the user-interface thread except
// RepaintPicture and ReportDecodeFailure, which the preloader thread makes too.
#pragma once

#include <string>

namespace lorvex {

// Status bar panes the document writes.
constexpr int kPanePosition = 2;  // "%d/%d"
constexpr int kPaneName = 3;      // name of the current picture
constexpr int kPaneZoom = 4;      // "%3.2f%%"

class DocWindows {
  public:
    virtual ~DocWindows() = default;

    // Switches the main area to the thumbnail grid: hides the picture view,
    // shows the grid, makes it the active view and sets the workspace's
    // pictureShown to 0. Called only while the picture view is shown. The
    // two Show calls send no message: the document announces its own
    // switches with MSG_VIEW_SWITCHED before it calls them, as the views do
    // on their double-clicks.
    virtual void ShowThumbnailView() = 0;

    // Switches the main area to the picture view. The implementation first
    // asks the document for its current picture (CQuilletDoc::
    // ShowCurrentPicture), then hides the grid, shows the picture view and
    // sets the workspace's pictureShown to 1. Called only while the
    // thumbnails are shown.
    virtual void ShowPictureView() = 0;

    // Invalidates the thumbnail grid, but only while pictureShown is 0.
    virtual void RepaintThumbnails() = 0;

    // Invalidates the picture view. Any thread: the implementation only
    // queues an update of the widget on the user-interface thread.
    virtual void RepaintPicture() = 0;

    // Stops a running thumbnail loader and starts it again over the
    // document's current list (the grid's "start loading").
    virtual void StartThumbnailLoad() = 0;

    // Writes text into one pane of the main window's status bar (kPane*).
    virtual void SetStatusText(int pane, const std::string& text) = 0;

    // Sets the document title ("Filter MODE" or "Setting MODE"); the main
    // window shows it in its caption before the product name.
    virtual void SetTitle(const std::string& title) = 0;

    // A picture the preloader wanted to show could not be decoded; text is
    // the codec's error text. Called on the preloader thread: the
    // implementation shows the message box (caption "Lorvex", OK button) on
    // the user-interface thread, at most one at a time, and never blocks
    // the caller.
    virtual void ReportDecodeFailure(const std::string& text) = 0;
};

}  // namespace lorvex
