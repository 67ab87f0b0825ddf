// The grid's loader under quick restarts and teardown: folders switched while
// cells are being made, and the view destroyed mid-run. Runs under
// ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include "ui/thumbview.h"

namespace lorvex {
namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "test_ui_threads";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Draws each thumbnail, as a decoder would, from the snapshot alone.
class DrawingHost : public CThumbView::Host {
  public:
    int listSize = 0;
    int colourSeed = 0;
    bool takeSnapshot(ThumbSnapshot* s) override {
        if (listSize == 0) return false;
        s->sourceMode = 1;
        for (int i = 0; i < listSize; ++i) {
            s->labels.push_back("p" + std::to_string(i));
            s->paths.push_back(std::to_string(colourSeed));
        }
        return true;
    }
    ThumbResult makeThumbnail(const ThumbSnapshot& s, int position, QImage* thumb,
                              QPoint* offset) override {
        QImage image(100, 66, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(std::stoi(s.paths[position]) % 360, 255, 255));
        QPainter painter(&image);
        painter.drawLine(0, 0, 99, 65);
        painter.end();
        *thumb = image;
        *offset = QPoint(0, 17);
        return ThumbResult::kMade;
    }
    void itemBecameCurrent(int) override {}
    void countHit(int) override {}
    void openPictureView() override {}
    void selectionChanged() override {}
    void showContextMenu(const QPoint&, bool) override {}
};

TEST(ThumbLoaderThreads, QuickFolderSwitchesEndWithTheLastFolderComplete) {
    DrawingHost host;
    CThumbView view(&host, nullptr);
    int finished = 0;
    QObject::connect(&view, &CThumbView::loadFinished, [&](int run) { finished = run; });
    for (int round = 1; round <= 30; ++round) {
        host.listSize = 40 + round;
        host.colourSeed = round * 11;
        view.startLoading();
        QApplication::processEvents();
    }
    QElapsedTimer timer;
    timer.start();
    while (finished != view.runNumber() && timer.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_EQ(finished, view.runNumber());
    QApplication::processEvents();
    const QRgb expected = QColor::fromHsv((30 * 11) % 360, 255, 255).rgb();
    ASSERT_EQ(view.gridModel()->rowCount(), 70);
    for (int p = 0; p < 70; ++p) EXPECT_EQ(view.gridModel()->cell(p).pixel(80, 30), expected) << p;
}

TEST(ThumbLoaderThreads, ViewDestroyedWhileLoading) {
    DrawingHost host;
    host.listSize = 2000;
    for (int i = 0; i < 5; ++i) {
        auto view = std::make_unique<CThumbView>(&host, nullptr);
        view->startLoading();
        QApplication::processEvents();
        if (i % 2 == 0) {
            view->stopLoading();
            EXPECT_FALSE(view->isLoading());
            EXPECT_EQ(view->gridModel()->rowCount(), 2000);
        }
        view.reset();  // the destructor stops and joins a running loader
        QApplication::processEvents();
    }
}

}  // namespace
}  // namespace lorvex
