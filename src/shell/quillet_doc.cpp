// The document's browse state machine.
//
// SourceMode starts at 0 (no list) and is set by MSG_LIST_READY (the list
// that was just built or sorted becomes the active one) and by the side
// panel's "Dir"/"DB" pages once a list exists. Each mode keeps its own list
// and position in its owner (folder list, engine order) and its own
// remembered view, so a panel switch returns to the other list as it was
// left. Every switch of the visible view the document makes is announced
// with MSG_VIEW_SWITCHED, so the panes that follow the view stay in step.
//
// Picture requests name the current position and up to two neighbours in
// the direction of travel. A request is all or nothing: when any of its
// pictures cannot be named (a path beyond 259 characters, a position that
// maps to no entry), nothing is posted and the view keeps its picture.
#include "shell/quillet_doc.h"

#include <cstdio>
#include <cstring>

#include "browse/folder_list.h"
#include "engine/engine.h"
#include "shell/picture_decoder.h"

namespace lorvex {

namespace {

constexpr char kFilterTitle[] = "Filter MODE";
constexpr char kSettingTitle[] = "Setting MODE";
constexpr size_t kMaxFullPath = kMaxPath - 1;  // 259 characters

bool starts_with(const char* field, size_t field_size, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return n <= field_size && std::strncmp(field, prefix, n) == 0;
}

}  // namespace

CQuilletDoc::CQuilletDoc(MessageHub* hub, Workspace* workspace, DocWindows* windows,
                         PictureDecoder decoder)
    : hub_(hub), workspace_(workspace), windows_(windows) {
    if (workspace_ == nullptr) {
        own_workspace_ = std::make_unique<Workspace>(std::string());
        workspace_ = own_workspace_.get();
    }
    folder_list_ = std::make_unique<FolderList>(hub_);
    engine_ = std::make_unique<db_engine>(hub_);
    title_ = kFilterTitle;
    preloader_ = std::make_unique<PreloaderThread>(
        &cache_, &mailbox_, decoder ? std::move(decoder) : MakePictureDecoder(engine_.get()));
    preloader_->set_windows(windows_);
    (void)preloader_->start();  // without it no picture is decoded; the rest works
    if (windows_ != nullptr) windows_->SetTitle(title_);
    receiver_ = std::make_unique<ForwardingReceiver<CQuilletDoc>>(this, &CQuilletDoc::OnMessage);
    receiver_->only(MSG_LIST_READY, MSG_PANEL_PAGE, MSG_DB_OPEN, MSG_DB_CLOSE);
    if (hub_ != nullptr) (void)hub_->Register(receiver_.get());
}

CQuilletDoc::~CQuilletDoc() {
    if (hub_ != nullptr) (void)hub_->Unregister(receiver_.get());
    receiver_.reset();
    StopPreloader();
    preloader_.reset();
    engine_.reset();
    folder_list_.reset();
}

void CQuilletDoc::set_windows(DocWindows* windows) {
    windows_ = windows;
    if (preloader_) preloader_->set_windows(windows);
    if (windows_ != nullptr) windows_->SetTitle(title_);
}

void CQuilletDoc::StopPreloader() {
    if (preloader_) preloader_->stop();
}

// ---- browse state ----

int CQuilletDoc::ListCount() const {
    if (source_mode_ == kSourceFolder) return folder_list_->Count();
    if (source_mode_ == kSourceDatabase) return engine_->engine_order_count();
    return -1;
}

int CQuilletDoc::SortedCountOf() const {
    if (source_mode_ == kSourceFolder) return folder_list_->SortedCount();
    if (source_mode_ == kSourceDatabase) return engine_->engine_order_count();
    return -1;
}

int CQuilletDoc::CurrentPosition() const {
    if (source_mode_ == kSourceFolder) return folder_list_->Current();
    if (source_mode_ == kSourceDatabase) return engine_->engine_order_current();
    return -1;
}

int CQuilletDoc::LastPositionOf() const {
    const int sorted = SortedCountOf();
    return sorted > 0 ? sorted - 1 : 0;
}

int CQuilletDoc::SetCurrentPosition(int position) {
    if (position < 0) return -1;
    int result = -1;
    if (source_mode_ == kSourceFolder) {
        result = folder_list_->SetCurrent(position);
    } else if (source_mode_ == kSourceDatabase) {
        result = engine_->engine_order_set_current(position);
        int32_t slot = 0;
        int32_t item_id = 0;
        if (result == 0 && ItemAt(position, &slot, &item_id) == 0) {
            (void)engine_->engine_publish_item_info(slot, item_id);
        }
    }
    if (result == 0) UpdateStatus();
    return result;
}

int CQuilletDoc::MoveNext() {
    int result = -1;
    if (source_mode_ == kSourceFolder) {
        result = folder_list_->Next();
    } else if (source_mode_ == kSourceDatabase) {
        engine_->engine_order_next();
        result = 0;
    }
    if (result == 0) UpdateStatus();
    return result;
}

int CQuilletDoc::MovePrevious() {
    int result = -1;
    if (source_mode_ == kSourceFolder) {
        result = folder_list_->Previous();
    } else if (source_mode_ == kSourceDatabase) {
        engine_->engine_order_previous();
        result = 0;
    }
    if (result == 0) UpdateStatus();
    return result;
}

int CQuilletDoc::MoveFirst() {
    if (source_mode_ == kSourceFolder) {
        (void)folder_list_->First();
    } else if (source_mode_ == kSourceDatabase) {
        engine_->engine_order_first();
    } else {
        return -1;
    }
    UpdateStatus();
    return 0;
}

int CQuilletDoc::MoveLast() {
    if (source_mode_ == kSourceFolder) {
        (void)folder_list_->Last();
    } else if (source_mode_ == kSourceDatabase) {
        engine_->engine_order_last();
    } else {
        return -1;
    }
    UpdateStatus();
    return 0;
}

int CQuilletDoc::FolderPath(char* buffer, size_t size) const {
    if (source_mode_ != kSourceFolder || buffer == nullptr || size < kMaxPath) return -1;
    return folder_list_->FolderPath(buffer, size);
}

int CQuilletDoc::NameAt(int position, char* buffer, size_t size) const {
    if (source_mode_ != kSourceFolder || position < 0 || buffer == nullptr || size < kMaxPath) {
        return -1;
    }
    return folder_list_->NameAt(position, buffer, size);
}

int CQuilletDoc::CurrentName(char* buffer, size_t size) const {
    if (source_mode_ != kSourceFolder) return -1;
    return NameAt(CurrentPosition(), buffer, size);
}

int CQuilletDoc::FilePathAt(int position, std::string* path) const {
    if (source_mode_ != kSourceFolder || position < 0 || path == nullptr) return -1;
    char full[kMaxPath] = {};
    if (folder_list_->FullPathAt(position, full, sizeof(full)) != 0) return -1;
    full[kMaxPath - 1] = '\0';
    *path = full;
    return 0;
}

int CQuilletDoc::ItemAt(int position, int32_t* db_slot, int32_t* item_id) const {
    if (source_mode_ != kSourceDatabase || position < 0) return -1;
    order_triple triple;
    if (engine_->engine_order_at(position, &triple) != 0) return -1;
    if (db_slot != nullptr) *db_slot = triple.slot;
    if (item_id != nullptr) *item_id = triple.item_id;
    return 0;
}

int CQuilletDoc::SetKey(int32_t key) {
    if (source_mode_ == kSourceFolder) {
        folder_list_->SetKey(key);
        return 0;
    }
    if (source_mode_ == kSourceDatabase) {
        engine_->engine_set_sort_key(key);
        return 0;
    }
    return -1;
}

int CQuilletDoc::SetForward() {
    if (source_mode_ == kSourceFolder) {
        folder_list_->SetForward();
        return 0;
    }
    if (source_mode_ == kSourceDatabase) {
        engine_->engine_set_forward();
        return 0;
    }
    return -1;
}

int CQuilletDoc::SetReverse() {
    if (source_mode_ == kSourceFolder) {
        folder_list_->SetReverse();
        return 0;
    }
    if (source_mode_ == kSourceDatabase) {
        engine_->engine_set_reverse();
        return 0;
    }
    return -1;
}

int CQuilletDoc::SetStar(int position, int32_t stars) {
    int32_t slot = 0;
    int32_t item_id = 0;
    if (ItemAt(position, &slot, &item_id) != 0) return -1;
    star_hit_request request;
    request.set_star = 1;
    request.star = stars;
    return engine_->engine_set_star_hit(slot, item_id, request);
}

int CQuilletDoc::CountHit(int position, bool clear) {
    int32_t slot = 0;
    int32_t item_id = 0;
    if (ItemAt(position, &slot, &item_id) != 0) return -1;
    star_hit_request request;
    request.hit = 1;
    request.hit_operation = clear ? kHitReset : kHitAddOne;
    return engine_->engine_set_star_hit(slot, item_id, request);
}

int CQuilletDoc::AddToClass(int32_t db_slot, int32_t item_id, const char* name) {
    if (source_mode_ != kSourceDatabase) return -1;
    return engine_->engine_add_to_class(db_slot, item_id, name);
}

int CQuilletDoc::AddToAlbum(int32_t db_slot, int32_t item_id, const char* name) {
    if (source_mode_ != kSourceDatabase) return -1;
    return engine_->engine_add_to_album(db_slot, item_id, name);
}

int CQuilletDoc::RemoveClass(int32_t db_slot, const char* name) {
    if (source_mode_ != kSourceDatabase) return -1;
    return engine_->engine_remove_class(db_slot, name);
}

int CQuilletDoc::RemoveAlbum(int32_t db_slot, const char* name) {
    if (source_mode_ != kSourceDatabase) return -1;
    return engine_->engine_remove_album(db_slot, name);
}

// ---- pictures ----

bool CQuilletDoc::BuildRef(int position, PictureRef* ref) const {
    *ref = PictureRef{};
    if (source_mode_ == kSourceFolder) {
        std::string path;
        if (FilePathAt(position, &path) != 0 || path.size() > kMaxFullPath) return false;
        ref->valid = 1;
        ref->kind = kRefFile;
        std::memcpy(ref->path, path.data(), path.size());
        ref->path_length = static_cast<int32_t>(path.size());
        return true;
    }
    if (source_mode_ == kSourceDatabase) {
        int32_t slot = 0;
        int32_t item_id = 0;
        if (ItemAt(position, &slot, &item_id) != 0) return false;
        ref->valid = 1;
        ref->kind = kRefDatabase;
        ref->db_slot = slot;
        ref->item_id = item_id;
        return true;
    }
    return false;
}

void CQuilletDoc::RequestPicture(const int* neighbours, int neighbour_count) {
    PreloadRequest request;
    request.live = 1;
    if (!BuildRef(CurrentPosition(), &request.current)) return;
    for (int i = 0; i < neighbour_count && i < 2; ++i) {
        if (!BuildRef(neighbours[i], &request.neighbours[i])) return;
    }
    request.neighbour_count = neighbour_count;
    last_posted_ = request;
    ++requests_posted_;
    if (preloader_) (void)preloader_->post(&request);
}

void CQuilletDoc::ShowCurrentPicture() {
    RequestPicture(nullptr, 0);
}

void CQuilletDoc::ShowNext() {
    const int current = CurrentPosition();
    if (current < 0 || current + 1 >= SortedCountOf()) return;
    if (MoveNext() != 0) return;
    const int now = CurrentPosition();
    const int last = LastPositionOf();
    int neighbours[2];
    int count = 0;
    if (now + 1 <= last) neighbours[count++] = now + 1;
    if (now + 2 <= last) neighbours[count++] = now + 2;
    RequestPicture(neighbours, count);
}

void CQuilletDoc::ShowPrevious() {
    const int current = CurrentPosition();
    if (current <= 0) return;
    if (MovePrevious() != 0) return;
    const int now = CurrentPosition();
    int neighbours[2];
    int count = 0;
    if (now - 1 >= 0) neighbours[count++] = now - 1;
    if (now - 2 >= 0) neighbours[count++] = now - 2;
    RequestPicture(neighbours, count);
}

void CQuilletDoc::ShowFirst() {
    if (MoveFirst() != 0) return;
    ShowCurrentPicture();
    if (windows_ != nullptr) windows_->RepaintPicture();
}

void CQuilletDoc::ShowLast() {
    if (MoveLast() != 0) return;
    ShowCurrentPicture();
    if (windows_ != nullptr) windows_->RepaintPicture();
}

void CQuilletDoc::UpdateStatus() {
    if (windows_ == nullptr) return;
    char text[64];
    const int count = ListCount();
    const int current = CurrentPosition();
    std::snprintf(text, sizeof(text), "%d/%d", count < 0 ? 0 : current + 1, count < 0 ? 0 : count);
    windows_->SetStatusText(kPanePosition, text);

    char name[kMaxPath] = {};
    if (source_mode_ == kSourceFolder) {
        (void)CurrentName(name, sizeof(name));
    } else if (source_mode_ == kSourceDatabase) {
        int32_t slot = 0;
        int32_t item_id = 0;
        blob_bytes record;
        if (ItemAt(current, &slot, &item_id) == 0 &&
            engine_->engine_get_name(slot, item_id, &record) > 0) {
            std::memcpy(name, record.data(), std::min(record.size(), kMaxPath - 1));
        }
    }
    name[kMaxPath - 1] = '\0';
    windows_->SetStatusText(kPaneName, name);

    std::snprintf(text, sizeof(text), "%3.2f%%", static_cast<double>(zoom_) * 100.0);
    windows_->SetStatusText(kPaneZoom, text);
}

// ---- zoom ----

void CQuilletDoc::AfterZoomChange() {
    if (windows_ != nullptr) windows_->RepaintPicture();
    UpdateStatus();
}

void CQuilletDoc::ZoomIn() {
    if (!workspace_->pictureShown() || !(zoom_ < kZoomMax)) return;
    if (zoom_ == 0.5f) {
        zoom_ = 0.75f;
    } else if (zoom_ == 0.75f) {
        zoom_ = 1.0f;
    } else if (zoom_ == 1.0f) {
        zoom_ = 1.5f;
    } else if (zoom_ == 1.5f) {
        zoom_ = 2.0f;
    } else {
        zoom_ = zoom_ * 2.0f;
    }
    AfterZoomChange();
}

void CQuilletDoc::ZoomOut() {
    if (!workspace_->pictureShown() || !(zoom_ > kZoomMin)) return;
    if (zoom_ == 2.0f) {
        zoom_ = 1.5f;
    } else if (zoom_ == 1.5f) {
        zoom_ = 1.0f;
    } else if (zoom_ == 1.0f) {
        zoom_ = 0.75f;
    } else if (zoom_ == 0.75f) {
        zoom_ = 0.5f;
    } else {
        zoom_ = zoom_ / 2.0f;
    }
    AfterZoomChange();
}

void CQuilletDoc::FullSize() {
    if (!workspace_->pictureShown()) return;
    zoom_ = 1.0f;
    AfterZoomChange();
}

void CQuilletDoc::SetLastPictureSize(int32_t width, int32_t height) {
    last_width_ = width;
    last_height_ = height;
}

namespace {

// The fit ratios, in single precision. false when no picture was drawn yet
// or the client area is empty: a zoom of 0 could never be doubled back.
bool fit_ratios(const PictureRect& client, int32_t width, int32_t height, float* zw, float* zh) {
    if (width <= 0 || height <= 0 || client.width() <= 0 || client.height() <= 0) return false;
    *zw = static_cast<float>(client.width()) / static_cast<float>(width);
    *zh = static_cast<float>(client.height()) / static_cast<float>(height);
    return true;
}

}  // namespace

void CQuilletDoc::FitImage() {
    float zw = 0;
    float zh = 0;
    if (!workspace_->pictureShown() ||
        !fit_ratios(workspace_->picture_client_rect(), last_width_, last_height_, &zw, &zh)) {
        return;
    }
    zoom_ = zw < zh ? zw : zh;
    AfterZoomChange();
}

void CQuilletDoc::FitWidth() {
    float zw = 0;
    float zh = 0;
    if (!workspace_->pictureShown() ||
        !fit_ratios(workspace_->picture_client_rect(), last_width_, last_height_, &zw, &zh)) {
        return;
    }
    zoom_ = zw;
    AfterZoomChange();
}

void CQuilletDoc::FitHeight() {
    float zw = 0;
    float zh = 0;
    if (!workspace_->pictureShown() ||
        !fit_ratios(workspace_->picture_client_rect(), last_width_, last_height_, &zw, &zh)) {
        return;
    }
    zoom_ = zh;
    AfterZoomChange();
}

// ---- Filter/Setting mode ----

void CQuilletDoc::ToggleEditMode() {
    edit_mode_ = edit_mode_ != kEditFilter ? kEditFilter : kEditSetting;
    title_ = edit_mode_ == kEditFilter ? kFilterTitle : kSettingTitle;
    if (windows_ != nullptr) windows_->SetTitle(title_);
    EditModeNote note;
    note.mode = edit_mode_ == kEditFilter ? kModeFilter : kModeSetting;
    if (hub_ != nullptr) hub_->Send(MSG_EDIT_MODE, &note);
}

// ---- commands ----

bool CQuilletDoc::IsCommandEnabled(int id) const {
    const bool shown = workspace_->pictureShown();
    switch (id) {
        case kCmdByName:
        case kCmdBySize:
        case kCmdByType:
        case kCmdByDate:
        case kCmdByStar:
        case kCmdByHits:
        case kCmdForward:
        case kCmdReverse:
            return true;
        case kCmdPrevious:
            return shown && CurrentPosition() > 0;
        case kCmdNext: {
            const int current = CurrentPosition();
            return shown && current >= 0 && current + 1 < SortedCountOf();
        }
        case kCmdEditMode:
            return source_mode_ == kSourceDatabase && !shown;
        case kCmdZoomIn:
            return shown && zoom_ < kZoomMax;
        case kCmdZoomOut:
            return shown && zoom_ > kZoomMin;
        case kCmdFullSize:
        case kCmdFitImage:
        case kCmdFitWidth:
        case kCmdFitHeight:
            return shown;
        default:
            return false;  // kCmdLock and everything the document does not handle
    }
}

bool CQuilletDoc::IsCommandChecked(int id) const {
    return id == kCmdEditMode && edit_mode_ == kEditSetting;
}

bool CQuilletDoc::OnCommand(int id) {
    if (!IsCommandEnabled(id)) return false;
    switch (id) {
        case kCmdByName:
            (void)SetKey(SORT_NAME);
            break;
        case kCmdBySize:
            (void)SetKey(SORT_SIZE);
            break;
        case kCmdByType:
            (void)SetKey(SORT_TYPE);
            break;
        case kCmdByDate:
            (void)SetKey(SORT_DATE);
            break;
        case kCmdByStar:
            (void)SetKey(SORT_STAR);
            break;
        case kCmdByHits:
            (void)SetKey(SORT_HITS);
            break;
        case kCmdForward:
            (void)SetForward();
            break;
        case kCmdReverse:
            (void)SetReverse();
            break;
        case kCmdPrevious:
            ShowPrevious();
            break;
        case kCmdNext:
            ShowNext();
            break;
        case kCmdEditMode:
            ToggleEditMode();
            break;
        case kCmdZoomIn:
            ZoomIn();
            break;
        case kCmdZoomOut:
            ZoomOut();
            break;
        case kCmdFullSize:
            FullSize();
            break;
        case kCmdFitImage:
            FitImage();
            break;
        case kCmdFitWidth:
            FitWidth();
            break;
        case kCmdFitHeight:
            FitHeight();
            break;
        default:
            return false;
    }
    return true;
}

// ---- messages ----

void CQuilletDoc::OnMessage(uint32_t code, void* record) {
    switch (code) {
        case MSG_LIST_READY:
            OnListReady(static_cast<const ListReadyNote*>(record));
            break;
        case MSG_PANEL_PAGE:
            OnPanelPage(static_cast<const PanelPageNote*>(record));
            break;
        case MSG_DB_OPEN:
        case MSG_DB_CLOSE:
            // A database id may now name another file: its cached pictures
            // would show the wrong items.
            cache_.drop_database_pictures();
            break;
        default:
            break;
    }
}

void CQuilletDoc::ShowThumbnails() {
    if (windows_ == nullptr) return;
    ViewSwitchNote note;
    note.target = kTargetThumbnails;
    if (hub_ != nullptr) hub_->Send(MSG_VIEW_SWITCHED, &note);
    windows_->ShowThumbnailView();
}

void CQuilletDoc::ShowPicture() {
    if (windows_ == nullptr) return;
    ViewSwitchNote note;
    note.target = kTargetPicture;
    if (hub_ != nullptr) hub_->Send(MSG_VIEW_SWITCHED, &note);
    windows_->ShowPictureView();
}

void CQuilletDoc::OnListReady(const ListReadyNote* note) {
    if (note == nullptr || note->magic != kListReadyMagic) return;
    if (note->kind == kListFolder) {
        source_mode_ = kSourceFolder;
    } else if (note->kind == kListDatabase) {
        source_mode_ = kSourceDatabase;
    } else {
        return;
    }
    if (workspace_->pictureShown()) ShowThumbnails();
    if (windows_ != nullptr) windows_->StartThumbnailLoad();
    UpdateStatus();
}

void CQuilletDoc::OnPanelPage(const PanelPageNote* note) {
    if (note == nullptr || note->magic != kPanelPageMagic) return;
    int32_t mode = kSourceNone;
    if (starts_with(note->title, sizeof(note->title), "Dir")) {
        mode = kSourceFolder;
    } else if (starts_with(note->title, sizeof(note->title), "DB")) {
        mode = kSourceDatabase;
    } else {
        return;
    }
    if (mode == source_mode_ || source_mode_ == kSourceNone) return;

    const bool shown = workspace_->pictureShown();
    int32_t& left_view = source_mode_ == kSourceFolder ? folder_view_ : database_view_;
    left_view = shown ? kViewPicture : kViewThumbnails;
    source_mode_ = mode;
    workspace_->set_thumbnailsStale(true);

    const int32_t view = mode == kSourceFolder ? folder_view_ : database_view_;
    if (shown) {
        // Back to the grid of the new mode; a mode never seen before gets
        // its grid loaded too.
        ShowThumbnails();
        if (windows_ != nullptr) windows_->StartThumbnailLoad();
    } else if (view == kViewPicture) {
        ShowPicture();
    } else if (windows_ != nullptr) {
        windows_->RepaintThumbnails();
        windows_->StartThumbnailLoad();
    }
    UpdateStatus();
}

}  // namespace lorvex
