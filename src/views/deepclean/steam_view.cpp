#include "views/deepclean/steam_view.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "model/app_state.h"
#include "model/cleanup_model.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/fonts.h"
#include "theme/loader.h"
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
    auto* content = new QWidget;
    column_ = new QVBoxLayout(content);
    column_->setContentsMargins(kSideInset, 0, kSideInset, kBottomInset);
    column_->setSpacing(kSectionSpacing);

    header_ = new SafeHeader(content);
    connect(header_->selectButton(), &NimbrelButton::clicked, this, &SteamView::selectEverythingSafe);
    column_->addWidget(header_);

    measuring_ = new QWidget(content);
    auto* measuringRow = new QHBoxLayout(measuring_);
    measuringRow->setContentsMargins(0, 0, 0, 0);
    measuringRow->setSpacing(kMeasuringSpacing);
    measuringRow->addStretch(1);
    measuringRow->addWidget(new NimbrelLoader(kMeasuringLoader, measuring_));
    auto* measuringText = new ElidedLabel(measuring_);
    measuringText->setFont(Fonts::font(kMeasuringTextSize, FontWeight::medium));
    measuringText->setColor(ink2);
    measuringText->setText(tr("Measuring the grime…"));
    measuringRow->addWidget(measuringText);
    measuringRow->addStretch(1);
    column_->addWidget(measuring_);

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

    scroll_->setContent(content);
    stack->addWidget(scroll_, 1);

    CleanupModel& cleanup = state_.cleanup();
    connect(&cleanup, &CleanupModel::measurementsChanged, this, &SteamView::refresh);
    connect(&cleanup, &CleanupModel::isMeasuringChanged, this, &SteamView::refresh);
    connect(&cleanup, &CleanupModel::hasMeasuredChanged, this, &SteamView::refresh);
    connect(&state_, &AppState::resultChanged, this, &SteamView::refresh);
    connect(&state_, &AppState::revisionChanged, this, &SteamView::refresh);
    // A listing that arrives or goes stale changes the height of its opened location.
    connect(&cleanup, &CleanupModel::contentsChanged, this, [this] {
        for (const MeasuredLocation& m : lists_.shownLocations)
            if (model_.expanded.count(m.location.id) && m.hasContents()) {
                refresh();
                return;
            }
    });
    refresh();
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
    refresh();
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

    // The old shelves may be handling the click that got here: they go once it is done.
    for (QWidget* old : {locationsShelf_, productsShelf_}) {
        if (!old) continue;
        column_->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    locationHeights_.clear();
    locationsShelf_ = lists_.shownLocations.empty() ? nullptr : buildLocationsShelf(inputs);
    productsShelf_ = DeepCleanModel::showsProducts(inputs, lists_) ? buildProductsShelf(inputs) : nullptr;
    int at = column_->indexOf(measuring_) + 1;
    if (locationsShelf_) column_->insertWidget(at++, locationsShelf_);
    if (productsShelf_) column_->insertWidget(at, productsShelf_);

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
    const std::vector<LocationRow> rows = model_.locationRows(inputs, lists_);
    std::vector<JunkLocation> locations;
    for (const MeasuredLocation& m : lists_.shownLocations)
        locations.push_back(m.location);
    locationHeights_ = locationHeights(rows);
    shelf->rows()->setRows(
        locationHeights_,
        [this, rows, locations](int index) -> QWidget* {
            const LocationRow& row = rows[size_t(index)];
            const JunkLocation& location = locations[size_t(index)];
            auto* cell = new QWidget;
            auto* column = new QVBoxLayout(cell);
            column->setContentsMargins(0, 0, 0, 0);
            column->setSpacing(0);
            ItemRow::Options options;
            options.subtitle = row.subtitle;
            options.weight = row.weight;
            options.badge = row.badge;
            options.disabled = row.disabled;
            options.symbol = QString::fromStdString(row.symbol);
            options.expanded = row.expanded;
            if (row.expanded) options.onDisclose = [this, id = location.id] { toggle(id); };
            auto* itemRow = new ItemRow(state_, row.item, options, cell);
            itemRow->setFixedHeight(ItemRow::kHeight);
            column->addWidget(itemRow);
            if (row.showsContents) {
                auto* block = new QVBoxLayout;
                block->setContentsMargins(kBlockLeft, 0, kBlockRight, kBlockBelow);
                block->setSpacing(kBlockSpacing);
                block->addWidget(new WrappingText(
                    QString::fromStdString(location.detail), detailFont(),
                    [](const QWidget* w) { return Palette::ink3().resolve(w); }, cell));
                block->addWidget(new JunkContentsList(state_, location, kContentsLimit, true, cell));
                column->addLayout(block);
            }
            column->addStretch(1);
            return cell;
        },
        Shelf::kRowSpacing);
    return shelf;
}

QWidget* SteamView::buildProductsShelf(const DeepCleanModel::Inputs& inputs) {
    auto* shelf = new Shelf(tr("Build junk"), Fmt::bytes(DeepCleanModel::productsTotal(lists_)));
    const std::vector<ProductRow> rows = DeepCleanModel::productRows(inputs, lists_);
    const std::vector<DevArtifact> products = lists_.shownProducts;
    shelf->setRows(int(rows.size()), ItemRow::kHeight, [this, rows, products](int index) -> QWidget* {
        const ProductRow& row = rows[size_t(index)];
        ItemRow::Options options;
        options.subtitle = row.subtitle;
        options.weight = row.weight;
        options.onOpen = [this, product = products[size_t(index)]] { DeepCleanModel::open(state_, product); };
        return new ItemRow(state_, row.item, options);
    });
    return shelf;
}

void SteamView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // An opened location's detail wraps with the width, which changes its row's height.
    if (!locationsShelf_ || locationHeights_.empty()) return;
    const std::vector<LocationRow> rows = model_.locationRows(DeepCleanModel::Inputs::of(state_), lists_);
    if (locationHeights(rows) != locationHeights_) refresh();
}

}  // namespace nimbrel
