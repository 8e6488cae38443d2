#include "theme/effect_library.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// `n` pixels of src times a256/256, each put over its dst pixel (as over(scaled(src, a256), dst)).
// `room`: how many pixels may be read from src and read and written back at dst (at least n).
void blendRun(const uint32_t* src, uint32_t* dst, int n, int room, uint32_t a256) {
#if defined(__SSE2__)
    // Four pixels at a time; a grain is three pixels wide, so most take one step, the pixel past
    // it written back as it was.
    if (room >= ((n + 3) & ~3)) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i alpha = _mm_set1_epi16(short(a256));
        const __m128i full = _mm_set1_epi16(256);
        const auto half = [&](__m128i sp, __m128i dp) {
            sp = _mm_srli_epi16(_mm_mullo_epi16(sp, alpha), 8);
            __m128i sa = _mm_shufflelo_epi16(sp, _MM_SHUFFLE(3, 3, 3, 3));
            sa = _mm_shufflehi_epi16(sa, _MM_SHUFFLE(3, 3, 3, 3));
            dp = _mm_srli_epi16(_mm_mullo_epi16(dp, _mm_sub_epi16(full, sa)), 8);
            return _mm_add_epi16(sp, dp);
        };
        const __m128i lanes = _mm_set_epi32(3, 2, 1, 0);
        for (int x = 0; x < n; x += 4) {
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + x));
            const __m128i lo = half(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
            const __m128i hi = half(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
            const __m128i keep = _mm_cmplt_epi32(lanes, _mm_set1_epi32(n - x));
            const __m128i result =
                _mm_or_si128(_mm_and_si128(keep, _mm_packus_epi16(lo, hi)), _mm_andnot_si128(keep, d));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), result);
        }
        return;
    }
#endif
    for (int x = 0; x < n; ++x)
        dst[x] = over(scaled(src[x], a256), dst[x]);
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

// The frame being drawn, read line by line, and the part of it drawn on so far.
struct EvaporateFrames::Canvas {
    uchar* bits;
    qsizetype stride;
    const uchar* srcBits;
    qsizetype srcStride;
    int left, right, top, bottom;

    uint32_t* outLine(int y) const { return reinterpret_cast<uint32_t*>(bits + y * stride); }
    const uint32_t* srcLine(int y) const {
        return reinterpret_cast<const uint32_t*>(srcBits + y * srcStride);
    }
    void reach(int x0, int x1, int y0, int y1) {
        left = std::min(left, x0);
        right = std::max(right, x1 - 1);
        top = std::min(top, y0);
        bottom = std::max(bottom, y1 - 1);
    }
};

QRect EvaporateFrames::draw(double progress, QImage& out) const {
    const int w = src_.width(), h = src_.height();
    if (w == 0 || h == 0 || progress >= 1 || grains_.empty() || out.width() < w || out.height() < h + lift_ ||
        out.format() != QImage::Format_ARGB32_Premultiplied)
        return {};
    // One detach check a frame, not one a line.
    Canvas canvas{out.bits(), out.bytesPerLine(), src_.constBits(), src_.bytesPerLine(), w, -1, h + lift_,
                  -1};
    const double p = std::max(0.0, progress);
    for (size_t r = 0; r + 1 < rowStarts_.size(); ++r) {
        if (rowStarts_[r] == rowStarts_[r + 1]) continue;
        copyResting(canvas, r, p);
        drawLeaving(canvas, r, p, out.width());
    }
    if (canvas.right < canvas.left || canvas.bottom < canvas.top) return {};
    return QRect(QPoint(canvas.left, canvas.top), QPoint(canvas.right, canvas.bottom));
}

// The grains of row `r` still in place, first: grains only rise, so nothing of another row lies on
// this row's own lines yet, and a run of them is copied as it is.
void EvaporateFrames::copyResting(Canvas& canvas, size_t r, double p) const {
    const Grain* const end = grains_.data() + rowStarts_[r + 1];
    const int g = cell_, w = src_.width();
    const int y0 = int(r) * g;
    const int y1 = std::min(src_.height(), y0 + g);
    for (const Grain* run = grains_.data() + rowStarts_[r]; run != end;) {
        if (p > double(run->start)) {
            ++run;
            continue;
        }
        const Grain* last = run;
        while (last + 1 != end && p <= double((last + 1)->start) && (last + 1)->x == last->x + g)
            ++last;
        const int x0 = run->x, x1 = std::min(w, last->x + g);
        for (int y = y0; y < y1; ++y)
            std::copy(canvas.srcLine(y) + x0, canvas.srcLine(y) + x1, canvas.outLine(y + lift_) + x0);
        canvas.reach(x0, x1, y0 + lift_, y1 + lift_);
        run = last + 1;
    }
}

// Then those of row `r` on their way, each risen, drifted and faded by its own share.
void EvaporateFrames::drawLeaving(Canvas& canvas, size_t r, double p, int outWidth) const {
    const Grain* const end = grains_.data() + rowStarts_[r + 1];
    const int g = cell_, w = src_.width(), h = src_.height();
    const int outHeight = h + lift_;
    const int y0 = int(r) * g;
    const int y1 = std::min(h, y0 + g);
    for (const Grain* grain = grains_.data() + rowStarts_[r]; grain != end; ++grain) {
        if (p <= double(grain->start)) continue;
        const double q = std::min(1.0, (p - double(grain->start)) / 0.45);
        const auto alpha = uint32_t(nearest((1 - q) * 256));
        if (alpha == 0) continue;
        const int dy = nearest(q * q * rise_ * double(grain->rise));
        const int dx = nearest(double(grain->drift) * reachX_ * q);
        const int x0 = std::max(grain->x, -dx), x1 = std::min(std::min(w, grain->x + g), w - dx);
        const int ty0 = std::max(y0 + lift_ - dy, 0), ty1 = std::min(y1 + lift_ - dy, outHeight);
        if (x0 >= x1 || ty0 >= ty1) continue;
        for (int ty = ty0; ty < ty1; ++ty)
            blendRun(canvas.srcLine(ty - lift_ + dy) + x0, canvas.outLine(ty) + dx + x0, x1 - x0,
                     std::min(w - x0, outWidth - dx - x0), alpha);
        canvas.reach(x0 + dx, x1 + dx, ty0, ty1);
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
