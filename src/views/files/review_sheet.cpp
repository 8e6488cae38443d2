#include "views/files/review_sheet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <array>

#include "engine/demo.h"
#include "model/background.h"
#include "model/clean_queue.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/removal_road.h"
#include "theme/chip.h"
#include "theme/logo.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/shapes.h"
#include "theme/shrinking_scroll.h"
#include "theme/typo.h"
#include "views/files/count_line.h"
#include "views/files/danger_banner.h"
#include "views/files/review_cell.h"
#include "views/files/review_list.h"
#include "views/files/review_section_header.h"
#include "views/kit/elided_label.h"
#include "views/kit/junk_contents_list.h"
#include "views/kit/plain_label.h"
#include "views/kit/sheet_card.h"
#include "views/kit/text_widgets.h"

namespace nimbrel {

namespace {

// A painted rounded well behind the list.
class Well : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(Shapes::rounded(QRectF(rect()), 12), Palette::well().resolve(this));
    }
};

// The list's tags: an item's entry, or a section header's source from here on.
constexpr uint32_t kHeaderTag = UINT32_MAX - 8;
constexpr std::string_view kJunkPrefix = "junk:";

}  // namespace

ReviewSheet::ReviewSheet(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), pinned_(state.removal().reviewTargets()) {
    setProperty("sheetShadow", true);  // the modal host draws the card's shadow
    setFocusPolicy(Qt::StrongFocus);
    setFixedWidth(kContentWidth + 2 * kPadding);
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column_->setSpacing(16);
    column_->setSizeConstraint(QLayout::SetMinAndMaxSize);

    column_->addLayout(buildHeader());
    bannerSlot_ = new QWidget(this);
    auto* slotLayout = new QVBoxLayout(bannerSlot_);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    bannerSlot_->setVisible(false);
    column_->addWidget(bannerSlot_);

    column_->addWidget(buildWell());
    kept_ =
        new NoteLabel(QStringLiteral("lock.fill"), {}, Typo::caption(), fixedColor(Palette::honey()), this);
    column_->addWidget(kept_);
    column_->addWidget(
        PlainLabel::wrapping(tr("Nimbrelised items go to the Trash, where you can still get them back "
                                "until you empty it. Unticked items stay selected."),
                             Fonts::font(12), shownColor(Palette::ink2()), this));
    column_->addWidget(new NoteLabel(
        QStringLiteral("exclamationmark.octagon.fill"),
        tr("Nimbrelise Forever skips the Trash: there is no undo and no way to get anything back."),
        Fonts::font(12, FontWeight::medium), fixedColor(Palette::magma()), this));

    column_->addLayout(buildFooter());
    followState();
    rebuild();
}

QLayout* ReviewSheet::buildHeader() {
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(new NimbrelLogo(34, this), 0, Qt::AlignTop);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    auto* title = new ElidedLabel(this);
    title->setFont(Fonts::font(20, FontWeight::heavy, FontDesign::rounded));
    title->setColor(shownColor(Palette::ink()));
    title->setText(tr("Review before nimbrelising"));
    count_ = new CountLine(this);
    titles->addWidget(title);
    titles->addWidget(count_);
    header->addLayout(titles, 1);
    return header;
}

// The list well: the rows of the selection, scrolled past a height.
QWidget* ReviewSheet::buildWell() {
    auto* well = new Well(this);
    auto* wellLayout = new QVBoxLayout(well);
    wellLayout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new ShrinkingScroll(kListMax, well);
    listContent_ = new QWidget;
    auto* listColumn = new QVBoxLayout(listContent_);
    listColumn->setContentsMargins(8, 8, 8, 8);
    listColumn->setSpacing(0);
    list_ = new ReviewList([this](const ReviewList::Row& row) { return buildRow(row); }, listContent_);
    listColumn->addWidget(list_);
    scroll_->setContent(listContent_);
    connect(list_, &ReviewList::heightSettled, this, [this](const std::string& key) {
        // A closed contents list goes once its row has shrunk back.
        if (auto* cell = dynamic_cast<ReviewCell*>(list_->widget(key)))
            cell->setOpen(expanded_.count(key) > 0);
    });
    wellLayout->addWidget(scroll_);
    return well;
}

QLayout* ReviewSheet::buildFooter() {
    auto* footer = new QHBoxLayout;
    footer->setSpacing(8);
    cancel_ = new NimbrelButton(tr("Cancel"), NimbrelButton::Kind::ghost, NimbrelButton::Size::regular, this);
    forever_ = new NimbrelButton(tr("Nimbrelise Forever"), NimbrelButton::Kind::danger,
                                 NimbrelButton::Size::regular, this);
    forever_->setToolTip(tr("Deletes immediately, skipping the Trash. Can't be undone."));
    trash_ = new NimbrelButton({}, NimbrelButton::Kind::primary, NimbrelButton::Size::regular, this);
    trash_->setSymbol(QStringLiteral("humidity.fill"));
    footer->addWidget(cancel_);
    footer->addStretch(1);
    footer->addWidget(forever_);
    footer->addWidget(trash_);
    connect(cancel_, &QAbstractButton::clicked, this, &ReviewSheet::cancel);
    connect(forever_, &QAbstractButton::clicked, this, &ReviewSheet::removeForever);
    connect(trash_, &QAbstractButton::clicked, this, &ReviewSheet::moveToTrash);

    return footer;
}

// The queue, a new scan result, the junk contents and the twin sets change what the sheet shows.
void ReviewSheet::followState() {
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, &ReviewSheet::queueChanged);
    // A new scan result changes the file counts in the detail lines; a judgement asked for before it
    // is asked for again.
    connect(&state_, &AppState::resultChanged, this, [this] {
        if (!pending_ && !model_->isJudged()) judge();
        refreshBuilt();
    });
    connect(&state_.cleanup(), &CleanupModel::contentsChanged, this, &ReviewSheet::contentsArrived);
    // Whether every copy of some twins is selected depends on the sets too.
    connect(&state_.duplicates(), &DuplicatesModel::groupsChanged, this, [this] {
        if (!pending_) judge();
    });
    connect(&state_, &AppState::isDeletingChanged, this, &ReviewSheet::updateFooter);
}

ReviewSheet::~ReviewSheet() {
    if (prepared_) Background::dispose(std::move(prepared_));
}

void ReviewSheet::queueChanged() {
    // Items taken out of the selection leave their rows; anything else is a new selection.
    if (auto gone = model_->follow(state_.queue().items())) {
        builtFor_ = state_.queue().generation();
        followed(*gone);
    } else {
        rebuild();
    }
    // Emptied while open (the last row removed from the selection): the review has nothing left.
    if (state_.queue().items().empty()) state_.setIsReviewing(false);
}

// What the guard and the catalogue say of every item is worked out on a worker, then where each path
// leads on disk (the removal judges where a path leads, not how it is written: a link into a
// protected folder is refused). An answer for a selection or a scan that is no longer shown is dropped.
void ReviewSheet::handOverChanged() {
    const uint64_t asked = ++handOver_;
    // Only worth it for a long selection; a short one is handed over as it is at the click.
    if (model_->includedCount() < CleanQueue::kAsideFrom) return;
    std::vector<ReviewModel::Entry> ticked;
    ticked.reserve(model_->includedCount());
    for (size_t i = 0; i < model_->queue().size(); ++i)
        if (model_->isTicked(model_->entryAt(i))) ticked.push_back(model_->entryAt(i));
    Background::run(
        state_.userPool(), this,
        [snapshot = model_->snapshot(), ticked = std::move(ticked)] {
            auto ids = std::make_shared<std::unordered_set<std::string>>();
            ids->reserve(ticked.size());
            for (ReviewModel::Entry e : ticked)
                ids->emplace(snapshot->id(e));
            return ids;
        },
        [this, asked](std::shared_ptr<std::unordered_set<std::string>> ids) {
            if (asked != handOver_) {
                Background::dispose(std::move(ids));
                return;
            }
            if (prepared_) Background::dispose(std::move(prepared_));
            prepared_ = std::move(ids);
            preparedFor_ = asked;
        });
}

void ReviewSheet::judge() {
    const int asked = ++judging_;
    std::shared_ptr<const ReviewModel::Snapshot> snapshot = model_->snapshot();
    const auto current = [this, asked, snapshot] {
        return asked == judging_ && model_->snapshot() == snapshot;
    };
    Background::run(
        state_.userPool(), this,
        [snapshot, twins = state_.duplicates().watch(), targets = pinned_,
         sample = state_.services().isDemo ? state_.services().isDemo() : Demo::isOn()] {
            return std::make_shared<const ReviewModel::Verdicts>(
                ReviewModel::judge(*snapshot, twins, targets, sample));
        },
        [this, current, snapshot](std::shared_ptr<const ReviewModel::Verdicts> verdicts) {
            if (!current()) return;
            model_->take(verdicts);
            showModel();
            refreshBuilt();
            Background::run(
                state_.userPool(), this,
                [snapshot, verdicts] {
                    return std::make_shared<const ReviewModel::OnDisk>(
                        ReviewModel::judgeOnDisk(*snapshot, *verdicts));
                },
                [this, current](std::shared_ptr<const ReviewModel::OnDisk> refused) {
                    if (!current()) return;
                    model_->takeOnDisk(std::move(refused));
                    showModel();
                    refreshBuilt();
                });
        });
}

bool ReviewSheet::isAcknowledged() const {
    return acknowledged_ && model_->coversDanger(acknowledgedIDs_);
}

std::unordered_set<std::string> ReviewSheet::acknowledgedIDs() const {
    return acknowledged_ ? acknowledgedIDs_ : std::unordered_set<std::string>{};
}

void ReviewSheet::setTicked(const std::string& id, bool ticked) {
    setEntryTicked(model_->entry(id), ticked);
}

void ReviewSheet::setEntryTicked(ReviewModel::Entry entry, bool ticked) {
    const uint64_t danger = model_->dangerRevision();
    if (!model_->setTicked(entry, ticked)) return;
    handOverChanged();
    showModel();
    // Completing or breaking a set of twins changes what the other holders' rows say too.
    if (model_->dangerRevision() != danger)
        refreshBuilt();
    else
        refreshRow(entry);
}

void ReviewSheet::setSourceTicked(CleanItem::Source source, bool ticked) {
    if (!model_->setSourceTicked(source, ticked)) return;
    handOverChanged();
    showModel();
    refreshBuilt();
}

void ReviewSheet::setAcknowledged(bool acknowledged) {
    acknowledged_ = acknowledged;
    acknowledgedIDs_.clear();
    // It covers the danger items on show: those of the banner, which stays while a new selection is
    // judged.
    if (acknowledged) acknowledgedIDs_ = bannerDanger_;
    if (ackCheck_) ackCheck_->setOn(isAcknowledged());
    updateFooter();
}

void ReviewSheet::toggleExpanded(const std::string& id) {
    const bool open = !expanded_.erase(id);
    if (open) expanded_.insert(id);
    const CleanItem* item = model_->find(id);
    if (!item) return;
    // The list is in place before the row grows, and stays until it has shrunk back.
    auto* cell = dynamic_cast<ReviewCell*>(list_->widget(id));
    if (cell) {
        cell->row()->refresh();
        if (open) cell->setOpen(true);
    }
    const MotionSpec motion = expandMotion();
    list_->setRowHeight(id, itemHeight(*item), &motion);
}

bool ReviewSheet::removalEnabled() const {
    // While another removal runs a click could only close the sheet and do nothing; while a long
    // selection is being packed there is nothing judged to remove yet.
    return !pending_ && !state_.isDeleting() && model_->removalEnabled(acknowledgedIDs());
}

void ReviewSheet::moveToTrash() {
    hand(false);
}

void ReviewSheet::removeForever() {
    hand(true);
}

void ReviewSheet::hand(bool permanently) {
    // Worked out again at the click if the queue or the junk catalogue changed since the model was
    // built; rebuilding it for a selection of many thousands is not free.
    // A new model is judged on a worker: the click then does nothing, as the buttons wait for it.
    const std::vector<JunkLocation>& locations = state_.cleanup().locations();
    const bool sameLocations = std::equal(
        locations.begin(), locations.end(), model_->locations().begin(), model_->locations().end(),
        [](const JunkLocation& a, const JunkLocation& b) { return a.id == b.id && a.paths == b.paths; });
    if (state_.queue().generation() != builtFor_ || !sameLocations) rebuild();
    if (!removalEnabled()) return;
    std::shared_ptr<std::unordered_set<std::string>> ids;
    if (prepared_ && preparedFor_ == handOver_ && prepared_->size() == model_->includedCount())
        ids = std::move(prepared_);
    else
        ids = std::make_shared<std::unordered_set<std::string>>(model_->ids());
    prepared_.reset();
    state_.nimbrelise(std::move(*ids), permanently);  // handed over, not copied
    Background::dispose(std::move(ids));
}

void ReviewSheet::cancel() {
    state_.setIsReviewing(false);
}

QString ReviewSheet::countLine() const {
    return count_->text();
}

QString ReviewSheet::keptNote() const {
    return model_->keptNote();
}

void ReviewSheet::rebuild() {
    builtFor_ = state_.queue().generation();
    std::unordered_set<std::string> unticked;
    if (pending_)
        unticked = pendingUnticked_;
    else if (model_)
        unticked = model_->excluded();
    if (state_.queue().items().size() >= kPackAsideFrom) {
        packAside(std::move(unticked));
        return;
    }
    ++packing_;  // a long selection still being packed is not wanted any more
    pending_ = false;
    listContent_->setMinimumHeight(0);
    // The old model's rows point into its ids: they go with it.
    std::unique_ptr<ReviewModel> old = std::move(model_);
    model_ = std::make_unique<ReviewModel>(ReviewModel::Unjudged{}, state_.queue().items(),
                                           state_.cleanup().locations(), unticked);
    std::vector<ReviewList::Row> rows = rowsOf(*model_);
    install(std::move(old), std::move(rows));
}

void ReviewSheet::install(std::unique_ptr<ReviewModel> old, std::vector<ReviewList::Row> rows) {
    bannerRevision_ = UINT64_MAX;
    list_->setRows(std::move(rows));
    // An opened contents list makes its row taller.
    for (const std::string& id : expanded_)
        if (const CleanItem* item = model_->find(id)) list_->setRowHeight(id, itemHeight(*item));
    // A row that stays keeps its widget, which now stands for the new model's entry.
    list_->forEachBuilt([this](const std::string& key, QWidget* w) {
        if (auto* cell = dynamic_cast<ReviewCell*>(w)) cell->row()->setEntry(list_->tagOf(key));
    });
    old.reset();
    showModel();
    refreshBuilt();
    judge();
    handOverChanged();
}

void ReviewSheet::packAside(std::unordered_set<std::string> unticked) {
    const uint64_t asked = ++packing_;
    const uint64_t generation = state_.queue().generation();
    standIn(unticked);
    Background::run(
        state_.userPool(), this,
        [items = state_.queue().snapshot(), locations = state_.cleanup().locations(),
         unticked = std::move(unticked)]() mutable {
            Packed packed;
            packed.model = std::make_unique<ReviewModel>(ReviewModel::Unjudged{}, *items,
                                                         std::move(locations), unticked);
            packed.rows = rowsOf(*packed.model);
            // Let go of here: the queue copies its list only if it changes while this is held.
            items.reset();
            return packed;
        },
        [this, asked, generation](Packed packed) { unpack(asked, generation, std::move(packed)); });
}

void ReviewSheet::standIn(const std::unordered_set<std::string>& unticked) {
    const CleanQueue& queue = state_.queue();
    // Until the packed model is back the sheet shows the selection's count and size (or, for a
    // selection that changed under it, what it showed), no rows, and both removal buttons off.
    if (!model_) {
        const size_t all = queue.items().size();
        const int64_t size = std::max<int64_t>(0, queue.totalSize());
        count_->setText(ReviewModel::countLine(all, all, size));
        trash_->setText(ReviewModel::trashTitle(size));
    }
    // The list keeps the height its rows take (at least what shows), so the card does not grow when
    // they come and the scroll position holds: an item joining a long selection leaves the list where
    // it was read, not at its top.
    if (!pending_) keptScroll_ = scroll_->verticalScrollBar()->value();
    listContent_->setMinimumHeight(std::max(
        listContent_->height(),
        static_cast<int>(std::min<size_t>(queue.items().size() * (kRowHeight + kRowGap), kListMax))));
    pending_ = true;
    pendingUnticked_ = unticked;
    list_->setRows({});
    std::unique_ptr<ReviewModel> old = std::exchange(
        model_, std::make_unique<ReviewModel>(ReviewModel::Unjudged{}, noItems_, state_.cleanup().locations(),
                                              std::unordered_set<std::string>{}));
    // Freed aside: a hundred thousand entries.
    if (old) Background::dispose(std::shared_ptr<ReviewModel>(std::move(old)));
    updateFooter();
}

void ReviewSheet::unpack(uint64_t asked, uint64_t generation, Packed packed) {
    auto freeAside = [&packed] {
        Background::dispose(std::shared_ptr<ReviewModel>(std::move(packed.model)));
        Background::dispose(std::move(packed.rows));
    };
    if (asked != packing_) return freeAside();
    if (state_.queue().generation() != generation) {
        // Packed from a selection that changed since: packed again from what it is now.
        freeAside();
        builtFor_ = UINT64_MAX;
        rebuild();
        return;
    }
    // The list it read is the queue's, unchanged.
    packed.model->rebind(state_.queue().items());
    builtFor_ = generation;
    pending_ = false;
    std::unique_ptr<ReviewModel> placeholder = std::exchange(model_, std::move(packed.model));
    install(std::move(placeholder), std::move(packed.rows));
    // Back where it was read while the height still holds; then the list takes its own.
    scroll_->verticalScrollBar()->setValue(keptScroll_);
    listContent_->setMinimumHeight(0);
}

void ReviewSheet::followed(const std::vector<ReviewModel::Entry>& gone) {
    handOverChanged();
    if (!gone.empty()) {
        std::vector<bool> left(model_->snapshot()->items.size(), false);
        for (ReviewModel::Entry e : gone)
            left[e] = true;
        list_->removeRows([&](const ReviewList::Row& row) {
            if (row.tag < kHeaderTag) return bool(left[row.tag]);
            // A section whose last item left goes with it.
            return model_->section(static_cast<CleanItem::Source>(row.tag - kHeaderTag)) == nullptr;
        });
    }
    showModel();
    refreshBuilt();
}

void ReviewSheet::showModel() {
    if (pending_) return updateFooter();
    count_->setText(model_->countLine());
    kept_->label()->setText(model_->keptNote());
    kept_->setVisible(!model_->keptNote().isEmpty());
    // Until the items are judged the banner stays as it was.
    if (model_->isJudged() && model_->dangerRevision() != bannerRevision_) {
        bannerRevision_ = model_->dangerRevision();
        bannerDanger_ = model_->dangerIDs();
        rebuildBanner();
    }
    updateFooter();
}

void ReviewSheet::rebuildBanner() {
    if (banner_) {
        banner_->hide();
        banner_->deleteLater();
        banner_ = nullptr;
        ackCheck_ = nullptr;
    }
    // An empty slot would still take the column's spacing: the list would stand 32 points below
    // the header instead of 16.
    bannerSlot_->setVisible(model_->dangerCount() > 0);
    if (model_->dangerCount() == 0) return;
    auto* banner = new DangerBanner(
        *model_, isAcknowledged(), [this] { setAcknowledged(!isAcknowledged()); }, bannerSlot_);
    ackCheck_ = banner->acknowledgementCheck();
    bannerSlot_->layout()->addWidget(banner);
    banner_ = banner;
}

std::string ReviewSheet::headerKey(CleanItem::Source source) {
    // Item ids are paths or "junk:" ids, so a leading control character never meets one.
    return std::string("\x01") + static_cast<char>('0' + static_cast<int>(source));
}

namespace {

// The list keeps views of its keys: the headers' live here.
std::string_view headerView(CleanItem::Source source) {
    static const std::array<std::string, 3> keys = {ReviewSheet::headerKey(CleanItem::Source::space),
                                                    ReviewSheet::headerKey(CleanItem::Source::files),
                                                    ReviewSheet::headerKey(CleanItem::Source::deepClean)};
    return keys[static_cast<size_t>(source)];
}

}  // namespace

int ReviewSheet::itemHeight(const CleanItem& item) const {
    int h = kRowHeight;
    if (item.kind == CleanItem::Kind::junk && expanded_.count(item.id) &&
        ReviewModel::location(item, state_.cleanup().locations()))
        h += JunkContentsList::heightFor(listed(item.id), kJunkContentsLimit) + kContentsBelow;
    return h;
}

const std::vector<JunkEntry>* ReviewSheet::listed(const std::string& entryID) const {
    if (auto it = pinned_.find(entryID); it != pinned_.end()) return &it->second;
    auto it = state_.cleanup().contents().find(entryID.substr(std::min(entryID.size(), kJunkPrefix.size())));
    return it == state_.cleanup().contents().end() ? nullptr : &it->second;
}

std::vector<ReviewList::Row> ReviewSheet::rowsOf(const ReviewModel& model) {
    // Keys are views of the model's packed ids, so a long selection is listed without a copy. An
    // opened contents list's height is set once the rows are in.
    const ReviewModel::Snapshot& snapshot = *model.snapshot();
    std::vector<ReviewList::Row> rows;
    rows.reserve(snapshot.items.size() + 3);
    for (const ReviewModel::Section& section : model.sections()) {
        rows.push_back({headerView(section.source), kHeaderHeight, rows.empty() ? 0 : kSectionGap,
                        kHeaderTag + static_cast<uint32_t>(section.source)});
        for (size_t i = 0; i < model.queue().size(); ++i) {
            const ReviewModel::Entry e = model.entryAt(i);
            if (snapshot.items[e].source != section.source) continue;
            rows.push_back({snapshot.id(e), kRowHeight, kRowGap, e});
        }
    }
    return rows;
}

void ReviewSheet::refreshBuilt() {
    list_->forEachBuilt([this](const std::string&, QWidget* w) {
        if (auto* header = dynamic_cast<ReviewSectionHeader*>(w)) {
            if (const ReviewModel::Section* section = model_->section(header->source()))
                header->showSection(*section);
        } else if (auto* cell = dynamic_cast<ReviewCell*>(w)) {
            if (model_->isQueued(cell->row()->entry())) cell->row()->refresh();
        }
    });
}

void ReviewSheet::refreshRow(ReviewModel::Entry entry) {
    const CleanItem& item = model_->item(entry);
    if (auto* cell = dynamic_cast<ReviewCell*>(list_->widget(item.id))) cell->row()->refresh();
    if (auto* header = dynamic_cast<ReviewSectionHeader*>(list_->widget(headerView(item.source))))
        if (const ReviewModel::Section* section = model_->section(item.source)) header->showSection(*section);
}

void ReviewSheet::contentsArrived() {
    // A listing that arrives (or goes stale) changes the height of its opened row.
    for (const std::string& id : expanded_) {
        const CleanItem* item = model_->find(id);
        if (!item) continue;
        if (auto* cell = dynamic_cast<ReviewCell*>(list_->widget(id))) cell->place();
        const int h = itemHeight(*item);
        if (list_->targetHeight(id) == h) continue;
        const MotionSpec motion = expandMotion();
        list_->setRowHeight(id, h, list_->shownHeight(id) != list_->targetHeight(id) ? &motion : nullptr);
    }
}

QWidget* ReviewSheet::buildRow(const ReviewList::Row& row) {
    if (row.tag >= kHeaderTag) {
        const auto source = static_cast<CleanItem::Source>(row.tag - kHeaderTag);
        auto* header = new ReviewSectionHeader(source, [this, source] {
            const ReviewModel::Section* section = model_->section(source);
            setSourceTicked(source, !(section && section->allTicked()));
        });
        if (const ReviewModel::Section* section = model_->section(source)) header->showSection(*section);
        return header;
    }
    if (!model_->isQueued(row.tag)) return nullptr;
    auto* cell = new ReviewCell(state_, *this, row.tag);
    if (!expanded_.empty()) cell->setOpen(expanded_.count(std::string(row.key)) > 0);
    return cell;
}

ReviewRow* ReviewSheet::builtRow(const std::string& id) const {
    auto* cell = dynamic_cast<ReviewCell*>(list_->widget(id));
    return cell ? cell->row() : nullptr;
}

void ReviewSheet::updateFooter() {
    const bool enabled = removalEnabled();
    forever_->setEnabled(enabled);
    trash_->setEnabled(enabled);
    if (pending_) return;
    trash_->setText(model_->trashTitle());
    trash_->setToolTip(model_->trashHelp(acknowledgedIDs()));
    if (ackCheck_) ackCheck_->setOn(isAcknowledged());
    trash_->updateGeometry();
}

QSize ReviewSheet::sizeHint() const {
    return SheetCard::columnSizeHint(column_, kContentWidth + 2 * kPadding);
}

bool ReviewSheet::event(QEvent* event) {
    SheetCard::refitOnLayoutRequest(this, event);
    return QWidget::event(event);
}

void ReviewSheet::paintEvent(QPaintEvent*) {
    SheetCard::paintPanel(this);
}

void ReviewSheet::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            cancel();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // A focused button takes Return itself; what reaches the sheet from elsewhere (the card, a
            // tick, the list) is the default: the move to the Trash, only while that button is enabled,
            // never for good. A button that passed Return on never makes it the default's.
            const auto* focused = qobject_cast<const QAbstractButton*>(QApplication::focusWidget());
            if (focused && focused != trash_ && !focused->isCheckable()) return;
            if (trash_->isEnabled()) moveToTrash();
            return;
        }
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace nimbrel
