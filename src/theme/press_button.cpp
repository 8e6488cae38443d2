#include "theme/press_button.h"

#include <QAbstractScrollArea>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include "theme/palette.h"
#include "theme/shapes.h"

namespace nimbrel {

namespace {

// A see-through layer that carries a control's focus ring. The ring reaches outside the control, so
// the layer lives on the nearest ancestor with room for all of it (a tight row, a card's header or a
// chip row would cut it), above what that ancestor shows. A scroll view's edge cuts the ring only
// where content lies beyond that edge: a chip row scrolls sideways, so its ring passes above and below.
class FocusRingLayer : public QWidget {
  public:
    explicit FocusRingLayer(PressButton* owner) : owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }
    ~FocusRingLayer() override { unwatch(); }

    void follow(int outset) {
        constexpr int kFar = 1 << 24;
        QWidget* w = owner_->parentWidget();
        QRect need = owner_->geometry().adjusted(-outset, -outset, outset, outset);
        QRect clip(-kFar, -kFar, 2 * kFar, 2 * kFar);
        std::vector<QWidget*> between;
        for (;;) {
            auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
            if (area && area->viewport() == w) {
                QRect edges = w->rect();
                const QScrollBar* across = area->horizontalScrollBar();
                const QScrollBar* down = area->verticalScrollBar();
                if (across->maximum() <= across->minimum()) edges.setLeft(-kFar), edges.setRight(kFar);
                if (down->maximum() <= down->minimum()) edges.setTop(-kFar), edges.setBottom(kFar);
                clip &= edges;
            }
            if (w->rect().contains(need & clip) || w->isWindow() || !w->parentWidget()) break;
            between.push_back(w);
            need.translate(w->pos());
            clip.translate(w->pos());
            w = w->parentWidget();
        }
        const QRect shown = need & clip & w->rect();
        if (shown.isEmpty()) {
            hide();
            return;
        }
        if (parentWidget() != w) setParent(w);
        setGeometry(shown);
        if (!std::equal(between.begin(), between.end(), watched_.begin(), watched_.end())) {
            unwatch();
            for (QWidget* b : between) {
                b->installEventFilter(this);
                watched_.emplace_back(b);
            }
        }
        show();
        raise();
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!owner_) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(owner_->mapTo(parentWidget(), QPoint(0, 0)) - pos());
        owner_->paintFocusRing(p);
    }
    // A widget between the control and the layer's parent moved (a list scrolled, a row slid).
    bool eventFilter(QObject*, QEvent* e) override {
        if ((e->type() == QEvent::Move || e->type() == QEvent::Resize) && owner_ && isVisible())
            follow(owner_->focusRingOutset());
        return false;
    }

  private:
    void unwatch() {
        for (const QPointer<QWidget>& b : watched_)
            if (b) b->removeEventFilter(this);
        watched_.clear();
    }

    QPointer<PressButton> owner_;
    std::vector<QPointer<QWidget>> watched_;
};

// What assistive technology reads of a control. The controls paint their titles themselves, so a
// title's "&" is a character, never a mnemonic: it is read as written ("Review & Nimbrelise…").
// A toggle (a tick box, a switch) is a check box; a button that marks the current choice (an area,
// a sort, a filter chip) is a button with a checked state.
class PressButtonAccessible : public QAccessibleWidget {
  public:
    explicit PressButtonAccessible(PressButton* button)
        : QAccessibleWidget(button, button->isCheckable() && !button->returnPresses() ? QAccessible::CheckBox
                                                                                      : QAccessible::Button) {
    }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return QAccessibleWidget::text(t);
        if (!widget()->accessibleName().isEmpty()) return widget()->accessibleName();
        const QString title = button()->text();
        return title.isEmpty() ? widget()->toolTip() : title;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (button()->isCheckable()) {
            s.checkable = true;
            s.checked = button()->isChecked();
        }
        if (button()->isDown()) s.pressed = true;
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{button()->isCheckable() && !button()->returnPresses() ? toggleAction()
                                                                                 : pressAction()} +
               QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (!widget()->isEnabled()) return;
        if (name == pressAction() || name == toggleAction())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

  private:
    PressButton* button() const { return static_cast<PressButton*>(widget()); }
};

QAccessibleInterface* pressButtonAccessible(const QString&, QObject* object) {
    if (auto* button = qobject_cast<PressButton*>(object)) return new PressButtonAccessible(button);
    return nullptr;
}

}  // namespace

PressButton::PressButton(QWidget* parent) : QAbstractButton(parent) {
    static const bool accessible = [] {
        QAccessible::installFactory(pressButtonAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    // Focus from the keyboard only: a click must not leave a focus ring behind.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::ArrowCursor);
    connect(&hover_, &AnimatedValue::changed, this, [this] {
        update();
        DecorationHost::refresh(this);
    });
    connect(&scale_, &AnimatedValue::changed, this, [this] {
        update();
        if (ringLayer_ && ringLayer_->isVisible()) ringLayer_->update();
    });
    connect(this, &QAbstractButton::pressed, this,
            [this] { scale_.animateTo(pressedScale_, Motion::press()); });
    connect(this, &QAbstractButton::released, this, [this] { scale_.animateTo(1.0, Motion::press()); });
}

void PressButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!isEnabled()) p.setOpacity(disabledOpacity_);
    const double s = scale_.value();
    if (s != 1.0) {
        const QPointF c = QRectF(rect()).center();
        p.translate(c);
        p.scale(s, s);
        p.translate(-c);
    }
    paintContent(p);
}

void PressButton::setHovering(bool on) {
    if (on && hoverNeedsEnabled_ && !isEnabled()) on = false;
    if (on == hovering_) return;
    hovering_ = on;
    hover_.animateTo(on ? 1.0 : 0.0, Motion::hover());
    hoverChanged(on);
    update();
}

QMargins PressButton::decorationMargins() const {
    return QMargins(ringOutset_, ringOutset_, ringOutset_, ringOutset_);
}

void PressButton::paintFocusRing(QPainter& p) {
    if (ringOutset_ <= 0) return;
    const double half = 1.0;  // the 2-point line lies inside the ring's outer edge
    const QRectF outer = QRectF(rect()).adjusted(-ringOutset_, -ringOutset_, ringOutset_, ringOutset_);
    p.setPen(QPen(Palette::ink2().resolve(this), 2 * half));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(Shapes::inset(outer, half)));
}

bool PressButton::hitButton(const QPoint& pos) const {
    const QRectF r = QRectF(rect());
    switch (hitShape_) {
        case HitShape::capsule:
            return Shapes::capsule(r).contains(pos);
        case HitShape::circle: {
            const QPointF d = QPointF(pos) - r.center();
            const double radius = std::min(r.width(), r.height()) / 2;
            return d.x() * d.x() + d.y() * d.y() <= radius * radius;
        }
        case HitShape::rect:
            break;
    }
    return rect().contains(pos);
}

void PressButton::setFocusPreview(bool on) {
    focusPreview_ = on;
    update();
    DecorationHost::refresh(this);
    followFocusRing();
}

PressButton::~PressButton() {
    delete ringLayer_.data();  // it lives on an ancestor
}

void PressButton::followFocusRing() {
    const int outset = focusRingOutset();
    const bool show = outset > 0 && showsFocusRing() && isVisible() && parentWidget();
    if (!show) {
        if (ringLayer_) ringLayer_->hide();
        return;
    }
    if (!ringLayer_) ringLayer_ = new FocusRingLayer(this);
    static_cast<FocusRingLayer*>(ringLayer_.data())->follow(outset);
}

void PressButton::keyPressEvent(QKeyEvent* e) {
    if (returnPresses_ && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!e->isAutoRepeat() && isEnabled()) click();
        e->accept();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

bool PressButton::event(QEvent* e) {
    if (e->type() == QEvent::ParentChange) followFocusRing();
    return QAbstractButton::event(e);
}

void PressButton::enterEvent(QEnterEvent* e) {
    setHovering(true);
    QAbstractButton::enterEvent(e);
}

void PressButton::leaveEvent(QEvent* e) {
    setHovering(false);
    QAbstractButton::leaveEvent(e);
}

void PressButton::changeEvent(QEvent* e) {
    if (e->type() == QEvent::EnabledChange) {
        if (!isEnabled() && hoverNeedsEnabled_) setHovering(false);
        DecorationHost::refresh(this);
        followFocusRing();
    }
    QAbstractButton::changeEvent(e);
}

void PressButton::focusInEvent(QFocusEvent* e) {
    QAbstractButton::focusInEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
    update();
}

void PressButton::focusOutEvent(QFocusEvent* e) {
    QAbstractButton::focusOutEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
    update();
}

void PressButton::moveEvent(QMoveEvent* e) {
    QAbstractButton::moveEvent(e);
    DecorationHost::refresh(this, QRect(e->oldPos(), size()));
    if (ringLayer_ && ringLayer_->isVisible()) followFocusRing();
}

void PressButton::resizeEvent(QResizeEvent* e) {
    QAbstractButton::resizeEvent(e);
    DecorationHost::refresh(this, QRect(pos(), e->oldSize()));
    if (ringLayer_ && ringLayer_->isVisible()) followFocusRing();
}

void PressButton::showEvent(QShowEvent* e) {
    DecorationHost::attach(this);
    QAbstractButton::showEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
}

void PressButton::hideEvent(QHideEvent* e) {
    QAbstractButton::hideEvent(e);
    DecorationHost::refresh(this);
    followFocusRing();
}

}  // namespace nimbrel
