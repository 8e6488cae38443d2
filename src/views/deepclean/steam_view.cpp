#include "views/deepclean/steam_view.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <cmath>

#include "model/app_state.h"
#include "model/cleanup_model.h"
#include "theme/animated_value.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/motion.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"
#include "util/fmt.h"
#include "views/deepclean/drains.h"
#include "views/deepclean/safe_header.h"
#include "views/kit/area_header.h"
#include "views/kit/elided_label.h"
#include "views/kit/item_row.h"
#include "views/kit/junk_contents_list.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/shelf.h"
#include "views/kit/wrapping_text.h"

namespace nimbrel {

namespace {

constexpr double kSortLabelSize = 11.5;
constexpr double kMeasuringLoader = 14;
constexpr double kMeasuringTextSize = 12.5;
constexpr int kMeasuringSpacing = 8;
constexpr double kHintSize = 12.5;
constexpr double kDetailSize = 11.5;
constexpr int kContentsLimit = 300;
// The contents block under an opened location: its insets and the gap between detail and list.
constexpr int kBlockLeft = 76;
constexpr int kBlockRight = 12;
constexpr int kBlockBelow = 8;
constexpr int kBlockSpacing = 4;
// How an opened location's row grows and its contents block fades in (and back).
const MotionSpec kContentsMotion = Motion::snappy(0.2);

QFont detailFont() {
    return Fonts::font(kDetailSize);
}

QColor ink2(const QWidget* w) {
    return Palette::ink2().resolve(w);
}

QColor ink3(const QWidget* w) {
    return Palette::ink3().resolve(w);
}

}  // namespace

// One location row and, while it is open, its contents block: the location's detail and what it
// holds. The block stands at its full height under the row; while the row grows or shrinks, the
// cell's edge reveals or hides it.
class LocationCell : public QWidget {
  public:
    using RowMaker = std::function<ItemRow*(QWidget* parent)>;

    LocationCell(AppState& state, JunkLocation location, RowMaker makeRow)
        : state_(state), location_(std::move(location)), makeRow_(std::move(makeRow)) {
        connect(&shown_, &AnimatedValue::changed, this, [this](double v) { fade(v); });
        buildRow();
    }
    void buildRow() {
        row_ = makeRow_(this);
        row_->setFixedHeight(ItemRow::kHeight);
        place();
        row_->show();
    }
    ItemRow* row() const { return row_; }
    void setOpen(bool open) {
        if (open == (block_ != nullptr)) return;
        if (!open) {
            block_->hide();
            block_->deleteLater();
            block_ = nullptr;
            shown_.setImmediate(0);
            return;
        }
        block_ = new QWidget(this);
        auto* column = new QVBoxLayout(block_);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(kBlockSpacing);
        column->addWidget(
            new WrappingText(QString::fromStdString(location_.detail), detailFont(), ink3, block_));
        column->addWidget(new JunkContentsList(state_, location_, kContentsLimit, true, {}, block_));
        column->addStretch(1);
        place();
        block_->show();
        shown_.setImmediate(0);
        fade(0);
        setShown(true);
    }
    // The block appears and disappears with an opacity transition, on the row's own motion.
    void setShown(bool shown) { shown_.animateTo(shown ? 1 : 0, kContentsMotion, true); }
    double shownAmount() const { return shown_.value(); }
    // The block's height at rest, detail and list included.
    void setBlockHeight(int height) {
        blockHeight_ = height;
        place();
    }
    void place() {
        if (row_) row_->setGeometry(0, 0, width(), ItemRow::kHeight);
        if (block_)
            block_->setGeometry(kBlockLeft, ItemRow::kHeight, std::max(0, width() - kBlockLeft - kBlockRight),
                                std::max(0, blockHeight_));
    }

  protected:
    void resizeEvent(QResizeEvent*) override { place(); }

  private:
    // Faded through a picture only while it comes or goes; at rest it draws itself.
    void fade(double opacity) {
        if (!block_) return;
        auto* effect = qobject_cast<QGraphicsOpacityEffect*>(block_->graphicsEffect());
        if (opacity >= 1) {
            if (effect) block_->setGraphicsEffect(nullptr);
            return;
        }
        if (!effect) {
            effect = new QGraphicsOpacityEffect(block_);
            block_->setGraphicsEffect(effect);
        }
        effect->setOpacity(opacity);
    }

    AppState& state_;
    JunkLocation location_;
    RowMaker makeRow_;
    AnimatedValue shown_{0};
    ItemRow* row_ = nullptr;
    QWidget* block_ = nullptr;
    int blockHeight_ = 0;
};

SteamView::SteamView(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    measure_ = new NimbrelButton(tr("Measure Again"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small);
    measure_->setSymbol(QStringLiteral("arrow.clockwise"));
    connect(measure_, &NimbrelButton::clicked, this, [this] { state_.cleanup().measure(); });
    stack->addWidget(new AreaHeader(
        state_, tr("Caches, leftovers and build junk that are safe to nimbrelise"), measure_, this));
    stack->addWidget(buildControls());

    scroll_ = new FadingScroll(Qt::Vertical, kFade, this);
    scroll_->setContent(buildContent());
    stack->addWidget(scroll_, 1);

    followState();
    refresh();
}

// What scrolls: the safe header, the measuring line, the hint, the empty state and the sections.
QWidget* SteamView::buildContent() {
    auto* content = new QWidget;
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(kSideInset, 0, kSideInset, kBottomInset);
    column_->setSpacing(kSectionSpacing);

    header_ = new SafeHeader(content);
    connect(header_->selectButton(), &NimbrelButton::clicked, this, &SteamView::selectEverythingSafe);
    column_->addWidget(header_);
    column_->addWidget(buildMeasuring(content));

    hint_ = new WrappingText(tr("Scan a folder with your code projects to lay out node_modules, build output "
                                "and virtualenvs here."),
                             Fonts::font(kHintSize), ink3, content);
    column_->addWidget(hint_);

    auto* showEverything = new NimbrelButton(tr("Show Everything"), NimbrelButton::Kind::secondary,
                                             NimbrelButton::Size::regular);
    connect(showEverything, &NimbrelButton::clicked, this, &SteamView::showEverything);
    empty_ =
        new EmptyState(tr("Nothing matches"), tr("Try another filter or search."), {showEverything}, content);
    column_->addWidget(empty_);

    drains_ = new DrainsSection(state_, content);
    column_->addWidget(drains_);
    column_->addStretch(1);
    return content;
}

QWidget* SteamView::buildMeasuring(QWidget* content) {
    measuring_ = new QWidget(content);
    auto* measuringRow = new QHBoxLayout(measuring_);
    measuringRow->setContentsMargins(0, 0, 0, 0);
    measuringRow->setSpacing(kMeasuringSpacing);
    measuringRow->addWidget(new NimbrelLoader(kMeasuringLoader, measuring_));
    auto* measuringText = new ElidedLabel(measuring_);
    measuringText->setFont(Fonts::font(kMeasuringTextSize, FontWeight::medium));
    measuringText->setColor(ink2);
    measuringText->setText(tr("Measuring the grime…"));
    measuringRow->addWidget(measuringText);
    measuringRow->addStretch(1);
    return measuring_;
}

// The measurements, the scan and its changes, and the junk contents change what the area shows.
void SteamView::followState() {
    CleanupModel& cleanup = state_.cleanup();
    connect(&cleanup, &CleanupModel::measurementsChanged, this, &SteamView::refresh);
    connect(&cleanup, &CleanupModel::isMeasuringChanged, this, &SteamView::refresh);
    connect(&cleanup, &CleanupModel::hasMeasuredChanged, this, &SteamView::refresh);
    connect(&state_, &AppState::resultChanged, this, &SteamView::refresh);
    connect(&state_, &AppState::revisionChanged, this, [this] {
        pruning_ = true;
        refresh();
        pruning_ = false;
    });
    connect(&cleanup, &CleanupModel::contentsChanged, this, &SteamView::contentsArrived);
}

QWidget* SteamView::buildControls() {
    auto* controls = new QWidget(this);
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(kSideInset, 0, kSideInset, kControlsBelow);
    row->setSpacing(kControlsSpacing);

    search_ = new SearchField(tr("Search caches & projects"), controls);
    search_->setFixedWidth(kSearchWidth);
    connect(search_, &SearchField::textChanged, this, [this](const QString& text) {
        if (model_.search == text) return;
        model_.search = text;
        refresh();
    });
    row->addWidget(search_);

    auto* chips = new QHBoxLayout;
    chips->setSpacing(kChipSpacing);
    for (DeepCleanFilter filter : kAllDeepCleanFilters) {
        auto* chip = new Chip(title(filter), std::nullopt, filter == model_.filter, controls);
        connect(chip, &Chip::clicked, this, [this, filter] {
            model_.tapChip(filter);
            refresh();
        });
        chips->addWidget(chip);
        chips_.push_back(chip);
    }
    row->addLayout(chips);
    row->addStretch(1);

    auto* sortLabel = new ElidedLabel(controls);
    sortLabel->setFont(Fonts::font(kSortLabelSize, FontWeight::medium));
    sortLabel->setColor(ink3);
    sortLabel->setText(tr("Sort"));
    row->addWidget(sortLabel);

    QList<PillOption> options;
    for (NameSizeSort sort : kAllNameSizeSorts)
        options.push_back({QString::fromLatin1(rawValue(sort)), label(sort)});
    sort_ = new PillPicker(options, QString::fromLatin1(rawValue(model_.sort)), controls);
    connect(sort_, &PillPicker::selectionRequested, this, [this](const QVariant& value) {
        if (auto sort = nameSizeSortFromRaw(value.toString().toStdString())) {
            model_.sort = *sort;
            refresh();
        }
    });
    row->addWidget(sort_);
    return controls;
}

void SteamView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    // Measure on first sight; later visits show the figures already published.
    QTimer::singleShot(0, this, [this] {
        if (!state_.cleanup().hasMeasured()) state_.cleanup().measure();
    });
}

void SteamView::toggle(const std::string& locationID) {
    model_.toggle(locationID);
    auto* shelf = qobject_cast<Shelf*>(locationsShelf_);
    const int index = shownLocationIndex(locationID);
    if (!shelf || index < 0 || !locationRows_) {
        refresh();
        return;
    }
    const int from = shelf->rows()->rowRect(index).height();
    *locationRows_ = model_.locationRows(DeepCleanModel::Inputs::of(state_), lists_);
    locationHeights_ = locationHeights(*locationRows_);
    const LocationRow& now = (*locationRows_)[size_t(index)];
    const bool open = now.showsContents;
    if (auto* cell = dynamic_cast<LocationCell*>(shelf->rows()->rowWidget(index))) {
        cell->row()->setExpanded(now.expanded.value_or(open));
        cell->setBlockHeight(locationHeights_[size_t(index)] - ItemRow::kHeight - kBlockBelow);
        if (open) cell->setOpen(true);
        cell->setShown(open);
    }
    auto& motion = motions_[locationID];
    if (!motion) {
        motion = std::make_unique<AnimatedValue>(from);
        connect(motion.get(), &AnimatedValue::changed, this, [this, locationID] { motionMoved(locationID); });
    }
    motion->animateTo(locationHeights_[size_t(index)], kContentsMotion, true);
    motionMoved(locationID);
}

QVariantAnimation* SteamView::contentsMotion(const std::string& locationID) const {
    auto m = motions_.find(locationID);
    return m == motions_.end() ? nullptr : &m->second->animation();
}

double SteamView::contentsOpacity(const std::string& locationID) const {
    auto* shelf = qobject_cast<Shelf*>(locationsShelf_);
    const int index = shownLocationIndex(locationID);
    if (!shelf || index < 0) return 0;
    auto* cell = dynamic_cast<LocationCell*>(shelf->rows()->rowWidget(index));
    return cell ? cell->shownAmount() : 0;
}

int SteamView::shownLocationIndex(const std::string& locationID) const {
    for (size_t i = 0; i < lists_.shownLocations.size(); ++i)
        if (lists_.shownLocations[i].location.id == locationID) return int(i);
    return -1;
}

void SteamView::motionMoved(const std::string& locationID) {
    relayLocations();
    auto m = motions_.find(locationID);
    if (m == motions_.end()) return;
    if (m->second->isRunning() && m->second->value() != m->second->target()) return;
    // At rest: a closed location's block goes now that its row has shrunk back.
    const int index = shownLocationIndex(locationID);
    m->second.release()->deleteLater();  // possibly inside its own signal
    motions_.erase(m);
    auto* shelf = qobject_cast<Shelf*>(locationsShelf_);
    if (!shelf || index < 0 || !locationRows_) return;
    if (auto* cell = dynamic_cast<LocationCell*>(shelf->rows()->rowWidget(index)))
        cell->setOpen((*locationRows_)[size_t(index)].showsContents);
}

void SteamView::relayLocations() {
    auto* shelf = qobject_cast<Shelf*>(locationsShelf_);
    if (!shelf || shelf->rows()->count() != int(locationHeights_.size())) return;
    std::vector<int> heights = locationHeights_;
    for (const auto& [id, motion] : motions_) {
        const int index = shownLocationIndex(id);
        if (index >= 0) heights[size_t(index)] = int(std::lround(motion->value()));
    }
    shelf->rows()->setHeights(std::move(heights));
}

void SteamView::contentsArrived() {
    // A listing that arrives or goes stale changes the height of its opened location.
    auto* shelf = qobject_cast<Shelf*>(locationsShelf_);
    if (!shelf || !locationRows_) return;
    const std::vector<int> heights = locationHeights(*locationRows_);
    if (heights == locationHeights_) return;
    locationHeights_ = heights;
    for (size_t i = 0; i < heights.size(); ++i) {
        if (auto* cell = dynamic_cast<LocationCell*>(shelf->rows()->rowWidget(int(i))))
            cell->setBlockHeight(heights[i] - ItemRow::kHeight - kBlockBelow);
        const std::string& id = lists_.shownLocations[i].location.id;
        if (auto m = motions_.find(id); m != motions_.end())
            m->second->animateTo(heights[i], Motion::snappy(0.2), true);
    }
    relayLocations();
}

void SteamView::selectEverythingSafe() {
    if (lists_.safeSelection.empty()) return;
    state_.queue().add(lists_.safeSelection);
}

void SteamView::showEverything() {
    model_.showEverything();
    refresh();
}

void SteamView::refresh() {
    const DeepCleanModel::Inputs inputs = DeepCleanModel::Inputs::of(state_);
    lists_ = model_.derive(inputs);

    measure_->setEnabled(!inputs.isMeasuring);
    if (search_->text() != model_.search) search_->setText(model_.search);
    for (int i = 0; i < chips_.size(); ++i)
        chips_[i]->setOn(kAllDeepCleanFilters[size_t(i)] == model_.filter);
    sort_->setSelection(QString::fromLatin1(rawValue(model_.sort)));

    header_->setFigure(DeepCleanModel::figure(inputs, lists_));
    header_->selectButton()->setEnabled(!lists_.safeSelection.empty());
    measuring_->setVisible(DeepCleanModel::showsMeasuringRow(inputs));

    // After a removal the build-junk shelf stays and closes over the rows that left.
    auto* keptProducts = static_cast<Shelf*>(productsShelf_);
    if (pruning_ && keptProducts && DeepCleanModel::showsProducts(inputs, lists_)) {
        productRows_ = DeepCleanModel::productRows(inputs, lists_);
        products_ = lists_.shownProducts;
        keptProducts->setDetail(Fmt::bytes(DeepCleanModel::productsTotal(lists_)));
        keptProducts->closeRows(int(productRows_.size()), ItemRow::kHeight,
                                [this](int index) { return makeProductRow(index); });
    } else {
        keptProducts = nullptr;
    }
    // The old shelves may be handling the click that got here: they go once it is done.
    for (QWidget* old : {locationsShelf_, productsShelf_}) {
        if (!old || old == keptProducts) continue;
        column_->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    locationHeights_.clear();
    locationRows_.reset();
    motions_.clear();  // new shelves stand at rest
    locationsShelf_ = lists_.shownLocations.empty() ? nullptr : buildLocationsShelf(inputs);
    if (!keptProducts)
        productsShelf_ = DeepCleanModel::showsProducts(inputs, lists_) ? buildProductsShelf(inputs) : nullptr;
    int at = column_->indexOf(measuring_) + 1;
    if (locationsShelf_) column_->insertWidget(at++, locationsShelf_);
    if (productsShelf_ && !keptProducts) column_->insertWidget(at, productsShelf_);

    hint_->setVisible(DeepCleanModel::showsScanHint(inputs));
    empty_->setVisible(DeepCleanModel::showsEmptyState(inputs, lists_));
}

int SteamView::rowWidth() const {
    const int viewport = scroll_->viewport()->width();
    return std::max(0, viewport - 2 * kSideInset - 2 * Shelf::kInset);
}

std::vector<int> SteamView::locationHeights(const std::vector<LocationRow>& rows) const {
    const double textWidth = std::max(1, rowWidth() - kBlockLeft - kBlockRight);
    const QFontMetricsF metrics(detailFont());
    std::vector<int> heights;
    for (size_t i = 0; i < rows.size(); ++i) {
        int h = ItemRow::kHeight;
        if (rows[i].showsContents) {
            const JunkLocation& location = lists_.shownLocations[i].location;
            const QRectF text =
                metrics.boundingRect(QRectF(0, 0, textWidth, 1e6), Qt::AlignLeft | Qt::TextWordWrap,
                                     QString::fromStdString(location.detail));
            h += int(std::ceil(text.height())) + kBlockSpacing +
                 JunkContentsList::heightFor(state_.cleanup(), location, kContentsLimit) + kBlockBelow;
        }
        heights.push_back(h);
    }
    return heights;
}

QWidget* SteamView::buildLocationsShelf(const DeepCleanModel::Inputs& inputs) {
    auto* shelf = new Shelf(tr("Caches & leftovers"), Fmt::bytes(DeepCleanModel::locationsTotal(lists_)));
    locationRows_ = std::make_shared<std::vector<LocationRow>>(model_.locationRows(inputs, lists_));
    std::vector<JunkLocation> locations;
    for (const MeasuredLocation& m : lists_.shownLocations)
        locations.push_back(m.location);
    locationHeights_ = locationHeights(*locationRows_);
    shelf->rows()->setRows(
        locationHeights_,
        [this, rows = locationRows_, locations](int index) -> QWidget* {
            const JunkLocation& location = locations[size_t(index)];
            auto* cell =
                new LocationCell(state_, location, [this, rows, index, id = location.id](QWidget* parent) {
                    const LocationRow& row = (*rows)[size_t(index)];
                    ItemRow::Options options;
                    options.subtitle = row.subtitle;
                    options.weight = row.weight;
                    options.badge = row.badge;
                    options.disabled = row.disabled;
                    options.symbol = QString::fromStdString(row.symbol);
                    options.expanded = row.expanded;
                    if (row.expanded) options.onDisclose = [this, id] { toggle(id); };
                    return new ItemRow(state_, row.item, options, parent);
                });
            cell->setBlockHeight(locationHeights_[size_t(index)] - ItemRow::kHeight - kBlockBelow);
            // A row still closing keeps its block until it has shrunk back.
            cell->setOpen((*rows)[size_t(index)].showsContents || motions_.count(location.id) > 0);
            return cell;
        },
        Shelf::kRowSpacing);
    return shelf;
}

QWidget* SteamView::buildProductsShelf(const DeepCleanModel::Inputs& inputs) {
    auto* shelf = new Shelf(tr("Build junk"), Fmt::bytes(DeepCleanModel::productsTotal(lists_)));
    productRows_ = DeepCleanModel::productRows(inputs, lists_);
    products_ = lists_.shownProducts;
    shelf->rows()->setKey([this](int index) { return productRows_[size_t(index)].item.id; });
    shelf->rows()->setUpdate([this](int index, QWidget* widget) {
        if (auto* row = qobject_cast<ItemRow*>(widget)) row->setWeight(productRows_[size_t(index)].weight);
    });
    shelf->setRows(int(productRows_.size()), ItemRow::kHeight,
                   [this](int index) { return makeProductRow(index); });
    return shelf;
}

QWidget* SteamView::makeProductRow(int index) {
    if (index < 0 || size_t(index) >= productRows_.size()) return nullptr;
    const ProductRow& row = productRows_[size_t(index)];
    ItemRow::Options options;
    options.subtitle = row.subtitle;
    options.weight = row.weight;
    options.onOpen = [this, product = products_[size_t(index)]] { DeepCleanModel::open(state_, product); };
    return new ItemRow(state_, row.item, options);
}

void SteamView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // An opened location's detail wraps with the width, which changes its row's height.
    if (!locationsShelf_ || locationHeights_.empty()) return;
    const std::vector<LocationRow> rows = model_.locationRows(DeepCleanModel::Inputs::of(state_), lists_);
    if (locationHeights(rows) != locationHeights_) refresh();
}

}  // namespace nimbrel
