#include "views/kit/selection_bar.h"

#include <QDragEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>
#include <QShortcut>
#include <algorithm>
#include <cmath>

#include "theme/appearance.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/rolling_text.h"
#include "theme/shapes.h"
#include "util/fmt.h"
#include "views/kit/files_text.h"
#include "views/kit/modal_host.h"

namespace nimbrel {

namespace {
constexpr int kLeading = 16;
constexpr int kTrailing = 10;
// The drag form of one item, under Nimbrel's own type so no other program takes it for a file.
constexpr const char* kItemType = "application/x-nimbrel-clean-item";

// A drag within Nimbrel carries the item itself too, with what its JSON form leaves out: an extra
// copy's set of twins, so a dropped copy goes only while a copy that stays still matches it, as a
// ticked one does.
class ItemMimeData : public QMimeData {
  public:
    explicit ItemMimeData(CleanItem item) : item(std::move(item)) {}
    const CleanItem item;
};
}  // namespace

SelectionBar::SelectionBar(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), total_(new RollingText(this)) {
    setAcceptDrops(true);
    setFixedSize(kWidth, kHeight);
    if (parent) DecorationHost::attach(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kLeading, 0, kTrailing, 0);
    row->setSpacing(12);
    row->addStretch(1);
    clear_ = new NimbrelButton(tr("Clear"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small, this);
    clear_->setToolTip(tr("Deselect everything"));
    review_ = new NimbrelButton(tr("Review & Nimbrelise…"), NimbrelButton::Kind::primary,
                                NimbrelButton::Size::regular, this);
    review_->setSymbol(QStringLiteral("humidity.fill"));
    const QString keys = QKeySequence(Qt::CTRL | Qt::Key_Backspace).toString(QKeySequence::NativeText);
    review_->setToolTip(tr("Review everything selected in every tab, then nimbrelise (%1)").arg(keys));
    preparing_ = new NimbrelLoader(12, this);
    preparing_->setVisible(false);
    row->addWidget(clear_);
    row->addWidget(preparing_);
    row->addWidget(review_);
    connect(clear_, &QAbstractButton::clicked, this, [this] { state_.queue().setItems({}); });
    connect(review_, &QAbstractButton::clicked, this, [this] { state_.nimbrelise(); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Backspace), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this] {
        // Not under a card, and not while a removal runs.
        if (review_->isEnabled() && isVisible() && !ModalHost::isPresented(state_)) state_.nimbrelise();
    });
    // Listing a ticked location can take a while (a large cache, a slow share): Escape stops it.
    stopPreparing_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopPreparing_->setContext(Qt::WindowShortcut);
    stopPreparing_->setEnabled(false);
    connect(stopPreparing_, &QShortcut::activated, this, [this] { state_.stopPreparingReview(); });
    connect(&state_, &AppState::isPreparingReviewChanged, this, &SelectionBar::refresh);
    connect(&targetAmount_, &AnimatedValue::changed, this, qOverload<>(&QWidget::update));
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, &SelectionBar::refresh);
    connect(&state_, &AppState::isDeletingChanged, this, &SelectionBar::refresh);
    refresh();
}

QString SelectionBar::totalText(const std::vector<CleanItem>& items) {
    int64_t total = 0;
    for (const CleanItem& item : items)
        total += item.size;
    return Fmt::bytes(std::max<int64_t>(0, total));
}

QString SelectionBar::sourceLine(const std::vector<CleanQueue::SourceTotal>& totals) {
    QStringList parts;
    for (const CleanQueue::SourceTotal& t : totals)
        parts << sourceTitle(t.source) + QLatin1Char(' ') + QString::number(t.count);
    return parts.join(QStringLiteral(" \u00B7 "));
}

void SelectionBar::refresh() {
    // The queue keeps its totals: a tick with a hundred thousand items queued costs no walk over them.
    // The new figure rolls its changed digits into place; the value itself never passes through
    // figures the selection did not have. The bar comes in showing its first total and leaves showing
    // its last: it never rolls from or to the zero of an empty selection nobody saw.
    const bool empty = state_.queue().items().empty();
    if (!empty) total_->setText(Fmt::bytes(std::max<int64_t>(0, state_.queue().totalSize())), showingTotal_);
    showingTotal_ = !empty;
    const bool preparing = state_.isPreparingReview();
    sources_ = preparing ? tr("Preparing the review… %1 cancels")
                               .arg(QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText))
                         : sourceLine(state_.queue().bySource());
    // Busy, not disabled: the press that started it keeps its focus, and another does nothing.
    review_->setText(preparing ? tr("Preparing Review…") : tr("Review & Nimbrelise…"));
    review_->setSymbol(preparing ? QString() : QStringLiteral("humidity.fill"));
    preparing_->setVisible(preparing);
    stopPreparing_->setEnabled(preparing);
    review_->setEnabled(!state_.isDeleting());
    update();
}

QMimeData* SelectionBar::mimeData(const CleanItem& item) {
    auto* data = new ItemMimeData(item);
    if (const auto json = item.toJson()) data->setData(QString::fromLatin1(kItemType), "[" + *json + "]");
    return data;
}

std::optional<std::vector<CleanItem>> SelectionBar::droppedItems(const QMimeData* data,
                                                                 bool fromThisProcess) {
    // Only Nimbrel's own rows start these drags; anything from another program is refused.
    if (!data || !fromThisProcess || !data->hasFormat(QString::fromLatin1(kItemType))) return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(data->data(QString::fromLatin1(kItemType)));
    if (!doc.isArray()) return std::nullopt;
    std::vector<CleanItem> items;
    for (const QJsonValue& value : doc.array()) {
        auto item = CleanItem::fromJson(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        if (!item) return std::nullopt;
        // An id is an absolute path or a junk location.
        if (item->id.empty() || (item->id[0] != '/' && item->id.rfind("junk:", 0) != 0)) return std::nullopt;
        items.push_back(*item);
    }
    const auto* own = dynamic_cast<const ItemMimeData*>(data);
    if (own && items.size() == 1 && items.front().id == own->item.id) items.front() = own->item;
    return items;
}

bool SelectionBar::drop(std::vector<CleanItem> items) {
    if (items.empty()) return false;
    state_.queue().addAside(std::move(items));
    return true;
}

void SelectionBar::setTargeted(bool on) {
    if (targeted_ == on) return;
    targeted_ = on;
    targetAmount_.animateTo(on ? 1 : 0, Motion::snappy(0.2));
    update();
}

void SelectionBar::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedItems(event->mimeData(), event->source() != nullptr)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        setTargeted(true);
    } else {
        event->ignore();
    }
}

void SelectionBar::dragMoveEvent(QDragMoveEvent* event) {
    if (targeted_) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void SelectionBar::dragLeaveEvent(QDragLeaveEvent*) {
    setTargeted(false);
}

void SelectionBar::dropEvent(QDropEvent* event) {
    setTargeted(false);
    const auto items = droppedItems(event->mimeData(), event->source() != nullptr);
    if (items && drop(std::move(*items))) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool SelectionBar::event(QEvent* event) {
    // The shell places the bar after building it: its shadow is painted by the new parent.
    if (event->type() == QEvent::ParentChange) DecorationHost::attach(this);
    return QWidget::event(event);
}

QMargins SelectionBar::decorationMargins() const {
    const int reach = static_cast<int>(std::ceil(Shapes::reach(kShadowBlur)));
    return QMargins(reach, reach, reach, reach + static_cast<int>(kShadowDrop));
}

void SelectionBar::paintDecoration(QPainter& p) {
    if (opacity_ <= 0) return;
    p.setRenderHint(QPainter::Antialiasing);
    Shapes::shadow(p, Shapes::capsule(QRectF(rect())),
                   QColor::fromRgbF(0, 0, 0, float(kShadowOpacity * opacity_)), kShadowBlur,
                   QPointF(0, kShadowDrop));
}

void SelectionBar::setOpacity(double opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == opacity_) return;
    opacity_ = opacity;
    // Faded through a picture only while it comes or goes; at rest it draws itself.
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(graphicsEffect());
    if (opacity_ >= 1) {
        if (fade) setGraphicsEffect(nullptr);
    } else {
        if (!fade) {
            fade = new QGraphicsOpacityEffect(this);
            setGraphicsEffect(fade);
        }
        fade->setOpacity(opacity_);
    }
    DecorationHost::refresh(this);
}

void SelectionBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect());
    const QPainterPath capsule = Shapes::capsule(r);
    p.fillPath(capsule, Palette::panel().resolve(this));
    const double t = targetAmount_.value();
    const double line = 1 + t;
    p.setPen(QPen(mixColor(Palette::glassEdge(), Palette::accent().resolve(this), t), line));
    p.setBrush(Qt::NoBrush);
    p.drawPath(Shapes::capsule(r.adjusted(line / 2, line / 2, -line / 2, -line / 2)));

    const QFont totalFont = Fonts::font(20, FontWeight::black, FontDesign::rounded);
    const QFont lineFont = Fonts::font(11.5, FontWeight::medium);
    const QFontMetrics tm(totalFont);
    const QFontMetrics lm(lineFont);
    const int block = tm.height() + lm.height();
    const int top = (height() - block) / 2;
    QLinearGradient brand = Palette::nimbrel();
    brand.setCoordinateMode(QGradient::ObjectMode);
    total_->paint(p, QPointF(kLeading, top + tm.ascent()), totalFont, brand);
    p.setFont(lineFont);
    p.setPen(Palette::ink3().resolve(this));
    FixedDigits::draw(p, QRectF(kLeading, top + tm.height(), width() / 2.0, lm.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      FixedDigits::elided(lineFont, sources_, width() / 2.0));
}

}  // namespace nimbrel
