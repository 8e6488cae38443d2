#include "theme/surface.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"
#include "theme/typo.h"

namespace nimbrel {

Surface::Surface(int padding, double radius, bool lifted, QWidget* parent)
    : QWidget(parent), padding_(padding), radius_(radius), lifted_(lifted), lift_(lifted ? 1 : 0) {
    setContentsMargins(padding, padding, padding, padding);
    connect(&lift_, &AnimatedValue::changed, this, [this] { DecorationHost::refresh(this); });
}

void Surface::setLifted(bool lifted) {
    if (lifted == lifted_) return;
    lifted_ = lifted;
    lift_.animateTo(lifted ? 1 : 0, Motion::hover());
}

void Surface::setContent(QWidget* content) {
    if (!layout()) {
        auto* box = new QVBoxLayout(this);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    while (QLayoutItem* item = layout()->takeAt(0)) {
        if (item->widget()) item->widget()->deleteLater();
        delete item;
    }
    layout()->addWidget(content);
}

QMargins Surface::decorationMargins() const {
    const int reach = int(std::ceil(Shapes::reach(kShadowRadius)));
    return QMargins(reach, std::max(0, reach - int(kShadowDrop)), reach, reach + int(kShadowDrop));
}

void Surface::paintDecoration(QPainter& p) {
    const double o = lift_.value();
    if (o <= 0) return;
    Shapes::shadow(p, Shapes::rounded(QRectF(rect()), radius_), QColor::fromRgbF(0, 0, 0, float(0.25 * o)),
                   kShadowRadius, QPointF(0, kShadowDrop));
}

void Surface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    p.fillPath(Shapes::rounded(r, radius_), Palette::glass());
    // A brighter top edge and a fainter bottom one.
    QLinearGradient edge(0, 0, 0, 1);
    edge.setCoordinateMode(QGradient::ObjectMode);
    edge.setColorAt(0, withOpacity(Palette::glassEdge(), 1.6));
    edge.setColorAt(1, withOpacity(Palette::glassEdge(), 0.4));
    p.setPen(QPen(QBrush(edge), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::rounded(Shapes::inset(r, 0.5), std::max(0.0, radius_ - 0.5)));
}

void Surface::showEvent(QShowEvent* e) {
    DecorationHost::attach(this);
    QWidget::showEvent(e);
}

void Surface::moveEvent(QMoveEvent* e) {
    QWidget::moveEvent(e);
    if (lift_.value() > 0) DecorationHost::refresh(this, QRect(e->oldPos(), size()));
}

void Surface::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (lift_.value() > 0) DecorationHost::refresh(this, QRect(pos(), e->oldSize()));
}

// CardHeader

namespace {
constexpr double kSymbolSize = 11;
constexpr int kHeaderSpacing = 7;
constexpr double kTracking = 1.1;

QFont headerFont() {
    QFont f = Typo::micro();
    f.setLetterSpacing(QFont::AbsoluteSpacing, kTracking);
    return f;
}
}  // namespace

CardHeader::CardHeader(const QString& title, const QString& symbol, QWidget* trailing, QWidget* parent)
    : QWidget(parent), title_(title), symbol_(symbol), trailing_(trailing), row_(new QHBoxLayout(this)) {
    row_->setContentsMargins(0, 0, 0, 0);
    row_->setSpacing(kHeaderSpacing);
    row_->addStretch(1);
    if (trailing_) row_->addWidget(trailing_);
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

double CardHeader::textWidth() const {
    double w = QFontMetricsF(headerFont()).horizontalAdvance(shownTitle());
    if (!symbol_.isEmpty()) w += Symbols::side(kSymbolSize) + kHeaderSpacing;
    return w;
}

QSize CardHeader::sizeHint() const {
    const QSize t = trailing_ ? trailing_->sizeHint() : QSize();
    const int h = std::max({t.height(), int(std::ceil(QFontMetricsF(headerFont()).height())),
                            int(std::ceil(Symbols::side(kSymbolSize)))});
    return QSize(int(std::ceil(textWidth())) + (trailing_ ? kHeaderSpacing + t.width() : 0), h);
}

QSize CardHeader::minimumSizeHint() const {
    return QSize(0, sizeHint().height());
}

void CardHeader::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    double x = 0;
    if (!symbol_.isEmpty()) {
        const double side = Symbols::side(kSymbolSize);
        Symbols::draw(p, QRectF(0, 0, side, height()), symbol_.toStdString(), Palette::accent().resolve(this),
                      kSymbolSize, FontWeight::bold);
        x += side + kHeaderSpacing;
    }
    p.setFont(headerFont());
    p.setPen(Palette::ink2().resolve(this));
    const double room = (trailing_ ? trailing_->x() - kHeaderSpacing : width()) - x;
    p.drawText(QRectF(x, 0, std::max(0.0, room), height()), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(headerFont()).elidedText(shownTitle(), Qt::ElideRight, room));
}

// MCard

MCard::MCard(const std::optional<QString>& title, const QString& symbol, QWidget* trailing, QWidget* content,
             QWidget* parent)
    : Surface(16, 26, false, parent), content_(content) {
    auto* column = new QVBoxLayout(this);
    // The card's own contents margins already hold the padding.
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    if (title) {
        header_ = new CardHeader(*title, symbol, trailing, this);
        column->addWidget(header_);
    } else if (trailing) {
        trailing->setParent(this);
        trailing->hide();
    }
    if (content_) column->addWidget(content_);
    // A card taller than its content keeps the content at the top.
    column->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

}  // namespace nimbrel
