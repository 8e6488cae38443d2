#include "views/kit/modal_host.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <utility>

#include "theme/evaporate_effect.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/shapes.h"
#include "views/kit/confirm_sheet.h"
#include "views/kit/notice_sheet.h"
#include "views/kit/sheet_card.h"

namespace nimbrel {

namespace {

// Cards of the sheet shape: the host's own, and the review and failure cards, which say so.
bool castsShadow(const QWidget* card) {
    return qobject_cast<const SheetCard*>(card) || card->property("sheetShadow").toBool();
}

ModalHost::ReviewCardFactory& reviewFactory() {
    static ModalHost::ReviewCardFactory factory;
    return factory;
}

ModalHost::FailureCardFactory& failureFactory() {
    static ModalHost::FailureCardFactory factory;
    return factory;
}

// Until the shelves provide their cards: a card with one button that clears its own request.
QWidget* standInCard(const QString& buttonTitle, std::function<void()> clear) {
    auto* card = new SheetCard;
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* button =
        new NimbrelButton(buttonTitle, NimbrelButton::Kind::secondary, NimbrelButton::Size::regular, card);
    QObject::connect(button, &QAbstractButton::clicked, card, std::move(clear));
    row->addWidget(button);
    card->addRow(row);
    return card;
}

// How far the picture refreshed at idle goes in one step before the time spent is looked at.
constexpr int kRefreshBand = 128;

}  // namespace

void ModalHost::setReviewCardFactory(ReviewCardFactory factory) {
    reviewFactory() = std::move(factory);
}

void ModalHost::setFailureCardFactory(FailureCardFactory factory) {
    failureFactory() = std::move(factory);
}

ModalHost::ModalHost(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setAttribute(Qt::WA_NoSystemBackground);
    connect(&state_, &AppState::isReviewingChanged, this, [this] { follow(Card::review); });
    connect(&state_, &AppState::confirmChanged, this, [this] { follow(Card::confirm); });
    connect(&state_, &AppState::deletionFailuresChanged, this, [this] { follow(Card::failures); });
    connect(&state_, &AppState::errorMessageChanged, this, [this] { follow(Card::notice); });
    connect(&presence_, &AnimatedValue::changed, this, &ModalHost::presenceChanged);
    uncover_.setSingleShot(true);
    connect(&uncover_, &QTimer::timeout, this, &ModalHost::uncoverStep);
    refresh_.setSingleShot(true);
    connect(&refresh_, &QTimer::timeout, this, [this] {
        // Not in the middle of a transition's frames; a leaving layer needs no picture any more.
        if (shown_ == Card::none) return;
        if (presence_.isRunning()) {
            refresh_.start(kRefreshDelayMs);
        } else if (!underlayFresh() && canRenderUnderlay()) {
            renderStale(kRefreshTurnMs);
            refresh_.start(1);  // on in the next turn, or on to the card's shadow
        } else if (card_ && card_->isVisible() && snapshotBase_ != card_->geometry()) {
            // The card's shadow is drawn ahead for its picture when it leaves, in a turn of its own.
            drawSnapshotBase();
        }
    });
    hide();
    follow(Card::none);
}

ModalHost::~ModalHost() {
    holdItemStarts(false);
}

ModalHost::Card ModalHost::choose(const AppState& state) {
    if (state.isReviewing()) return Card::review;
    if (state.confirm()) return Card::confirm;
    if (state.deletionFailures()) return Card::failures;
    if (state.errorMessage()) return Card::notice;
    return Card::none;
}

void ModalHost::dismiss(AppState& state) {
    if (state.isReviewing()) state.setIsReviewing(false);
    if (state.confirm()) state.setConfirm(std::nullopt);
    if (state.errorMessage()) state.setErrorMessage(std::nullopt);
    if (state.deletionFailures()) state.setDeletionFailures(std::nullopt);
}

QRect ModalHost::cardRect() const {
    return card_ ? card_->geometry() : QRect();
}

void ModalHost::follow(Card changed) {
    if (dismissing_) return;
    const Card want = choose(state_);
    // The review card keeps its own state while it stays; the other cards show the request they were
    // built with, so a new request of the shown kind builds the card again.
    if (want == shown_ && (want == Card::none || want == Card::review || changed != want)) return;
    rebuild(want);
}

QWidget* ModalHost::makeCard(Card card) {
    switch (card) {
        case Card::review:
            return reviewFactory() ? reviewFactory()(state_)
                                   : standInCard(tr("Cancel"), [this] { state_.setIsReviewing(false); });
        case Card::confirm:
            return new ConfirmSheet(state_, *state_.confirm());
        case Card::failures:
            return failureFactory()
                       ? failureFactory()(state_, *state_.deletionFailures())
                       : standInCard(tr("Done"), [this] { state_.setDeletionFailures(std::nullopt); });
        case Card::notice:
            return new NoticeSheet(state_, *state_.errorMessage());
        case Card::none:
            break;
    }
    return nullptr;
}

void ModalHost::rebuild(Card want) {
    const bool wasPresented = shown_ != Card::none;
    if (!wasPresented && want != Card::none) {
        QWidget* focus = window() ? window()->focusWidget() : nullptr;
        focusBefore_ = focus && !isAncestorOf(focus) ? focus : nullptr;
    }
    const QRegion hiddenByCard = dropCard(want);
    shown_ = want;
    if (want == Card::none) return leave(wasPresented, hiddenByCard);
    present(makeCard(want), wasPresented);
}

QRegion ModalHost::dropCard(Card want) {
    // Where the card paints opaque, a change beneath repainted nothing of the layer: unknown.
    QRegion hiddenByCard;
    if (!card_) return hiddenByCard;
    if (want == Card::none && isVisible()) {
        takeSnapshot();
        hiddenByCard = opaqueOnCard();
    }
    // The card may be deleting itself from inside one of its own buttons: let that return first.
    card_->hide();
    card_->deleteLater();
    card_ = nullptr;
    return hiddenByCard;
}

void ModalHost::leave(bool wasPresented, const QRegion& hiddenByCard) {
    // The layer lets clicks through as soon as it starts to leave.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    if (wasPresented && focusBefore_) focusBefore_->setFocus(Qt::OtherFocusReason);
    // Repainting everything beneath on every frame of the leave costs more than a frame: the
    // leave draws the picture of it instead, and what starts to move beneath waits for the end.
    stale_ += hiddenByCard;
    // A picture not yet rendered whole would take the time of many frames now: without it, the
    // leave goes as it would.
    if (wasPresented && isVisible() && !AnimatedValue::allInstant() && presence_.value() > 0 &&
        underlayComplete() && renderStale(-1)) {
        setDrawsUnderlay(true);
        holdItemStarts(true);
    }
    presence_.animateTo(0, Motion::modal());
    if (!wasPresented) hide();
}

void ModalHost::present(QWidget* card, bool wasPresented) {
    card->setParent(this);
    card->installEventFilter(this);
    card_ = card;
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    snapshotShown_ = false;
    snapshotBase_ = QRect();
    // A card coming back while the layer leaves: what waited beneath goes now, and shows.
    stopUncovering();
    holdItemStarts(false);
    setDrawsUnderlay(false);
    layoutCard();
    card->show();
    if (!wasPresented) {
        // A layer not yet placed in its window waits for its parent (see event()).
        if (parentWidget()) show();
        if (!AnimatedValue::allInstant() && presence_.value() < 1) {
            takeSnapshot();
            card->hide();
        }
        presence_.animateTo(1, Motion::modal());
    }
    if (card_ && card_->isVisible()) card_->setFocus(Qt::OtherFocusReason);
    update();
}

void ModalHost::layoutCard() {
    if (!card_) return;
    card_->ensurePolished();
    if (card_->layout()) card_->layout()->activate();
    const int width = card_->hasHeightForWidth() || qobject_cast<SheetCard*>(card_)
                          ? SheetCard::kWidth
                          : card_->sizeHint().width();
    int height = card_->hasHeightForWidth() ? card_->heightForWidth(width) : card_->sizeHint().height();
    height = std::max(0, std::min(height, this->height() - 2 * kCardMargin));
    card_->setGeometry((this->width() - width) / 2, (this->height() - height) / 2, width, height);
}

void ModalHost::takeSnapshot() {
    if (!card_) return;
    // The card is painted over its window's fill (as QWidget::grab() paints it), so over the picture
    // it left before it covers that whole: only the shadow around it is kept, if it fits.
    const bool covers = card_->palette().brush(card_->backgroundRole()).isOpaque();
    if (!covers || snapshotBase_ != card_->geometry() || snapshot_.devicePixelRatio() != devicePixelRatioF())
        drawSnapshotBase();
    QPainter p(&snapshot_);
    card_->render(&p, snapshotRect_.topLeft() - snapshotAt_.toPoint(), QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
    snapshotShown_ = true;
}

// The shadow is blurred and tinted once, under the card's picture: a frame then draws one picture.
void ModalHost::drawSnapshotBase() {
    snapshotRect_ = card_->geometry();
    const bool shadow = castsShadow(card_);
    const QRect frame = shadow ? shadowFrame(snapshotRect_) : snapshotRect_;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(frame.size()) * dpr).toSize();
    if (snapshot_.size() != pixels || snapshot_.devicePixelRatio() != dpr) {
        snapshot_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        snapshot_.setDevicePixelRatio(dpr);
    }
    snapshot_.fill(Qt::transparent);
    snapshotAt_ = frame.topLeft();
    snapshotBase_ = snapshotRect_;
    if (!shadow) return;
    QPainter p(&snapshot_);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-frame.topLeft());
    Shapes::shadow(p, SheetCard::shape(QRectF(snapshotRect_)),
                   QColor::fromRgbF(0, 0, 0, float(SheetCard::kShadowOpacity)), SheetCard::kShadowRadius,
                   QPointF(0, SheetCard::kShadowDrop));
}

// The card with all its shadow can reach.
QRect ModalHost::shadowFrame(const QRect& card) {
    const int reach = int(std::ceil(Shapes::reach(SheetCard::kShadowRadius))) + 2;
    return card.adjusted(-reach, -reach, reach, reach + int(std::ceil(SheetCard::kShadowDrop)));
}

void ModalHost::presenceChanged(double value) {
    if (value >= 1 && card_) {
        snapshotShown_ = false;
        setDrawsUnderlay(false);
        if (!card_->isVisible()) {
            card_->show();
            card_->setFocus(Qt::OtherFocusReason);
        }
    }
    if (value <= 0 && shown_ == Card::none) {
        // Hidden at once, the layer would have the window repaint all that is beneath it in one
        // frame: over its picture, it gives the window back a band at a time instead.
        if (drawsUnderlay_ && uncovered_ == 0) {
            uncover_.start(kUncoverStepMs);
        } else if (!drawsUnderlay_) {
            finishLeaving();
        }
    }
    update();
}

void ModalHost::uncoverStep() {
    const int full = parentWidget() ? parentWidget()->height() : height();
    const int keep = full * (kUncoverBands - ++uncovered_) / kUncoverBands;
    if (keep <= 0 || !drawsUnderlay_ || shown_ != Card::none) {
        finishLeaving();
        return;
    }
    uncovering_ = true;
    resize(width(), keep);
    uncovering_ = false;
    uncover_.start(kUncoverStepMs);
}

void ModalHost::stopUncovering() {
    uncover_.stop();
    if (std::exchange(uncovered_, 0) > 0 && parentWidget()) setGeometry(parentWidget()->rect());
}

void ModalHost::finishLeaving() {
    snapshotShown_ = false;
    snapshot_ = QImage();
    snapshotBase_ = QRect();
    setDrawsUnderlay(false);
    // Nothing tells the hidden layer what changes beneath it.
    underlay_ = QImage();
    stale_ = QRegion();
    unrendered_ = QRegion();
    refresh_.stop();
    hide();
    stopUncovering();
    holdItemStarts(false);
}

bool ModalHost::underlayFresh() const {
    return !underlay_.isNull() && underlay_.size() == (QSizeF(size()) * devicePixelRatioF()).toSize() &&
           underlay_.devicePixelRatio() == devicePixelRatioF() && stale_.isEmpty();
}

bool ModalHost::canRenderUnderlay() const {
    return parentWidget() && isVisible() && !size().isEmpty();
}

bool ModalHost::renderStale(int budgetMs) {
    if (!canRenderUnderlay()) return false;
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (underlay_.size() != pixels || underlay_.devicePixelRatio() != dpr) {
        underlay_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        underlay_.setDevicePixelRatio(dpr);
        stale_ = rect();
        unrendered_ = rect();
    }
    if (stale_.isEmpty()) return true;
    QElapsedTimer spent;
    spent.start();
    QPainter p(&underlay_);
    // Band by band from the top, so an idle refresh can stop between two and leave the rest.
    const QRect bounds = stale_.boundingRect();
    for (int y = bounds.top(); y <= bounds.bottom(); y += kRefreshBand) {
        const QRegion band = stale_ & QRect(bounds.left(), y, bounds.width(), kRefreshBand);
        renderBeneath(p, band);
        stale_ -= band;
        unrendered_ -= band;
        if (budgetMs >= 0 && spent.elapsed() >= budgetMs) break;
    }
    if (stale_.isEmpty()) staleSince_.invalidate();
    return stale_.isEmpty();
}

// Paints `region` of what lies beneath the layer, as the window would: the window's background, the
// parent's own painting, then every sibling below the layer in stacking order.
void ModalHost::renderBeneath(QPainter& p, const QRegion& region) {
    QWidget* parent = parentWidget();
    p.save();
    p.setClipRegion(region);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(region.boundingRect(), window()->palette().color(QPalette::Window));
    p.restore();
    // QWidget::render puts the top left of the source region's bounds at the target offset.
    const auto render = [&](QWidget* w, QWidget::RenderFlags flags) {
        const QPoint at = (w == parent ? QPoint() : w->pos()) - pos();
        const QRegion source = region.translated(-at) & w->rect();
        if (!source.isEmpty()) w->render(&p, at + source.boundingRect().topLeft(), source, flags);
    };
    render(parent, parent->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
    // A copy: a widget may make others as it is painted.
    const QObjectList children = parent->children();
    for (QObject* child : children) {
        if (child == this) break;
        auto* sibling = qobject_cast<QWidget*>(child);
        if (sibling && !sibling->isWindow() && !sibling->isHidden()) render(sibling, QWidget::DrawChildren);
    }
}

// The parts of the card the window paints without the layer under them (as Qt judges a widget
// opaque), as they show.
QRegion ModalHost::opaqueOnCard() const {
    QRegion opaque;
    if (!card_ || !card_->isVisible()) return opaque;
    QList<QWidget*> widgets = card_->findChildren<QWidget*>();
    widgets.prepend(card_);
    for (QWidget* w : widgets) {
        if (w->isWindow() || !w->isVisible() || w->graphicsEffect()) continue;
        const QBrush fill = w->palette().brush(w->backgroundRole());
        if (w->testAttribute(Qt::WA_OpaquePaintEvent) || w->testAttribute(Qt::WA_PaintOnScreen) ||
            (w->autoFillBackground() && fill.style() != Qt::NoBrush && fill.isOpaque()))
            opaque += w->visibleRegion().translated(w->mapTo(this, QPoint(0, 0)));
    }
    return opaque;
}

void ModalHost::setDrawsUnderlay(bool draws) {
    if (draws == drawsUnderlay_) return;
    drawsUnderlay_ = draws;
    // An opaque layer is all the window paints where it lies: nothing beneath is repainted.
    setAttribute(Qt::WA_OpaquePaintEvent, draws);
    // What changed beneath while the picture stood in for it is not known.
    if (!draws) stale_ = rect();
}

void ModalHost::holdItemStarts(bool hold) {
    if (hold == holdsStarts_) return;
    holdsStarts_ = hold;
    // Items that start to evaporate while the layer leaves over its picture would go unseen.
    if (hold)
        EvaporateTrigger::holdStarts();
    else
        EvaporateTrigger::releaseStarts();
}

bool ModalHost::event(QEvent* event) {
    // Moving into a window hides a widget; the layer shows again when it has a card.
    if (event->type() == QEvent::ParentChange && parentWidget()) {
        setVisible(shown_ != Card::none);
        layoutCard();
    }
    return QWidget::event(event);
}

bool ModalHost::eventFilter(QObject* watched, QEvent* event) {
    // The shadow reaches far beyond the card, where a card that grows or moves (a list measured
    // after it was placed) repaints nothing of ours: the old shadow would stay, cut off square.
    // Only the shadow's frames are repainted: the rest of the window is what beneath it changed.
    if (watched == card_ && event->type() == QEvent::Move)
        update(QRegion(shadowFrame(QRect(static_cast<QMoveEvent*>(event)->oldPos(), card_->size()))) +
               shadowFrame(card_->geometry()));
    if (watched == card_ && event->type() == QEvent::Resize)
        update(QRegion(shadowFrame(QRect(card_->pos(), static_cast<QResizeEvent*>(event)->oldSize()))) +
               shadowFrame(card_->geometry()));
    return QWidget::eventFilter(watched, event);
}

void ModalHost::paintEvent(QPaintEvent* event) {
    // Whatever the window repainted here may have changed beneath (or on the card). While the
    // picture stands in for it, what is beneath is not what the window shows.
    if (!drawsUnderlay_ && !event->region().isEmpty()) {
        stale_ += event->region();
        if (!staleSince_.isValid()) staleSince_.start();
        // A steady change beneath (a progress line) postpones the refresh only so long.
        if (!refresh_.isActive() || staleSince_.elapsed() < 4 * kRefreshDelayMs)
            refresh_.start(kRefreshDelayMs);
    }
    QPainter p(this);
    const double t = presence_.value();
    if (drawsUnderlay_) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPointF(0, 0), underlay_);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, float(kScrimOpacity * t)));

    if (snapshotShown_) {
        // Entering or leaving: the card's picture scales from 0.95 about its centre and fades with
        // the scrim.
        const double scale = 0.95 + 0.05 * t;
        const QPointF c = QRectF(snapshotRect_).center();
        p.translate(c);
        p.scale(scale, scale);
        p.translate(-c);
        p.setRenderHint(QPainter::Antialiasing, scale != 1);
        p.setRenderHint(QPainter::SmoothPixmapTransform, scale != 1);
        p.setOpacity(t);
        p.drawImage(snapshotAt_, snapshot_);
    } else if (card_ && card_->isVisible() && castsShadow(card_)) {
        p.setRenderHint(QPainter::Antialiasing);
        Shapes::shadow(p, SheetCard::shape(QRectF(card_->geometry())),
                       QColor::fromRgbF(0, 0, 0, float(SheetCard::kShadowOpacity)), SheetCard::kShadowRadius,
                       QPointF(0, SheetCard::kShadowDrop));
    }
}

void ModalHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // A picture of another size cannot stand in for what is beneath (the layer's own giving back of
    // the window aside).
    if (uncovering_) return;
    if (drawsUnderlay_) {
        setDrawsUnderlay(false);
        holdItemStarts(false);
    }
    layoutCard();
}

void ModalHost::mousePressEvent(QMouseEvent* event) {
    pressedOutside_ = shown_ != Card::none && !cardRect().contains(event->position().toPoint());
    event->accept();
}

void ModalHost::mouseReleaseEvent(QMouseEvent* event) {
    const bool outside = shown_ != Card::none && !cardRect().contains(event->position().toPoint());
    if (pressedOutside_ && outside) {
        dismissing_ = true;
        dismiss(state_);
        dismissing_ = false;
        follow(Card::none);
    }
    pressedOutside_ = false;
    event->accept();
}

void ModalHost::mouseDoubleClickEvent(QMouseEvent* event) {
    // Only a single click dismisses; the second press of a double click falls on the content again.
    event->accept();
}

}  // namespace nimbrel
