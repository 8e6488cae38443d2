#pragma once

#include <QImage>
#include <QSizeF>
#include <QStringList>

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

}  // namespace nimbrel
