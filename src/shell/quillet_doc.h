// The document: the browse state over whichever list is active (the folder
// list in folder mode, the engine's database item order in database mode),
// the picture requests to the preloader, the status bar texts, the sort,
// navigation, Filter/Setting and zoom commands. It owns the folder list, the
// engine, the picture cache and the preloader; it does not own its hub,
// workspace or windows. User-interface thread only, except picture_cache(),
// which the picture view uses while the preloader fills it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "hub/message_hub.h"
#include "hub/messages.h"
#include "shell/doc_windows.h"
#include "shell/picture_cache.h"
#include "shell/preloader.h"
#include "shell/workspace.h"

namespace lorvex {

class FolderList;
class db_engine;

// Commands the document handles (command ids of the menus and toolbar).
constexpr int kCmdByName = 32771;
constexpr int kCmdByHits = 32772;
constexpr int kCmdBySize = 32773;
constexpr int kCmdByDate = 32774;
constexpr int kCmdByStar = 32775;
constexpr int kCmdByType = 32776;
constexpr int kCmdForward = 32777;
constexpr int kCmdReverse = 32778;
constexpr int kCmdPrevious = 32786;
constexpr int kCmdNext = 32787;
constexpr int kCmdZoomOut = 32788;  // "Less"
constexpr int kCmdZoomIn = 32789;   // "More"
constexpr int kCmdFullSize = 32790;
constexpr int kCmdFitImage = 32791;
constexpr int kCmdFitWidth = 32792;
constexpr int kCmdFitHeight = 32793;
constexpr int kCmdLock = 32794;      // no handler: always disabled
constexpr int kCmdEditMode = 32802;  // "S/F"

// SourceMode values.
constexpr int32_t kSourceNone = 0;
constexpr int32_t kSourceFolder = 1;
constexpr int32_t kSourceDatabase = 2;
// EditMode values.
constexpr int32_t kEditFilter = 1;
constexpr int32_t kEditSetting = 2;
// Remembered views of a mode.
constexpr int32_t kViewNone = 0;
constexpr int32_t kViewPicture = 1;
constexpr int32_t kViewThumbnails = 2;

constexpr float kZoomMin = 0.0625f;
constexpr float kZoomMax = 2.0f;

class CQuilletDoc {
  public:
    // hub and workspace must outlive the document; a null workspace gives
    // the document flags of its own. windows may be null and set later. decoder replaces the codec
    // for the preloader (tests); an empty one decodes files from disk and database items via the
    // engine. Builds the folder list and the engine (both register with hub), starts the preloader,
    // then registers the document's own receiver.
    CQuilletDoc(MessageHub* hub, Workspace* workspace, DocWindows* windows = nullptr,
                PictureDecoder decoder = {});
    // Unregisters, stops and joins the preloader, then destroys the engine
    // and the folder list.
    ~CQuilletDoc();
    CQuilletDoc(const CQuilletDoc&) = delete;
    CQuilletDoc& operator=(const CQuilletDoc&) = delete;

    // Installs the windows and gives them the current title. The preloader
    // must be stopped (StopPreloader) before the windows are destroyed.
    void set_windows(DocWindows* windows);
    // Stops and joins the preloader; no picture is decoded afterwards.
    void StopPreloader();

    FolderList* folder_list() { return folder_list_.get(); }
    db_engine* engine() { return engine_.get(); }
    PictureCache* picture_cache() { return &cache_; }

    // ---- browse state; -1 where an operation does not apply to the mode ----
    int32_t SourceMode() const { return source_mode_; }
    [[nodiscard]] int ListCount() const;
    [[nodiscard]] int SortedCountOf() const;
    [[nodiscard]] int CurrentPosition() const;
    // Sets the current position (database mode: announces the item with
    // MSG_ITEM_INFO), then UpdateStatus. -1 for a negative position or one
    // beyond the list.
    [[nodiscard]] int SetCurrentPosition(int position);
    // Moves within the active list, then UpdateStatus.
    [[nodiscard]] int MoveNext();
    [[nodiscard]] int MovePrevious();
    [[nodiscard]] int MoveFirst();
    [[nodiscard]] int MoveLast();
    // Folder mode only: copy 260-byte fields; size must be at least 260.
    [[nodiscard]] int FolderPath(char* buffer, size_t size) const;
    [[nodiscard]] int NameAt(int position, char* buffer, size_t size) const;
    [[nodiscard]] int CurrentName(char* buffer, size_t size) const;
    // Folder mode only: the full path of the file at position as it lies on
    // disk (folder, "/", the name as the file system gives it).
    [[nodiscard]] int FilePathAt(int position, std::string* path) const;
    // Database mode only: the database slot and item id at position.
    [[nodiscard]] int ItemAt(int position, int32_t* db_slot, int32_t* item_id) const;
    // Sort key (SORT_*) and direction of the active list; each re-sorts and
    // leads to a MSG_LIST_READY. -1 without a list.
    [[nodiscard]] int SetKey(int32_t key);
    [[nodiscard]] int SetForward();
    [[nodiscard]] int SetReverse();
    // Database mode only: the star rating of the item at position.
    [[nodiscard]] int SetStar(int position, int32_t stars);
    // Database mode only: one more view of the item at position, or its hit
    // frequency cleared.
    [[nodiscard]] int CountHit(int position, bool clear);
    // Database mode only: the engine's class and album edits, passed on
    // unchanged (their results are the engine's).
    [[nodiscard]] int AddToClass(int32_t db_slot, int32_t item_id, const char* name);
    [[nodiscard]] int AddToAlbum(int32_t db_slot, int32_t item_id, const char* name);
    [[nodiscard]] int RemoveClass(int32_t db_slot, const char* name);
    [[nodiscard]] int RemoveAlbum(int32_t db_slot, const char* name);

    // ---- pictures ----
    void ShowCurrentPicture();
    void ShowNext();
    void ShowPrevious();
    void ShowFirst();
    void ShowLast();
    void UpdateStatus();

    // ---- zoom (the picture view's scale) ----
    float zoom() const { return zoom_; }
    void ZoomIn();
    void ZoomOut();
    void FullSize();
    void FitImage();
    void FitWidth();
    void FitHeight();
    // The picture view reports the size of each picture it draws.
    void SetLastPictureSize(int32_t width, int32_t height);

    // ---- Filter/Setting mode ----
    int32_t EditMode() const { return edit_mode_; }
    void ToggleEditMode();
    const std::string& title() const { return title_; }

    // ---- command routing for the main window ----
    // Runs a command of the kCmd* list; false for a command the document
    // does not handle or one that is disabled now.
    bool OnCommand(int id);
    bool IsCommandEnabled(int id) const;
    bool IsCommandChecked(int id) const;

    // The remembered view of folder mode and of database mode (kView*).
    int32_t folder_view() const { return folder_view_; }
    int32_t database_view() const { return database_view_; }

    // The last request handed to the preloader and how many were handed
    // over so far (for inspection).
    const PreloadRequest& last_posted() const { return last_posted_; }
    int32_t requests_posted() const { return requests_posted_; }

    // Hub entry: MSG_LIST_READY, MSG_PANEL_PAGE, MSG_DB_OPEN, MSG_DB_CLOSE.
    void OnMessage(uint32_t code, void* record);

  private:
    void OnListReady(const ListReadyNote* note);
    void OnPanelPage(const PanelPageNote* note);
    // Builds the ref for position in the active mode. false when position
    // maps to nothing or its path does not fit.
    bool BuildRef(int position, PictureRef* ref) const;
    // Posts a request for the current position with the given neighbours.
    void RequestPicture(const int* neighbours, int neighbour_count);
    void AfterZoomChange();
    // Switch the visible view, announcing it with MSG_VIEW_SWITCHED first.
    void ShowThumbnails();
    void ShowPicture();
    int LastPositionOf() const;

    MessageHub* hub_;
    std::unique_ptr<Workspace> own_workspace_;  // only when none was given
    Workspace* workspace_;
    DocWindows* windows_ = nullptr;

    std::unique_ptr<FolderList> folder_list_;
    std::unique_ptr<db_engine> engine_;

    int32_t source_mode_ = kSourceNone;
    int32_t folder_view_ = kViewNone;
    int32_t database_view_ = kViewNone;
    float zoom_ = 1.0f;
    int32_t last_width_ = 0;  // 0 until a picture is drawn
    int32_t last_height_ = 0;
    int32_t edit_mode_ = kEditFilter;
    std::string title_;

    PreloadRequest last_posted_;
    int32_t requests_posted_ = 0;

    RequestMailbox mailbox_;
    PictureCache cache_;
    std::unique_ptr<PreloaderThread> preloader_;
    std::unique_ptr<ForwardingReceiver<CQuilletDoc>> receiver_;
};

}  // namespace lorvex
