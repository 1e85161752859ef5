// Build-time helper: writes the program's icon files for installation (kalvex.svg and
// kalvex-N.png) from the drawing the window itself uses.
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "ui/ProgramIcon.h"

using namespace Qt::Literals::StringLiterals;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: kalvex_make_icons OUTPUT_DIR\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]) + u'/';
    QFile svg(folder + u"kalvex.svg"_s);
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(ProgramIconSvg().toUtf8()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "kalvex_make_icons: cannot write %s/kalvex.svg\n", argv[1]);
        return 1;
    }
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = folder + u"kalvex-%1.png"_s.arg(size);
        if (!ProgramIconImage(size).save(path, "PNG")) {
            std::fprintf(stderr, "kalvex_make_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
