// The thumbnail grid filling a 500-picture folder: from startLoading until
// the last cell is in the grid, with a cold thumbnail cache (every picture
// decoded, resampled, encoded and stored) and a warm one (every thumbnail
// read back from the cache database), next to the codec's decode-only time
// for the same files.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "engine/codec.h"
#include "engine/thumbnail.h"
#include "store/store.h"
#include "support/temp_dir.h"
#include "ui/thumbsource.h"
#include "ui/thumbview.h"

namespace lorvex {
namespace {

constexpr int kPictures = 500;

QApplication* application() {
    static std::unique_ptr<QApplication> app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "lorvex-bench";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QApplication>(argc, argv);
    }();
    return app.get();
}

// 500 camera-like JPEGs of 1024 x 768, each a little different.
struct PictureFolder {
    testing::TempDir dir;
    std::vector<std::string> names;
    std::vector<std::string> paths;
    PictureFolder() {
        for (int i = 0; i < kPictures; ++i) {
            QImage image(1024, 768, QImage::Format_RGB32);
            QPainter painter(&image);
            QLinearGradient gradient(0, 0, 1024, 768);
            gradient.setColorAt(0, QColor::fromHsv(i % 360, 200, 220));
            gradient.setColorAt(1, QColor::fromHsv((i * 7) % 360, 120, 60));
            painter.fillRect(image.rect(), gradient);
            painter.drawEllipse(i % 900, (i * 3) % 700, 120, 80);
            painter.end();
            char name[32];
            std::snprintf(name, sizeof name, "img_%04d.jpg", i);
            names.emplace_back(name);
            paths.push_back(dir.file(name));
            image.save(QString::fromStdString(paths.back()), "JPG");
        }
    }
};

PictureFolder& folder() {
    static PictureFolder pictures;
    return pictures;
}

class FolderHost : public CThumbView::Host {
  public:
    bool takeSnapshot(ThumbSnapshot* s) override {
        s->sourceMode = 1;
        s->labels = folder().names;
        s->paths = folder().paths;
        s->batch = std::make_shared<FolderThumbnailBatch>();
        return true;
    }
    ThumbResult makeThumbnail(const ThumbSnapshot& s, int p, QImage* thumb,
                              QPoint* offset) override {
        return folderThumbnail(s.paths[p], thumb, offset, s.batch.get());
    }
    void itemBecameCurrent(int) override {}
    void countHit(int) override {}
    void openPictureView() override {}
    void selectionChanged() override {}
    void showContextMenu(const QPoint&, bool) override {}
};

// One complete grid load; returns false if it did not finish.
bool fillGrid(CThumbView& view) {
    int finished = 0;
    auto connection =
        QObject::connect(&view, &CThumbView::loadFinished, [&](int run) { finished = run; });
    view.startLoading();
    while (finished != view.runNumber())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QObject::disconnect(connection);
    return !view.gridModel()->isBlank(kPictures - 1);
}

void BM_GridFillColdCache(benchmark::State& state) {
    application();
    folder();
    testing::TempDir cfg;
    FolderHost host;
    CThumbView view(&host, nullptr);
    view.resize(1000, 700);
    view.show();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        (void)thumbcache_close();
        std::string db = cfg.file("cold_" + std::to_string(round++) + ".pdb");
        if (thumbcache_open(db.c_str()) != 0) state.SkipWithError("cannot open thumbnail cache");
        state.ResumeTiming();
        if (!fillGrid(view)) state.SkipWithError("grid incomplete");
    }
    (void)thumbcache_close();
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_GridFillColdCache)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_GridFillWarmCache(benchmark::State& state) {
    application();
    folder();
    testing::TempDir cfg;
    (void)thumbcache_close();
    if (thumbcache_open(cfg.file("warm.pdb").c_str()) != 0) {
        state.SkipWithError("cannot open thumbnail cache");
        return;
    }
    FolderHost host;
    CThumbView view(&host, nullptr);
    view.resize(1000, 700);
    view.show();
    fillGrid(view);  // fills the cache
    for (auto _ : state) {
        if (!fillGrid(view)) state.SkipWithError("grid incomplete");
    }
    (void)thumbcache_close();
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_GridFillWarmCache)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_CodecDecodeOnly(benchmark::State& state) {
    folder();
    for (auto _ : state) {
        for (const std::string& path : folder().paths) {
            CodecImage image;
            benchmark::DoNotOptimize(image.Load(path.c_str(), kFormatJpeg));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_CodecDecodeOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// What a cold cache costs besides the store: decode, fit and resample only.
void BM_ThumbnailMakeOnly(benchmark::State& state) {
    folder();
    for (auto _ : state) {
        for (const std::string& path : folder().paths) {
            CodecImage thumbnail;
            ThumbFit fit;
            benchmark::DoNotOptimize(
                thumb_make_from_file(path.c_str(), kFormatJpeg, &thumbnail, &fit));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_ThumbnailMakeOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace lorvex
