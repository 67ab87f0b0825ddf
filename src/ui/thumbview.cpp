// Loader runs. startLoading() stops the previous run (stop flag + join), takes
// a snapshot of the list on the UI thread, shows every label with the shared
// blank cell, and starts a thread over the snapshot. The thread makes one
// cell picture per position and queues it, tagged with its run number, in a
// locked list that the UI thread collects on a short timer while the run is
// active; the view drops cells of any run but the latest. The loader never
// calls into Qt's event system or touches a widget. Because the thread
// never waits for the UI thread, joining it from the UI thread cannot hang.
#include "ui/thumbview.h"

#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMetaObject>
#include <QPainter>
#include <algorithm>

#include "hub/messages.h"
#include "ui/thumbsource.h"

namespace lorvex {
namespace {

const QColor kCellBack(100, 100, 100);
const QColor kCellFrame(192, 192, 192);

}  // namespace

ThumbGridModel::ThumbGridModel(QObject* parent) : QAbstractListModel(parent) {}

int ThumbGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(labels_.size());
}

QVariant ThumbGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(labels_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return labels_[index.row()];
    if (role == Qt::DecorationRole) return pixmaps_[index.row()];
    return {};
}

const QImage& ThumbGridModel::blankCell() {
    static const QImage blank = [] {
        QImage image(CThumbView::kCellSide, CThumbView::kCellSide, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }();
    return blank;
}

void ThumbGridModel::reset(const std::vector<std::string>& labels) {
    beginResetModel();
    labels_.clear();
    labels_.reserve(labels.size());
    for (const std::string& label : labels) labels_.push_back(QString::fromUtf8(label));
    // Every blank cell shares one image and one pixmap.
    static const QPixmap blankPixmap = QPixmap::fromImage(blankCell());
    cells_.assign(labels.size(), blankCell());
    pixmaps_.assign(labels.size(), blankPixmap);
    endResetModel();
}

void ThumbGridModel::setCell(int position, const QImage& cell) {
    if (position < 0 || position >= static_cast<int>(cells_.size())) return;
    cells_[position] = cell;
    pixmaps_[position] = QPixmap::fromImage(cell);
    QModelIndex at = index(position);
    emit dataChanged(at, at, {Qt::DecorationRole});
}

const QImage& ThumbGridModel::cell(int position) const {
    if (position < 0 || position >= static_cast<int>(cells_.size())) return blankCell();
    return cells_[position];
}

bool ThumbGridModel::isBlank(int position) const {
    return cell(position).cacheKey() == blankCell().cacheKey();
}

CThumbView::CThumbView(Host* host, MessageHub* hub, QWidget* parent)
    : QListView(parent), host_(host), hub_(hub), model_(new ThumbGridModel(this)) {
    setObjectName(QStringLiteral("CThumbView"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setIconSize(QSize(kCellSide, kCellSide));
    setGridSize(QSize(kCellSide + 24, kCellSide + 34));
    setSpacing(0);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionRectVisible(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModel(model_);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onCurrentChanged(current); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { host_->selectionChanged(); });
    connect(this, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) host_->openPictureView();
    });

    drainTimer_.setInterval(kDrainIntervalMs);
    connect(&drainTimer_, &QTimer::timeout, this, &CThumbView::drainResults);

    receiver_ = std::make_unique<ForwardingReceiver<CThumbView>>(this, &CThumbView::OnMessage);
    receiver_->only(MSG_SELECTION_TAGS_QUERY, MSG_SELECTION_QUERY);
    if (hub_ != nullptr) (void)hub_->Register(receiver_.get());
}

CThumbView::~CThumbView() {
    if (hub_ != nullptr) (void)hub_->Unregister(receiver_.get());
    receiver_.reset();
    stopLoading();
}

bool CThumbView::isLoading() const {
    return running_.load();
}

void CThumbView::stopLoading() {
    if (!loader_.joinable()) return;
    stop_.store(true);
    loader_.join();
    stop_.store(false);
    running_.store(false);
}

void CThumbView::startLoading() {
    stopLoading();
    {
        // Whatever the stopped run left behind is stale.
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_.clear();
    }
    ++run_;
    lastNotified_ = -1;
    auto snapshot = std::make_shared<ThumbSnapshot>();
    if (!host_->takeSnapshot(snapshot.get())) snapshot = std::make_shared<ThumbSnapshot>();
    model_->reset(snapshot->labels);
    if (snapshot->count() == 0) {
        emit loadFinished(run_);
        return;
    }
    running_.store(true);
    const int run = run_;
    drainTimer_.start();
    loader_ = std::thread([this, snapshot, run] { loaderBody(snapshot, run); });
}

void CThumbView::loaderBody(std::shared_ptr<const ThumbSnapshot> snapshot, int run) {
    const int n = snapshot->count();
    for (int p = 0; p < n && !stop_.load(std::memory_order_relaxed); ++p) {
        QImage thumbnail;
        QPoint offset;
        ThumbResult result = host_->makeThumbnail(*snapshot, p, &thumbnail, &offset);
        if (result == ThumbResult::kEndRun) break;
        if (result != ThumbResult::kMade || thumbnail.isNull()) continue;
        handOver(CellResult{run, p, drawCell(thumbnail, offset)});
    }
    // The run's new cache rows are stored before the next run can look.
    if (snapshot->batch) snapshot->batch->flush();
    handOver(CellResult{run, -1, QImage()});
    running_.store(false);
}

void CThumbView::handOver(CellResult result) {
    std::lock_guard<std::mutex> lock(resultsMutex_);
    results_.push_back(std::move(result));
}

void CThumbView::drainResults() {
    std::vector<CellResult> results;
    {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results.swap(results_);
    }
    for (const CellResult& result : results) {
        if (result.position < 0) {
            if (result.run == run_) drainTimer_.stop();
            onRunDone(result.run);
        } else {
            onCellReady(result.run, result.position, result.cell);
        }
    }
}

QImage CThumbView::drawCell(const QImage& thumbnail, QPoint offset) {
    QImage cell(kCellSide, kCellSide, QImage::Format_RGB32);
    cell.fill(kCellBack);
    QPainter painter(&cell);
    painter.drawImage(offset, thumbnail);
    painter.setPen(QPen(kCellFrame, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, kCellSide - 1, kCellSide - 1);
    return cell;
}

void CThumbView::onCellReady(int run, int position, const QImage& cell) {
    if (run != run_) return;  // a cell of a run that was stopped
    model_->setCell(position, cell);
}

void CThumbView::onRunDone(int run) {
    if (run != run_) return;
    viewport()->update();
    emit loadFinished(run);
}

void CThumbView::onCurrentChanged(const QModelIndex& current) {
    if (!current.isValid()) return;
    const int position = current.row();
    if (position != lastNotified_) {
        host_->countHit(position);
        lastNotified_ = position;
    }
    host_->itemBecameCurrent(position);
}

std::vector<int32_t> CThumbView::selectedPositions() const {
    std::vector<int32_t> positions;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        positions.push_back(index.row());
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

void CThumbView::OnMessage(uint32_t code, void* record) {
    if (code != MSG_SELECTION_QUERY || record == nullptr) return;
    auto* query = static_cast<SelectionQuery*>(record);
    if (query->magic != kSelectionQueryMagic || query->positions != nullptr) return;
    std::vector<int32_t> positions = selectedPositions();
    query->count = static_cast<int32_t>(positions.size());
    if (positions.empty()) return;
    query->positions = new int32_t[positions.size()];
    std::copy(positions.begin(), positions.end(), query->positions);
}

void CThumbView::contextMenuEvent(QContextMenuEvent* event) {
    host_->showContextMenu(event->globalPos(), !selectionModel()->selectedIndexes().isEmpty());
    event->accept();
}

}  // namespace lorvex
