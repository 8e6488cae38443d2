#include "views/kit/junk_contents_list.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "engine/path_rules.h"
#include "model/cleanup_model.h"
#include "model/selection.h"
#include "platform/file_manager.h"
#include "platform/icon_cache.h"
#include "theme/appearance.h"
#include "theme/file_icon_view.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/symbols.h"
#include "util/fmt.h"
#include "views/kit/files_text.h"
#include "views/kit/focus_order.h"
#include "views/kit/plain_text.h"

namespace nimbrel {

namespace {
constexpr double kTickBox = 18 * 0.85;
}

JunkContentsList::Plan JunkContentsList::plan(const std::vector<JunkEntry>* entries, int limit) {
    Plan plan;
    limit = std::max(0, limit);
    if (!entries) {
        plan.loading = true;
        return plan;
    }
    if (entries->empty()) {
        plan.empty = true;
        return plan;
    }
    const int n = static_cast<int>(entries->size());
    plan.shown = std::min(n, limit);
    plan.more = n - plan.shown;
    for (int i = plan.shown; i < n; ++i)
        plan.moreSize += (*entries)[static_cast<size_t>(i)].size;
    return plan;
}

int JunkContentsList::heightFor(const std::vector<JunkEntry>* entries, int limit) {
    return plan(entries, limit).lines() * kLineHeight;
}

int JunkContentsList::heightFor(const CleanupModel& cleanup, const JunkLocation& location, int limit) {
    auto it = cleanup.contents().find(location.id);
    return heightFor(it == cleanup.contents().end() ? nullptr : &it->second, limit);
}

JunkContentsList::JunkContentsList(AppState& state, JunkLocation location, int limit, bool selectable,
                                   Pinned pinned, QWidget* parent)
    : QWidget(parent),
      state_(state),
      location_(std::move(location)),
      limit_(std::max(0, limit)),
      selectable_(selectable),
      pinned_(std::move(pinned)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    loader_ = new NimbrelLoader(12, this);
    connect(&state_.cleanup(), &CleanupModel::contentsChanged, this, &JunkContentsList::contentsChanged);
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, qOverload<>(&QWidget::update));
    contentsChanged();
}

const std::vector<JunkEntry>* JunkContentsList::entries() const {
    if (pinned_)
        if (const std::vector<JunkEntry>* pinned = pinned_()) return pinned;
    auto it = state_.cleanup().contents().find(location_.id);
    return it == state_.cleanup().contents().end() ? nullptr : &it->second;
}

JunkContentsList::Plan JunkContentsList::currentPlan() const {
    return plan(entries(), limit_);
}

void JunkContentsList::contentsChanged() {
    const Plan p = currentPlan();
    setFixedHeight(p.lines() * kLineHeight);
    // A stop only while it shows entries to tick; the keyboard, like a click, never leaves a ring.
    setFocusPolicy(selectable_ && p.shown > 0 ? Qt::TabFocus : Qt::NoFocus);
    current_ = std::clamp(current_, 0, std::max(0, p.shown - 1));
    const QSize ls = loader_->sizeHint();
    loader_->setGeometry(0, (kLineHeight - ls.height()) / 2, ls.width(), ls.height());
    loader_->setVisible(p.loading);
    // A new measurement clears every listing; an open list asks again rather than wait forever.
    if (p.loading && isVisible()) requestLoad();
    update();
}

void JunkContentsList::requestLoad() {
    QTimer::singleShot(0, this, [this] {
        if (!entries() && !state_.cleanup().loadingContents().count(location_.id))
            state_.cleanup().loadContents(location_, false);
    });
}

void JunkContentsList::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!entries()) requestLoad();
}

QSize JunkContentsList::sizeHint() const {
    return {200, currentPlan().lines() * kLineHeight};
}

QString JunkContentsList::lineText(int index) const {
    const Plan p = currentPlan();
    if (p.loading) return tr("Listing what's inside…");
    if (p.empty) return tr("Already empty");
    if (index < p.shown)
        return QString::fromUtf8(
            std::string(PathRules::lastComponent((*entries())[static_cast<size_t>(index)].path)));
    return tr("and %1 more (%2)").arg(p.more).arg(Fmt::bytes(p.moreSize));
}

CleanItem JunkContentsList::itemFor(const JunkEntry& entry) {
    CleanItem item;
    item.id = entry.path;
    item.name = PathRules::lastComponent(entry.path);
    item.size = entry.size;
    item.kind = entry.isDirectory ? CleanItem::Kind::folder : CleanItem::Kind::file;
    item.heat = 1.0;
    item.symbolPath = entry.path;
    item.source = CleanItem::Source::deepClean;
    item.identity = entry.identity;
    return item;
}

void JunkContentsList::toggle(AppState& state, const JunkLocation& location, const JunkEntry& entry,
                              const std::vector<JunkEntry>& all) {
    CleanQueue& queue = state.queue();
    const std::string whole = "junk:" + location.id;
    const bool wholeTicked = queue.contains(whole);
    if (!wholeTicked && !queue.includes(entry.path)) {
        queue.add(itemFor(entry));
        return;
    }
    // Unticked, the entry stays, whichever area selected it: a folder selected elsewhere that holds
    // it gives way to the rest of what it holds; when that cannot be worked out, nothing changes and
    // the toast says why.
    if (Selection::heldBy(queue, entry.path)) {
        state.deselectInside(entry.path);
        if (queue.includes(entry.path)) return;
    }
    if (queue.contains(entry.path)) queue.remove(entry.path);
    if (!wholeTicked) return;
    queue.remove(whole);
    std::vector<CleanItem> rest;
    rest.reserve(all.size());
    for (const JunkEntry& other : all)
        if (other.path != entry.path) rest.push_back(itemFor(other));
    queue.add(rest);
    state.setToast(Toast(tr("Left out “%1” · the rest of %2 stays selected")
                             .arg(QString::fromUtf8(std::string(PathRules::lastComponent(entry.path))),
                                  QString::fromUtf8(location.title)),
                         QStringLiteral("checklist")));
}

std::optional<QString> JunkContentsList::includedBy(const std::string& path) const {
    const CleanQueue& queue = state_.queue();
    if (queue.contains("junk:" + location_.id)) return QString::fromUtf8(location_.title);
    if (const std::optional<CleanItem> cover = Selection::heldBy(queue, path))
        return QString::fromUtf8(cover->name);
    return std::nullopt;
}

void JunkContentsList::toggle(int index) {
    const std::vector<JunkEntry>* all = entries();
    if (!all || index < 0 || index >= static_cast<int>(all->size())) return;
    // The list may change under the call (the queue's signals); work on a copy.
    const std::vector<JunkEntry> copy = *all;
    toggle(state_, location_, copy[static_cast<size_t>(index)], copy);
}

int JunkContentsList::entryAt(const QPoint& pos) const {
    const Plan p = currentPlan();
    const int line = pos.y() / kLineHeight;
    if (p.loading || p.empty || pos.y() < 0 || line >= p.shown) return -1;
    return line;
}

QRectF JunkContentsList::tickRect(int index) const {
    return QRectF(4, index * kLineHeight + (kLineHeight - kTickBox) / 2, kTickBox, kTickBox);
}

// An entry's tick; faded while the whole location is selected (which ticks every entry).
void JunkContentsList::paintTick(QPainter& p, const QRectF& box, bool on, bool faded) {
    p.save();
    p.setOpacity(faded ? 0.55 : 1.0);
    const QPainterPath shape = Shapes::rounded(box, 5);
    if (on) {
        p.fillPath(shape, Palette::nimbrel());
        Symbols::draw(p, box, "checkmark", Palette::onAccent(), 8, FontWeight::heavy);
    } else {
        p.fillPath(shape, Palette::well().resolve(this));
        p.setPen(QPen(Palette::lineStrong().resolve(this), 1));
        p.drawPath(shape);
    }
    p.restore();
}

void JunkContentsList::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Plan plan = currentPlan();
    const QFont small = Fonts::font(11.5);
    const QColor ink3 = Palette::ink3().resolve(this);
    if (plan.loading || plan.empty) {
        p.setFont(small);
        p.setPen(ink3);
        const int x = plan.loading ? loader_->width() + 8 : 0;
        p.drawText(QRect(x, 0, width() - x, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter, lineText(0));
        return;
    }
    const std::vector<JunkEntry>& all = *entries();
    const QFont name = Fonts::font(11.5, FontWeight::medium);
    const QFont size = Fonts::font(11.5, FontWeight::regular, FontDesign::rounded);
    const int first = std::max(0, event->rect().top() / kLineHeight);
    const int last = std::min(plan.shown - 1, event->rect().bottom() / kLineHeight);
    for (int i = first; i <= last; ++i) {
        const JunkEntry& entry = all[static_cast<size_t>(i)];
        const int y = i * kLineHeight;
        double x = 0;
        if (selectable_) {
            const QRectF box = tickRect(i);
            const bool included = includedBy(entry.path).has_value();
            paintTick(p, box, included || state_.queue().contains(entry.path), included);
            x = box.right() + 8;
            if (i == current_ && hasFocus()) {
                // The keyboard's entry: a ring around its tick, as round a tick of its own.
                p.setPen(QPen(Palette::ink2().resolve(this), 1.5));
                p.setBrush(Qt::NoBrush);
                p.drawPath(Shapes::rounded(box.adjusted(-2.5, -2.5, 2.5, 2.5), 7));
            }
        }
        const FileIcon icon = IconCache::shared().icon(entry.path, false, entry.isDirectory);
        FileIconView::paint(p, QRectF(x, y + 5, 16, 16), icon, this);
        x += 24;
        const QString sizeText = Fmt::bytes(entry.size);
        const int sizeWidth = int(std::ceil(FixedDigits::advance(size, sizeText)));
        p.setFont(size);
        p.setPen(ink3);
        FixedDigits::draw(p, QRectF(width() - sizeWidth, y, sizeWidth, kLineHeight),
                          Qt::AlignRight | Qt::AlignVCenter, sizeText);
        p.setFont(name);
        p.setPen(Palette::ink2().resolve(this));
        const int room = std::max(0, width() - sizeWidth - 8 - static_cast<int>(x));
        const QString text = QFontMetrics(name).elidedText(lineText(i), Qt::ElideMiddle, room);
        p.drawText(QRect(static_cast<int>(x), y, room, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    if (plan.more > 0) {
        p.setFont(small);
        p.setPen(ink3);
        FixedDigits::draw(p, QRectF(0, plan.shown * kLineHeight, width(), kLineHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, lineText(plan.shown));
    }
}

void JunkContentsList::mouseReleaseEvent(QMouseEvent* event) {
    const int index = entryAt(event->position().toPoint());
    if (selectable_ && index >= 0 && tickRect(index).adjusted(-4, -4, 4, 4).contains(event->position()))
        toggle(index);
}

void JunkContentsList::keyPressEvent(QKeyEvent* event) {
    const Plan p = currentPlan();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!selectable_ || p.shown == 0 || !plain) return QWidget::keyPressEvent(event);
    const int step = event->key() == Qt::Key_Down ? 1 : event->key() == Qt::Key_Up ? -1 : 0;
    if (step != 0) {
        current_ = std::clamp(current_ + step, 0, p.shown - 1);
        update();
        FocusOrder::reveal(this);
    } else if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat()) toggle(current_);
    } else {
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void JunkContentsList::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    // Tabbed into, it starts on an entry that shows: the first (going back, the last) on screen.
    const bool back = event->reason() == Qt::BacktabFocusReason;
    if (back || event->reason() == Qt::TabFocusReason) {
        const QRect part = FocusOrder::shownPart(this);
        const auto lineShows = [&](int i) {
            return part.contains(QRect(0, i * kLineHeight, 1, kLineHeight));
        };
        const int shown = currentPlan().shown;
        if (shown > 0 && !lineShows(current_)) {
            for (int k = 0; k < shown; ++k)
                if (const int i = back ? shown - 1 - k : k; lineShows(i)) {
                    current_ = i;
                    break;
                }
        }
    }
    update();
}

void JunkContentsList::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

QVariant JunkContentsList::inputMethodQuery(Qt::InputMethodQuery query) const {
    // Scrolling to the focus shows the current entry, not the whole list.
    if (query == Qt::ImCursorRectangle && currentPlan().shown > 0)
        return QRect(0, current_ * kLineHeight, width(), kLineHeight);
    return QWidget::inputMethodQuery(query);
}

void JunkContentsList::contextMenuEvent(QContextMenuEvent* event) {
    const int index = entryAt(event->pos());
    if (index < 0) return;
    const std::string path = (*entries())[static_cast<size_t>(index)].path;
    QMenu menu(this);
    AppState* state = &state_;
    menu.addAction(tr("Copy Path"), [state, path] { state->copyPaths({path}); });
    menu.addAction(revealTitle(), [path] { FileActions::reveal({path}); });
    menu.exec(event->globalPos());
}

bool JunkContentsList::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = entryAt(help->pos());
        if (index < 0) {
            QToolTip::hideText();
            return true;
        }
        const std::string& path = (*entries())[static_cast<size_t>(index)].path;
        QString text = tildePath(path);
        const std::optional<QString> by =
            selectable_ && tickRect(index).contains(help->pos()) ? includedBy(path) : std::nullopt;
        if (by) text = tr("Included because “%1” is selected. Untick to leave just this out").arg(*by);
        QToolTip::showText(help->globalPos(), PlainText::toolTip(text), this);
        return true;
    }
    return QWidget::event(event);
}

}  // namespace nimbrel
