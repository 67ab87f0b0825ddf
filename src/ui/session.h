// One running main window with everything behind it: the hub, the
// workspace, the document, the frame with its panes and the two views. The
// session is the windows side of the document (DocWindows), the host of both
// views and the command target of the document's and the application's
// commands. It owns all of these; destroying it stops the thumbnail loader
// and the preloader before any widget, the document or the hub goes.
// UI thread only, except RepaintPicture and ReportDecodeFailure.
#pragma once

#include <QPointer>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "hub/message_hub.h"
#include "hub/messages.h"
#include "shell/doc_windows.h"
#include "shell/quillet_doc.h"
#include "shell/workspace.h"
#include "ui/commands.h"
#include "ui/quilletview.h"
#include "ui/thumbview.h"

class QMenu;

namespace lorvex {

class CDirTreeCtrl;
class CMainFrame;
struct CacheSlot;

class AppSession final : public DocWindows,
                         public CommandTarget,
                         public CQuilletView::Host,
                         public CThumbView::Host {
  public:
    struct Options {
        std::string programDir;  // holds "_cfg" and the manual
        QString treeRoot;        // root of the folder tree (the home folder)
        QString vendorAddress;   // web address of the vendor's pages, no trailing "/"
        // Opens a document or web page with the desktop's default handler.
        std::function<void(const QUrl&)> openUrl;
        // Opens the configuration databases in programDir's "_cfg".
        bool openConfigDatabases = true;
    };

    explicit AppSession(Options options);
    ~AppSession() override;
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    // Stops the thumbnail loader and the preloader; nothing runs off the
    // UI thread afterwards. Safe to call twice.
    void stopWorkers();

    MessageHub* hub() { return &hub_; }
    Workspace* workspace() { return workspace_.get(); }
    CQuilletDoc* document() { return doc_.get(); }
    CMainFrame* frame() { return frame_; }
    CThumbView* thumbView() { return thumbView_; }
    CQuilletView* pictureView() { return pictureView_; }
    CDirTreeCtrl* dirTree() { return dirTree_; }
    // Child ids of the main area's panes, exchanged at every switch.
    int thumbPaneId() const { return thumbPaneId_; }
    int picturePaneId() const { return picturePaneId_; }

    // The grid's two popups: the item menu with a selection, the sort menu
    // without. The caller owns the menu.
    QMenu* buildContextMenu(bool hasSelection);

    // DocWindows
    void ShowThumbnailView() override;
    void ShowPictureView() override;
    void RepaintThumbnails() override;
    void RepaintPicture() override;
    void StartThumbnailLoad() override;
    void SetStatusText(int pane, const std::string& text) override;
    void SetTitle(const std::string& title) override;
    void ReportDecodeFailure(const std::string& text) override;

    // CommandTarget: the document's commands and the Help commands.
    bool handlesCommand(int id) const override;
    CommandState commandState(int id) const override;
    void runCommand(int id) override;

    // CQuilletView::Host
    const QImage* acquireCurrent() override;
    void releaseCurrent() override;
    float zoom() const override;
    void setLastPictureSize(int width, int height) override;
    void setPictureClientRect(int width, int height) override;
    void zoomIn() override;
    void zoomOut() override;
    void showNext() override;
    void showPrevious() override;
    void showFirst() override;
    void showLast() override;
    void returnToThumbnails() override;

    // CThumbView::Host
    bool takeSnapshot(ThumbSnapshot* snapshot) override;
    ThumbResult makeThumbnail(const ThumbSnapshot& snapshot, int position, QImage* thumbnail,
                              QPoint* offset) override;
    void itemBecameCurrent(int position) override;
    void countHit(int position) override;
    void openPictureView() override;
    void selectionChanged() override;
    void showContextMenu(const QPoint& globalPos, bool hasSelection) override;

  private:
    void scanFolder(const std::string& path);
    void sendViewSwitched(int32_t target);
    void showAbout();

    Options options_;
    MessageHub hub_;
    MessageHub* previousHub_;
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<CQuilletDoc> doc_;
    CMainFrame* frame_ = nullptr;  // owned; deleted in the destructor
    CThumbView* thumbView_ = nullptr;
    CQuilletView* pictureView_ = nullptr;
    CDirTreeCtrl* dirTree_ = nullptr;
    CacheSlot* drawnSlot_ = nullptr;
    int thumbPaneId_;
    int picturePaneId_;
    bool workersStopped_ = false;
    std::atomic<bool> failureBoxPending_{false};
};

}  // namespace lorvex
