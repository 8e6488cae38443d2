#include "views/kit/modal_host.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

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
    hide();
    follow(Card::none);
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

void ModalHost::rebuild(Card want) {
    const bool wasPresented = shown_ != Card::none;
    if (!wasPresented && want != Card::none) {
        QWidget* focus = window() ? window()->focusWidget() : nullptr;
        focusBefore_ = focus && !isAncestorOf(focus) ? focus : nullptr;
    }
    if (card_) {
        if (want == Card::none && isVisible()) takeSnapshot();
        // The card may be deleting itself from inside one of its own buttons: let that return first.
        card_->hide();
        card_->deleteLater();
        card_ = nullptr;
    }
    shown_ = want;
    if (want == Card::none) {
        // The layer lets clicks through as soon as it starts to leave.
        setAttribute(Qt::WA_TransparentForMouseEvents, true);
        if (wasPresented && focusBefore_) focusBefore_->setFocus(Qt::OtherFocusReason);
        presence_.animateTo(0, Motion::modal());
        if (!wasPresented) hide();
        return;
    }

    QWidget* card = nullptr;
    switch (want) {
        case Card::review:
            card = reviewFactory() ? reviewFactory()(state_)
                                   : standInCard(tr("Cancel"), [this] { state_.setIsReviewing(false); });
            break;
        case Card::confirm:
            card = new ConfirmSheet(state_, *state_.confirm());
            break;
        case Card::failures:
            card = failureFactory()
                       ? failureFactory()(state_, *state_.deletionFailures())
                       : standInCard(tr("Done"), [this] { state_.setDeletionFailures(std::nullopt); });
            break;
        case Card::notice:
            card = new NoticeSheet(state_, *state_.errorMessage());
            break;
        case Card::none:
            break;
    }
    card->setParent(this);
    card->installEventFilter(this);
    card_ = card;
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    snapshot_ = QPixmap();
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
    snapshot_ = card_->grab();
    snapshotRect_ = card_->geometry();
    snapshotHasShadow_ = castsShadow(card_);
}

void ModalHost::presenceChanged(double value) {
    if (value >= 1 && card_) {
        snapshot_ = QPixmap();
        if (!card_->isVisible()) {
            card_->show();
            card_->setFocus(Qt::OtherFocusReason);
        }
    }
    if (value <= 0 && shown_ == Card::none) {
        snapshot_ = QPixmap();
        hide();
    }
    update();
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
    if (watched == card_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) update();
    return QWidget::eventFilter(watched, event);
}

void ModalHost::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const double t = presence_.value();
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, float(kScrimOpacity * t)));

    const auto shadow = [&](const QRectF& r, double opacity) {
        Shapes::shadow(p, SheetCard::shape(r),
                       QColor::fromRgbF(0, 0, 0, float(SheetCard::kShadowOpacity * opacity)),
                       SheetCard::kShadowRadius, QPointF(0, SheetCard::kShadowDrop));
    };
    if (!snapshot_.isNull()) {
        // Entering or leaving: the card's picture scales from 0.95 and fades with the scrim.
        const double scale = 0.95 + 0.05 * t;
        const QPointF c = QRectF(snapshotRect_).center();
        const QSizeF s = QSizeF(snapshotRect_.size()) * scale;
        const QRectF r(c.x() - s.width() / 2, c.y() - s.height() / 2, s.width(), s.height());
        if (snapshotHasShadow_) {
            // The shadow of the full-size card, scaled with it: blurred once, not once per frame.
            p.save();
            p.translate(c);
            p.scale(scale, scale);
            p.translate(-c);
            shadow(QRectF(snapshotRect_), t);
            p.restore();
        }
        p.setOpacity(t);
        p.drawPixmap(r, snapshot_, QRectF(snapshot_.rect()));
    } else if (card_ && card_->isVisible() && castsShadow(card_)) {
        shadow(QRectF(card_->geometry()), 1);
    }
}

void ModalHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
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
