// Draws the application icon for the desktop's icon theme (NimbrelLogo::appIcon), as one PNG per
// size. Usage: nimbrel-icongen OUTDIR SIZE...  (writes OUTDIR/SIZE.png)
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "theme/logo.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: nimbrel-icongen OUTDIR SIZE...\n");
        return 2;
    }
    // Drawing needs no screen; a build machine has none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    for (int i = 2; i < argc; ++i) {
        const int side = std::atoi(argv[i]);
        if (side < 8 || side > 1024) {
            std::fprintf(stderr, "nimbrel-icongen: bad size %s\n", argv[i]);
            return 2;
        }
        const QImage image = nimbrel::NimbrelLogo::appIcon(side);
        const QString file = QString::fromLocal8Bit(argv[1]) + "/" + QString::number(side) + ".png";
        if (!image.save(file)) {
            std::fprintf(stderr, "nimbrel-icongen: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
