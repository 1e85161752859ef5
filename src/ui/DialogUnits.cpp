#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

using namespace Qt::Literals::StringLiterals;

QSize DialogUnitsToPixels(const QWidget* widget, int x, int y) {
    const QFontMetrics metrics(widget->font());
    const QString sample = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s;
    const int baseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return QSize(x * baseX / 4, y * baseY / 8);
}
