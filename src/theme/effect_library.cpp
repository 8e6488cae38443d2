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

struct Grain {
    int dx = 0;
    int dy = 0;
    uint32_t alpha = 256;  // 0..256
};

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
    const QImage src = layer.format() == QImage::Format_ARGB32_Premultiplied
                           ? layer
                           : layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = src.width(), h = src.height();
    lift = std::max(0, lift);
    if (out.size() != QSize(w, h + lift) || out.format() != QImage::Format_ARGB32_Premultiplied)
        out = QImage(w, h + lift, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    out.setDevicePixelRatio(layer.devicePixelRatio());
    if (w == 0 || h == 0 || progress >= 1) return;
    const double p = std::max(0.0, progress);

    const double scale = size.width() > 0 ? w / size.width() : 1.0;
    const int g = std::max(2, int(std::lround(3 * scale)));
    const double reachX = std::min(evaporateReach(size).width() * scale, 12 * scale);
    const double rise = std::min(double(lift), evaporateReach(size).height() * scale);
    const uint32_t s = seedBits(seed);

    // Each grain leaves at its own moment, the upper ones a little earlier, so the item burns off from
    // the top; once gone it has risen (ever faster) and drifted a little to one side.
    const int columns = (w + g - 1) / g;
    std::vector<Grain> row(static_cast<size_t>(columns));
    for (int gy = 0; gy * g < h; ++gy) {
        const double fromTop = std::min(1.0, (gy * g + g / 2.0) / h);
        for (int gx = 0; gx < columns; ++gx) {
            const uint32_t hash = mix(uint32_t(gx) * 0x9e3779b1U ^ mix(uint32_t(gy) + s));
            const double start = 0.55 * (0.65 * unit(hash) + 0.35 * fromTop);
            const double q = std::clamp((p - start) / 0.45, 0.0, 1.0);
            Grain& grain = row[size_t(gx)];
            grain.alpha = uint32_t(std::lround((1 - q) * 256));
            grain.dy = int(std::lround(q * q * rise * (0.55 + 0.45 * unit(mix(hash + 1)))));
            grain.dx = int(std::lround((unit(mix(hash + 2)) * 2 - 1) * reachX * q));
        }
        for (int y = gy * g; y < std::min(h, (gy + 1) * g); ++y) {
            const auto* line = reinterpret_cast<const uint32_t*>(src.constScanLine(y));
            for (int gx = 0; gx < columns; ++gx) {
                const Grain& grain = row[size_t(gx)];
                if (grain.alpha == 0) continue;
                const int ty = y + lift - grain.dy;
                if (ty < 0 || ty >= out.height()) continue;
                auto* target = reinterpret_cast<uint32_t*>(out.scanLine(ty));
                for (int x = gx * g; x < std::min(w, (gx + 1) * g); ++x) {
                    const uint32_t c = line[x];
                    if (c == 0) continue;
                    const int tx = x + grain.dx;
                    if (tx < 0 || tx >= w) continue;
                    target[tx] = over(grain.alpha >= 256 ? c : scaled(c, grain.alpha), target[tx]);
                }
            }
        }
    }
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
