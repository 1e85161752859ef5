#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The program's icon, drawn here so that no image file has to ship with the program: a
// database drum with a page of rows in front. The installed icon files are made from the
// same drawing at build time.
QIcon ProgramIcon();
// The drawing at size x size pixels.
QImage ProgramIconImage(int size);
// The same drawing as an SVG document.
QString ProgramIconSvg();
