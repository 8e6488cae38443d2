#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "support/motion_scopes.h"
#include "theme/stage_assets.h"

namespace nimbrel::test {

// Draws with a chosen set of puff images and puts the real ones back afterwards.
class PuffsGuard {
  public:
    explicit PuffsGuard(QList<QImage> puffs) { StageAssets::setPuffsForTesting(std::move(puffs)); }
    ~PuffsGuard() { StageAssets::setPuffsForTesting(std::nullopt); }
};

inline QImage whitePuff() {
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    return img;
}

// A transparent picture of `size` with what `paint` draws on it.
inline QImage painted(QSize size, const std::function<void(QPainter&)>& paint) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paint(p);
    p.end();
    return img;
}

// The widget rendered on a transparent background at its current size (its size hint if it has
// none yet).
inline QImage renderOf(QWidget& w) {
    if (w.size().isEmpty() || !w.testAttribute(Qt::WA_Resized)) w.resize(w.sizeHint());
    QImage img(w.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    w.render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

// The leftmost and rightmost columns holding ink, an alpha above `threshold`; {-1, -1} for none.
inline std::pair<int, int> inkColumns(const QImage& img, int threshold = 0) {
    std::pair<int, int> span{-1, -1};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > threshold) {
                span.first = span.first < 0 ? x : std::min(span.first, x);
                span.second = std::max(span.second, x);
            }
    return span;
}

// The largest alpha in the rows [top, bottom).
inline int maxAlpha(const QImage& img, int top, int bottom) {
    int best = 0;
    for (int y = std::max(0, top); y < std::min(img.height(), bottom); ++y)
        for (int x = 0; x < img.width(); ++x)
            best = std::max(best, qAlpha(img.pixel(x, y)));
    return best;
}

}  // namespace nimbrel::test
