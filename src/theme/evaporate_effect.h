#pragma once

#include <QGraphicsEffect>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QRunnable>
#include <QSemaphore>
#include <QStringList>
#include <memory>
#include <optional>

#include "theme/animated_value.h"
#include "theme/effect_library.h"
#include "theme/motion.h"

namespace nimbrel {

// The effect library the evaporate and fog effects run: Nimbrel's own, compiled into the program
// (EffectLibrary) and announced by a small file naming the functions it offers. The file is looked up
// once: in the resources, then beside the executable. An effect whose function the file does not name
// takes its fallback.
struct ShaderLibrary {
    QString path;
    QStringList functions;
    bool has(const QString& function) const { return functions.contains(function); }
};

struct NimbrelShaders {
    static constexpr const char* kFileName = "Nimbrel.effects";
    // The first of the candidates that exists.
    static std::optional<QString> lookup(const QStringList& candidates);
    static QStringList candidates();
    // Reads a library file; absent when it cannot be read.
    static std::optional<ShaderLibrary> load(const QString& path);
    // The library found for this process (looked up on first use and kept).
    static const std::optional<ShaderLibrary>& library();
    static bool has(const QString& function) { return library() && library()->has(function); }
};

// An item dissolving as it is removed: the library's "evaporate" over the item's picture, or, without
// it, the fallback that blurs it, lifts it and fades it out; `progress` runs from 0 (intact) to 1
// (gone). In `opacityOnly` mode it only fades. It always draws from a picture of the item, never
// straight onto the window (the item's own effects would open a second painter there); while under
// way that picture is taken once, so a frame costs the effect alone, not the item's painting.
class EvaporateEffect : public QGraphicsEffect {
    Q_OBJECT
  public:
    struct Fallback {
        double blur;
        double offsetY;
        double opacity;
    };
    static Fallback fallback(double progress);
    static constexpr double kRise = 40;
    static constexpr double kBlur = 8;

    explicit EvaporateEffect(QObject* parent = nullptr);
    ~EvaporateEffect() override;

    // Whether "evaporate" runs (the library has it) or the fallback; tests and the gallery may choose.
    bool usesLibrary() const { return useLibrary_; }
    void setUsesLibrary(bool use);
    // The library's effect is off at rest and for the first sliver of progress.
    static bool libraryEffectOn(double progress) { return progress > 0.001; }

    double progress() const { return progress_; }
    void setProgress(double p);
    double seed() const { return seed_; }
    void setSeed(double seed) { seed_ = seed; }
    // Reduce Motion: only the opacity changes.
    void setOpacityOnly(double opacity);
    // The item's own opacity at rest, kept under every mode (a disabled row is drawn dimmed).
    void setRestOpacity(double opacity);
    double restOpacity() const { return rest_; }
    bool isOpacityOnly() const { return opacityOnly_; }
    double opacity() const { return opacity_; }

    // The same drawing for items painted by a delegate: `layer` is the item's picture at `topLeft`.
    static void paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                           double seed = 0);
    static void paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress, double seed,
                           bool useLibrary);
    // The same, drawing through `frames`, kept by a caller that draws one item frame after frame.
    static void paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress, double seed,
                           bool useLibrary, EvaporateFrames& frames);

    QRectF boundingRectFor(const QRectF& rect) const override;
    // How many times the item was painted into a picture (tests: once per evaporation).
    int picturesTaken() const { return picturesTaken_; }

    // Takes the item's picture now, while it is still at rest, and works out its grains: the
    // evaporation that follows starts from them without painting the item again. The item is drawn
    // from that picture until it starts to go.
    void takePictureAhead();
    bool hasPictureAhead() const { return ahead_; }
    void forgetPictureAhead() { ahead_ = false; }

  protected:
    void draw(QPainter* painter) override;

  private:
    bool underWay() const;
    QPixmap takePicture(QPoint* offset);
    // While takePictureAhead() paints the item: its picture, grains and buffer, kept.
    void keepPictureAhead();
    void drawAtRest(QPainter* painter);
    void drawUnderWay(QPainter* painter);
    // Whether picture_ shows the item at its present size.
    bool pictureFits() const;
    // still_ (and, for the library, its grains) from picture_.
    void makeStill();
    // The evaporation's buffers, given back once it is over.
    void dropFrames();
    // frame_ at the size still_ needs, cleared.
    void makeFrameBuffer();
    bool frameBehind() const;
    // The frame at `p` into frame_: on any thread, while nothing else touches the frame.
    void renderFrame(double p);
    // Starts working out the frame at the new progress on a frame thread, so that it is ready by
    // the time the window paints this item.
    void renderAhead();
    // Waits for the frame being worked out, or works it out here if no thread has started it.
    void finishFrame();
    // This item's frame now, the frames of all others that are behind started on the frame threads.
    void renderBehind();

    double progress_ = 0;
    double seed_ = 0;
    bool opacityOnly_ = false;
    double opacity_ = 1;
    double rest_ = 1;
    bool useLibrary_;
    // The item as the last frame at rest drew it, then, under way, as it was when it started to go,
    // and where it sits.
    QPixmap picture_;
    QPoint pictureOffset_;
    QImage still_;            // picture_ at one pixel a point, for the grains and the fallback
    int lift_ = 0;            // how far above still_'s top the grains may rise, in its pixels
    EvaporateFrames frames_;  // the grains of still_
    QImage frame_;            // the last frame worked out, at frameProgress_, on frameDrawn_
    QRect frameDrawn_;
    double frameProgress_ = -1;
    std::unique_ptr<QRunnable> job_;  // the frame being worked out on a frame thread, if any
    QSemaphore jobDone_;
    bool ahead_ = false;   // still_ was taken ahead and stands for the item until it goes
    bool taking_ = false;  // takePictureAhead() is painting the item
    int picturesTaken_ = 0;
};

// Turns a widget's vanishing flag into the evaporate animation: in with the evaporate motion (1 s),
// back with the snappy curve (0.2 s); under Reduce Motion it only fades, both ways over 0.25 s. The
// effect is installed only while the item is not at rest (or, for an item dimmed at rest, always:
// it draws the dimming too), so resting widgets keep their own graphics effect slot. While it is
// under way the widget is drawn above its siblings, and goes back to its place after.
//
// Every item on screen evaporates, however many go at once; an item out of sight simply goes (and
// comes back at once if the removal keeps it).
class EvaporateTrigger : public QObject {
    Q_OBJECT
  public:
    static MotionSpec comeBack() { return Motion::snappy(0.2); }
    static MotionSpec reducedFade() { return Motion::snappy(0.25); }

    // `rest` is the item's own opacity at rest (a disabled row is dimmed); it evaporates from there.
    explicit EvaporateTrigger(QWidget* target, double seed = 0, double rest = 1);
    void setVanishing(bool vanishing);
    // While a layer over the items leaves the screen (a sheet closing), items that start to go wait
    // for it and take their pictures meanwhile; they go together when the last hold is released.
    // Holds are counted.
    static void holdStarts();
    static void releaseStarts();
    static bool startsHeld();
    // Waiting for a hold to end before it goes.
    bool isWaiting() const { return waiting_; }
    bool isVanishing() const { return vanishing_; }
    // Vanishing without the animation: the item is simply not drawn.
    bool wentAtOnce() const { return atOnce_; }
    // Reduce Motion: the item fades instead of evaporating.
    bool isFading() const { return fading_; }
    EvaporateEffect* effect() const { return effect_; }
    AnimatedValue& animation() { return amount_; }

  private:
    void apply(double amount);
    void install();
    void start();
    // Whether any of the target shows inside its window (siblings laid over it aside).
    bool onScreen() const;
    static void takeWaitingPictures();

    QPointer<QWidget> target_;
    QPointer<EvaporateEffect> effect_;
    QPointer<QWidget> below_;  // the sibling the widget was under before it was raised
    bool raised_ = false;
    double seed_;
    double rest_;
    bool vanishing_ = false;
    bool atOnce_ = false;
    bool fading_ = false;
    bool waiting_ = false;
    AnimatedValue amount_{0};
};

}  // namespace nimbrel
