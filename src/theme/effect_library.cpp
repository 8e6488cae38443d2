#include "theme/effect_library.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace nimbrel {

namespace {

uint32_t mix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

double unit(uint32_t h) {
    return double(h & 0xffffffU) / double(0x1000000);
}

uint32_t seedBits(double seed) {
    const auto bits = std::bit_cast<uint64_t>(seed);
    return mix(uint32_t(bits) ^ mix(uint32_t(bits >> 32)));
}

// A premultiplied pixel times a256/256.
uint32_t scaled(uint32_t c, uint32_t a256) {
    const uint32_t rb = (((c & 0x00ff00ffU) * a256) >> 8) & 0x00ff00ffU;
    const uint32_t ag = (((c >> 8) & 0x00ff00ffU) * a256) & 0xff00ff00U;
    return rb | ag;
}

uint32_t over(uint32_t src, uint32_t dst) {
    return src + scaled(dst, 256 - (src >> 24));
}

double smooth(double t) {
    return t * t * (3 - 2 * t);
}

double valueNoise(double x, double y, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = int32_t(fx), iy = int32_t(fy);
    auto corner = [&](int32_t cx, int32_t cy) {
        return unit(mix(uint32_t(cx) * 0x9e3779b1U ^ mix(uint32_t(cy) + seed)));
    };
    const double tx = smooth(x - fx), ty = smooth(y - fy);
    const double top = corner(ix, iy) + (corner(ix + 1, iy) - corner(ix, iy)) * tx;
    const double bottom = corner(ix, iy + 1) + (corner(ix + 1, iy + 1) - corner(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

}  // namespace

QStringList EffectLibrary::parse(const QByteArray& text) {
    QStringList names;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.left(raw.indexOf('#') < 0 ? raw.size() : raw.indexOf('#')).trimmed();
        if (!line.isEmpty()) names << QString::fromUtf8(line);
    }
    return names;
}

double EffectLibrary::evaporateLift(QSizeF size) {
    return std::min(evaporateReach(size).height(), 40.0);
}

QImage EffectLibrary::evaporate(const QImage& layer, double progress, QSizeF size, double seed, int lift) {
    QImage out;
    evaporate(layer, progress, size, seed, lift, out);
    return out;
}

void EffectLibrary::evaporate(const QImage& layer, double progress, QSizeF size, double seed, int lift,
                              QImage& out) {
    EvaporateFrames frames;
    frames.prepare(layer, size, seed, lift);
    const QSize outSize(layer.width(), layer.height() + std::max(0, lift));
    if (out.size() != outSize || out.format() != QImage::Format_ARGB32_Premultiplied)
        out = QImage(outSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    out.setDevicePixelRatio(layer.devicePixelRatio());
    frames.draw(progress, out);
}

void EvaporateFrames::prepare(const QImage& layer, QSizeF size, double seed, int lift) {
    lift = std::max(0, lift);
    if (layer.cacheKey() == layerKey_ && layer.size() == layerSize_ && size == size_ && seed == seed_ &&
        lift == lift_)
        return;
    layerKey_ = layer.cacheKey();
    layerSize_ = layer.size();
    size_ = size;
    seed_ = seed;
    lift_ = lift;
    src_ = layer.format() == QImage::Format_ARGB32_Premultiplied
               ? layer
               : layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = src_.width(), h = src_.height();
    grains_.clear();
    rowStarts_.clear();
    if (w == 0 || h == 0) return;

    const double scale = size.width() > 0 ? w / size.width() : 1.0;
    cell_ = std::max(2, int(std::lround(3 * scale)));
    reachX_ = std::min(EffectLibrary::evaporateReach(size).width() * scale, 12 * scale);
    rise_ = std::min(double(lift), EffectLibrary::evaporateReach(size).height() * scale);
    const uint32_t s = seedBits(seed);
    const int g = cell_;
    const int columns = (w + g - 1) / g;
    grains_.reserve(size_t(columns) * size_t((h + g - 1) / g));
    // Each grain leaves at its own moment, the upper ones a little earlier, so the item burns off from
    // the top; once gone it has risen (ever faster) and drifted a little to one side.
    for (int gy = 0; gy * g < h; ++gy) {
        rowStarts_.push_back(grains_.size());
        const double fromTop = std::min(1.0, (gy * g + g / 2.0) / h);
        for (int gx = 0; gx < columns; ++gx) {
            bool holds = false;
            for (int y = gy * g; y < std::min(h, (gy + 1) * g) && !holds; ++y) {
                const auto* line = reinterpret_cast<const uint32_t*>(src_.constScanLine(y));
                for (int x = gx * g; x < std::min(w, (gx + 1) * g) && !holds; ++x)
                    holds = line[x] != 0;
            }
            if (!holds) continue;
            const uint32_t hash = mix(uint32_t(gx) * 0x9e3779b1U ^ mix(uint32_t(gy) + s));
            grains_.push_back({gx * g, float(0.55 * (0.65 * unit(hash) + 0.35 * fromTop)),
                               float(0.55 + 0.45 * unit(mix(hash + 1))), float(unit(mix(hash + 2)) * 2 - 1)});
        }
    }
    rowStarts_.push_back(grains_.size());
}

namespace {

// x rounded to the nearest whole number (halves away from zero), without a library call.
int nearest(double x) {
    return int(x + (x >= 0 ? 0.5 : -0.5));
}

}  // namespace

QRect EvaporateFrames::draw(double progress, QImage& out) const {
    const int w = src_.width(), h = src_.height();
    if (w == 0 || h == 0 || progress >= 1 || grains_.empty() || out.width() < w || out.height() < h + lift_ ||
        out.format() != QImage::Format_ARGB32_Premultiplied)
        return {};
    // One detach check a frame, not one a line.
    uchar* const bits = out.bits();
    const qsizetype stride = out.bytesPerLine();
    const auto outLine = [&](int y) { return reinterpret_cast<uint32_t*>(bits + y * stride); };
    const double p = std::max(0.0, progress);
    const int g = cell_;
    const int outHeight = h + lift_;
    int left = w, right = -1, top = outHeight, bottom = -1;
    const auto reach = [&](int x0, int x1, int y0, int y1) {
        left = std::min(left, x0);
        right = std::max(right, x1 - 1);
        top = std::min(top, y0);
        bottom = std::max(bottom, y1 - 1);
    };
    for (size_t r = 0; r + 1 < rowStarts_.size(); ++r) {
        const Grain* const first = grains_.data() + rowStarts_[r];
        const Grain* const end = grains_.data() + rowStarts_[r + 1];
        if (first == end) continue;
        const int y0 = int(r) * g;
        const int y1 = std::min(h, y0 + g);
        // The grains still in place, first: grains only rise, so nothing of another row lies on this
        // row's own lines yet, and a run of them is copied as it is.
        for (const Grain* run = first; run != end;) {
            if (p > double(run->start)) {
                ++run;
                continue;
            }
            const Grain* last = run;
            while (last + 1 != end && p <= double((last + 1)->start) && (last + 1)->x == last->x + g)
                ++last;
            const int x0 = run->x, x1 = std::min(w, last->x + g);
            for (int y = y0; y < y1; ++y)
                std::copy(reinterpret_cast<const uint32_t*>(src_.constScanLine(y)) + x0,
                          reinterpret_cast<const uint32_t*>(src_.constScanLine(y)) + x1,
                          outLine(y + lift_) + x0);
            reach(x0, x1, y0 + lift_, y1 + lift_);
            run = last + 1;
        }
        // Then those on their way, each risen, drifted and faded by its own share.
        for (const Grain* grain = first; grain != end; ++grain) {
            if (p <= double(grain->start)) continue;
            const double q = std::min(1.0, (p - double(grain->start)) / 0.45);
            const auto alpha = uint32_t(nearest((1 - q) * 256));
            if (alpha == 0) continue;
            const int dy = nearest(q * q * rise_ * double(grain->rise));
            const int dx = nearest(double(grain->drift) * reachX_ * q);
            const int x0 = std::max(grain->x, -dx), x1 = std::min(std::min(w, grain->x + g), w - dx);
            const int ty0 = std::max(y0 + lift_ - dy, 0), ty1 = std::min(y1 + lift_ - dy, outHeight);
            if (x0 >= x1 || ty0 >= ty1) continue;
            for (int ty = ty0; ty < ty1; ++ty) {
                const auto* line = reinterpret_cast<const uint32_t*>(src_.constScanLine(ty - lift_ + dy));
                uint32_t* target = outLine(ty) + dx;
                // Without branches (a transparent pixel goes over unchanged), so a grain's few
                // pixels run straight through.
                for (int x = x0; x < x1; ++x)
                    target[x] = over(scaled(line[x], alpha), target[x]);
            }
            reach(x0 + dx, x1 + dx, ty0, ty1);
        }
    }
    if (right < left || bottom < top) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage EffectLibrary::fog(QSize size, double constant, double scale) {
    const int w = std::max(1, int(std::ceil(size.width() * scale)));
    const int h = std::max(1, int(std::ceil(size.height() * scale)));
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    const uint32_t s = seedBits(constant);
    // Features scale with the shorter side, so the fog looks alike in every window shape.
    const double unitLength = std::max(1.0, std::min(size.width(), size.height()) * scale / 3.0);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            double n = 0, amplitude = 0.5, frequency = 1;
            for (int octave = 0; octave < 4; ++octave) {
                n += amplitude * valueNoise(x / unitLength * frequency, y / unitLength * frequency * 1.6,
                                            s + uint32_t(octave) * 7919U);
                amplitude *= 0.5;
                frequency *= 2.1;
            }
            const double wisp = smooth(std::clamp((n - 0.42) / 0.4, 0.0, 1.0));
            // The base is the layer's own black at 0.004; the wisps are a cool white.
            const double light = 0.045 * wisp;
            const double alpha = 0.004 + light;
            const auto a = uint32_t(std::lround(alpha * 255));
            const auto r = uint32_t(std::lround(light * 215)), gr = uint32_t(std::lround(light * 238));
            const auto b = uint32_t(std::lround(light * 255));
            line[x] = (a << 24) | (r << 16) | (gr << 8) | b;
        }
    }
    return out;
}

}  // namespace nimbrel
