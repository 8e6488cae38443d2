#include "theme/evaporate_effect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>

#include "theme/effect_library.h"
#include "theme/shapes.h"

namespace nimbrel {

namespace {

// Items that start to go together share a budget of picture taking per frame: forty rows starting
// at once would otherwise be painted into forty fresh pictures in one frame. An item past the budget
// is drawn straight (as at rest) and takes its picture a frame or two later; the evaporation starts
// slowly, so that does not show. A frame is told apart by time: the budget comes back after a
// frame's length. A few items going at once (a dozen rows) take their pictures at once.
class PictureBudget {
  public:
    static int& live() {
        static int count = 0;
        return count;
    }
    static bool available() {
        if (live() <= kFreely) return true;
        roll();
        return spentNs() < kPerFrameNs;
    }
    static void spend(qint64 ns) {
        roll();
        spentNs() += ns;
    }

  private:
    static constexpr int kFreely = 12;
    static constexpr qint64 kPerFrameNs = 6'000'000;
    static constexpr qint64 kFrameNs = 16'000'000;
    static QElapsedTimer& clock() {
        static QElapsedTimer c;
        return c;
    }
    static qint64& spentNs() {
        static qint64 spent = 0;
        return spent;
    }
    static void roll() {
        if (!clock().isValid() || clock().nsecsElapsed() > kFrameNs) {
            clock().start();
            spentNs() = 0;
        }
    }
};

// How far an evaporation may go on before an item past the budget takes its picture regardless.
constexpr double kLateJoin = 0.1;

// Every evaporate effect alive, so that a frame of all those under way is worked out at once.
std::vector<EvaporateEffect*>& liveEffects() {
    static std::vector<EvaporateEffect*> effects;
    return effects;
}

// Threads that work out frames: forty rows' grains take a frame's length on one processor. A frame
// no thread has started yet is taken back and worked out by the thread that needs it, so that one
// never waits for a thread to be scheduled while it could do the work itself.
class FramePool {
  public:
    static void start(QRunnable* run) { pool().start(run); }
    static bool tryTake(QRunnable* run) { return pool().tryTake(run); }

    // Starts the threads before they are needed: starting them costs a frame its length.
    static void warm() {
        for (int i = 0; i < pool().maxThreadCount(); ++i)
            pool().start([] {});
    }

  private:
    static QThreadPool& pool() {
        // Never deleted, and its threads wait for the next evaporation instead of ending.
        static QThreadPool* const threads = [] {
            auto* p = new QThreadPool;
            p->setMaxThreadCount(std::clamp(QThread::idealThreadCount() - 1, 1, 7));
            p->setExpiryTimeout(-1);
            return p;
        }();
        return *threads;
    }
};

// Items waiting for a hold to end, and whether their pictures are being taken.
struct Held {
    int count = 0;
    std::vector<QPointer<EvaporateTrigger>> waiting;
    bool picturing = false;
};

Held& held() {
    static Held h;
    return h;
}

// How long one turn of the event loop may spend taking waiting items' pictures.
constexpr qint64 kPicturesPerTurnNs = 4'000'000;

}  // namespace

std::optional<QString> NimbrelShaders::lookup(const QStringList& candidates) {
    for (const QString& c : candidates)
        if (QFileInfo::exists(c)) return c;
    return std::nullopt;
}

QStringList NimbrelShaders::candidates() {
    QStringList list{QStringLiteral(":/effects/") + QLatin1String(kFileName)};
    if (QCoreApplication::instance())
        list << QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kFileName);
    return list;
}

std::optional<ShaderLibrary> NimbrelShaders::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ShaderLibrary{path, EffectLibrary::parse(file.readAll())};
}

const std::optional<ShaderLibrary>& NimbrelShaders::library() {
    static const std::optional<ShaderLibrary> found = [] {
        const auto path = lookup(candidates());
        return path ? load(*path) : std::nullopt;
    }();
    return found;
}

EvaporateEffect::Fallback EvaporateEffect::fallback(double p) {
    return {kBlur * p, -kRise * p * p, 1 - p};
}

EvaporateEffect::EvaporateEffect(QObject* parent)
    : QGraphicsEffect(parent), useLibrary_(NimbrelShaders::has(QStringLiteral("evaporate"))) {
    ++PictureBudget::live();
    if (liveEffects().empty()) FramePool::warm();
    liveEffects().push_back(this);
}

void EvaporateEffect::setUsesLibrary(bool use) {
    if (use == useLibrary_) return;
    useLibrary_ = use;
    updateBoundingRect();
    update();
}

// The room the effect takes depends on its mode and the item's size, never on the progress. Qt
// answers a new bounding rect by repainting the item's whole parent (a list of every row), so it is
// announced only when the mode changes; a frame repaints the item's own room.
void EvaporateEffect::setProgress(double p) {
    const bool modeChanged = std::exchange(opacityOnly_, false);
    if (p == progress_ && !modeChanged) return;
    progress_ = p;
    if (modeChanged) updateBoundingRect();
    if (modeChanged || p >= 1) dropFrames();
    update();
    renderAhead();
}

void EvaporateEffect::setRestOpacity(double opacity) {
    if (opacity == rest_) return;
    rest_ = opacity;
    update();
}

void EvaporateEffect::setOpacityOnly(double opacity) {
    if (opacityOnly_ && opacity == opacity_) return;
    const bool modeChanged = !std::exchange(opacityOnly_, true);
    progress_ = 0;
    opacity_ = opacity;
    if (modeChanged) {
        dropFrames();
        updateBoundingRect();
    }
    update();
}

QRectF EvaporateEffect::boundingRectFor(const QRectF& rect) const {
    if (opacityOnly_) return rect;
    if (useLibrary_) {
        // Room for the grains to drift sideways and rise.
        const double side = EffectLibrary::evaporateReach(rect.size()).width();
        return rect.adjusted(-side, -std::ceil(EffectLibrary::evaporateLift(rect.size())), side, 0);
    }
    // Room for the rise and the blur, so the parent does not cut the item off while it lifts.
    const double reach = Shapes::reach(kBlur);
    return rect.adjusted(-reach, -kRise - reach, reach, reach);
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                                 double seed) {
    paintLayer(p, layer, topLeft, progress, seed, NimbrelShaders::has(QStringLiteral("evaporate")));
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                                 double seed, bool useLibrary) {
    EvaporateFrames frames;
    paintLayer(p, layer, topLeft, progress, seed, useLibrary, frames);
}

void EvaporateEffect::paintLayer(QPainter& p, const QImage& layer, QPointF topLeft, double progress,
                                 double seed, bool useLibrary, EvaporateFrames& frames) {
    const double dpr = layer.devicePixelRatio();
    if (useLibrary) {
        if (!libraryEffectOn(progress)) {
            p.drawImage(topLeft, layer);
            return;
        }
        if (progress >= 1) return;
        const QSizeF size = QSizeF(layer.size()) / dpr;
        const int lift = int(std::ceil(EffectLibrary::evaporateLift(size) * dpr));
        frames.prepare(layer, size, seed, lift);
        // Every item draws its frame through one buffer, cleared again where it drew: forty rows
        // going at once neither hold forty buffers nor clear them whole each frame.
        static QImage scratch;
        const QSize need(layer.width(), layer.height() + lift);
        if (scratch.width() < need.width() || scratch.height() < need.height()) {
            scratch = QImage(need.expandedTo(scratch.size()), QImage::Format_ARGB32_Premultiplied);
            scratch.fill(Qt::transparent);
        }
        const QRect drawn = frames.draw(progress, scratch);
        if (drawn.isEmpty()) return;
        p.drawImage(
            QRectF(topLeft + QPointF(drawn.x() / dpr, (drawn.y() - lift) / dpr), QSizeF(drawn.size()) / dpr),
            scratch, QRectF(drawn));
        uchar* const bits = scratch.bits();
        for (int y = drawn.top(); y <= drawn.bottom(); ++y)
            std::fill_n(reinterpret_cast<uint32_t*>(bits + y * scratch.bytesPerLine()) + drawn.left(),
                        drawn.width(), 0U);
        return;
    }
    const Fallback f = fallback(progress);
    if (f.opacity <= 0) return;
    const double pad = std::ceil(Shapes::reach(f.blur) * dpr);
    QImage padded(layer.size() + QSize(int(2 * pad), int(2 * pad)), QImage::Format_ARGB32_Premultiplied);
    padded.fill(Qt::transparent);
    {
        QPainter pp(&padded);
        QImage plain = layer;
        plain.setDevicePixelRatio(1);
        pp.drawImage(QPointF(pad, pad), plain);
    }
    QImage blurred = Shapes::blur(padded, f.blur * dpr);
    blurred.setDevicePixelRatio(dpr);
    p.save();
    p.setOpacity(p.opacity() * f.opacity);
    p.drawImage(topLeft + QPointF(-pad / dpr, f.offsetY - pad / dpr), blurred);
    p.restore();
}

EvaporateEffect::~EvaporateEffect() {
    finishFrame();
    --PictureBudget::live();
    std::erase(liveEffects(), this);
}

QPixmap EvaporateEffect::takePicture(QPoint* offset) {
    QPixmap source = sourcePixmap(Qt::LogicalCoordinates, offset, QGraphicsEffect::NoPad);
    ++picturesTaken_;
    return source;
}

bool EvaporateEffect::pictureFits() const {
    return !picture_.isNull() && QSizeF(picture_.size()) / picture_.devicePixelRatio() ==
                                     sourceBoundingRect(Qt::LogicalCoordinates).size();
}

void EvaporateEffect::makeStill() {
    finishFrame();
    still_ = picture_.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    // The grains hide a sharp screen's finer pixels: the item evaporates at one pixel a point, so a
    // frame costs the same on any screen.
    if (picture_.devicePixelRatio() > 1) {
        still_ = still_.scaled((QSizeF(still_.size()) / picture_.devicePixelRatio()).toSize(),
                               Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        still_.setDevicePixelRatio(1);
    }
    frameProgress_ = -1;
    if (!useLibrary_) return;
    const QSizeF size = QSizeF(still_.size()) / still_.devicePixelRatio();
    lift_ = int(std::ceil(EffectLibrary::evaporateLift(size) * still_.devicePixelRatio()));
    frames_.prepare(still_, size, seed_, lift_);
}

void EvaporateEffect::dropFrames() {
    finishFrame();
    still_ = QImage();
    frames_ = EvaporateFrames();
    frame_ = QImage();
    frameDrawn_ = QRect();
    frameProgress_ = -1;
}

void EvaporateEffect::takePictureAhead() {
    auto* item = qobject_cast<QWidget*>(parent());
    if (!item || opacityOnly_ || progress_ > 0) return;
    // Painting the item runs draw(), which keeps the picture instead of drawing it.
    taking_ = true;
    item->grab();
    taking_ = false;
}

void EvaporateEffect::makeFrameBuffer() {
    const QSize need(still_.width(), still_.height() + lift_);
    if (frame_.size() == need) return;
    frame_ = QImage(need, QImage::Format_ARGB32_Premultiplied);
    frame_.fill(Qt::transparent);
    frameDrawn_ = QRect();
}

bool EvaporateEffect::frameBehind() const {
    return useLibrary_ && !opacityOnly_ && !still_.isNull() && libraryEffectOn(progress_) && progress_ < 1 &&
           frameProgress_ != progress_;
}

void EvaporateEffect::renderFrame(double p) {
    const QSize need(still_.width(), still_.height() + lift_);
    if (frame_.size() != need) {
        makeFrameBuffer();
    } else if (!frameDrawn_.isEmpty()) {
        uchar* const bits = frame_.bits();
        for (int y = frameDrawn_.top(); y <= frameDrawn_.bottom(); ++y)
            std::fill_n(reinterpret_cast<uint32_t*>(bits + y * frame_.bytesPerLine()) + frameDrawn_.left(),
                        frameDrawn_.width(), 0U);
    }
    frameDrawn_ = frames_.draw(p, frame_);
    frameProgress_ = p;
}

void EvaporateEffect::renderAhead() {
    if (job_ || !frameBehind()) return;
    const double p = progress_;
    job_.reset(QRunnable::create([this, p] {
        renderFrame(p);
        jobDone_.release();
    }));
    job_->setAutoDelete(false);
    FramePool::start(job_.get());
}

void EvaporateEffect::finishFrame() {
    if (!job_) return;
    if (FramePool::tryTake(job_.get())) job_->run();
    jobDone_.acquire();
    job_.reset();
}

void EvaporateEffect::renderBehind() {
    // Every evaporation whose frame is behind, not only this one: the others are then worked out on
    // the frame threads while this one is drawn.
    for (EvaporateEffect* e : liveEffects())
        e->renderAhead();
    finishFrame();
}

bool EvaporateEffect::underWay() const {
    // A fade under way draws from one picture too: forty rows fading cost forty pictures once.
    if (opacityOnly_) return opacity_ > 0 && opacity_ < 1;
    return useLibrary_ ? libraryEffectOn(progress_) : progress_ > 0;
}

void EvaporateEffect::draw(QPainter* painter) {
    if (taking_) {
        keepPictureAhead();
        return;
    }
    // Gone, or evaporated: nothing to draw and no reason to paint the item at all.
    if (opacityOnly_ ? opacity_ <= 0 : progress_ >= 1) return;
    if (underWay())
        drawUnderWay(painter);
    else
        drawAtRest(painter);
}

void EvaporateEffect::keepPictureAhead() {
    picture_ = takePicture(&pictureOffset_);
    ahead_ = !picture_.isNull();
    dropFrames();
    // The grains and the buffer too: touching fresh memory for forty rows costs a frame.
    if (ahead_ && !opacityOnly_) {
        makeStill();
        if (useLibrary_) makeFrameBuffer();
    }
}

void EvaporateEffect::drawAtRest(QPainter* painter) {
    if (!ahead_ || !pictureFits()) {
        // At rest the item may change between frames: a fresh picture each time.
        ahead_ = false;
        dropFrames();
        // Only at full opacity: a widget drawn straight cannot be faded as one.
        if (rest_ >= 1 && (!opacityOnly_ || opacity_ >= 1) && !PictureBudget::available()) {
            picture_ = QPixmap();
            drawSource(painter);
            return;
        }
        QElapsedTimer clock;
        clock.start();
        // What the screen shows of the item now: if it starts to go at the next frame, it goes
        // from this picture, and a list of rows that all start at once is not painted twice.
        picture_ = takePicture(&pictureOffset_);
        PictureBudget::spend(clock.nsecsElapsed());
        if (picture_.isNull()) return;
    }
    painter->save();
    painter->setOpacity(painter->opacity() * rest_ * (opacityOnly_ ? opacity_ : 1.0));
    painter->drawPixmap(pictureOffset_, picture_);
    painter->restore();
}

void EvaporateEffect::drawUnderWay(QPainter* painter) {
    // The item as it was when it started to go, taken again only if its size changed.
    QElapsedTimer starting;  // the cost of a first frame under way, picture and grains
    if (!pictureFits()) {
        if (!opacityOnly_ && progress_ < kLateJoin && rest_ >= 1 && !PictureBudget::available()) {
            drawSource(painter);
            update();  // the next frame tries again
            return;
        }
        starting.start();
        dropFrames();
        picture_ = takePicture(&pictureOffset_);
        if (picture_.isNull()) return;
    }
    ahead_ = false;
    painter->save();
    painter->setOpacity(painter->opacity() * rest_);
    // On a sharp screen the grains, worked out at one pixel a point, are enlarged smoothly.
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(pictureOffset_);
    if (opacityOnly_) {
        painter->setOpacity(painter->opacity() * opacity_);
        painter->drawPixmap(QPointF(0, 0), picture_);
    } else {
        if (still_.isNull()) {
            if (!starting.isValid()) starting.start();
            makeStill();
        }
        if (!useLibrary_) {
            paintLayer(*painter, still_, QPointF(0, 0), progress_, seed_, false, frames_);
        } else {
            // Worked out on a frame thread while the window painted what lies beneath, as a rule.
            finishFrame();
            if (frameProgress_ != progress_) renderBehind();
            if (!frameDrawn_.isEmpty())
                painter->drawImage(
                    QRectF(QPointF(frameDrawn_.x(), frameDrawn_.y() - lift_), QSizeF(frameDrawn_.size())),
                    frame_, QRectF(frameDrawn_));
        }
    }
    painter->restore();
    if (starting.isValid()) PictureBudget::spend(starting.nsecsElapsed());
}

EvaporateTrigger::EvaporateTrigger(QWidget* target, double seed, double rest)
    : QObject(target), target_(target), seed_(seed), rest_(rest) {
    connect(&amount_, &AnimatedValue::changed, this, [this](double v) { apply(v); });
    connect(&amount_.animation(), &QAbstractAnimation::finished, this, [this] { apply(amount_.value()); });
    if (rest_ < 1) install();
}

void EvaporateTrigger::install() {
    if (effect_ || !target_) return;
    effect_ = new EvaporateEffect(target_);
    effect_->setSeed(seed_);
    effect_->setRestOpacity(rest_);
    target_->setGraphicsEffect(effect_);
}

void EvaporateTrigger::holdStarts() {
    if (held().count++ == 0) FramePool::warm();
}

void EvaporateTrigger::releaseStarts() {
    Held& h = held();
    if (h.count == 0 || --h.count > 0) return;
    // They start at the next turn: the layer's going repaints the window once, and that repaint is
    // not also their first frame.
    QTimer::singleShot(0, [] {
        if (startsHeld()) return;
        for (const QPointer<EvaporateTrigger>& trigger : std::exchange(held().waiting, {}))
            if (trigger && std::exchange(trigger->waiting_, false)) trigger->start();
    });
}

bool EvaporateTrigger::startsHeld() {
    return held().count > 0;
}

void EvaporateTrigger::takeWaitingPictures() {
    Held& h = held();
    h.picturing = false;
    QElapsedTimer clock;
    clock.start();
    for (const QPointer<EvaporateTrigger>& trigger : h.waiting) {
        if (!trigger || !trigger->waiting_ || !trigger->effect_ || trigger->effect_->hasPictureAhead() ||
            !trigger->onScreen())
            continue;
        if (clock.nsecsElapsed() >= kPicturesPerTurnNs) {
            h.picturing = true;
            QTimer::singleShot(0, &EvaporateTrigger::takeWaitingPictures);
            return;
        }
        trigger->effect_->takePictureAhead();
    }
}

bool EvaporateTrigger::onScreen() const {
    if (!target_ || !target_->isVisible()) return false;
    QRect shown = target_->rect();
    for (const QWidget* w = target_; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        shown = shown.translated(w->pos()) & w->parentWidget()->rect();
        if (shown.isEmpty()) return false;
    }
    return !shown.isEmpty();
}

void EvaporateTrigger::setVanishing(bool vanishing) {
    if (vanishing == vanishing_) return;
    vanishing_ = vanishing;
    if (!target_) return;
    install();
    if (vanishing && startsHeld()) {
        waiting_ = true;
        held().waiting.push_back(this);
        if (!std::exchange(held().picturing, true))
            QTimer::singleShot(0, &EvaporateTrigger::takeWaitingPictures);
        return;
    }
    if (vanishing) {
        start();
        return;
    }
    if (std::exchange(waiting_, false)) {
        // It never started: at rest again at once, drawn afresh.
        if (effect_) effect_->forgetPictureAhead();
    } else if (atOnce_) {
        atOnce_ = false;
        amount_.setImmediate(0);
    } else {
        amount_.animateTo(0, fading_ ? reducedFade() : comeBack());
    }
    apply(amount_.value());
}

void EvaporateTrigger::start() {
    // Only what is on screen is seen to go; Reduce Motion fades it instead.
    atOnce_ = !onScreen();
    fading_ = !atOnce_ && ReduceMotion::isOn();
    if (atOnce_)
        amount_.setImmediate(1);
    else
        amount_.animateTo(1, fading_ ? reducedFade() : Motion::evaporate());
    apply(amount_.value());
}

void EvaporateTrigger::apply(double amount) {
    if (!effect_ || !target_) return;
    if (atOnce_)
        effect_->setOpacityOnly(0);
    else if (fading_)
        effect_->setOpacityOnly(1 - amount);
    else
        effect_->setProgress(amount);
    // Above the neighbours while under way (the grains and the fallback both leave the item's bounds).
    const bool raise = amount > 0 && !atOnce_ && !fading_;
    if (raise && !raised_) {
        below_ = nullptr;
        if (QWidget* parent = target_->parentWidget()) {
            const QObjectList& siblings = parent->children();
            for (qsizetype i = siblings.indexOf(target_) + 1; i < siblings.size() && !below_; ++i)
                if (siblings[i]->isWidgetType()) below_ = static_cast<QWidget*>(siblings[i]);
        }
        target_->raise();
        raised_ = true;
    } else if (!raise && raised_) {
        if (below_) target_->stackUnder(below_);
        raised_ = false;
    }
    // At rest again: give the widget its graphics effect slot back (a dimmed item keeps it).
    if (amount <= 0 && !vanishing_ && !amount_.isRunning()) {
        fading_ = false;
        if (rest_ < 1) {
            effect_->setProgress(0);
        } else {
            target_->setGraphicsEffect(nullptr);  // deletes the effect
            effect_ = nullptr;
        }
    }
}

}  // namespace nimbrel
