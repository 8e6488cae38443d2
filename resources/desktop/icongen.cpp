// Draws the application icon for the desktop's icon theme: the brand mark on a rounded tile of the
// dark canvas colour (the white puff needs a dark ground, and a tile reads the same on light and dark
// panels), as one PNG per size. Usage: nimbrel-icongen OUTDIR SIZE...  (writes OUTDIR/SIZE.png)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <cstdio>
#include <cstdlib>

#include "theme/droplet_geometry.h"
#include "theme/logo.h"
#include "theme/palette.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: nimbrel-icongen OUTDIR SIZE...\n");
        return 2;
    }
    // Drawing needs no screen; a build machine has none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // Everything the mark paints (the puff above its frame, the drop's round end below), at size 1.
    const nimbrel::LogoLayout unit = nimbrel::LogoGeometry::layout(1.0);
    const QRectF reach =
        unit.frame.united(unit.puff).united(nimbrel::Droplet::path(unit.drop).boundingRect());

    for (int i = 2; i < argc; ++i) {
        const int side = std::atoi(argv[i]);
        if (side < 8 || side > 1024) {
            std::fprintf(stderr, "nimbrel-icongen: bad size %s\n", argv[i]);
            return 2;
        }
        // The tile leaves a transparent margin, as icon themes expect; the mark keeps off its edge.
        const QRectF tile =
            QRectF(0, 0, side, side).adjusted(side * 0.06, side * 0.06, -side * 0.06, -side * 0.06);
        const double scale = 0.74 * tile.width() / std::max(reach.width(), reach.height());
        const QPointF origin((side - reach.width() * scale) / 2 - reach.left() * scale,
                             (side - reach.height() * scale) / 2 - reach.top() * scale);
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(nimbrel::Palette::glassEdge(), std::max(1.0, side / 128.0)));
            p.setBrush(nimbrel::Palette::canvas().resolve(nimbrel::Appearance::dark));
            p.drawRoundedRect(tile, tile.width() * 0.22, tile.width() * 0.22);
            nimbrel::NimbrelLogo::paint(p, origin, scale);
        }
        const QString file = QString::fromLocal8Bit(argv[1]) + "/" + QString::number(side) + ".png";
        if (!image.save(file)) {
            std::fprintf(stderr, "nimbrel-icongen: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
