#include "views/files/danger_banner.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "theme/chip.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "views/files/kind_line.h"
#include "views/files/review_model.h"
#include "views/kit/elided_label.h"
#include "views/kit/plain_label.h"
#include "views/kit/symbol_glyph.h"

namespace nimbrel {

namespace {

// A text that also flips the acknowledgement when clicked.
class ClickText : public PlainLabel {
  public:
    ClickText(const QString& text, std::function<void()> onClick, QWidget* parent)
        : PlainLabel(text, Fonts::font(12, FontWeight::semibold), Palette::ink(), parent),
          onClick_(std::move(onClick)) {
        wrapLines();
        setCursor(Qt::PointingHandCursor);
    }

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (rect().contains(event->position().toPoint()) && onClick_) onClick_();
    }

  private:
    std::function<void()> onClick_;
};

}  // namespace

DangerBanner::DangerBanner(const ReviewModel& model, bool acknowledged, std::function<void()> flip,
                           QWidget* parent)
    : QWidget(parent) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(12, 12, 12, 12);
    col->setSpacing(8);
    col->addLayout(buildTitle(model));
    col->addLayout(buildKinds(model));
    col->addLayout(buildAcknowledgement(acknowledged, flip));
}

QLayout* DangerBanner::buildTitle(const ReviewModel& model) {
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    titleRow->addWidget(new SymbolGlyph(QStringLiteral("exclamationmark.triangle.fill"), 13.5,
                                        fixedColor(Palette::magma()), FontWeight::regular, this));
    auto* title = new ElidedLabel(this);
    title->setFont(Fonts::font(13.5, FontWeight::bold));
    title->setColor(shownColor(Palette::ink()));
    title->setFixedDigits(true);
    title->setText(model.bannerTitle());
    titleRow->addWidget(title, 1);
    return titleRow;
}

// A line per kind, as many as are shown, and what the lines leave out.
QLayout* DangerBanner::buildKinds(const ReviewModel& model) {
    auto* kinds = new QVBoxLayout;
    kinds->setSpacing(3);
    const std::vector<ReviewModel::Kind> all = model.dangerKinds();
    for (size_t i = 0; i < all.size() && i < static_cast<size_t>(ReviewModel::kShownKinds); ++i) {
        const auto [lead, rest] = ReviewModel::kindLine(all[i]);
        kinds->addWidget(new KindLine(lead, rest, this));
    }
    const QString tail = model.bannerTail();
    if (!tail.isEmpty()) {
        auto* t = new ElidedLabel(this);
        t->setFont(Fonts::font(11.5));
        t->setColor(shownColor(Palette::ink3()));
        t->setFixedDigits(true);
        t->setText(tail);
        kinds->addWidget(t);
    }
    return kinds;
}

QLayout* DangerBanner::buildAcknowledgement(bool acknowledged, const std::function<void()>& flip) {
    auto* ack = new QHBoxLayout;
    ack->setContentsMargins(0, 2, 0, 0);
    ack->setSpacing(8);
    check_ = new NimbrelCheck(acknowledged, this);
    connect(check_, &NimbrelCheck::toggleRequested, this, flip);
    ack->addWidget(check_, 0, Qt::AlignVCenter);
    check_->setAccessibleName(tr("I've checked these, and I have a backup of anything I might need"));
    ack->addWidget(new ClickText(check_->accessibleName(), flip, this), 1);
    return ack;
}

// Magma at a low opacity, fill and edge.
void DangerBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = Shapes::rounded(r, 12);
    p.fillPath(shape, withOpacity(Palette::magma(), 0.12));
    p.setPen(QPen(withOpacity(Palette::magma(), 0.5), 1));
    p.drawPath(shape);
}

}  // namespace nimbrel
