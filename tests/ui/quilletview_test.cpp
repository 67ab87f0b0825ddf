// Drawing, panning, wheel and keys of the picture view over a host that holds
// one picture and a zoom, and records what the view asks of the document.
#include "ui/quilletview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <string>
#include <vector>

namespace lorvex {
namespace {

const QRgb kGrey = qRgb(128, 128, 128);

class RecordingHost : public CQuilletView::Host {
  public:
    QImage picture;
    bool current = true;
    float zoomValue = 1.0f;
    QSize lastSize;
    QSize clientRect;
    std::vector<std::string> calls;

    const QImage* acquireCurrent() override {
        return current && !picture.isNull() ? &picture : nullptr;
    }
    void releaseCurrent() override {}
    float zoom() const override { return zoomValue; }
    void setLastPictureSize(int w, int h) override { lastSize = QSize(w, h); }
    void setPictureClientRect(int w, int h) override { clientRect = QSize(w, h); }
    void zoomIn() override { calls.push_back("zoomIn"); }
    void zoomOut() override { calls.push_back("zoomOut"); }
    void showNext() override { calls.push_back("next"); }
    void showPrevious() override { calls.push_back("previous"); }
    void showFirst() override { calls.push_back("first"); }
    void showLast() override { calls.push_back("last"); }
    void returnToThumbnails() override { calls.push_back("thumbnails"); }
};

// A picture whose pixel (x, y) encodes its own coordinates.
QImage coordinatePicture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256);
    }
    return image;
}

class PictureViewTest : public ::testing::Test {
  protected:
    // Sizes the view so that its client area (viewport without scroll
    // bars) is width x height, then draws once.
    void showWithClient(int width, int height) {
        view.show();
        const int frame = 2 * view.frameWidth();
        view.resize(width + frame, height + frame);
        QApplication::processEvents();
        draw();
    }
    QImage draw() {
        view.viewport()->repaint();
        QApplication::processEvents();
        view.viewport()->repaint();
        return view.lastFrame();
    }
    void sendWheel(int delta, Qt::KeyboardModifiers modifiers) {
        QPoint at(10, 10);
        QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.viewport(), &event);
    }

    RecordingHost host;
    CQuilletView view{&host};
};

TEST_F(PictureViewTest, SmallPictureIsCentredOnGreyBackBuffer) {
    host.picture = coordinatePicture(400, 300);
    showWithClient(800, 600);
    ASSERT_EQ(view.viewport()->size(), QSize(800, 600));
    EXPECT_EQ(view.backBuffer().size(), QSize(800, 600));
    const QImage& frame = view.lastFrame();
    EXPECT_EQ(frame.pixel(199, 149), kGrey);
    EXPECT_EQ(frame.pixel(200, 150), coordinatePicture(400, 300).pixel(0, 0));
    EXPECT_EQ(frame.pixel(599, 449), coordinatePicture(400, 300).pixel(399, 299));
    EXPECT_EQ(frame.pixel(600, 450), kGrey);
    EXPECT_EQ(view.scrollableSize(), QSize(400, 300));
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());
    EXPECT_EQ(host.lastSize, QSize(400, 300));
    EXPECT_EQ(host.clientRect, QSize(800, 600));
}

TEST_F(PictureViewTest, PictureCoveringTheClientAreaIsDrawnDirectly) {
    host.picture = coordinatePicture(400, 300);
    host.zoomValue = 2.0f;
    showWithClient(800, 600);
    EXPECT_TRUE(view.backBuffer().isNull());
    const QImage& frame = view.lastFrame();
    EXPECT_EQ(frame.pixel(0, 0), host.picture.pixel(0, 0));
    EXPECT_EQ(frame.pixel(799, 599), host.picture.pixel(399, 299));
    EXPECT_EQ(view.scrollableSize(), QSize(800, 600));
}

TEST_F(PictureViewTest, WideLowPictureIsCentredVerticallyOnly) {
    host.picture = coordinatePicture(1000, 200);
    showWithClient(800, 600);
    // The horizontal scroll bar takes some of the height; the buffer
    // follows the client area that is left.
    const int ch = view.viewport()->height();
    EXPECT_EQ(view.backBuffer().size(), QSize(1000, ch));
    const int y0 = (ch - 200) / 2;
    EXPECT_EQ(view.lastFrame().pixel(0, y0), host.picture.pixel(0, 0));
    EXPECT_EQ(view.lastFrame().pixel(0, y0 - 1), kGrey);
}

TEST_F(PictureViewTest, DraggingPansWithinALargePicture) {
    host.picture = coordinatePicture(3000, 2000);
    showWithClient(800, 600);
    EXPECT_EQ(view.scrollableSize(), QSize(3000, 2000));
    EXPECT_EQ(view.scrollPosition(), QPoint(0, 0));
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(300, 300),
                     view.viewport()->mapToGlobal(QPointF(300, 300)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    EXPECT_EQ(view.scrollPosition(), QPoint(100, 0));
    QImage frame = draw();
    EXPECT_EQ(frame.pixel(0, 0), host.picture.pixel(100, 0));
}

TEST_F(PictureViewTest, FitWidthZoomOfANarrowPictureDraws199Pixels) {
    host.picture = coordinatePicture(57, 40);
    showWithClient(200, 300);
    host.zoomValue = static_cast<float>(200) / static_cast<float>(57);
    QImage frame = draw();
    ASSERT_EQ(view.viewport()->width(), 200);
    const int y = frame.height() / 2;
    int drawn = 0;
    for (int x = 0; x < frame.width(); ++x) drawn += frame.pixel(x, y) != kGrey ? 1 : 0;
    EXPECT_EQ(drawn, 199);
    EXPECT_EQ(view.scrollableSize().width(), 199);
}

TEST_F(PictureViewTest, LastFrameStaysWhenNothingIsCurrent) {
    host.picture = coordinatePicture(400, 300);
    showWithClient(800, 600);
    QImage before = view.lastFrame();
    host.current = false;
    host.lastSize = QSize();
    QImage after = draw();
    EXPECT_EQ(after, before);
    EXPECT_FALSE(host.lastSize.isValid());  // nothing drawn, nothing reported
}

TEST_F(PictureViewTest, WheelZoomsWithCtrlAloneAndNavigatesOtherwise) {
    struct Case {
        const char* reason;
        int delta;
        Qt::KeyboardModifiers modifiers;
        const char* call;
    };
    const Case cases[] = {
        {"Ctrl, towards the user", -120, Qt::ControlModifier, "zoomIn"},
        {"Ctrl, away from the user", 120, Qt::ControlModifier, "zoomOut"},
        {"no modifier, towards the user", -120, Qt::NoModifier, "next"},
        {"no modifier, away", 120, Qt::NoModifier, "previous"},
        {"Ctrl and Shift navigate", -120, Qt::ControlModifier | Qt::ShiftModifier, "next"},
        {"Ctrl and Shift, away", 120, Qt::ControlModifier | Qt::ShiftModifier, "previous"},
    };
    host.picture = coordinatePicture(40, 40);
    showWithClient(200, 200);
    for (const Case& c : cases) {
        host.calls.clear();
        sendWheel(c.delta, c.modifiers);
        ASSERT_EQ(host.calls.size(), 1u) << c.reason;
        EXPECT_EQ(host.calls[0], c.call) << c.reason;
    }
}

TEST_F(PictureViewTest, WheelAccumulatesPartialNotchesAndIgnoresZero) {
    showWithClient(200, 200);
    sendWheel(0, Qt::NoModifier);
    sendWheel(-60, Qt::NoModifier);
    EXPECT_TRUE(host.calls.empty());
    sendWheel(-60, Qt::NoModifier);
    ASSERT_EQ(host.calls, std::vector<std::string>{"next"});
    sendWheel(240, Qt::ControlModifier);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"next", "zoomOut", "zoomOut"}));
}

TEST_F(PictureViewTest, KeysAndDoubleClickDriveNavigation) {
    showWithClient(200, 200);
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_End);
    QTest::keyClick(&view, Qt::Key_PageUp);
    QTest::keyClick(&view, Qt::Key_PageDown);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"first", "last", "previous", "next", "thumbnails"}));
}

}  // namespace
}  // namespace lorvex
