#include "views/space/explorer_header.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>

#include "model/app_state.h"
#include "theme/chip.h"
#include "theme/fading_scroll.h"
#include "theme/figure_label.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/icon_button.h"
#include "theme/motion.h"
#include "theme/oklch.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"
#include "theme/shapes.h"
#include "theme/steamer.h"
#include "theme/symbols.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/path_actions.h"
#include "views/kit/plain_label.h"
#include "views/kit/plain_text.h"
#include "views/kit/shortcuts.h"
#include "views/space/space_headers.h"
#include "views/space/space_view_model.h"

namespace nimbrel {

namespace {

// One line the user can select and copy, cut in the middle to the width it is given (the selection
// copies what shows). It asks for its whole text's width, so a layout gives it what it has.
class SelectableLine : public PlainLabel {
  public:
    SelectableLine(const QFont& font, ColorFn color, QWidget* parent)
        : PlainLabel(QString(), font, std::move(color), parent) {
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    void setFullText(const QString& text) {
        if (text == full_) return;
        full_ = text;
        updateGeometry();
        cut();
    }
    QSize sizeHint() const override {
        const QFontMetrics fm(font());
        return {fm.horizontalAdvance(full_) + 1, fm.height()};
    }
    QSize minimumSizeHint() const override { return {0, QFontMetrics(font()).height()}; }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        PlainLabel::resizeEvent(event);
        cut();
    }

  private:
    void cut() {
        const QString shown = QFontMetrics(font()).elidedText(full_, Qt::ElideMiddle, contentsRect().width());
        if (shown != text()) setText(shown);
    }
    QString full_;
};

QColor dark(const AdaptiveColor& c) {
    return c.resolve(Appearance::dark);
}

// Separator between breadcrumbs.
class CrumbSeparator : public QWidget {
  public:
    explicit CrumbSeparator(QWidget* parent) : QWidget(parent) { setFixedSize(int(Symbols::side(11)), 30); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        Symbols::draw(p, rect(), "chevron.compact.right", Palette::ink3().resolve(this), 11,
                      FontWeight::bold);
    }
};
}  // namespace

// --- header --------------------------------------------------------------------------------------

ExplorerHeader::ExplorerHeader(SpaceViewModel& model, QWidget* parent) : QWidget(parent), vm_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(32, 12, 32, 16);
    row->setSpacing(16);

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    auto* line1 = new QHBoxLayout;
    line1->setSpacing(8);
    up_ = new IconButton(QStringLiteral("chevron.left"), 26, true, this);
    up_->setHelp(Shortcuts::withShortcut(tr("Up one level"), QKeySequence(Qt::CTRL | Qt::Key_Up)));
    up_->installEventFilter(this);
    // A key press is never a repeat nor held back by the mouse's guards.
    connect(up_, &IconButton::clicked, this, [this] {
        vm_.goUp(std::exchange(upByMouse_, false) ? ClickInfo::left(std::max(1, upCount_))
                                                  : ClickInfo::none());
    });
    line1->addWidget(up_);
    crumbScroll_ = new FadingScroll(Qt::Horizontal, 28, this);
    crumbScroll_->setFixedHeight(30);
    crumbRow_ = new QWidget;
    auto* crumbs = new QHBoxLayout(crumbRow_);
    crumbs->setContentsMargins(0, 0, 0, 0);
    crumbs->setSpacing(4);
    crumbScroll_->setContent(crumbRow_);
    line1->addWidget(crumbScroll_, 1);
    left->addLayout(line1);

    auto* line2 = new QHBoxLayout;
    line2->setSpacing(4);
    summary_ = new SelectableLine(
        Fonts::font(12, FontWeight::medium), [](const QWidget* w) { return Palette::ink3().resolve(w); },
        this);
    line2->addWidget(summary_, 0);
    actions_ = new PathActions(vm_.state(), {}, 22, this);
    line2->addWidget(actions_);
    line2->addStretch(1);
    left->addLayout(line2);
    row->addLayout(left, 1);
    row->addSpacing(16);

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    size_ =
        new FigureLabel(Fonts::font(32, FontWeight::black, FontDesign::rounded), Palette::ink(), true, this);
    size_->setAlignment(Qt::AlignRight);
    count_ = new FigureLabel(Fonts::font(12, FontWeight::medium), Palette::ink3(), false, this);
    count_->setAlignment(Qt::AlignRight);
    right->addWidget(size_, 0, Qt::AlignRight);
    right->addWidget(count_, 0, Qt::AlignRight);
    row->addLayout(right);
    row->setAlignment(left, Qt::AlignBottom);
    row->setAlignment(right, Qt::AlignBottom);
    refresh();
}

bool ExplorerHeader::eventFilter(QObject* watched, QEvent* event) {
    if (watched == up_) {
        if (event->type() == QEvent::MouseButtonRelease) upByMouse_ = true;
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) upByMouse_ = false;
    }
    if (watched == up_ &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QStyleHints* hints = QGuiApplication::styleHints();
        upCount_ = clicks_.press(me->globalPosition().toPoint(), std::chrono::steady_clock::now(),
                                 hints->mouseDoubleClickInterval(), hints->startDragDistance());
        if (event->type() == QEvent::MouseButtonDblClick) {
            // Qt turns the second press into a double-click event; the button still wants a press.
            QMouseEvent press(QEvent::MouseButtonPress, me->position(), me->globalPosition(), me->button(),
                              me->buttons(), me->modifiers());
            QApplication::sendEvent(up_, &press);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString ExplorerHeader::summaryText() const {
    const auto current = vm_.currentNode();
    if (!current) return {};
    if (current->parent()) return PathActions::abbreviate(current->path());
    const auto& result = vm_.state().result();
    return tr("Scanned %1 in %2")
        .arg(PathActions::abbreviate(current->path()), Fmt::duration(result ? result->duration() : 0));
}

QString ExplorerHeader::sizeText() const {
    const auto current = vm_.currentNode();
    return Fmt::bytes(current ? std::max<std::int64_t>(0, current->size()) : 0);
}

QString ExplorerHeader::countText() const {
    const auto current = vm_.currentNode();
    return Plural::choose(current ? current->fileCount() : 0, tr("%1 file"), tr("%1 files"))
        .arg(Fmt::count(current ? current->fileCount() : 0));
}

void ExplorerHeader::refresh() {
    const auto root = vm_.root();
    const auto current = vm_.currentNode();
    up_->setEnabled(!vm_.stack().empty());
    std::vector<const DirNode*> stack;
    for (const auto& n : vm_.stack())
        stack.push_back(n.get());
    if (stack != shownStack_ || root.get() != shownRoot_) {
        shownStack_ = stack;
        shownRoot_ = root.get();
        auto* layout = static_cast<QHBoxLayout*>(crumbRow_->layout());
        while (QLayoutItem* item = layout->takeAt(0)) {
            delete item->widget();
            delete item;
        }
        crumbs_.clear();
        if (root) {
            auto* rootChip = new Chip(Fmt::displayName(root->name), std::nullopt, stack.empty());
            connect(rootChip, &Chip::clicked, this, [this] { vm_.chooseRoot(); });
            layout->addWidget(rootChip);
            crumbs_ << rootChip;
            for (size_t i = 0; i < vm_.stack().size(); ++i) {
                layout->addWidget(new CrumbSeparator(crumbRow_));
                auto* chip = new Chip(QString::fromStdString(vm_.stack()[i]->name), std::nullopt,
                                      i + 1 == stack.size());
                connect(chip, &Chip::clicked, this, [this, i] { vm_.chooseCrumb(i); });
                layout->addWidget(chip);
                crumbs_ << chip;
            }
        }
        layout->addStretch(1);
        crumbRow_->adjustSize();
    }
    static_cast<SelectableLine*>(summary_)->setFullText(summaryText());
    summary_->setToolTip(PlainText::toolTip(summaryText()));
    actions_->setPath(current ? current->path() : std::string());
    // The size rolls when the shown folder's size changes (a removal applied); another folder's size
    // simply replaces it.
    const std::string path = current ? current->path() : std::string();
    size_->setText(sizeText(), path == shownPath_ && isVisible());
    shownPath_ = path;
    count_->setText(countText());
}

// --- layout switch -------------------------------------------------------------------------------

namespace {
constexpr double kSegmentW = 32, kSegmentH = 26, kSegmentGap = 2, kSwitchPad = 3;
const char* kSegmentSymbol[] = {"square.grid.2x2", "list.bullet"};
}  // namespace

namespace {
// One segment of the layout switch: a button that draws nothing itself (the switch draws the thumb
// and the symbols), so it carries the segment's help, label and clicks.
// It takes the focus from the keyboard only, and Return presses it as Space does.
class LayoutSegment : public QAbstractButton {
  public:
    explicit LayoutSegment(QWidget* parent) : QAbstractButton(parent) { setFocusPolicy(Qt::TabFocus); }

  protected:
    void paintEvent(QPaintEvent*) override {}
    void keyPressEvent(QKeyEvent* e) override {
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
            (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!e->isAutoRepeat()) click();
            return;
        }
        QAbstractButton::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent* e) override {
        QAbstractButton::focusInEvent(e);
        parentWidget()->update();
    }
    void focusOutEvent(QFocusEvent* e) override {
        QAbstractButton::focusOutEvent(e);
        parentWidget()->update();
    }
};
}  // namespace

LayoutSwitch::LayoutSwitch(ExplorerLayout layout, QWidget* parent)
    : QWidget(parent), layout_(layout), thumb_(layout == ExplorerLayout::icons ? 0 : 1) {
    setAccessibleName(tr("Layout"));
    connect(&thumb_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(&looks_, &LookAnimations::moved, this, qOverload<>(&QWidget::update));
    const QString helps[] = {tr("Show as icons"), tr("Show as list")};
    const QString labels[] = {tr("Icons"), tr("List")};
    for (int i = 0; i < 2; ++i) {
        auto* segment = new LayoutSegment(this);
        segment->setCursor(Qt::PointingHandCursor);
        segment->setToolTip(helps[i]);
        segment->setAccessibleName(labels[i]);
        connect(segment, &QAbstractButton::pressed, this, qOverload<>(&QWidget::update));
        connect(segment, &QAbstractButton::released, this, qOverload<>(&QWidget::update));
        connect(segment, &QAbstractButton::clicked, this,
                [this, i] { emit layoutRequested(i == 0 ? ExplorerLayout::icons : ExplorerLayout::list); });
        segments_[size_t(i)] = segment;
    }
}

void LayoutSwitch::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (int i = 0; i < 2; ++i)
        segments_[size_t(i)]->setGeometry(segmentRect(i).toAlignedRect());
}

QSize LayoutSwitch::sizeHint() const {
    return QSize(int(2 * kSegmentW + kSegmentGap + 2 * kSwitchPad), int(kSegmentH + 2 * kSwitchPad));
}

QRectF LayoutSwitch::segmentRect(int i) const {
    return {kSwitchPad + i * (kSegmentW + kSegmentGap), kSwitchPad, kSegmentW, kSegmentH};
}

void LayoutSwitch::setLayoutValue(ExplorerLayout layout) {
    if (layout == layout_) return;
    layout_ = layout;
    thumb_.animateTo(layout == ExplorerLayout::icons ? 0 : 1, Motion::indicator(), true);
    update();
}

void LayoutSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.fillPath(Shapes::capsule(track), Palette::well().resolve(this));
    const QRectF a = segmentRect(0), b = segmentRect(1);
    const double t = thumb_.value();
    const QRectF thumb(a.left() + (b.left() - a.left()) * t, a.top(), kSegmentW, kSegmentH);
    // A held segment shrinks to 0.98 about its centre, the thumb with it while it stands there.
    double scales[2];
    for (int i = 0; i < 2; ++i)
        scales[i] = looks_.follow(std::to_string(i), LookAnimations::press,
                                  segments_[size_t(i)]->isDown() ? 0.98 : 1, Motion::press());
    looks_.endFrame();
    const auto scaled = [&](int i) {
        p.translate(segmentRect(i).center());
        p.scale(scales[i], scales[i]);
        p.translate(-segmentRect(i).center());
    };
    p.save();
    scaled(t < 0.5 ? 0 : 1);
    p.fillPath(Shapes::capsule(thumb), Palette::ink().resolve(this));
    p.restore();
    for (int i = 0; i < 2; ++i) {
        const bool on = (i == 0) == (layout_ == ExplorerLayout::icons);
        p.save();
        scaled(i);
        Symbols::draw(p, segmentRect(i), kSegmentSymbol[i],
                      on ? Palette::canvas().resolve(this) : Palette::ink2().resolve(this), 12,
                      FontWeight::semibold);
        if (segments_[size_t(i)]->hasFocus()) {
            // The ring of a pill picker's option; round the thumb it stands just outside it.
            p.setPen(QPen(Palette::ink2().resolve(this), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawPath(Shapes::capsule(on ? segmentRect(i).adjusted(-2.25, -2.25, 2.25, 2.25)
                                          : Shapes::inset(segmentRect(i), 0.75)));
        }
        p.restore();
    }
    p.setPen(QPen(Palette::line().resolve(this), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(track));
}

// --- toolbar -------------------------------------------------------------------------------------

ExplorerToolbar::ExplorerToolbar(SpaceViewModel& model, QWidget* parent) : QWidget(parent), vm_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(32, 0, 32, 12);
    row->setSpacing(12);
    search_ = new SearchField(tr("Search this folder"), this);
    search_->setFixedWidth(210);
    connect(search_, &SearchField::textChanged, this, [this](const QString& text) { vm_.setSearch(text); });
    row->addWidget(search_);

    auto* chipScroll = new FadingScroll(Qt::Horizontal, 28, this);
    chipScroll->setFixedHeight(30);
    auto* chipRow = new QWidget;
    auto* chips = new QHBoxLayout(chipRow);
    chips->setContentsMargins(0, 0, 0, 0);
    chips->setSpacing(6);
    for (ExplorerFilter f : allFilters()) {
        std::optional<QColor> dot;
        if (f == ExplorerFilter::stained) dot = Stain::color();
        if (f == ExplorerFilter::bloated) dot = Palette::honey();
        if (f == ExplorerFilter::selected) dot = dark(Palette::accent());
        auto* chip = new Chip(title(f), dot, false);
        connect(chip, &Chip::clicked, this, [this, f] { vm_.chooseFilter(f); });
        chips->addWidget(chip);
        chips_ << chip;
    }
    chipRow->adjustSize();
    chipScroll->setContent(chipRow);
    chipScroll->setMinimumWidth(60);
    chipScroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    chipScroll->setMaximumWidth(chipRow->sizeHint().width() + 2);
    row->addWidget(chipScroll, 1);
    row->addStretch(0);

    auto* sortLabel =
        new PlainLabel(tr("Sort"), Fonts::font(11.5, FontWeight::medium), Palette::ink3(), this);
    row->addWidget(sortLabel);
    QList<PillOption> options;
    for (ExplorerSort s : allSorts())
        options << PillOption{QString::fromLatin1(rawValue(s)), title(s)};
    sort_ = new PillPicker(options, QString::fromLatin1(rawValue(vm_.sort())), this);
    connect(sort_, &PillPicker::selectionRequested, this, [this](const QVariant& v) {
        if (auto s = sortFromRaw(v.toString())) vm_.setSort(*s);
    });
    row->addWidget(sort_);
    layout_ = new LayoutSwitch(vm_.layout(), this);
    connect(layout_, &LayoutSwitch::layoutRequested, this, [this](ExplorerLayout l) { vm_.setLayout(l); });
    row->addWidget(layout_);
    refresh();
}

void ExplorerToolbar::refresh() {
    if (search_->text() != vm_.search()) search_->setText(vm_.search());
    for (int i = 0; i < chips_.size(); ++i)
        chips_[i]->setOn(allFilters()[i] == vm_.filter());
    sort_->setSelection(QString::fromLatin1(rawValue(vm_.sort())));
    layout_->setLayoutValue(vm_.layout());
}

// --- composition strip ---------------------------------------------------------------------------

namespace {
constexpr double kBarHeight = 8, kLegendGap = 8, kLegendSpacing = 16, kDot = 6, kDotGap = 5;
QFont legendFont() {
    return Fonts::font(11.5, FontWeight::medium);
}
}  // namespace

CompositionStrip::CompositionStrip(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&state_, &AppState::resultChanged, this, qOverload<>(&QWidget::update));
    connect(&state_, &AppState::revisionChanged, this, qOverload<>(&QWidget::update));
    connect(&looks_, &LookAnimations::moved, this, qOverload<>(&QWidget::update));
}

QSize CompositionStrip::sizeHint() const {
    return QSize(200, int(std::ceil(kBarHeight + kLegendGap + QFontMetricsF(legendFont()).height())));
}

QColor CompositionStrip::color(FileCategory category) {
    const auto hue = categoryHue(category);
    // The main window is always dark: the dark variant applies.
    return toQColor(hue ? OKLCH::of(0.74, 0.13, *hue) : OKLCH::grey(0.74));
}

std::vector<CompositionStrip::Entry> CompositionStrip::entries() const {
    std::vector<Entry> out;
    const auto& result = state_.result();
    if (!result) return out;
    for (const auto& [category, total] : result->categoryTotals())
        if (total.size >= 1) out.push_back({category, total.size});
    std::stable_sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.size > b.size; });
    return out;
}

std::vector<QRectF> CompositionStrip::segments(double width) const {
    const auto list = entries();
    std::int64_t sum = 0;
    for (const auto& e : list)
        sum += e.size;
    const double total = std::max<double>(1, static_cast<double>(sum));
    const double room = width - 2.0 * static_cast<double>(list.size());
    std::vector<QRectF> out;
    double x = 0;
    for (const auto& e : list) {
        const double w = std::max(room * static_cast<double>(e.size) / total, 2.0);
        out.emplace_back(x, 0, w, kBarHeight);
        x += w + 2;
    }
    return out;
}

double CompositionStrip::legendItemWidth(const Entry& e) const {
    const QFontMetricsF fm(legendFont());
    return kDot + kDotGap + fm.horizontalAdvance(QString::fromStdString(e.category.title())) + kDotGap +
           FixedDigits::advance(legendFont(), Fmt::bytes(e.size));
}

int CompositionStrip::legendCount(double width) const {
    const auto list = entries();
    const int n = static_cast<int>(list.size());
    for (int k : {6, 4, 3, 2}) {
        const int shown = std::min(k, n);
        double w = 0;
        for (int i = 0; i < shown; ++i)
            w += legendItemWidth(list[i]) + (i > 0 ? kLegendSpacing : 0);
        if (w <= width) return shown;
    }
    return std::min(2, n);
}

std::vector<CompositionStrip::LegendItem> CompositionStrip::legend(double width) const {
    const auto list = entries();
    std::vector<LegendItem> out;
    double x = 0;
    const double y = kBarHeight + kLegendGap;
    const double h = QFontMetricsF(legendFont()).height();
    for (int i = 0; i < legendCount(width); ++i) {
        const double w = legendItemWidth(list[i]);
        out.push_back({list[i].category, QRectF(x, y, w, h)});
        x += w + kLegendSpacing;
    }
    return out;
}

std::optional<FileCategory> CompositionStrip::categoryAt(QPointF at) const {
    const auto list = entries();
    const auto segs = segments(width());
    for (size_t i = 0; i < segs.size(); ++i)
        if (segs[i].adjusted(0, -2, 0, 2).contains(at)) return list[i].category;
    for (const auto& item : legend(width()))
        if (item.rect.contains(at)) return item.category;
    return std::nullopt;
}

void CompositionStrip::hoverCategory(std::optional<FileCategory> category) {
    if (hovered_ == category) return;
    hovered_ = category;
    update();
}

void CompositionStrip::leaveCategory(FileCategory category) {
    if (hovered_ == category) hoverCategory(std::nullopt);
}

void CompositionStrip::choose(FileCategory category) {
    state_.setLargestCategory(category);
    state_.setSection(SidebarItem::largest);
}

void CompositionStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const auto list = entries();
    const auto segs = segments(width());
    p.save();
    p.setClipPath(Shapes::capsule(QRectF(0, 0, width(), kBarHeight)));
    p.fillRect(QRectF(0, 0, width(), kBarHeight), Palette::well().resolve(this));
    // Pointing at a category dims the others and brightens its legend title, with the hover motion.
    const auto key = [](FileCategory c) { return c.title(); };
    for (size_t i = 0; i < segs.size(); ++i) {
        const bool lit = !hovered_ || *hovered_ == list[i].category;
        p.setOpacity(
            looks_.follow(key(list[i].category), LookAnimations::fade, lit ? 1.0 : 0.35, Motion::hover()));
        p.fillRect(segs[i], color(list[i].category));
    }
    p.restore();
    const QFont font = legendFont();
    const QFontMetricsF fm(font);
    p.setFont(font);
    for (const auto& item : legend(width())) {
        const auto it = std::find_if(list.begin(), list.end(),
                                     [&](const Entry& e) { return e.category == item.category; });
        // A pressed item shrinks to 0.98 about its centre.
        const double scale = looks_.follow(key(item.category), LookAnimations::press,
                                           pressed_ == item.category ? 0.98 : 1.0, Motion::press());
        p.save();
        p.translate(item.rect.center());
        p.scale(scale, scale);
        p.translate(-item.rect.center());
        double x = item.rect.left();
        const double cy = item.rect.center().y();
        p.setPen(Qt::NoPen);
        p.setBrush(color(item.category));
        p.drawEllipse(QRectF(x, cy - kDot / 2, kDot, kDot));
        x += kDot + kDotGap;
        const QString name = QString::fromStdString(item.category.title());
        const double lit = looks_.follow(key(item.category), LookAnimations::hover,
                                         hovered_ == item.category ? 1.0 : 0.0, Motion::hover());
        const QColor ink = Palette::ink().resolve(this), ink2 = Palette::ink2().resolve(this);
        p.setPen(QColor::fromRgbF(float(ink2.redF() + (ink.redF() - ink2.redF()) * lit),
                                  float(ink2.greenF() + (ink.greenF() - ink2.greenF()) * lit),
                                  float(ink2.blueF() + (ink.blueF() - ink2.blueF()) * lit),
                                  float(ink2.alphaF() + (ink.alphaF() - ink2.alphaF()) * lit)));
        p.drawText(QRectF(x, item.rect.top(), fm.horizontalAdvance(name) + 1, item.rect.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, name);
        x += fm.horizontalAdvance(name) + kDotGap;
        p.setPen(Palette::ink3().resolve(this));
        FixedDigits::draw(p, QRectF(x, item.rect.top(), item.rect.right() - x + 1, item.rect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, Fmt::bytes(it->size));
        p.restore();
    }
    looks_.endFrame();
}

void CompositionStrip::mouseMoveEvent(QMouseEvent* event) {
    const auto at = categoryAt(event->position());
    if (at)
        hoverCategory(at);
    else if (hovered_)
        leaveCategory(*hovered_);
}

void CompositionStrip::leaveEvent(QEvent*) {
    if (hovered_) leaveCategory(*hovered_);
}

void CompositionStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_.reset();
    for (const auto& item : legend(width()))
        if (item.rect.contains(event->position())) pressed_ = item.category;
    update();
}

void CompositionStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_.reset();
    update();
    if (const auto at = categoryAt(event->position())) choose(*at);
}

bool CompositionStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto at = categoryAt(help->pos());
        if (at && help->pos().y() <= kBarHeight + 2) {
            const auto list = entries();
            const auto it =
                std::find_if(list.begin(), list.end(), [&](const Entry& e) { return e.category == *at; });
            QToolTip::showText(
                help->globalPos(),
                QStringLiteral("%1: %2").arg(QString::fromStdString(at->title()), Fmt::bytes(it->size)),
                this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(event);
}

}  // namespace nimbrel
