#include "ui/icons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

#include "ui/commands.h"

namespace lorvex {
namespace {

constexpr int kSide = 16;
const QColor kInk(40, 40, 40);
const QColor kAccent(30, 90, 170);

QPixmap canvas() {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A magnifier with a sign inside the lens.
QIcon magnifier(const QString& sign) {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.5));
    p.drawEllipse(QRectF(1.5, 1.5, 10, 10));
    p.setPen(QPen(kInk, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.5, 10.5), QPointF(14.5, 14.5));
    p.setPen(QPen(kAccent, 1.5));
    p.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
    if (sign == QLatin1String("+")) p.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
    return QIcon(pixmap);
}

QIcon letters(const QString& text) {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    QFont font = QApplication::font();
    font.setPixelSize(text.size() > 2 ? 7 : 9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kInk);
    p.drawRect(0, 0, kSide - 1, kSide - 1);
    p.setPen(kAccent);
    p.drawText(QRect(0, 0, kSide, kSide), Qt::AlignCenter, text);
    return QIcon(pixmap);
}

// A frame with arrows pointing outwards: horizontally, vertically or both.
QIcon fit(bool horizontal, bool vertical) {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setPen(kInk);
    p.drawRect(0, 0, kSide - 1, kSide - 1);
    p.setPen(QPen(kAccent, 1));
    if (horizontal) {
        p.drawLine(3, 8, 12, 8);
        p.drawLine(3, 8, 5, 6);
        p.drawLine(3, 8, 5, 10);
        p.drawLine(12, 8, 10, 6);
        p.drawLine(12, 8, 10, 10);
    }
    if (vertical) {
        p.drawLine(8, 3, 8, 12);
        p.drawLine(8, 3, 6, 5);
        p.drawLine(8, 3, 10, 5);
        p.drawLine(8, 12, 6, 10);
        p.drawLine(8, 12, 10, 10);
    }
    return QIcon(pixmap);
}

QIcon padlock() {
    QPixmap pixmap = canvas();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.5));
    p.drawArc(QRectF(4.5, 1.5, 7, 8), 0, 180 * 16);
    p.drawLine(QPointF(4.5, 5.5), QPointF(4.5, 7.5));
    p.drawLine(QPointF(11.5, 5.5), QPointF(11.5, 7.5));
    p.fillRect(QRectF(3, 7.5, 10, 7), kAccent);
    return QIcon(pixmap);
}

QIcon standard(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which);
}

}  // namespace

QIcon commandIcon(int id) {
    switch (id) {
        case ID_PREVIOUS:
            return standard(QStyle::SP_ArrowLeft);
        case ID_NEXT:
            return standard(QStyle::SP_ArrowRight);
        case ID_ZOOM_LESS:
            return magnifier(QStringLiteral("-"));
        case ID_ZOOM_MORE:
            return magnifier(QStringLiteral("+"));
        case ID_ZOOM_FULL:
            return letters(QStringLiteral("1:1"));
        case ID_ZOOM_FIT_IMAGE:
            return fit(true, true);
        case ID_ZOOM_FIT_WIDTH:
            return fit(true, false);
        case ID_ZOOM_FIT_HEIGHT:
            return fit(false, true);
        case ID_ZOOM_LOCK:
            return padlock();
        case ID_EDIT_MODE:
            return letters(QStringLiteral("S/F"));
        case ID_EDIT_DELETE:
            return standard(QStyle::SP_TrashIcon);
        case ID_EDIT_COPY_TO:
            return standard(QStyle::SP_DialogSaveButton);
        default:
            return QIcon();
    }
}

QIcon pageIcon(const QString& title) {
    if (title == QLatin1String("Dir")) return standard(QStyle::SP_DirIcon);
    if (title == QLatin1String("DB")) return standard(QStyle::SP_DriveHDIcon);
    if (title == QLatin1String("Class")) return standard(QStyle::SP_FileDialogListView);
    if (title == QLatin1String("Album")) return standard(QStyle::SP_FileDialogContentsView);
    return standard(QStyle::SP_FileDialogDetailedView);
}

}  // namespace lorvex
