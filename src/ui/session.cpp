#include "ui/session.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QMetaObject>
#include <QVBoxLayout>

#include "browse/folder_scan.h"
#include "shell/picture_cache.h"
#include "ui/mainfrm.h"
#include "ui/msgbox.h"
#include "ui/source_ui/dirtreectrl.h"
#include "ui/thumbsource.h"

namespace lorvex {
namespace {

// The framework's first and second pane ids of the main area.
constexpr int kFirstPaneId = 59648;
constexpr int kSecondPaneId = 59649;

constexpr int kDocumentCommands[] = {
    kCmdByName,   kCmdByHits,   kCmdBySize,   kCmdByDate,    kCmdByStar,  kCmdByType,
    kCmdForward,  kCmdReverse,  kCmdPrevious, kCmdNext,      kCmdZoomOut, kCmdZoomIn,
    kCmdFullSize, kCmdFitImage, kCmdFitWidth, kCmdFitHeight, kCmdLock,    kCmdEditMode,
};

bool isDocumentCommand(int id) {
    for (int command : kDocumentCommands) {
        if (command == id) return true;
    }
    return false;
}

bool isHelpCommand(int id) {
    return id == ID_HELP_CONTENTS || id == ID_HELP_UPDATE || id == ID_HELP_SUPPORT ||
           id == ID_APP_ABOUT;
}

// A page whose pane is built by later work: an empty widget under its tab.
QWidget* placeholderPage(const QString& title) {
    auto* page = new QWidget;
    page->setObjectName(title + QStringLiteral("Page"));
    return page;
}

}  // namespace

AppSession::AppSession(Options options)
    : options_(std::move(options)),
      previousHub_(app_hub()),
      thumbPaneId_(kFirstPaneId),
      picturePaneId_(kSecondPaneId) {
    set_app_hub(&hub_);
    workspace_ = std::make_unique<Workspace>(options_.programDir);
    if (options_.openConfigDatabases) workspace_->OpenConfigDatabases();
    doc_ = std::make_unique<CQuilletDoc>(&hub_, workspace_.get());

    frame_ = new CMainFrame;
    thumbView_ = new CThumbView(this, &hub_);
    pictureView_ = new CQuilletView(this);
    frame_->setViews(thumbView_, pictureView_);

    dirTree_ =
        new CDirTreeCtrl(options_.treeRoot, [this](const std::string& path) { scanFolder(path); });
    frame_->addSourcePage(QStringLiteral("Dir"), dirTree_);
    frame_->addSourcePage(QStringLiteral("DB"), placeholderPage(QStringLiteral("DB")));
    frame_->addFilterPage(QStringLiteral("Class"), placeholderPage(QStringLiteral("Class")));
    frame_->addFilterPage(QStringLiteral("Album"), placeholderPage(QStringLiteral("Album")));
    frame_->addFilterPage(QStringLiteral("Search"), placeholderPage(QStringLiteral("Search")));

    frame_->addCommandTarget(this);
    doc_->set_windows(this);
    frame_->refreshCommandStates();
}

AppSession::~AppSession() {
    stopWorkers();
    doc_->set_windows(nullptr);
    delete frame_;  // the views and panes go with it; the grid unregisters
    frame_ = nullptr;
    doc_.reset();
    if (options_.openConfigDatabases) workspace_->CloseConfigDatabases();
    workspace_.reset();
    set_app_hub(previousHub_);
}

void AppSession::stopWorkers() {
    if (workersStopped_) return;
    workersStopped_ = true;
    thumbView_->stopLoading();
    doc_->StopPreloader();
}

void AppSession::scanFolder(const std::string& path) {
    frame_->setStatusText(0, QString());
    ScanOutcome outcome = ScanFolder(path.c_str(), &hub_);
    const char* text = scan_outcome_text(outcome);
    if (text != nullptr && text[0] != '\0') frame_->setStatusText(0, QString::fromUtf8(text));
}

void AppSession::sendViewSwitched(int32_t target) {
    ViewSwitchNote note;
    note.target = target;
    hub_.Send(MSG_VIEW_SWITCHED, &note);
}

// ---- DocWindows ----

void AppSession::ShowThumbnailView() {
    if (!workspace_->pictureShown()) return;
    std::swap(thumbPaneId_, picturePaneId_);
    frame_->showView(thumbView_);
    thumbView_->viewport()->update();
    workspace_->set_pictureShown(false);
    frame_->refreshCommandStates();
}

void AppSession::ShowPictureView() {
    if (workspace_->pictureShown()) return;
    doc_->ShowCurrentPicture();
    std::swap(thumbPaneId_, picturePaneId_);
    frame_->showView(pictureView_);
    pictureView_->viewport()->update();
    workspace_->set_pictureShown(true);
    frame_->refreshCommandStates();
}

void AppSession::RepaintThumbnails() {
    if (!workspace_->pictureShown()) thumbView_->viewport()->update();
}

void AppSession::RepaintPicture() {
    // Any thread: only an update queued to the UI thread. The preloader is
    // stopped before the view is destroyed.
    QWidget* viewport = pictureView_->viewport();
    QMetaObject::invokeMethod(
        viewport, [viewport] { viewport->update(); }, Qt::QueuedConnection);
}

void AppSession::StartThumbnailLoad() {
    thumbView_->startLoading();
    frame_->refreshCommandStates();
}

void AppSession::SetStatusText(int pane, const std::string& text) {
    frame_->setStatusText(pane, QString::fromUtf8(text));
}

void AppSession::SetTitle(const std::string& title) {
    frame_->setDocumentTitle(QString::fromUtf8(title));
}

void AppSession::ReportDecodeFailure(const std::string& text) {
    // Preloader thread: hand the text over; one box at a time, never wait.
    if (failureBoxPending_.exchange(true)) return;
    QString message = QString::fromUtf8(text);
    QMetaObject::invokeMethod(
        frame_,
        [this, message] {
            showMessageBox(message);
            failureBoxPending_.store(false);
        },
        Qt::QueuedConnection);
}

// ---- commands ----

bool AppSession::handlesCommand(int id) const {
    return isDocumentCommand(id) || isHelpCommand(id);
}

CommandState AppSession::commandState(int id) const {
    if (isHelpCommand(id)) return CommandState{true, false, false};
    CommandState state;
    state.enabled = doc_->IsCommandEnabled(id);
    state.checkable = id == kCmdEditMode;
    state.checked = state.checkable && doc_->IsCommandChecked(id);
    return state;
}

void AppSession::runCommand(int id) {
    const QString address = options_.vendorAddress;
    switch (id) {
        case ID_APP_ABOUT:
            showAbout();
            return;
        case ID_HELP_CONTENTS:
            options_.openUrl(QUrl::fromLocalFile(QString::fromStdString(options_.programDir) +
                                                 QStringLiteral("/quillet.pdf")));
            return;
        case ID_HELP_UPDATE:
            options_.openUrl(QUrl(address + QStringLiteral("/product.htm")));
            return;
        case ID_HELP_SUPPORT:
            options_.openUrl(QUrl(address + QStringLiteral("/support.htm")));
            return;
        default:
            (void)doc_->OnCommand(id);
            return;
    }
}

void AppSession::showAbout() {
    QDialog dialog(frame_);
    dialog.setObjectName(QStringLiteral("AboutDialog"));
    dialog.setWindowTitle(QStringLiteral("About Lorvex"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("<b>Lorvex</b>"), &dialog));
    layout->addWidget(new QLabel(
        QStringLiteral("Version %1").arg(QCoreApplication::applicationVersion()), &dialog));
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(options_.vendorAddress), &dialog);
    link->setObjectName(QStringLiteral("VendorLink"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    QObject::connect(link, &QLabel::linkActivated,
                     [this](const QString& url) { options_.openUrl(QUrl(url)); });
    layout->addWidget(link);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    layout->addWidget(buttons);
    dialog.exec();
}

QMenu* AppSession::buildContextMenu(bool hasSelection) {
    auto* menu = new QMenu(frame_);
    auto add = [this](QMenu* to, int id, const QString& text) {
        QAction* action = to->addAction(text);
        action->setData(id);
        CommandState state = frame_->commandState(id);
        action->setEnabled(state.enabled);
        QObject::connect(action, &QAction::triggered, frame_,
                         [this, id] { frame_->runCommand(id); });
        return action;
    };
    if (hasSelection) {
        menu->setTitle(QStringLiteral("Item IN"));
        QMenu* addTo = menu->addMenu(QStringLiteral("&Add To Private DB"));
        add(addTo, ID_ADD_TO_DB_PLACEHOLDER, QStringLiteral("............"))->setEnabled(false);
        QMenu* star = menu->addMenu(QStringLiteral("Set &Star"));
        for (int k = 1; k <= 5; ++k) add(star, ID_SET_STAR_1 + k - 1, QString(k, QLatin1Char('*')));
        add(menu, ID_CLEAR_HITS, QStringLiteral("Clear Hit Freq"));
        add(menu, ID_CREATE_CLASS, QStringLiteral("Create &Class"));
        add(menu, ID_CREATE_ALBUM, QStringLiteral("Create &Album"));
        add(menu, ID_EDIT_DELETE, QStringLiteral("&Delete File"));
        add(menu, ID_EDIT_COPY_TO, QStringLiteral("&Copy To"));
    } else {
        menu->setTitle(QStringLiteral("Item OUT"));
        QMenu* sort = menu->addMenu(QStringLiteral("&Sort"));
        add(sort, ID_SORT_NAME, QStringLiteral("By &Name"));
        add(sort, ID_SORT_SIZE, QStringLiteral("By &Size"));
        add(sort, ID_SORT_TYPE, QStringLiteral("By &Type"));
        add(sort, ID_SORT_DATE, QStringLiteral("By &Date"));
        add(sort, ID_SORT_HITS, QStringLiteral("By &Hit Freq"));
        add(sort, ID_SORT_STAR, QStringLiteral("By &Star"));
        sort->addSeparator();
        add(sort, ID_SORT_FORWARD, QStringLiteral("&Forward"));
        add(sort, ID_SORT_REVERSE, QStringLiteral("&Reverse"));
        add(menu, ID_FILTER, QStringLiteral("&Filter"));
    }
    return menu;
}

// ---- picture view host ----

const QImage* AppSession::acquireCurrent() {
    drawnSlot_ = doc_->picture_cache()->acquire_current();
    return drawnSlot_ != nullptr ? &drawnSlot_->picture : nullptr;
}

void AppSession::releaseCurrent() {
    if (drawnSlot_ != nullptr) doc_->picture_cache()->release(drawnSlot_);
    drawnSlot_ = nullptr;
}

float AppSession::zoom() const {
    return doc_->zoom();
}

void AppSession::setLastPictureSize(int width, int height) {
    doc_->SetLastPictureSize(width, height);
}

void AppSession::setPictureClientRect(int width, int height) {
    workspace_->set_picture_client_rect(PictureRect{0, 0, width, height});
}

void AppSession::zoomIn() {
    doc_->ZoomIn();
    frame_->refreshCommandStates();
}

void AppSession::zoomOut() {
    doc_->ZoomOut();
    frame_->refreshCommandStates();
}

void AppSession::showNext() {
    doc_->ShowNext();
    frame_->refreshCommandStates();
}

void AppSession::showPrevious() {
    doc_->ShowPrevious();
    frame_->refreshCommandStates();
}

void AppSession::showFirst() {
    doc_->ShowFirst();
    frame_->refreshCommandStates();
}

void AppSession::showLast() {
    doc_->ShowLast();
    frame_->refreshCommandStates();
}

void AppSession::returnToThumbnails() {
    if (!workspace_->pictureShown()) return;
    sendViewSwitched(kTargetThumbnails);
    ShowThumbnailView();
    if (workspace_->thumbnailsStale()) {
        workspace_->set_thumbnailsStale(false);
        StartThumbnailLoad();
    }
}

// ---- thumbnail view host ----

bool AppSession::takeSnapshot(ThumbSnapshot* snapshot) {
    const int mode = doc_->SourceMode();
    const int n = doc_->SortedCountOf();
    if (mode == kSourceNone || n <= 0) return false;
    snapshot->sourceMode = mode;
    snapshot->labels.reserve(n);
    for (int p = 0; p < n; ++p) {
        if (mode == kSourceFolder) {
            char name[kMaxPath] = {};
            std::string path;
            // A name or path that cannot be obtained ends the run there.
            if (doc_->NameAt(p, name, sizeof name) < 0 || doc_->FilePathAt(p, &path) < 0) break;
            snapshot->labels.emplace_back(name, strnlen(name, sizeof name));
            snapshot->paths.push_back(std::move(path));
        } else {
            int32_t slot = -1;
            int32_t item = -1;
            if (doc_->ItemAt(p, &slot, &item) < 0) break;
            snapshot->labels.push_back(databaseItemLabel(doc_->engine(), slot, item));
            snapshot->items.emplace_back(slot, item);
        }
    }
    return true;
}

ThumbResult AppSession::makeThumbnail(const ThumbSnapshot& snapshot, int position,
                                      QImage* thumbnail, QPoint* offset) {
    if (snapshot.sourceMode == kSourceFolder) {
        return folderThumbnail(snapshot.paths[position], thumbnail, offset);
    }
    const auto [slot, item] = snapshot.items[position];
    return databaseThumbnail(doc_->engine(), slot, item, thumbnail, offset);
}

void AppSession::itemBecameCurrent(int position) {
    (void)doc_->SetCurrentPosition(position);
}

void AppSession::countHit(int position) {
    if (doc_->SourceMode() == kSourceDatabase) (void)doc_->CountHit(position, false);
}

void AppSession::openPictureView() {
    if (workspace_->pictureShown()) return;
    sendViewSwitched(kTargetPicture);
    ShowPictureView();
}

void AppSession::selectionChanged() {
    frame_->refreshCommandStates();
}

void AppSession::showContextMenu(const QPoint& globalPos, bool hasSelection) {
    std::unique_ptr<QMenu> menu(buildContextMenu(hasSelection));
    menu->exec(globalPos);
}

}  // namespace lorvex
