// Draws the four puff-of-steam images used by the logo, the loader, the steamer and the jet.
// Each puff is a few overlapping soft white blobs; a fixed seed keeps the artwork stable.
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QString>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

constexpr int kSide = 256;

QImage drawPuff(int index) {
    QImage image(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    std::mt19937 rng(1000u + static_cast<unsigned>(index) * 7919u);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int blobs = 5 + index;
    for (int i = 0; i < blobs; ++i) {
        // Blobs sit on a rough ring around the centre so the puff reads as a cloud, not a disc.
        const double angle = (i / double(blobs)) * 2 * M_PI + unit(rng) * 0.8;
        const double reach = kSide * (0.10 + 0.10 * unit(rng));
        const QPointF centre(kSide / 2.0 + std::cos(angle) * reach,
                             kSide / 2.0 + std::sin(angle) * reach * 0.8);
        const double radius = kSide * (0.20 + 0.10 * unit(rng));
        QRadialGradient g(centre, radius);
        const int alpha = 120 + int(unit(rng) * 60);
        g.setColorAt(0.0, QColor(255, 255, 255, alpha));
        g.setColorAt(0.55, QColor(255, 255, 255, alpha / 2));
        g.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(centre, radius, radius);
    }
    QRadialGradient core(QPointF(kSide / 2.0, kSide / 2.0), kSide * 0.3);
    core.setColorAt(0.0, QColor(255, 255, 255, 150));
    core.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(core);
    p.drawEllipse(QPointF(kSide / 2.0, kSide / 2.0), kSide * 0.3, kSide * 0.3);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: nimbrel-puffgen OUTDIR\n");
        return 2;
    }
    for (int i = 1; i <= 4; ++i) {
        const QString path = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/puff%1.png").arg(i);
        if (!drawPuff(i).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
