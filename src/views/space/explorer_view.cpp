#include "views/space/explorer_view.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "model/app_state.h"
#include "theme/empty_state.h"
#include "theme/evaporate_effect.h"
#include "theme/fading_scroll.h"
#include "theme/fixed_digits.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/scroll_bars.h"
#include "theme/shapes.h"
#include "theme/steam_jet.h"
#include "theme/steamer.h"
#include "theme/symbols.h"
#include "util/fmt.h"
#include "views/kit/plain_text.h"
#include "views/space/explorer_accessible.h"
#include "views/space/explorer_controller.h"

namespace nimbrel {

// --- geometry ------------------------------------------------------------------------------------

ExplorerGeometry ExplorerGeometry::make(ExplorerLayout layout, double viewportWidth, int count) {
    ExplorerGeometry g;
    g.layout = layout;
    g.width = std::max(0.0, viewportWidth - 2 * kSide);
    g.count = count;
    if (layout == ExplorerLayout::icons) {
        g.columns = std::max(1, int((g.width + kGridSpacing) / (kMinColumn + kGridSpacing)));
        g.column = std::min(kMaxColumn, (g.width - kGridSpacing * (g.columns - 1)) / g.columns);
        const double used = g.columns * g.column + kGridSpacing * (g.columns - 1);
        g.gridLeft = kSide + std::max(0.0, (g.width - used) / 2);
    }
    return g;
}

QRectF ExplorerGeometry::tileRect(int i) const {
    if (layout == ExplorerLayout::icons) {
        const int row = i / columns, col = i % columns;
        return {gridLeft + col * (column + kGridSpacing),
                kTop + row * (TilePainter::kTileHeight + kGridSpacing), column, TilePainter::kTileHeight};
    }
    // Rows: 4 points of padding on every side, 8 more on the left; on the right they keep clear of
    // the resting steamer.
    const double left = kSide + 12, right = width + 2 * kSide - kSteamerLane;
    return {left, kTop + 4 + i * (TilePainter::kRowHeight + kRowSpacing), std::max(0.0, right - left),
            TilePainter::kRowHeight};
}

double ExplorerGeometry::tilesHeight() const {
    if (count == 0) return 0;
    if (layout == ExplorerLayout::icons) {
        const int rows = (count + columns - 1) / columns;
        return rows * TilePainter::kTileHeight + (rows - 1) * kGridSpacing;
    }
    return 8 + count * TilePainter::kRowHeight + (count - 1) * kRowSpacing;
}

int ExplorerGeometry::firstIn(double top) const {
    const double pitch = layout == ExplorerLayout::icons ? TilePainter::kTileHeight + kGridSpacing
                                                         : TilePainter::kRowHeight + kRowSpacing;
    const int row = std::max(0, int(std::floor((top - kTop) / pitch)));
    return std::min(count, layout == ExplorerLayout::icons ? row * columns : row);
}

int ExplorerGeometry::lastIn(double bottom) const {
    const double pitch = layout == ExplorerLayout::icons ? TilePainter::kTileHeight + kGridSpacing
                                                         : TilePainter::kRowHeight + kRowSpacing;
    const int row = std::max(0, int(std::ceil((bottom - kTop) / pitch)));
    return std::min(count, layout == ExplorerLayout::icons ? (row + 1) * columns : row + 1);
}

std::optional<int> ExplorerGeometry::indexAt(QPointF at) const {
    for (int i = firstIn(at.y() - 1); i < lastIn(at.y() + 1); ++i)
        if (tileRect(i).contains(at)) return i;
    return std::nullopt;
}

// --- view ----------------------------------------------------------------------------------------

ExplorerView::ExplorerView(SpaceViewModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), vm_(model), painter_(viewport()) {
    ExplorerAccessible::install();
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QAbstractScrollArea { background: transparent; }"));
    verticalScrollBar()->setSingleStep(24);
    styleScrollBars(this);
    clock_.start();

    footerLoader_ = new NimbrelLoader(12, viewport());
    footerLoader_->hide();
    smallLoader_ = new NimbrelLoader(12, viewport());
    smallLoader_->hide();

    jet_ = new SteamJet(this);
    jet_->setAttribute(Qt::WA_TransparentForMouseEvents);
    steamer_ = new FlatSteamer(0.12, false, this);
    steamer_->setAttribute(Qt::WA_TransparentForMouseEvents);
    steamer_->resize(steamer_->sizeHint());

    controller_ = new ExplorerController(vm_, *this);
    connect(controller_, &ExplorerController::previewRequested, this, &ExplorerView::previewRequested);
    vm_.setFrameProvider([this](int index) { return frameAt(index); });
    connect(&vm_, &SpaceViewModel::changed, this, &ExplorerView::refresh);
    connect(&vm_, &SpaceViewModel::folderChanged, this, [this] { verticalScrollBar()->setValue(0); });
    connect(&vm_, &SpaceViewModel::steamerChanged, this, &ExplorerView::followSteamer);
    connect(&steamerX_, &AnimatedValue::changed, this, &ExplorerView::placeSteamer);
    connect(&steamerY_, &AnimatedValue::changed, this, &ExplorerView::placeSteamer);
    connect(&water_, &AnimatedValue::changed, this, [this](double v) { steamer_->setWaterLevel(v); });
    connect(&looks_, &LookAnimations::moved, viewport(), qOverload<>(&QWidget::update));
    vanishTick_.setInterval(33);
    connect(&vanishTick_, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
    // The removal's end: the list is still the old one here, and is pruned right after.
    connect(&vm_.state(), &AppState::isDeletingChanged, this, [this] {
        if (!vm_.state().isDeleting()) noteBeforeRemoval();
    });
    connect(&close_, &AnimatedValue::changed, this, [this](double v) {
        if (v >= 1) {
            closeFrom_.clear();
            closeTail_.reset();
        }
        refresh();
    });
    refresh();
}

void ExplorerView::followSteamer() {
    const SteamerState& s = vm_.steamer();
    const QPointF at = s.position == QPointF() ? SpaceViewModel::restPoint(viewport()->size()) : s.position;
    // Out to a tile briskly, home again more gently.
    const Spring spring = vm_.isCleaning() ? Spring{0.32, 0.85} : Spring{0.6, 0.9};
    // A new size moves the rest point itself: the steamer stands there at once, with no spring
    // trailing a window being dragged.
    if (!steamerPlaced_ || resizing_ || AnimatedValue::allInstant()) {
        steamerX_.setImmediate(at.x());
        steamerY_.setImmediate(at.y());
        steamerPlaced_ = true;
    } else {
        steamerX_.springTo(at.x(), spring);
        steamerY_.springTo(at.y(), spring);
    }
    jet_->setTo(s.jetTarget);
    jet_->setActive(s.jetting);
    water_.animateTo(ExplorerModel::steamIntensity(vm_.state().queue().totalSize()),
                     timingCurve(0.23, 1, 0.32, 1, 0.5));
    placeSteamer();
}

double ExplorerView::scrollTop() const {
    return verticalScrollBar()->value();
}

ExplorerGeometry ExplorerView::geometryNow() {
    return ExplorerGeometry::make(vm_.layout(), viewport()->width(), vm_.visibleCount());
}

TileGeometry ExplorerView::tileGeometry(int index, const ExplorerEntry& entry) {
    return TileGeometry::of(geometryNow().tileRect(index), vm_.layout(),
                            TilePainter::shows(entry, vm_.hovered() == entry.id));
}

std::optional<QRectF> ExplorerView::frameAt(int index) {
    if (index < 0 || index >= vm_.visibleCount()) return std::nullopt;
    return geometryNow().tileRect(index).translated(0, -scrollTop());
}

std::optional<QRectF> ExplorerView::frameOf(const std::string& id) {
    const auto index = vm_.indexOf(id);
    if (!index) return std::nullopt;
    return frameAt(*index);
}

double ExplorerView::footerTop(const ExplorerGeometry& g) {
    double y = ExplorerGeometry::kTop + g.tilesHeight();
    if (g.count > 0) y += ExplorerGeometry::kGap;
    if (vm_.showsEmptyState()) y += ExplorerGeometry::kEmptyHeight + ExplorerGeometry::kGap;
    return y;
}

QString ExplorerView::footerText() {
    const int total = vm_.tileCount();
    const int visible = vm_.visibleCount();
    if (visible >= total) return {};
    return tr("Showing %1 of %2 · more load as you scroll").arg(Fmt::count(visible), Fmt::count(total));
}

QRectF ExplorerView::smallFilesRowRect() {
    if (!vm_.showsSmallFilesRow()) return {};
    const ExplorerGeometry g = geometryNow();
    return {ExplorerGeometry::kSide, footerTop(g), g.width, ExplorerGeometry::kSmallRowHeight};
}

void ExplorerView::noteBeforeRemoval() {
    before_.reset();
    if (vm_.mode() != SpaceViewModel::Mode::explorer) return;
    const ExplorerGeometry g = geometryNow();
    const double top = scrollTop(), slack = closeSlack();
    BeforeRemoval b;
    b.folderKey = vm_.folderKey();
    b.revision = vm_.state().revision();
    b.top = top;
    b.first = g.firstIn(top - slack);
    const int last = g.lastIn(top + viewport()->height() + slack);
    for (int i = b.first; i < last; ++i)
        b.tiles.emplace_back(vm_.tileId(i), shownRect(g, i));
    before_ = std::move(b);
    // The pruning follows at once; a removal that pruned nothing leaves no note behind.
    QTimer::singleShot(0, this, [this] { before_.reset(); });
}

void ExplorerView::startClose() {
    const BeforeRemoval b = std::move(*before_);
    before_.reset();
    const ExplorerGeometry g = geometryNow();
    std::unordered_map<std::string, int> at;
    const int visible = vm_.visibleCount();
    at.reserve(static_cast<size_t>(visible));
    for (int i = 0; i < visible; ++i)
        at.emplace(vm_.tileId(i), i);
    struct Kept {
        int oldIndex;
        int newIndex;
        QRectF was;
        const std::string* id;
    };
    std::vector<Kept> kept;
    std::vector<int> gone;
    for (size_t k = 0; k < b.tiles.size(); ++k) {
        const int old = b.first + static_cast<int>(k);
        auto it = at.find(b.tiles[k].first);
        if (it != at.end())
            kept.push_back({old, it->second, b.tiles[k].second, &b.tiles[k].first});
        else
            gone.push_back(old);
    }
    // The first tile on screen that stays holds its row, less the rows of tiles that left on screen
    // before it; tiles that left above the screen move the scroll position instead.
    int hidden = 0;
    double shift = 0;
    auto anchor =
        std::find_if(kept.begin(), kept.end(), [&](const Kept& k) { return k.was.bottom() > b.top; });
    if (anchor != kept.end()) {
        const int goneBefore = static_cast<int>(
            std::count_if(gone.begin(), gone.end(), [&](int i) { return i < anchor->oldIndex; }));
        hidden = std::max(0, anchor->oldIndex - anchor->newIndex - goneBefore);
        shift = g.tileRect(anchor->oldIndex - hidden).top() - g.tileRect(anchor->oldIndex).top();
    }
    closeFrom_.clear();
    int after = -1;
    for (const Kept& k : kept) {
        closeFrom_[*k.id] = k.was.topLeft() + QPointF(0, shift) - g.tileRect(k.newIndex).topLeft();
        after = std::max(after, k.newIndex);
    }
    closeTail_ = Tail{after, hidden + static_cast<int>(gone.size()), shift};
    for (int i : gone)
        if (i - b.first >= 0 && size_t(i - b.first) < b.tiles.size())
            vanishing_.remove(QString::fromStdString(b.tiles[size_t(i - b.first)].first));
    verticalScrollBar()->setValue(int(std::lround(std::max(0.0, b.top + shift))));
    close_.start();
}

QPointF ExplorerView::closeOffset(int index, const std::string& id) const {
    if (!isClosing()) return {};
    const double left = close_.left();
    if (auto it = closeFrom_.find(id); it != closeFrom_.end()) return it->second * left;
    if (closeTail_ && index > closeTail_->after) {
        const ExplorerGeometry g =
            ExplorerGeometry::make(vm_.layout(), viewport()->width(), index + closeTail_->skipped + 1);
        const QPointF was = g.tileRect(index + closeTail_->skipped).topLeft() + QPointF(0, closeTail_->shift);
        return (was - g.tileRect(index).topLeft()) * left;
    }
    return {};
}

double ExplorerView::closeSlack() const {
    if (!isClosing()) return 0;
    double slack = 0;
    for (const auto& [id, from] : closeFrom_)
        slack = std::max(slack, std::abs(from.y()));
    if (closeTail_) {
        const ExplorerGeometry g = ExplorerGeometry::make(vm_.layout(), viewport()->width(), 1);
        const int i = closeTail_->after + 1;
        slack = std::max(slack, std::abs(g.tileRect(i + closeTail_->skipped).top() + closeTail_->shift -
                                         g.tileRect(i).top()) +
                                    g.tileRect(0).height());
    }
    return slack * close_.left();
}

QRectF ExplorerView::shownRect(const ExplorerGeometry& g, int index) {
    const QRectF r = g.tileRect(index);
    if (!isClosing()) return r;
    return r.translated(closeOffset(index, vm_.tileId(index)));
}

void ExplorerView::refresh() {
    if (before_ && vm_.state().revision() != before_->revision) {
        if (vm_.mode() == SpaceViewModel::Mode::explorer && vm_.folderKey() == before_->folderKey)
            startClose();
        before_.reset();
    }
    const ExplorerGeometry g = geometryNow();
    double content = footerTop(g);
    // While the list closes, its end comes up with the last tile, so nothing below jumps.
    if (isClosing() && g.count > 0)
        content += std::max(0.0, closeOffset(g.count - 1, vm_.tileId(g.count - 1)).y());
    if (!footerText().isEmpty()) content += ExplorerGeometry::kFooterHeight + ExplorerGeometry::kGap;
    if (vm_.showsSmallFilesRow()) content += ExplorerGeometry::kSmallRowHeight + ExplorerGeometry::kGap;
    // The room below lets the last tiles scroll out from under the resting steamer. The welcome's
    // tiles are only pictures: when they fit, that room alone is nothing to scroll to.
    if (vm_.mode() != SpaceViewModel::Mode::welcome || content > viewport()->height())
        content += ExplorerGeometry::kBottom;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(content)) - viewport()->height()));

    // The empty state is a real widget (its button takes clicks); it is rebuilt when its text changes.
    const bool wantEmpty = vm_.showsEmptyState();
    const ExplorerModel::EmptyText text =
        wantEmpty
            ? ExplorerModel::emptyText(vm_.search(), vm_.filter(), vm_.currentNode().get(), vm_.listedCount())
            : ExplorerModel::EmptyText{};
    const QString key = wantEmpty ? text.title + QLatin1Char('|') + text.message +
                                        QLatin1Char(text.showEverything ? '+' : '-')
                                  : QString();
    if (key != emptyKey_) {
        delete empty_;
        empty_ = nullptr;
        emptyKey_ = key;
        if (wantEmpty) {
            // "Show Everything" only where it would show more: never a button that does nothing.
            QList<QWidget*> actions;
            if (text.showEverything) {
                auto* show = new NimbrelButton(tr("Show Everything"), NimbrelButton::Kind::secondary);
                connect(show, &NimbrelButton::clicked, this, [this] {
                    vm_.setSearch({});
                    vm_.setFilter(ExplorerFilter::all);
                });
                actions << show;
            }
            empty_ = new EmptyState(text.title, text.message, actions, viewport());
            empty_->show();
        }
    }
    noteArrivals();
    relayoutChildren();
    viewport()->update();
    QTimer::singleShot(0, this, &ExplorerView::checkPaging);
}

void ExplorerView::noteArrivals() {
    const QString key = vm_.folderKey();
    const bool fresh = key != knownKey_;
    if (fresh) {
        knownKey_ = key;
        known_.clear();
        appeared_.clear();
    }
    // Tiles arrive only while a scan discovers them; a finished folder's list never grows in.
    if (!vm_.state().isScanning()) return;
    const bool animate = !fresh && !ReduceMotion::isOn();
    const int visible = vm_.visibleCount();
    for (int i = 0; i < visible; ++i) {
        const QString id = QString::fromStdString(vm_.tileId(i));
        if (known_.contains(id)) continue;
        known_.insert(id);
        if (animate) appeared_.insert(id, clock_.elapsed());
    }
}

void ExplorerView::relayoutChildren() {
    const ExplorerGeometry g = geometryNow();
    const double top = scrollTop();
    if (empty_) {
        double y = ExplorerGeometry::kTop + g.tilesHeight() + (g.count > 0 ? ExplorerGeometry::kGap : 0);
        empty_->setGeometry(
            QRectF(ExplorerGeometry::kSide, y - top, g.width, ExplorerGeometry::kEmptyHeight).toRect());
    }
    const double footer = footerTop(g);
    const bool paging = !footerText().isEmpty();
    footerLoader_->setVisible(paging);
    if (paging) {
        const QSize s = footerLoader_->sizeHint();
        footerLoader_->setGeometry(int(ExplorerGeometry::kSide + 8),
                                   int(footer - top + (20 - s.height()) / 2.0), s.width(), s.height());
    }
    const QRectF small = smallFilesRowRect();
    const auto node = vm_.currentNode();
    const bool loading = !small.isEmpty() && node && vm_.isLoadingSmall(node->path());
    smallLoader_->setVisible(loading);
    if (loading) {
        const QSize s = smallLoader_->sizeHint();
        smallLoader_->setGeometry(int(small.center().x() - 120),
                                  int(small.center().y() - top - s.height() / 2.0), s.width(), s.height());
    }
    jet_->setGeometry(rect());
}

void ExplorerView::placeSteamer() {
    const QRectF lr = steamer_->layoutRect();
    steamer_->move(
        QPointF(steamerX_.value() - lr.center().x(), steamerY_.value() - lr.center().y()).toPoint());
    jet_->setFrom(QPointF(steamerX_.value() - 52.8, steamerY_.value() + 32.4));
    steamer_->raise();
}

void ExplorerView::checkPaging() {
    const ExplorerGeometry g = geometryNow();
    const double top = scrollTop(), bottom = top + viewport()->height();
    // Lazy containers build a little ahead of the visible region; so does the page.
    constexpr double kAhead = 200;
    if (g.count > 0 && g.count < vm_.tileCount() && g.tileRect(g.count - 1).top() < bottom + kAhead) {
        vm_.loadMore();
        return;
    }
    const QRectF small = smallFilesRowRect();
    if (!small.isEmpty()) {
        const double shown = std::min(small.bottom(), bottom) - std::max(small.top(), top);
        if (shown >= small.height() / 2) vm_.loadSmallFiles(vm_.currentNode());
    }
}

void ExplorerView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    resizing_ = true;
    vm_.setViewport(viewport()->size());
    resizing_ = false;
    refresh();
}

void ExplorerView::scrollContentsBy(int, int) {
    relayoutChildren();
    viewport()->update();
    checkPaging();
}

void ExplorerView::paintCard(QPainter& p) {
    const QRectF card(32, 4, viewport()->width() - 64, viewport()->height() - 4 + 40);
    const QPainterPath shape = Shapes::rounded(card, 26);
    p.fillPath(shape, Palette::glass());
    p.setPen(QPen(Palette::glassEdge(), 1));
    p.drawPath(Shapes::rounded(card.adjusted(0.5, 0.5, -0.5, -0.5), 25.5));
}

void ExplorerView::paintEvent(QPaintEvent*) {
    QPainter out(viewport());
    out.setRenderHint(QPainter::Antialiasing);
    if (vm_.layout() == ExplorerLayout::list && vm_.tileCount() > 0 &&
        vm_.mode() != SpaceViewModel::Mode::welcome)
        paintCard(out);
    // The tiles answer the keyboard (Space) now: a ring round the area says so, over the content.
    const auto ring = [this, &out] {
        if (!showsFocusRing()) return;
        out.setPen(QPen(Palette::accent().resolve(this), 2));
        out.setBrush(Qt::NoBrush);
        out.drawPath(Shapes::rounded(QRectF(viewport()->rect()).adjusted(9, 1, -9, -1), 22));
    };
    // The scrolled content softens into transparency at an edge only while more lies beyond it.
    const double height = viewport()->height();
    const double content = verticalScrollBar()->maximum() + height;
    const FadingScroll::Edges edges = FadingScroll::edges(scrollTop(), height, content);
    if (!edges.leading && !edges.trailing) {
        paintContent(out);
        ring();
        return;
    }
    // One layer kept across frames: a fresh screen-sized image per frame costs the GUI thread page
    // faults at every repaint while a scan runs.
    const qreal dpr = viewport()->devicePixelRatioF();
    const QSize pixels = (QSizeF(viewport()->size()) * dpr).toSize();
    if (fadeLayer_.size() != pixels || fadeLayer_.devicePixelRatio() != dpr) {
        fadeLayer_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        fadeLayer_.setDevicePixelRatio(dpr);
    }
    QImage& layer = fadeLayer_;
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        paintContent(lp);
        const double band = std::min(kFade, height / 2) / std::max(1.0, height);
        QLinearGradient g(0, 0, 0, height);
        g.setColorAt(0, edges.leading ? Qt::transparent : Qt::black);
        g.setColorAt(band, Qt::black);
        g.setColorAt(1 - band, Qt::black);
        g.setColorAt(1, edges.trailing ? Qt::transparent : Qt::black);
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        lp.fillRect(QRectF(QPointF(0, 0), QSizeF(viewport()->size())), g);
    }
    out.drawImage(QPointF(0, 0), layer);
    ring();
}

void ExplorerView::paintContent(QPainter& p) {
    const ExplorerGeometry g = geometryNow();
    const double top = scrollTop();
    p.translate(0, -top);

    const bool waiting = vm_.state().isScanning();
    const std::int64_t heaviest = vm_.heaviest();
    const CleanQueue& queue = vm_.state().queue();
    bool animating = false;
    const double slack = closeSlack();
    const int first = g.firstIn(top - slack), last = g.lastIn(top + viewport()->height() + slack);
    // While a scan sorts new entries in, a tile that changes its place moves there and a tile that
    // leaves (a placeholder giving way) fades, both on the scan's spring; a fresh folder starts still.
    const QString folder = vm_.folderKey();
    const bool follow = waiting && folder == shownFolder_ && !ReduceMotion::isOn();
    std::unordered_map<std::string, Shown> shown;
    shown.reserve(size_t(std::max(0, last - first)));
    for (int i = first; i < last; ++i) {
        const ExplorerTile& t = vm_.tile(i);
        const std::string id = t.id();
        QRectF r = shownRect(g, i);
        if (auto was = shown_.find(id); follow && was != shown_.end() && was->second.place != r.topLeft()) {
            const QPointF from = was->second.at - r.topLeft();
            looks_.start(id, LookAnimations::moveX, from.x(), 0, kScanSpring);
            looks_.start(id, LookAnimations::moveY, from.y(), 0, kScanSpring);
        }
        const QPointF place = r.topLeft();
        r.translate(looks_.value(id, LookAnimations::moveX, 0), looks_.value(id, LookAnimations::moveY, 0));
        looks_.follow(id, LookAnimations::moveX, 0, {});
        looks_.follow(id, LookAnimations::moveY, 0, {});
        shown.emplace(id, Shown{place, r.topLeft(), t});
        p.save();
        if (applyArrival(p, id, r, g.layout)) animating = true;
        paintTile(p, t, r, g.layout, waiting, heaviest, queue);
        p.restore();
    }
    paintLeaving(p, g, shown, follow, waiting, heaviest, queue);
    shown_ = std::move(shown);
    shownFolder_ = folder;
    looks_.endFrame();
    if (isClosing()) animating = true;
    if (animating && !vanishTick_.isActive()) vanishTick_.start();
    if (!animating) vanishTick_.stop();
    paintFooter(p, g, top);
}

// A tile that has just arrived fades in (and, as a tile, grows from 0.6) on the scan's spring; says
// whether it is still arriving.
bool ExplorerView::applyArrival(QPainter& p, const std::string& id, const QRectF& r, ExplorerLayout layout) {
    const auto arrival = appeared_.constFind(QString::fromStdString(id));
    if (arrival == appeared_.constEnd()) return false;
    const double seconds = (clock_.elapsed() - *arrival) / 1000.0;
    const double k = std::clamp(kScanSpring.value(seconds), 0.0, 1.0);
    p.setOpacity(p.opacity() * k);
    if (layout == ExplorerLayout::icons) {
        const double scale = 0.6 + 0.4 * kScanSpring.value(seconds);
        p.translate(r.center());
        p.scale(scale, scale);
        p.translate(-r.center());
    }
    return seconds < 1.0;
}

// Tiles that left the list (not merely the view) fade where they were last drawn.
void ExplorerView::paintLeaving(QPainter& p, const ExplorerGeometry& g,
                                std::unordered_map<std::string, Shown>& shown, bool follow, bool waiting,
                                std::int64_t heaviest, const CleanQueue& queue) {
    for (auto& [id, was] : shown_) {
        if (shown.count(id)) continue;
        const std::string key = "left:" + id;
        if (!was.leaving) {
            if (!follow || vm_.indexOf(id)) continue;
            looks_.start(key, LookAnimations::fade, 1, 0, kScanSpring);
        }
        const double opacity = std::clamp(looks_.value(key, LookAnimations::fade, 0), 0.0, 1.0);
        looks_.follow(key, LookAnimations::fade, 0, {});
        if (opacity <= 0.001) continue;
        p.save();
        p.setOpacity(p.opacity() * opacity);
        paintTile(p, was.tile, QRectF(was.at, g.tileRect(0).size()), g.layout, waiting, heaviest, queue);
        p.restore();
        was.leaving = true;
        shown.emplace(id, std::move(was));
    }
}

void ExplorerView::paintTile(QPainter& p, const ExplorerTile& t, const QRectF& r, ExplorerLayout layout,
                             bool waiting, std::int64_t heaviest, const CleanQueue& queue) {
    if (t.isPlaceholder()) {
        painter_.paintPlaceholder(p, r, t.kind, t.condition, t.seed, waiting, layout);
        return;
    }
    const ExplorerEntry& e = *t.entry;
    TilePainter::EntryLook look;
    look.hovering = vm_.hovered() == e.id;
    look.included = queue.includes(e.id);
    look.inherited = EntryRules::inherited(e.id, queue);
    look.hasOpen = e.node != nullptr;
    look.weight = static_cast<double>(e.size) / static_cast<double>(heaviest);
    // Each part of the look eases on its own motion; the row's path buttons fade with the hover.
    look.hover = look.buttons = looks_.follow(e.id, LookAnimations::hover, look.hovering, Motion::hover());
    look.selected = looks_.follow(e.id, LookAnimations::selected, look.included, kSelectMotion);
    look.circle = looks_.follow(e.id, LookAnimations::circle, look.included, kCircleMotion);
    look.check = looks_.follow(e.id, LookAnimations::check, look.included, kCheckMotion);

    const QString key = QString::fromStdString(e.id);
    const bool vanishing = vm_.isVanishing(e.id);
    if (ReduceMotion::isOn()) {
        // Reduce Motion: the tile only fades.
        vanishing_.remove(key);
        const double shown = looks_.follow(e.id, LookAnimations::fade, vanishing ? 0 : 1, kReducedFade);
        if (shown <= 0) return;
        p.setOpacity(p.opacity() * shown);
        painter_.paintEntry(p, r, e, t.condition, layout, look);
        return;
    }
    const double progress = looks_.follow(e.id, LookAnimations::vanish, vanishing ? 1 : 0,
                                          vanishing ? Motion::evaporate() : kComeBack);
    if (progress <= 0) {
        vanishing_.remove(key);
        painter_.paintEntry(p, r, e, t.condition, layout, look);
        return;
    }
    if (progress >= 1) return;
    // Evaporating: the tile as it was when it started to go, drawn once into a layer that dissolves
    // and rises, varied per tile. Drawn again only if the tile's size changed.
    Vanish& vanish = vanishing_[key];
    const qreal dpr = viewport()->devicePixelRatioF();
    const QSize pixels = (r.size() * dpr).toSize();
    if (vanish.still.size() != pixels || vanish.still.devicePixelRatio() != dpr) {
        vanish.still = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        vanish.still.setDevicePixelRatio(dpr);
        vanish.still.fill(Qt::transparent);
        QPainter lp(&vanish.still);
        lp.translate(-r.topLeft());
        painter_.paintEntry(lp, r, e, t.condition, layout, look);
    }
    EvaporateEffect::paintLayer(p, vanish.still, r.topLeft(), progress, ExplorerModel::seed(e.id) / 997.0,
                                NimbrelShaders::has(QStringLiteral("evaporate")), vanish.frame);
}

void ExplorerView::paintFooter(QPainter& p, const ExplorerGeometry& g, double top) {
    // Footer and small-files row.
    const QFont font = Fonts::font(12, FontWeight::medium);
    p.setFont(font);
    const QColor ink3 = Palette::ink3().resolve(this);
    p.setPen(ink3);
    const double footer = footerTop(g);
    const QString paging = footerText();
    if (!paging.isEmpty()) {
        const double x = ExplorerGeometry::kSide + 8 + footerLoader_->sizeHint().width() + 8;
        FixedDigits::draw(p, QRectF(x, footer, g.width, ExplorerGeometry::kFooterHeight),
                          Qt::AlignLeft | Qt::AlignVCenter, paging);
    }
    const QRectF small = smallFilesRowRect();
    if (!small.isEmpty()) {
        const auto node = vm_.currentNode();
        const bool loading = vm_.isLoadingSmall(node->path());
        const QString size = Fmt::bytes(std::max<std::int64_t>(0, node->smallFilesSize()));
        const QString text = loading ? tr("Loading %1 in smaller files…").arg(size)
                                     : tr("Scroll to load %1 in smaller files").arg(size);
        const double lead = loading ? smallLoader_->sizeHint().width() : Symbols::side(12);
        const double w = lead + 8 + FixedDigits::advance(font, text);
        const double x = small.center().x() - w / 2;
        if (!loading)
            Symbols::draw(p, QRectF(x, small.top(), lead, small.height()), "arrow.down.circle", ink3, 12,
                          FontWeight::semibold);
        else
            smallLoader_->move(int(x), int(small.center().y() - top - smallLoader_->height() / 2.0));
        p.setPen(ink3);
        FixedDigits::draw(p, QRectF(x + lead + 8, small.top(), w, small.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

// --- input: the controller's -------------------------------------------------------------------

void ExplorerView::mouseMoveEvent(QMouseEvent* event) {
    controller_->mouseMoved(event->position());
    QAbstractScrollArea::mouseMoveEvent(event);
}

void ExplorerView::leaveEvent(QEvent* event) {
    controller_->left();
    QAbstractScrollArea::leaveEvent(event);
}

void ExplorerView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    controller_->pressed(event->position());
}

void ExplorerView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void ExplorerView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseReleaseEvent(event);
    controller_->released(event->position(), event->modifiers());
}

void ExplorerView::keyPressEvent(QKeyEvent* event) {
    if (controller_->keyPressed(*event)) return;
    QAbstractScrollArea::keyPressEvent(event);
}

void ExplorerView::focusInEvent(QFocusEvent* event) {
    // A click on a tile takes the focus too (for the Space key); only the keyboard's way in shows.
    const Qt::FocusReason r = event->reason();
    keyboardFocus_ = r == Qt::TabFocusReason || r == Qt::BacktabFocusReason || r == Qt::ShortcutFocusReason;
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void ExplorerView::focusOutEvent(QFocusEvent* event) {
    keyboardFocus_ = false;
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void ExplorerView::contextMenuEvent(QContextMenuEvent* event) {
    controller_->contextMenu(event->pos(), event->globalPos());
}

bool ExplorerView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = controller_->toolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), PlainText::toolTip(text), viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace nimbrel
