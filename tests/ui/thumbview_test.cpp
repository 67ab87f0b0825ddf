// The grid and its loader over a host that serves thumbnails drawn in memory:
// cell pictures, labels before pictures, restarts mid-run, selection rules.
#include "ui/thumbview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "hub/message_hub.h"
#include "hub/messages.h"

namespace lorvex {
namespace {

const QRgb kBack = qRgb(100, 100, 100);
const QRgb kFrame = qRgb(192, 192, 192);

class MemoryHost : public CThumbView::Host {
  public:
    // Each list is a set of labels and one colour per picture; a colour
    // of 0 stands for a file that cannot be decoded.
    std::vector<std::string> labels;
    std::vector<QRgb> colours;
    std::atomic<int> delayMs{0};
    std::atomic<bool> onLoaderThread{true};
    std::vector<int> current;
    std::vector<int> hits;
    int openCount = 0;
    std::thread::id uiThread = std::this_thread::get_id();

    bool takeSnapshot(ThumbSnapshot* s) override {
        if (labels.empty()) return false;
        s->sourceMode = 1;
        s->labels = labels;
        for (QRgb c : colours) s->paths.push_back(std::to_string(c));
        return true;
    }
    ThumbResult makeThumbnail(const ThumbSnapshot& s, int position, QImage* thumb,
                              QPoint* offset) override {
        if (std::this_thread::get_id() == uiThread) onLoaderThread = false;
        if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        QRgb colour = static_cast<QRgb>(std::stoul(s.paths[position]));
        if (colour == 0) return ThumbResult::kPassedOver;
        *thumb = QImage(100, 75, QImage::Format_RGB32);
        thumb->fill(colour);
        *offset = QPoint(0, 12);
        return ThumbResult::kMade;
    }
    void itemBecameCurrent(int p) override { current.push_back(p); }
    void countHit(int p) override { hits.push_back(p); }
    void openPictureView() override { ++openCount; }
    void selectionChanged() override {}
    void showContextMenu(const QPoint&, bool) override {}

    void setList(int n, QRgb colour) {
        labels.clear();
        colours.clear();
        for (int i = 0; i < n; ++i) {
            labels.push_back("pic" + std::to_string(i) + ".jpg");
            colours.push_back(colour);
        }
    }
};

bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

class ThumbViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        view.resize(600, 400);
        view.show();
        QObject::connect(&view, &CThumbView::loadFinished, [this](int run) { finishedRun = run; });
    }
    bool loadAndWait() {
        view.startLoading();
        return waitFor([this] { return finishedRun == view.runNumber(); });
    }

    MessageHub hub;
    MemoryHost host;
    CThumbView view{&host, &hub};
    int finishedRun = 0;
};

TEST_F(ThumbViewTest, CellHasBackgroundPictureAtOffsetAndFrame) {
    host.setList(1, qRgb(200, 10, 20));
    ASSERT_TRUE(loadAndWait());
    const QImage& cell = view.gridModel()->cell(0);
    ASSERT_EQ(cell.size(), QSize(100, 100));
    struct Case {
        const char* reason;
        QPoint at;
        QRgb expected;
    };
    const Case cases[] = {
        {"background above the picture", {50, 5}, kBack},
        {"background below the picture", {50, 94}, kBack},
        {"first picture row", {50, 12}, qRgb(200, 10, 20)},
        {"last picture row", {50, 86}, qRgb(200, 10, 20)},
        {"frame over the background", {0, 0}, kFrame},
        {"frame over the picture", {0, 50}, kFrame},
        {"frame bottom right", {99, 99}, kFrame},
    };
    for (const Case& c : cases) EXPECT_EQ(cell.pixel(c.at), c.expected) << c.reason;
    EXPECT_TRUE(host.onLoaderThread);
}

TEST_F(ThumbViewTest, LabelsComeFirstAndUndecodablePicturesStayBlank) {
    host.setList(3, qRgb(0, 200, 0));
    host.colours[1] = 0;
    host.delayMs = 30;
    view.startLoading();
    // Labels are in place before any picture arrives.
    ASSERT_EQ(view.gridModel()->rowCount(), 3);
    EXPECT_EQ(view.gridModel()->data(view.gridModel()->index(2), Qt::DisplayRole).toString(),
              QStringLiteral("pic2.jpg"));
    for (int p = 0; p < 3; ++p) EXPECT_TRUE(view.gridModel()->isBlank(p));
    ASSERT_TRUE(waitFor([this] { return finishedRun == view.runNumber(); }));
    EXPECT_FALSE(view.gridModel()->isBlank(0));
    EXPECT_TRUE(view.gridModel()->isBlank(1));
    EXPECT_FALSE(view.gridModel()->isBlank(2));
}

TEST_F(ThumbViewTest, EmptyListShowsEmptyGrid) {
    host.setList(0, 0);
    ASSERT_TRUE(loadAndWait());
    EXPECT_EQ(view.gridModel()->rowCount(), 0);
}

TEST_F(ThumbViewTest, RestartMidRunDropsTheOldRunsCells) {
    host.setList(200, qRgb(255, 0, 0));
    host.delayMs = 2;
    view.startLoading();
    ASSERT_TRUE(waitFor([this] { return !view.gridModel()->isBlank(0); }));
    EXPECT_TRUE(view.isLoading());
    host.setList(5, qRgb(0, 0, 255));
    host.delayMs = 0;
    ASSERT_TRUE(loadAndWait());
    // Let any queued cell of the first run arrive; it must be dropped.
    QApplication::processEvents();
    ASSERT_EQ(view.gridModel()->rowCount(), 5);
    for (int p = 0; p < 5; ++p) {
        EXPECT_EQ(view.gridModel()->cell(p).pixel(50, 50), qRgb(0, 0, 255)) << p;
    }
}

TEST_F(ThumbViewTest, DestroyingTheViewMidRunJoinsTheLoader) {
    auto other = std::make_unique<CThumbView>(&host, &hub);
    ASSERT_EQ(hub.registered(), 2);
    host.setList(300, qRgb(1, 2, 3));
    host.delayMs = 2;
    other->startLoading();
    ASSERT_TRUE(waitFor([&] { return !other->gridModel()->isBlank(0); }));
    other.reset();  // stops and joins; queued cells for it are discarded
    QApplication::processEvents();
    EXPECT_EQ(hub.registered(), 1);
}

TEST_F(ThumbViewTest, ClicksMakeItemsCurrentAndCountEachNewPositionOnce) {
    host.setList(3, qRgb(9, 9, 9));
    ASSERT_TRUE(loadAndWait());
    auto click = [this](int p) {
        QRect r = view.visualRect(view.gridModel()->index(p));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    };
    click(0);
    click(1);
    click(1);
    click(0);
    EXPECT_EQ(host.hits, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(host.current.back(), 0);
    // A new load starts counting afresh: the first click on 0 counts.
    ASSERT_TRUE(loadAndWait());
    click(0);
    EXPECT_EQ(host.hits.back(), 0);
    EXPECT_EQ(host.hits.size(), 4u);
}

TEST_F(ThumbViewTest, DoubleClickOnAnItemOpensThePictureView) {
    host.setList(2, qRgb(9, 9, 9));
    ASSERT_TRUE(loadAndWait());
    QRect r = view.visualRect(view.gridModel()->index(1));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    EXPECT_EQ(host.openCount, 1);
}

TEST_F(ThumbViewTest, SelectionQueryIsAnsweredOnlyOnce) {
    ASSERT_EQ(hub.registered(), 1);
    host.setList(4, qRgb(9, 9, 9));
    ASSERT_TRUE(loadAndWait());
    view.selectionModel()->select(view.gridModel()->index(3), QItemSelectionModel::Select);
    view.selectionModel()->select(view.gridModel()->index(1), QItemSelectionModel::Select);
    SelectionQuery query;
    hub.Send(MSG_SELECTION_QUERY, &query);
    ASSERT_EQ(query.count, 2);
    ASSERT_NE(query.positions, nullptr);
    EXPECT_EQ(query.positions[0], 1);
    EXPECT_EQ(query.positions[1], 3);
    int32_t* first = query.positions;
    view.selectionModel()->clearSelection();
    hub.Send(MSG_SELECTION_QUERY, &query);  // pointer already set: left alone
    EXPECT_EQ(query.count, 2);
    EXPECT_EQ(query.positions, first);
    delete[] query.positions;

    SelectionQuery wrong;
    wrong.magic = 0x1234;
    view.selectionModel()->select(view.gridModel()->index(0), QItemSelectionModel::Select);
    hub.Send(MSG_SELECTION_QUERY, &wrong);
    EXPECT_EQ(wrong.count, 0);
    EXPECT_EQ(wrong.positions, nullptr);
}

}  // namespace
}  // namespace lorvex
