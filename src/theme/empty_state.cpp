#include "theme/empty_state.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "theme/fonts.h"
#include "theme/logo.h"
#include "theme/palette.h"

namespace nimbrel {

namespace {

constexpr int kTextFlags = Qt::AlignHCenter | Qt::TextWordWrap;

QSizeF wrapped(const QFont& font, const QString& text, double maxWidth) {
    if (text.isEmpty()) return QSizeF(0, 0);
    const QFontMetricsF fm(font);
    return fm.boundingRect(QRectF(0, 0, std::max(1.0, maxWidth), 1e6), kTextFlags, text).size();
}

}  // namespace

EmptyState::EmptyState(const QString& title, const QString& message, const QList<QWidget*>& actions,
                       QWidget* parent)
    : QWidget(parent), title_(title), message_(message), actions_(new QWidget(this)) {
    actionsLayout_ = new QHBoxLayout(actions_);
    actionsLayout_->setContentsMargins(0, 0, 0, 0);
    actionsLayout_->setSpacing(int(kActionSpacing));
    for (QWidget* action : actions)
        actionsLayout_->addWidget(action, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QFont EmptyState::titleFont() {
    return Fonts::font(20, FontWeight::heavy, FontDesign::rounded);
}
QFont EmptyState::messageFont() {
    return Fonts::font(13, FontWeight::regular);
}

EmptyState::Heights EmptyState::heightsFor(double contentWidth) const {
    Heights h;
    const QSizeF title = wrapped(titleFont(), title_, contentWidth);
    const QSizeF message = wrapped(messageFont(), message_, std::min(kMessageWidth, contentWidth));
    h.titleWidth = title.width();
    h.messageWidth = message.width();
    h.title = title.height();
    h.message = message.height();
    // An empty row has no height, but its padding stays.
    h.actions = actionsLayout_->count() > 0 ? actions_->sizeHint().height() : 0.0;
    h.total = 1.1 * kLogoSize + kLogoGap + h.title + h.message + kActionsGap + h.actions + 3 * kSpacing;
    return h;
}

EmptyState::Layout EmptyState::layoutFor(QSize size) const {
    const QRectF content =
        QRectF(QPointF(0, 0), QSizeF(size)).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const Heights h = heightsFor(content.width());
    const double cx = content.center().x();
    double y = content.top() + (content.height() - h.total) / 2;
    Layout l;
    l.logo = QRectF(cx - kLogoSize / 2, y, kLogoSize, 1.1 * kLogoSize);
    y += l.logo.height() + kLogoGap + kSpacing;
    l.title = QRectF(content.left(), y, content.width(), h.title);
    y += h.title + kSpacing;
    const double messageWidth = std::min(kMessageWidth, content.width());
    l.message = QRectF(cx - messageWidth / 2, y, messageWidth, h.message);
    y += h.message + kSpacing + kActionsGap;
    const QSize row = actionsLayout_->count() > 0 ? actions_->sizeHint() : QSize(0, 0);
    l.actions = QRectF(cx - row.width() / 2.0, y, row.width(), h.actions);
    return l;
}

int EmptyState::heightForWidth(int width) const {
    return int(std::ceil(heightsFor(width - 2 * kPadding).total + 2 * kPadding));
}

QSize EmptyState::sizeHint() const {
    const QSizeF title = wrapped(titleFont(), title_, 1e6);
    const double content = std::max({kMessageWidth, title.width(), double(actions_->sizeHint().width())});
    const int width = int(std::ceil(content + 2 * kPadding));
    return QSize(width, heightForWidth(width));
}

QSize EmptyState::minimumSizeHint() const {
    const int width =
        int(std::ceil(std::max(kLogoSize, double(actions_->minimumSizeHint().width())) + 2 * kPadding));
    return QSize(width, heightForWidth(width));
}

void EmptyState::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    actions_->setGeometry(layoutFor(size()).actions.toAlignedRect());
}

bool EmptyState::event(QEvent* event) {
    // An action that changes its size asks its parents for a new layout.
    if (event->type() == QEvent::LayoutRequest) {
        actions_->setGeometry(layoutFor(size()).actions.toAlignedRect());
        updateGeometry();
    }
    return QWidget::event(event);
}

void EmptyState::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const Layout l = layoutFor(size());
    NimbrelLogo::paint(p, l.logo.topLeft(), kLogoSize);
    p.setFont(titleFont());
    p.setPen(Palette::ink().resolve(this));
    p.drawText(l.title, kTextFlags, title_);
    p.setFont(messageFont());
    p.setPen(Palette::ink2().resolve(this));
    p.drawText(l.message, kTextFlags, message_);
}

}  // namespace nimbrel
