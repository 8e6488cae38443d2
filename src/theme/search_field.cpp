#include "theme/search_field.h"

#include <QEvent>
#include <QPainter>

#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"

namespace nimbrel {

namespace {
constexpr double kGlassSize = 11;
constexpr double kTextSize = 12.5;
}  // namespace

SearchClearButton::SearchClearButton(QWidget* parent) : PressButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(tr("Clear"));
    setCursor(Qt::ArrowCursor);
}

QSize SearchClearButton::sizeHint() const {
    const int side = int(std::ceil(Symbols::side(kTextSize)));
    return QSize(side, side);
}

void SearchClearButton::paintContent(QPainter& p) {
    Symbols::draw(p, QRectF(rect()), "xmark.circle.fill", Palette::ink3().resolve(this), kTextSize);
}

SearchField::SearchField(const QString& prompt, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), clear_(new SearchClearButton(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusProxy(edit_);
    edit_->setFrame(false);
    edit_->setPlaceholderText(prompt);
    edit_->setAccessibleName(prompt);
    edit_->setFont(Fonts::font(kTextSize));
    edit_->setAttribute(Qt::WA_MacShowFocusRect, false);
    edit_->installEventFilter(this);
    clear_->hide();
    connect(&ring_, &AnimatedValue::changed, this, [this] { update(); });
    connect(edit_, &QLineEdit::textChanged, this, [this](const QString& t) {
        clear_->setVisible(!t.isEmpty());
        relayout();
        emit textChanged(t);
    });
    // Clearing leaves the focus where it was: the button itself never takes it.
    connect(clear_, &QAbstractButton::clicked, this, [this] { edit_->clear(); });
    applyColours();
    relayout();
}

void SearchField::setText(const QString& text) {
    if (text != edit_->text()) edit_->setText(text);
}

QSize SearchField::sizeHint() const {
    return QSize(220, kHeight);
}
QSize SearchField::minimumSizeHint() const {
    return QSize(2 * kPadding + 60, kHeight);
}

void SearchField::applyColours() {
    const Appearance a = AppearanceOf::widget(this);
    if (paletteFor_ == a) return;
    paletteFor_ = a;
    QPalette pal = edit_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Window, Qt::transparent);
    pal.setColor(QPalette::Text, Palette::ink().resolve(this));
    pal.setColor(QPalette::PlaceholderText, Palette::ink3().resolve(this));
    pal.setColor(QPalette::Highlight, withOpacity(Palette::accent().resolve(this), 0.35));
    pal.setColor(QPalette::HighlightedText, Palette::ink().resolve(this));
    edit_->setPalette(pal);
}

void SearchField::changeEvent(QEvent* e) {
    // The appearance may be set on the window after construction.
    if (e->type() == QEvent::ParentChange || e->type() == QEvent::DynamicPropertyChange ||
        e->type() == QEvent::StyleChange)
        applyColours();
    QWidget::changeEvent(e);
}

void SearchField::relayout() {
    const int y0 = (height() - kHeight) / 2;
    const int glass = int(std::ceil(Symbols::side(kGlassSize)));
    int left = kPadding + glass + kSpacing;
    int right = width() - kPadding;
    if (clear_->isVisible() || !edit_->text().isEmpty()) {
        const QSize cs = clear_->sizeHint();
        clear_->setGeometry(right - cs.width(), y0 + (kHeight - cs.height()) / 2, cs.width(), cs.height());
        right -= cs.width() + kSpacing;
    }
    edit_->setGeometry(left, y0 + 2, std::max(0, right - left), kHeight - 4);
}

void SearchField::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    applyColours();
    relayout();
}

bool SearchField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        focused_ = event->type() == QEvent::FocusIn;
        // The ring fades with the hover motion, whatever Reduce Motion says.
        ring_.animateTo(focused_ ? 1 : 0, Motion::hover());
    }
    return QWidget::eventFilter(watched, event);
}

void SearchField::paintEvent(QPaintEvent*) {
    // The window may change its appearance at any time; the text field's palette follows it here.
    applyColours();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, (height() - kHeight) / 2.0, width(), kHeight);
    p.fillPath(Shapes::capsule(r), Palette::well().resolve(this));
    if (ring_.value() > 0) {
        p.setPen(QPen(withOpacity(Palette::accent().resolve(this), ring_.value()), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::capsule(Shapes::inset(r, 0.75)));
    }
    const double glass = Symbols::side(kGlassSize);
    Symbols::draw(p, QRectF(kPadding, r.top(), glass, r.height()), "magnifyingglass",
                  Palette::ink3().resolve(this), kGlassSize, FontWeight::bold);
}

}  // namespace nimbrel
