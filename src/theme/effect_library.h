#pragma once

#include <QImage>
#include <QSizeF>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace nimbrel {

// Nimbrel's own effects, run on the CPU over a picture of the item. They take the same arguments as
// the effects they stand for: "evaporate" (progress, size, seed) as a layer effect and "fog" (size and
// a constant) as a colour effect.
struct EffectLibrary {
    // The names in a library file: one function a line; '#' starts a comment.
    static QStringList parse(const QByteArray& text);

    // How far "evaporate" may move a pixel: 12 points sideways, 2.6 x the item's height up.
    static QSizeF evaporateReach(QSizeF size) { return {12, 2.6 * size.height()}; }
    // How high the grains rise at most (points): within the reach, and no higher than the fallback.
    static double evaporateLift(QSizeF size);

    // The item's picture `layer` (premultiplied ARGB, `size` in points, any pixel ratio) dissolved in
    // grains that drift up and sideways and fade; progress 0 is the picture itself, 1 is nothing. The
    // result is `lift` pixels taller than the layer, the extra room above it (see evaporateLift). The
    // seed changes which grains leave first and where they drift.
    static QImage evaporate(const QImage& layer, double progress, QSizeF size, double seed, int lift);
    // The same into `out`, whose memory is reused when it already has the size (one frame after the
    // next of the same item allocates nothing).
    static void evaporate(const QImage& layer, double progress, QSizeF size, double seed, int lift,
                          QImage& out);

    // The fog over a window of `size`: faint light wisps from a noise field seeded by `constant`. It
    // has no time argument, so callers compute it once per size. `scale` renders it smaller (it is
    // soft, so drawing it enlarged loses nothing).
    static QImage fog(QSize size, double constant, double scale = 0.25);
};

// "evaporate" over one picture, frame after frame. What depends only on the picture and the seed
// (which grains hold anything, when each leaves, where it drifts) is worked out once; a frame moves
// only the grains that hold something, and a run of grains still in place is copied as it is.
class EvaporateFrames {
  public:
    // The picture to dissolve and the arguments of EffectLibrary::evaporate; worked out again only
    // when one of them changes.
    void prepare(const QImage& layer, QSizeF size, double seed, int lift);
    // Draws the frame at `progress` into `out` (premultiplied ARGB, transparent, at least the
    // picture's width and `lift` pixels taller; the picture's row y lands on row y + lift) and returns
    // the part it drew on, in pixels (empty when nothing shows).
    QRect draw(double progress, QImage& out) const;

  private:
    // Kept small (16 bytes): forty rows hold a quarter of a million of them.
    struct Grain {
        int x = 0;        // the grain's left edge in the picture, pixels (its top is its row's)
        float start = 0;  // the progress at which it starts to leave
        float rise = 0;   // how much of the rise it takes
        float drift = 0;  // -1..1: its side and share of the sideways reach
    };
    struct Canvas;
    // A frame's row `r` of grains: those still in place, then those on their way.
    void copyResting(Canvas& canvas, size_t r, double p) const;
    void drawLeaving(Canvas& canvas, size_t r, double p, int outWidth) const;

    qint64 layerKey_ = 0;
    QSize layerSize_;
    QSizeF size_;
    double seed_ = 0;
    int lift_ = -1;
    QImage src_;
    int cell_ = 2;
    double reachX_ = 0;
    double rise_ = 0;
    std::vector<Grain> grains_;      // only those holding a pixel, row of grains by row
    std::vector<size_t> rowStarts_;  // where each row of grains starts in grains_, and the end
};

}  // namespace nimbrel
