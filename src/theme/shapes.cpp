#include "theme/shapes.h"

#include <QCache>
#include <QPainter>
#include <cmath>
#include <vector>

namespace nimbrel {

QPainterPath Shapes::capsule(const QRectF& r) {
    QPainterPath path;
    const double radius = std::min(r.width(), r.height()) / 2;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath Shapes::rounded(const QRectF& r, double radius) {
    // Continuous corners start bending earlier than circular ones; stretching each corner's curve
    // over 1.28 times the radius with matched tangents approximates that smooth shape.
    const double rad = std::min({radius, r.width() / 2, r.height() / 2});
    const double ext = std::min({rad * 1.28, r.width() / 2, r.height() / 2});
    if (rad <= 0) {
        QPainterPath path;
        path.addRect(r);
        return path;
    }
    const double k = 0.64;  // how far the control points pull towards the corner
    QPainterPath p;
    const double l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
    p.moveTo(l + ext, t);
    p.lineTo(rt - ext, t);
    p.cubicTo(rt - ext + ext * k, t, rt, t + ext - ext * k, rt, t + ext);
    p.lineTo(rt, b - ext);
    p.cubicTo(rt, b - ext + ext * k, rt - ext + ext * k, b, rt - ext, b);
    p.lineTo(l + ext, b);
    p.cubicTo(l + ext - ext * k, b, l, b - ext + ext * k, l, b - ext);
    p.lineTo(l, t + ext);
    p.cubicTo(l, t + ext - ext * k, l + ext - ext * k, t, l + ext, t);
    p.closeSubpath();
    return p;
}

namespace {

void boxPass(std::vector<float>& src, std::vector<float>& dst, int w, int h, int radius, bool horizontal) {
    const int len = horizontal ? w : h;
    const int lines = horizontal ? h : w;
    const float norm = 1.0f / float(2 * radius + 1);
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) -> float& {
            return horizontal ? src[size_t(line) * w + i] : src[size_t(i) * w + line];
        };
        auto out = [&](int i) -> float& {
            return horizontal ? dst[size_t(line) * w + i] : dst[size_t(i) * w + line];
        };
        float sum = 0;
        for (int i = -radius; i <= radius; ++i)
            sum += (i >= 0 && i < len) ? at(i) : 0.0f;
        for (int i = 0; i < len; ++i) {
            out(i) = sum * norm;
            const int add = i + radius + 1;
            const int drop = i - radius;
            if (add < len) sum += at(add);
            if (drop >= 0) sum -= at(drop);
        }
    }
}

int boxFor(double radius) {
    // Three box passes of this width have the variance of a Gaussian of sigma = radius / 2.
    const double sigma = radius / 2.0;
    return std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
}

// Blurs a white mask in place. Its four channels are equal, so one is blurred and copied to all.
void blurMask(QImage& img, double radius) {
    if (radius <= 0.01) return;
    const int w = img.width(), h = img.height();
    const int box = boxFor(radius);
    std::vector<float> a(size_t(w) * h), b(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const uchar* line = img.constScanLine(y);
        for (int x = 0; x < w; ++x)
            a[size_t(y) * w + x] = line[x * 4 + 3];
    }
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(a, b, w, h, box, true);
        boxPass(b, a, w, h, box, false);
    }
    for (int y = 0; y < h; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const auto v = uchar(std::clamp(std::lround(a[size_t(y) * w + x]), 0L, 255L));
            line[x * 4] = line[x * 4 + 1] = line[x * 4 + 2] = line[x * 4 + 3] = v;
        }
    }
}

}  // namespace

QImage Shapes::blur(const QImage& source, double radius) {
    QImage img = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius <= 0.01) return img;
    const int w = img.width(), h = img.height();
    const int box = boxFor(radius);
    for (int channel = 0; channel < 4; ++channel) {
        std::vector<float> a(size_t(w) * h), b(size_t(w) * h);
        for (int y = 0; y < h; ++y) {
            const uchar* line = img.constScanLine(y);
            for (int x = 0; x < w; ++x)
                a[size_t(y) * w + x] = line[x * 4 + channel];
        }
        for (int pass = 0; pass < 3; ++pass) {
            boxPass(a, b, w, h, box, true);
            boxPass(b, a, w, h, box, false);
        }
        for (int y = 0; y < h; ++y) {
            uchar* line = img.scanLine(y);
            for (int x = 0; x < w; ++x)
                line[x * 4 + channel] = uchar(std::clamp(std::lround(a[size_t(y) * w + x]), 0L, 255L));
        }
    }
    return img;
}

void Shapes::shadow(QPainter& p, const QPainterPath& shape, const QColor& color, double radius,
                    QPointF offset) {
    if (color.alpha() == 0) return;
    const QRectF bounds = shape.boundingRect();
    const int margin = int(std::ceil(reach(radius))) + 2;
    const QSize size(int(std::ceil(bounds.width())) + 2 * margin,
                     int(std::ceil(bounds.height())) + 2 * margin);
    if (size.isEmpty()) return;
    // The mask is drawn in white and tinted afterwards, so one cached mask serves every colour.
    static QCache<QString, QImage> cache(64 * 1024);
    const QPainterPath local = shape.translated(-bounds.topLeft() + QPointF(margin, margin));
    const QRectF lb = local.boundingRect();
    const QString key = QStringLiteral("%1x%2 r%3 %4,%5,%6,%7 e%8")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(radius)
                            .arg(lb.x())
                            .arg(lb.y())
                            .arg(lb.width())
                            .arg(lb.height())
                            .arg(local.elementCount());
    // A wide shadow has no detail finer than its blur: it is worked out at a fraction of its size
    // and drawn stretched, which keeps a sheet's shadow from holding the main thread for a frame.
    const double scale = radius >= 32 ? 0.25 : radius >= 12 ? 0.5 : 1.0;
    QImage* mask = cache.object(key);
    if (!mask) {
        QImage img(QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale))),
                   QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter mp(&img);
        mp.setRenderHint(QPainter::Antialiasing);
        mp.scale(scale, scale);
        mp.fillPath(local, Qt::white);
        mp.end();
        blurMask(img, radius * scale);
        mask = new QImage(std::move(img));
        cache.insert(key, mask, std::max(1, mask->width() * mask->height() * 4 / 1024));
    }
    QImage tinted(mask->size(), QImage::Format_ARGB32_Premultiplied);
    tinted.fill(Qt::transparent);
    QPainter tp(&tinted);
    tp.drawImage(0, 0, *mask);
    tp.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tp.fillRect(tinted.rect(), QColor(color.red(), color.green(), color.blue()));
    tp.end();
    p.save();
    p.setOpacity(p.opacity() * color.alphaF());
    const QPointF at = bounds.topLeft() - QPointF(margin, margin) + offset;
    if (scale == 1.0) {
        p.drawImage(at, tinted);
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(at, QSizeF(tinted.width() / scale, tinted.height() / scale)), tinted);
    }
    p.restore();
}

}  // namespace nimbrel
