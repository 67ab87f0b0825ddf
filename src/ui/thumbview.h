// The thumbnail grid: one 100 x 100 cell picture and a label per entry of the
// document's current list. Labels appear at once; a loader thread makes the
// cell pictures one by one and hands each finished cell to the UI thread with
// a queued call. The loader never touches a widget or the document: it works
// on a snapshot taken when its run starts, and results of an older run are
// dropped. Widget members: UI thread only.
#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QListView>
#include <QPixmap>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hub/message_hub.h"

namespace lorvex {

class FolderThumbnailBatch;

// What one loader run works on, taken on the UI thread at its start.
struct ThumbSnapshot {
    int32_t sourceMode = 0;  // 1 folder, 2 database
    std::vector<std::string> labels;
    std::vector<std::string> paths;                  // folder mode: on-disk full paths
    std::vector<std::pair<int32_t, int32_t>> items;  // database mode: (slot, item id)
    // New thumbnail cache rows of the run (folder mode); the loader flushes
    // it before its thread ends.
    std::shared_ptr<FolderThumbnailBatch> batch;
    int count() const { return static_cast<int>(labels.size()); }
};

// Result of making one thumbnail.
enum class ThumbResult { kMade, kPassedOver, kEndRun };

class ThumbGridModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit ThumbGridModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Replaces every label; every cell shows the shared blank picture.
    void reset(const std::vector<std::string>& labels);
    void setCell(int position, const QImage& cell);
    const QImage& cell(int position) const;
    bool isBlank(int position) const;
    static const QImage& blankCell();

  private:
    std::vector<QString> labels_;
    std::vector<QImage> cells_;
    std::vector<QPixmap> pixmaps_;
};

class CThumbView : public QListView {
    Q_OBJECT
  public:
    static constexpr int kCellSide = 100;
    // How often the UI thread collects finished cells during a run.
    static constexpr int kDrainIntervalMs = 15;

    class Host {
      public:
        virtual ~Host() = default;
        // Fills the snapshot of the document's current list; false when
        // there is no list.
        virtual bool takeSnapshot(ThumbSnapshot* snapshot) = 0;
        // Makes the thumbnail of one position and its offset in the cell.
        // Called on the loader thread; must not touch widgets.
        virtual ThumbResult makeThumbnail(const ThumbSnapshot& snapshot, int position,
                                          QImage* thumbnail, QPoint* offset) = 0;
        // The item at position became the current one / one hit is to be
        // counted for it.
        virtual void itemBecameCurrent(int position) = 0;
        virtual void countHit(int position) = 0;
        // Double-click on an item: the main area switches to the picture
        // view (announced with MSG_VIEW_SWITCHED).
        virtual void openPictureView() = 0;
        // Selection changed: enable states need a refresh.
        virtual void selectionChanged() = 0;
        // Context menu: fill with the item menu (hasSelection) or the sort
        // menu, then run the chosen command.
        virtual void showContextMenu(const QPoint& globalPos, bool hasSelection) = 0;
    };

    CThumbView(Host* host, MessageHub* hub, QWidget* parent = nullptr);
    ~CThumbView() override;

    // Stops a running loader, then starts a new run over the current list.
    void startLoading();
    // Sets the stop flag and joins the loader; no nested event loop.
    void stopLoading();
    bool isLoading() const;
    int runNumber() const { return run_; }

    ThumbGridModel* gridModel() const { return model_; }
    std::vector<int32_t> selectedPositions() const;

    // Draws the 100 x 100 cell picture of a thumbnail placed at offset.
    static QImage drawCell(const QImage& thumbnail, QPoint offset);

    void OnMessage(uint32_t code, void* record);

  signals:
    // Emitted on the UI thread when a run has drawn every cell it could.
    void loadFinished(int run);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // A finished cell, or the end of a run (position -1), on its way from
    // the loader to the UI thread.
    struct CellResult {
        int run;
        int position;
        QImage cell;
    };

    void loaderBody(std::shared_ptr<const ThumbSnapshot> snapshot, int run);
    // Loader thread: queues a result for the UI thread, which collects the
    // queue on a short timer while a run is active. The loader never calls
    // into Qt's event system.
    void handOver(CellResult result);
    void drainResults();
    void onCellReady(int run, int position, const QImage& cell);
    void onRunDone(int run);
    void onCurrentChanged(const QModelIndex& current);

    Host* host_;
    MessageHub* hub_;
    ThumbGridModel* model_;
    std::thread loader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    int run_ = 0;
    int lastNotified_ = -1;
    std::mutex resultsMutex_;
    std::vector<CellResult> results_;  // guarded by resultsMutex_
    QTimer drainTimer_;
    std::unique_ptr<ForwardingReceiver<CThumbView>> receiver_;
};

}  // namespace lorvex
