#include "ui/quilletview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace lorvex {

namespace {
const QColor kBackGrey(128, 128, 128);
}

CQuilletView::CQuilletView(Host* host, QWidget* parent) : QAbstractScrollArea(parent), host_(host) {
    setObjectName(QStringLiteral("CQuilletView"));
    setFrameShape(QFrame::Box);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The view paints every pixel itself; the background is never erased.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
}

QPoint CQuilletView::scrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CQuilletView::paintEvent(QPaintEvent*) {
    const QImage* picture = host_->acquireCurrent();
    if (picture != nullptr) {
        host_->setLastPictureSize(picture->width(), picture->height());
        host_->setPictureClientRect(viewport()->width(), viewport()->height());
        renderFrame(*picture, host_->zoom());
        host_->releaseCurrent();
    }
    // Nothing current (still decoding, or the decode failed): the last
    // frame stays on screen.
    QPainter painter(viewport());
    if (frame_.isNull()) {
        painter.fillRect(viewport()->rect(), kBackGrey);
        return;
    }
    painter.drawImage(0, 0, frame_);
    if (frame_.width() < viewport()->width() || frame_.height() < viewport()->height()) {
        QRegion rest(viewport()->rect());
        rest -= QRect(QPoint(0, 0), frame_.size());
        for (const QRect& r : rest) painter.fillRect(r, kBackGrey);
    }
}

void CQuilletView::renderFrame(const QImage& picture, float zoom) {
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    const double scaledW = static_cast<double>(picture.width()) * zoom;
    const double scaledH = static_cast<double>(picture.height()) * zoom;
    const int sw = static_cast<int>(scaledW);
    const int sh = static_cast<int>(scaledH);
    const QPoint origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());

    frame_ = QImage(std::max(cw, 1), std::max(ch, 1), QImage::Format_RGB32);
    frame_.fill(kBackGrey);
    QPainter painter(&frame_);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (sw >= cw && sh >= ch) {
        backBuffer_ = QImage();
        painter.drawImage(QRect(origin, QSize(sw, sh)), picture);
    } else {
        const int bw = cw >= scaledW ? cw : sw;
        const int bh = ch >= scaledH ? ch : sh;
        backBuffer_ = QImage(std::max(bw, 1), std::max(bh, 1), QImage::Format_RGB32);
        backBuffer_.fill(kBackGrey);
        const int x0 = scaledW <= cw ? static_cast<int>((cw - scaledW) / 2) : 0;
        const int y0 = scaledH <= ch ? static_cast<int>((ch - scaledH) / 2) : 0;
        if (sw > 0 && sh > 0) {
            QPainter buffer(&backBuffer_);
            buffer.setRenderHint(QPainter::SmoothPixmapTransform, false);
            buffer.drawImage(QRect(x0, y0, sw, sh), picture);
        }
        painter.drawImage(origin, backBuffer_);
    }
    painter.end();
    setScrollableSize(sw, sh);
}

void CQuilletView::setScrollableSize(int width, int height) {
    scrollable_ = QSize(width, height);
    const QSize client = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setPageStep(std::max(client.width(), 1));
    v->setPageStep(std::max(client.height(), 1));
    h->setSingleStep(std::max(client.width() / 10, 1));
    v->setSingleStep(std::max(client.height() / 10, 1));
    h->setRange(0, std::max(0, width - client.width()));
    v->setRange(0, std::max(0, height - client.height()));
}

void CQuilletView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CQuilletView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragStart_ = event->position().toPoint();
        dragStartScroll_ = scrollPosition();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CQuilletView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        viewport()->setCursor(Qt::SizeAllCursor);
        const QPoint now = event->position().toPoint();
        const QSize client = viewport()->size();
        horizontalScrollBar()->setValue(client.width() < scrollable_.width()
                                            ? dragStartScroll_.x() + (dragStart_.x() - now.x())
                                            : 0);
        verticalScrollBar()->setValue(client.height() < scrollable_.height()
                                          ? dragStartScroll_.y() + (dragStart_.y() - now.y())
                                          : 0);
        viewport()->update();
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void CQuilletView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) viewport()->unsetCursor();
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CQuilletView::mouseDoubleClickEvent(QMouseEvent* event) {
    QAbstractScrollArea::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton) return;
    host_->returnToThumbnails();
}

void CQuilletView::wheelEvent(QWheelEvent* event) {
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    // High-resolution wheels report fractions of a notch; one step is a
    // whole notch of 120 in either direction.
    wheelRemainder_ += delta;
    const bool zoom = (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    while (wheelRemainder_ >= kWheelStep || wheelRemainder_ <= -kWheelStep) {
        const bool towardsUser = wheelRemainder_ < 0;
        wheelRemainder_ += towardsUser ? kWheelStep : -kWheelStep;
        if (zoom) {
            towardsUser ? host_->zoomIn() : host_->zoomOut();
        } else {
            towardsUser ? host_->showNext() : host_->showPrevious();
        }
    }
}

void CQuilletView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_PageUp:
            host_->showPrevious();
            break;
        case Qt::Key_PageDown:
            host_->showNext();
            break;
        case Qt::Key_Home:
            host_->showFirst();
            break;
        case Qt::Key_End:
            host_->showLast();
            break;
        default:
            break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

}  // namespace lorvex
