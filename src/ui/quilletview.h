// The picture view: one picture at a time, scaled by the document's zoom,
// centred on grey when smaller than the window, scrolled and panned when
// larger. It draws only the picture the cache marks as current and never
// waits for a decode. Its wheel, keys and double-click drive the document's
// navigation. UI thread only (RepaintPicture queues an update from anywhere).
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>

namespace lorvex {

class CQuilletView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // What the view needs from the document, the picture cache and the
    // workspace. The application implements it over the real objects.
    class Host {
      public:
        virtual ~Host() = default;
        // Takes the cache's current picture and holds the cache lock until
        // releaseCurrent; null (and no lock) when nothing is current.
        virtual const QImage* acquireCurrent() = 0;
        virtual void releaseCurrent() = 0;
        virtual float zoom() const = 0;
        virtual void setLastPictureSize(int width, int height) = 0;
        virtual void setPictureClientRect(int width, int height) = 0;
        virtual void zoomIn() = 0;
        virtual void zoomOut() = 0;
        virtual void showNext() = 0;
        virtual void showPrevious() = 0;
        virtual void showFirst() = 0;
        virtual void showLast() = 0;
        // Double-click: back to the grid (announced with MSG_VIEW_SWITCHED),
        // reloading it when it was marked stale meanwhile.
        virtual void returnToThumbnails() = 0;
    };

    static constexpr int kWheelStep = 120;

    explicit CQuilletView(Host* host, QWidget* parent = nullptr);

    // The buffer the last draw went through; null when the scaled picture
    // covered the client area and was drawn directly.
    const QImage& backBuffer() const { return backBuffer_; }
    // What the view showed at its last draw (client-sized).
    const QImage& lastFrame() const { return frame_; }
    // Scrollable size set by the last draw.
    QSize scrollableSize() const { return scrollable_; }
    QPoint scrollPosition() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void renderFrame(const QImage& picture, float zoom);
    void setScrollableSize(int width, int height);

    Host* host_;
    QImage backBuffer_;
    QImage frame_;
    QSize scrollable_;
    QPoint dragStart_;
    QPoint dragStartScroll_;
    int wheelRemainder_ = 0;
};

}  // namespace lorvex
