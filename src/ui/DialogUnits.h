#pragma once

#include <QSize>

class QWidget;

// The window layouts are given in dialog units: a quarter of the font's average character
// width horizontally and an eighth of its height vertically.
QSize DialogUnitsToPixels(const QWidget* widget, int x, int y);
