#include "views/kit/area_header.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include "theme/fonts.h"
#include "theme/palette.h"
#include "theme/press_button.h"
#include "theme/shapes.h"
#include "views/kit/elided_label.h"
#include "views/kit/navigation.h"

namespace nimbrel {

namespace {

constexpr double kTracking = -0.4;
constexpr int kRingOutset = 4;
constexpr double kRingRadius = 10;

// One title of the row, with the band of its underline: it draws the title on the row's baseline
// and sets the section when pressed. Its focus ring takes in the underline.
class AreaTab : public PressButton {
  public:
    AreaTab(AreaTabs* tabs, AppState& state, SidebarItem item) : PressButton(tabs), tabs_(tabs), item_(item) {
        setText(title(item));
        setCheckable(true);  // the current section reads as checked
        setHitShape(HitShape::rect);
        setCapsuleRing(kRingOutset);
        connect(this, &QAbstractButton::clicked, this, [this, &state, item] {
            const bool keyboard = hasFocus();
            QWidget* window = this->window();
            state.setSection(item);
            // The area shows the section under a header of its own: the keyboard stays on this
            // tab there, once that header has been shown.
            if (keyboard)
                QMetaObject::invokeMethod(
                    window,
                    [window = QPointer<QWidget>(window), item] {
                        if (!window) return;
                        for (AreaTabs* tabs : window->findChildren<AreaTabs*>())
                            if (PressButton* tab = tabs->tab(item); tab && tab->isVisible())
                                tab->setFocus(Qt::TabFocusReason);
                    },
                    Qt::QueuedConnection);
        });
    }
    void follow() {
        setChecked(tabs_->isSelected(item_));
        setEnabled(tabs_->isPressable());
        setGeometry(tabs_->titleRect(item_).adjusted(0, 0, 0, AreaTabs::kUnderlineGap).toAlignedRect());
        update();
    }
    // A rounded rectangle rather than a capsule: the round ends would crowd a large title's letters.
    void paintFocusRing(QPainter& p) override {
        const QRectF outer = QRectF(rect()).adjusted(-kRingOutset, -kRingOutset, kRingOutset, kRingOutset);
        p.setPen(QPen(Palette::ink2().resolve(this), 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Shapes::rounded(Shapes::inset(outer, 1), kRingRadius));
    }

  protected:
    void paintContent(QPainter& p) override {
        p.setFont(tabs_->titleFont(item_));
        p.setPen((tabs_->isSelected(item_) ? Palette::ink() : Palette::ink3()).resolve(this));
        p.drawText(QPointF(tabs_->titleRect(item_).x() - x(), tabs_->baseline() - y()), text());
    }

  private:
    AreaTabs* tabs_;
    SidebarItem item_;
};

}  // namespace

AreaHeader::AreaHeader(AppState& state, std::optional<QString> subtitle, QWidget* trailing, QWidget* parent)
    : QWidget(parent), state_(state), subtitle_(std::move(subtitle)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(32, 12, 32, 16);
    row->setSpacing(16);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    tabs_ = new AreaTabs(state_, this);
    column->addWidget(tabs_, 0, Qt::AlignLeft);
    caption_ = new ElidedLabel(this);
    caption_->setFont(Fonts::font(12, FontWeight::medium));
    caption_->setColor([](const QWidget* w) { return Palette::ink3().resolve(w); });
    caption_->setElideMode(Qt::ElideMiddle);
    caption_->setFixedDigits(true);  // a shelf's subtitle counts and sums what it holds
    // The tab row already reserves the underline's 6 below the titles, which is the caption's gap.
    column->addWidget(caption_);
    row->addLayout(column, 1);
    row->addSpacing(0);
    if (trailing) {
        trailing->setParent(this);
        row->addWidget(trailing, 0, Qt::AlignBottom);
    }

    connect(&state_, &AppState::sectionChanged, this, &AreaHeader::followState);
    followState();
}

void AreaHeader::setSubtitle(std::optional<QString> subtitle) {
    subtitle_ = std::move(subtitle);
    followState();
}

QString AreaHeader::caption() const {
    if (subtitle_) return *subtitle_;
    const std::optional<SidebarItem> section = state_.section();
    return section ? nimbrel::caption(*section) : QString();
}

void AreaHeader::followState() {
    caption_->setText(caption());
}

AreaTabs::AreaTabs(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&state_, &AppState::sectionChanged, this, &AreaTabs::followState);
    followState();
}

void AreaTabs::followState() {
    const std::vector<SidebarItem> items = nimbrel::items(Navigation::currentArea(state_));
    if (items != items_) {
        for (PressButton* tab : tabs_)
            delete tab;
        tabs_.clear();
        items_ = items;
        for (SidebarItem item : items_) {
            tabs_.push_back(new AreaTab(this, state_, item));
            tabs_.back()->show();
        }
    }
    placeTabs();
    updateGeometry();
    update();
}

void AreaTabs::placeTabs() {
    for (PressButton* tab : tabs_)
        static_cast<AreaTab*>(tab)->follow();
}

PressButton* AreaTabs::tab(SidebarItem item) const {
    const auto at = std::find(items_.begin(), items_.end(), item);
    return at == items_.end() ? nullptr : tabs_[size_t(at - items_.begin())];
}

bool AreaTabs::isSelected(SidebarItem item) const {
    return state_.section() == item;
}

bool AreaTabs::hasUnderline() const {
    if (!isPressable()) return false;
    const std::optional<SidebarItem> section = state_.section();
    return section && std::find(items_.begin(), items_.end(), *section) != items_.end();
}

QFont AreaTabs::titleFont(SidebarItem item) const {
    QFont font =
        Fonts::font(kTitleSize, isSelected(item) ? FontWeight::heavy : FontWeight::bold, FontDesign::rounded);
    font.setLetterSpacing(QFont::AbsoluteSpacing, kTracking);
    return font;
}

QRectF AreaTabs::titleRect(SidebarItem item) const {
    double x = 0;
    for (SidebarItem i : items_) {
        const QFontMetricsF fm(titleFont(i));
        const double w = fm.horizontalAdvance(title(i));
        if (i == item) return QRectF(x, 0, w, fm.height());
        x += w + kSpacing;
    }
    return {};
}

QSize AreaTabs::sizeHint() const {
    if (items_.empty()) return {};
    const QRectF last = titleRect(items_.back());
    double height = 0;
    for (SidebarItem i : items_)
        height = std::max(height, titleRect(i).height());
    return QSize(static_cast<int>(std::ceil(last.right())),
                 static_cast<int>(std::ceil(height + kUnderlineGap)));
}

double AreaTabs::baseline() const {
    double ascent = 0;
    for (SidebarItem i : items_)
        ascent = std::max(ascent, QFontMetricsF(titleFont(i)).ascent());
    return ascent;
}

void AreaTabs::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeTabs();
}

// The titles draw themselves; the row draws the underline under the selected one.
void AreaTabs::paintEvent(QPaintEvent*) {
    if (!hasUnderline()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = titleRect(*state_.section());
    const QFontMetricsF fm(titleFont(*state_.section()));
    const double bottom = baseline() + fm.descent();
    const QRectF line(r.x(), bottom - kUnderlineHeight + kUnderlineGap, r.width(), kUnderlineHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::nimbrel());
    p.drawRoundedRect(line, kUnderlineHeight / 2, kUnderlineHeight / 2);
}

}  // namespace nimbrel
