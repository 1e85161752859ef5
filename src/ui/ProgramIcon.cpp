#include "ui/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;

    // The drum: a blue cylinder.
    const QColor blue(0x33, 0x66, 0x99);
    const QRectF top(3 * s, 2 * s, 20 * s, 7 * s);
    QPainterPath body;
    body.moveTo(top.left(), top.center().y());
    body.lineTo(top.left(), 22 * s);
    body.arcTo(QRectF(top.left(), 18.5 * s, top.width(), top.height()), 180, 180);
    body.lineTo(top.right(), top.center().y());
    body.closeSubpath();
    painter.setPen(QPen(blue.darker(130), s));
    painter.setBrush(blue);
    painter.drawPath(body);
    painter.setBrush(blue.lighter(150));
    painter.drawEllipse(top);

    // The page: white with grid lines, overlapping the drum's lower right.
    const QRectF page(13 * s, 12 * s, 17 * s, 18 * s);
    painter.setPen(QPen(QColor(0x55, 0x55, 0x55), s));
    painter.setBrush(Qt::white);
    painter.drawRect(page);
    painter.setPen(QPen(QColor(0x88, 0x99, 0xAA), s));
    for (int line = 1; line < 5; ++line) {
        const qreal y = page.top() + line * page.height() / 5;
        painter.drawLine(QPointF(page.left() + 2 * s, y), QPointF(page.right() - 2 * s, y));
    }
    painter.drawLine(QPointF(page.left() + 7 * s, page.top() + 2 * s),
                     QPointF(page.left() + 7 * s, page.bottom() - 2 * s));
    return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
    return icon;
}
