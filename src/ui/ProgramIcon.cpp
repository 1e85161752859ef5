#include "ui/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

using namespace Qt::Literals::StringLiterals;

namespace {

// The drawing on a 32 x 32 grid, shared by the painted images and the SVG file, so that
// the installed icon and the window's own are one picture.
const QColor kBlue(0x33, 0x66, 0x99);
const QColor kPageEdge(0x55, 0x55, 0x55);
const QColor kGridLine(0x88, 0x99, 0xAA);
const QRectF kDrumTop(3, 2, 20, 7);
constexpr qreal kDrumBottom = 22;
const QRectF kPage(13, 12, 17, 18);
constexpr int kRowLines = 5;
constexpr qreal kInset = 2;
constexpr qreal kKeyColumn = 7;

// The page's grid: row lines across, one column line down.
QList<QLineF> PageLines() {
    QList<QLineF> lines;
    for (int line = 1; line < kRowLines; ++line) {
        const qreal y = kPage.top() + line * kPage.height() / kRowLines;
        lines.append(QLineF(kPage.left() + kInset, y, kPage.right() - kInset, y));
    }
    lines.append(QLineF(kPage.left() + kKeyColumn, kPage.top() + kInset, kPage.left() + kKeyColumn,
                        kPage.bottom() - kInset));
    return lines;
}

QString Number(qreal value) {
    return QString::number(value, 'g', 6);
}

}  // namespace

QImage ProgramIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    QPainterPath body;
    body.moveTo(kDrumTop.left(), kDrumTop.center().y());
    body.lineTo(kDrumTop.left(), kDrumBottom);
    body.arcTo(QRectF(kDrumTop.left(), kDrumBottom - kDrumTop.height() / 2, kDrumTop.width(),
                      kDrumTop.height()),
               180, 180);
    body.lineTo(kDrumTop.right(), kDrumTop.center().y());
    body.closeSubpath();
    painter.setPen(QPen(kBlue.darker(130), 1));
    painter.setBrush(kBlue);
    painter.drawPath(body);
    painter.setBrush(kBlue.lighter(150));
    painter.drawEllipse(kDrumTop);

    painter.setPen(QPen(kPageEdge, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(kPage);
    painter.setPen(QPen(kGridLine, 1));
    painter.drawLines(PageLines());
    return image;
}

QString ProgramIconSvg() {
    const qreal rx = kDrumTop.width() / 2;
    const qreal ry = kDrumTop.height() / 2;
    const qreal cy = kDrumTop.center().y();
    QString svg =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        u"<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        u"viewBox=\"0 0 32 32\">\n"_s;
    svg +=
        u"  <path d=\"M%1 %2 L%1 %3 A%4 %5 0 0 0 %6 %3 L%6 %2 Z\" fill=\"%7\" stroke=\"%8\" "
        u"stroke-width=\"1\"/>\n"_s.arg(Number(kDrumTop.left()), Number(cy), Number(kDrumBottom),
                                        Number(rx), Number(ry), Number(kDrumTop.right()),
                                        kBlue.name(), kBlue.darker(130).name());
    svg +=
        u"  <ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\" fill=\"%5\" stroke=\"%6\" "
        u"stroke-width=\"1\"/>\n"_s.arg(Number(kDrumTop.center().x()), Number(cy), Number(rx),
                                        Number(ry), kBlue.lighter(150).name(),
                                        kBlue.darker(130).name());
    svg +=
        u"  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#ffffff\" "
        u"stroke=\"%5\" stroke-width=\"1\"/>\n"_s.arg(Number(kPage.left()), Number(kPage.top()),
                                                      Number(kPage.width()), Number(kPage.height()),
                                                      kPageEdge.name());
    for (const QLineF& line : PageLines()) {
        svg +=
            u"  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" "
            u"stroke-width=\"1\"/>\n"_s.arg(Number(line.x1()), Number(line.y1()), Number(line.x2()),
                                            Number(line.y2()), kGridLine.name());
    }
    svg += u"</svg>\n"_s;
    return svg;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}
