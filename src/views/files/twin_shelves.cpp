#include "views/files/twin_shelves.h"

#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <unordered_map>

#include "engine/path_rules.h"
#include "model/app_state.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/area_header.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"
#include "views/kit/gap_close.h"
#include "views/kit/item_row.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/shelf.h"
#include "views/kit/text_widgets.h"
#include "views/kit/turn_budget.h"

namespace nimbrel {

namespace {

using ShelfParts::kBottom;
using ShelfParts::kSide;

constexpr int kOutOfSight = 100000;

// Empties a holder and puts `content`, if any, in it.
void replaceContent(QWidget* holder, QWidget* content) {
    auto* layout = holder->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    if (content) layout->addWidget(content);
}

QWidget* makeHolder(QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    return holder;
}

}  // namespace

TwinShelves::TwinShelves(AppState& state, PreviewAction preview, QWidget* parent)
    : QWidget(parent), state_(state), preview_(std::move(preview)) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    trailing_ = new QWidget;
    auto* trailingRow = new QHBoxLayout(trailing_);
    trailingRow->setContentsMargins(0, 0, 0, 0);
    trailingRow->setSpacing(8);
    header_ = new AreaHeader(state_, subtitle(), trailing_, this);
    col->addWidget(header_);
    body_ = makeHolder(this);
    col->addWidget(body_, 1);
    other_ = makeHolder(body_);
    body_->layout()->addWidget(other_);
    buildResults();
    DuplicatesModel& model = state_.duplicates();
    for (auto signal : {&DuplicatesModel::groupsChanged, &DuplicatesModel::isRunningChanged,
                        &DuplicatesModel::hasRunChanged})
        connect(&model, signal, this, &TwinShelves::rebuild);
    connect(&state_, &AppState::isScanningChanged, this, &TwinShelves::rebuild);
    connect(&model, &DuplicatesModel::changedCopiesChanged, this, [this] {
        for (auto& [id, card] : cards_)
            if (card.shelf)
                card.shelf->rows()->closeRows(std::vector<int>(card.files->size(), ItemRow::kHeight));
    });
    rebuild();
}

TwinShelves::~TwinShelves() {
    // The cards are freed a few per turn, not all at once with the shelf.
    for (auto& [id, card] : cards_)
        if (card.shelf) {
            card.shelf->hide();
            card.shelf->setParent(nullptr);
            TurnBudget::retire(card.shelf);
        }
}

TwinShelves::Content TwinShelves::content() const {
    const DuplicatesModel& model = state_.duplicates();
    if (model.isRunning()) return Content::running;
    if (!model.hasRun()) return Content::intro;
    if (model.groups().empty()) return Content::noTwins;
    return Content::results;
}

std::vector<const DuplicateGroup*> TwinShelves::shownGroups() const {
    return Twins::shown(state_.duplicates().groups(), search_, sort_);
}

QString TwinShelves::subtitle() const {
    const DuplicatesModel& model = state_.duplicates();
    if (model.hasRun() && !model.groups().empty())
        return Plural::choose(int64_t(model.groups().size()),
                              tr("%1 set of identical files · %2 in extra copies"),
                              tr("%1 sets of identical files · %2 in extra copies"))
            .arg(model.groups().size())
            .arg(Fmt::bytes(model.reclaimable()));
    return tr("Byte-for-byte identical files (SHA-256), never just matching names");
}

void TwinShelves::setSearch(const QString& search) {
    if (search == search_) return;
    search_ = search;
    if (field_->text() != search) field_->setText(search);
    builtFor_.reset();
    rebuild();
}

void TwinShelves::setSort(Twins::Sort sort) {
    if (sort == sort_) return;
    sort_ = sort;
    builtFor_.reset();
    rebuild();
}

void TwinShelves::setMinSize(SizeThreshold size) {
    if (size == minSize_) return;
    minSize_ = size;
    if (minPicker_) minPicker_->setSelection(QVariant::fromValue(static_cast<qlonglong>(size)));
    builtFor_.reset();
    rebuild();
}

void TwinShelves::startSearch() {
    state_.duplicates().run(std::shared_ptr<const ScanResult>(state_.result()),
                            static_cast<int64_t>(minSize_));
}

void TwinShelves::selectExtras(const std::string& groupID) {
    state_.selectTwinSetExtras(groupID);
}

void TwinShelves::selectEveryExtra() {
    state_.selectTwinExtras([search = search_, sort = sort_](const std::vector<DuplicateGroup>& groups) {
        return Twins::shown(groups, search, sort);
    });
}

void TwinShelves::rebuildHeader() {
    header_->setSubtitle(subtitle());
    // The controls depend only on what the shelf shows; a keystroke in the filter keeps them.
    const Content now = content();
    if (headerFor_ == now) return;
    headerFor_ = now;
    replaceContent(trailing_, nullptr);
    auto* row = trailing_->layout();
    QList<PillOption> options;
    for (SizeThreshold t : Twins::thresholds())
        options << PillOption{QVariant::fromValue(static_cast<qlonglong>(t)), Twins::thresholdLabel(t)};
    auto* picker = new PillPicker(options, QVariant::fromValue(static_cast<qlonglong>(minSize_)));
    connect(picker, &PillPicker::selectionRequested, this, [this](const QVariant& v) {
        if (auto t = sizeThresholdFromRaw(v.toLongLong())) setMinSize(*t);
    });
    row->addWidget(picker);
    minPicker_ = picker;
    if (now == Content::running) {
        auto* stop =
            new NimbrelButton(tr("Stop"), NimbrelButton::Kind::secondary, NimbrelButton::Size::small);
        connect(stop, &QAbstractButton::clicked, this, [this] { state_.duplicates().cancel(); });
        row->addWidget(stop);
    } else if (now == Content::results) {
        auto* every = new NimbrelButton(tr("Select every extra copy"), NimbrelButton::Kind::secondary,
                                        NimbrelButton::Size::small);
        every->setSymbol(QStringLiteral("checklist.checked"));
        every->setToolTip(
            tr("Keeps the newest copy of each set and selects the rest. Check that the copies being "
               "removed aren't the ones an app or project points to. A moved file can break links to "
               "it."));
        connect(every, &QAbstractButton::clicked, this, &TwinShelves::selectEveryExtra);
        row->addWidget(every);
    }
    trailing_->adjustSize();
    trailing_->updateGeometry();
}

void TwinShelves::rebuild() {
    rebuildHeader();
    const Content now = content();
    shownSets_ = 0;
    if (now == Content::results) return showResults();
    replaceContent(other_, now == Content::running ? buildRunning()
                           : now == Content::intro ? buildIntro()
                                                   : buildNoTwins());
    results_->hide();
    other_->show();
    builtFor_ = now;
}

// The running search: the loader, its progress and what it is doing.
QWidget* TwinShelves::buildRunning() {
    DuplicatesModel& model = state_.duplicates();
    auto* box = new QWidget;
    auto* col = new QVBoxLayout(box);
    col->setSpacing(16);
    col->addStretch(1);
    col->addWidget(new NimbrelLoader(30, box), 0, Qt::AlignHCenter);
    auto* bar = new MoltenProgress(box);
    bar->setFixedWidth(360);
    bar->setFraction(model.progress());
    connect(&model, &DuplicatesModel::progressChanged, bar,
            [bar, &model] { bar->setFraction(model.progress()); });
    col->addWidget(bar, 0, Qt::AlignHCenter);
    auto* status = ElidedLabel::line(model.status(), Fonts::font(12, FontWeight::medium),
                                     shownColor(Palette::ink2()), box);
    status->setFixedDigits(true);
    connect(&model, &DuplicatesModel::statusChanged, status,
            [status, &model] { status->setText(model.status()); });
    col->addWidget(status, 0, Qt::AlignHCenter);
    col->addStretch(1);
    return box;
}

QWidget* TwinShelves::buildIntro() {
    auto* find =
        new NimbrelButton(tr("Find Twins"), NimbrelButton::Kind::primary, NimbrelButton::Size::regular);
    find->setSymbol(QStringLiteral("square.on.square"));
    find->setEnabled(!state_.isScanning());
    connect(find, &QAbstractButton::clicked, this, &TwinShelves::startSearch);
    return new EmptyState(tr("Find the twins"),
                          tr("Nimbrel compares file contents from your last scan and shows only "
                             "true copies. Bigger thresholds finish faster."),
                          {find});
}

QWidget* TwinShelves::buildNoTwins() {
    auto* again =
        new NimbrelButton(tr("Search Again"), NimbrelButton::Kind::secondary, NimbrelButton::Size::regular);
    connect(again, &QAbstractButton::clicked, this, &TwinShelves::startSearch);
    return new EmptyState(
        tr("No twins"),
        // The threshold that was searched, not the one picked since.
        tr("No identical files at or above %1").arg(Fmt::bytes(state_.duplicates().searchedMinSize())),
        {again});
}

void TwinShelves::buildResults() {
    results_ = new QWidget(body_);
    auto* col = new QVBoxLayout(results_);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto* tools = new QHBoxLayout;
    tools->setContentsMargins(kSide, 0, kSide, 8);
    tools->setSpacing(8);
    // Built once: the field keeps its caret, selection and undo while the list below changes.
    field_ = new SearchField(tr("Filter by name or path"), results_);
    field_->setFixedWidth(220);
    connect(field_, &SearchField::textChanged, this, &TwinShelves::setSearch);
    tools->addWidget(field_);
    tools->addStretch(1);
    tools->addWidget(ElidedLabel::line(tr("Sort"), Fonts::font(11.5, FontWeight::medium),
                                       shownColor(Palette::ink3()), results_));
    QList<PillOption> sorts;
    const std::pair<Twins::Sort, const char*> raws[] = {
        {Twins::Sort::extra, "extra"}, {Twins::Sort::copies, "copies"}, {Twins::Sort::name, "name"}};
    QString selected;
    for (const auto& [sortCase, raw] : raws) {
        sorts << PillOption{QString::fromLatin1(raw), Twins::sortLabel(sortCase)};
        if (sortCase == sort_) selected = QString::fromLatin1(raw);
    }
    sortPicker_ = new PillPicker(sorts, selected, results_);
    connect(sortPicker_, &PillPicker::selectionRequested, this, [this](const QVariant& v) {
        if (auto sortCase = Twins::sortFromRaw(v.toString())) {
            sortPicker_->setSelection(v);
            setSort(*sortCase);
        }
    });
    tools->addWidget(sortPicker_);
    col->addLayout(tools);
    auto* note = new NoteLabel(
        QStringLiteral("exclamationmark.circle"),
        tr("Selecting extras keeps the newest copy. Apps and projects sometimes point "
           "at a specific copy. Check the paths before nimbrelising."),
        Fonts::font(11.5), [](const QWidget*) { return Palette::honey(); }, results_);
    note->setContentsMargins(kSide, 0, kSide, 16);
    col->addWidget(note);
    listScroll_ = new FadingScroll(Qt::Vertical, 28, results_);
    col->addWidget(listScroll_, 1);
    body_->layout()->addWidget(results_);
}

namespace {

// Whether a card built for `shown` still lists exactly `now`, copy for copy.
bool sameCopies(const std::vector<FileItem>& shown, const std::vector<FileItem>& now) {
    return std::equal(shown.begin(), shown.end(), now.begin(), now.end(),
                      [](const FileItem& a, const FileItem& b) { return a.id == b.id && a.path == b.path; });
}

}  // namespace

TwinShelves::SetCard TwinShelves::makeCard(const DuplicateGroup& g) {
    auto* select =
        new NimbrelButton(tr("Select extras"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small);
    connect(select, &QAbstractButton::clicked, this, [this, id = g.id] { selectExtras(id); });
    auto* shelf = new Shelf(
        g.files.empty() ? QString() : QString::fromUtf8(g.files.front().name),
        tr("%1 copies · %2 extra").arg(g.files.size()).arg(Fmt::bytes(Twins::extraBytes(g))), select);
    shelf->setContentsMargins(0, 0, 0, 32);
    const FileItem* keptCopy = DuplicatesModel::kept(g);
    auto files = std::make_shared<std::vector<FileItem>>(g.files);
    auto keptID = std::make_shared<int64_t>(keptCopy ? keptCopy->id : -1);
    // A copy ticked here is an extra copy too: its removal checks that a copy stays.
    std::shared_ptr<const TwinCopies> copies = DuplicatesModel::copiesOf(g);
    PreviewAction preview = preview_;
    // The copy that stays, and a copy found gone or changed since the search, are told apart from
    // the others, so a row that becomes one is built anew with its badge or dimmed.
    const auto changed = [this](const FileItem& f) {
        return state_.duplicates().changedCopies().count(f.path) > 0;
    };
    shelf->rows()->setKey([files, keptID, changed](int i) {
        const FileItem& f = (*files)[static_cast<size_t>(i)];
        return (f.id == *keptID ? f.path + '\n' : f.path) + (changed(f) ? "\t" : "");
    });
    shelf->setRows(
        static_cast<int>(files->size()), ItemRow::kHeight,
        [this, files, keptID, copies, preview, changed](int i) -> QWidget* {
            if (i < 0 || static_cast<size_t>(i) >= files->size()) return nullptr;
            const FileItem& f = (*files)[static_cast<size_t>(i)];
            const bool kept = f.id == *keptID;
            ItemRow::Options options;
            options.subtitle =
                tr("%1 · modified %2").arg(tildePath(PathRules::parent(f.path)), relativeDate(f.modified));
            options.weight = 1.0;
            options.disabled = changed(f);
            if (kept && !options.disabled) options.badge = tr("newest");
            const std::string path = f.path;
            options.preview = [preview, path] {
                if (preview) preview(path);
            };
            CleanItem item = CleanItem::file(f, CleanItem::Source::files, kept ? 0 : 0.55);
            if (!kept) item.twins = copies;
            return new ItemRow(state_, std::move(item), options);
        });
    return SetCard{shelf, files, keptID};
}

void TwinShelves::showResults() {
    other_->hide();
    results_->show();
    if (pruneResults()) return;
    QScrollBar* bar = listScroll_->verticalScrollBar();
    const int offset = bar->value();
    ensureSetsContent();
    std::vector<QWidget*> order;
    const bool unbuilt = updateCards(order);
    auto* list = static_cast<QVBoxLayout*>(setsContent_->layout());
    relist(list, withFoldingCards(list, order));
    if (unbuilt) {
        const int generation = ++buildTurn_;
        TurnBudget::next(this, [this, generation] {
            if (generation == buildTurn_ && builtFor_ == Content::results && content() == Content::results)
                showResults();
        });
    }
    shownSets_ = int(order.size());
    list->activate();
    setsContent_->adjustSize();
    bar->setValue(offset);
    builtFor_ = Content::results;
}

void TwinShelves::ensureSetsContent() {
    if (setsContent_) return;
    auto* content = new QWidget;
    auto* list = new QVBoxLayout(content);
    list->setContentsMargins(kSide, 0, kSide, kBottom);
    // The gap below each card is its own margin, so a card that folds away takes its gap along.
    list->setSpacing(0);
    list->setAlignment(Qt::AlignTop);
    setsContent_ = content;
    listScroll_->setContent(content);
}

bool TwinShelves::updateCards(std::vector<QWidget*>& order) {
    // Only sets that are new or whose copies changed get a new card; the others keep theirs, with
    // their rows, ticks and hover, and at most move. New cards are built a few per turn of the event
    // loop, top first: a hundred at once would hold the window still for a fifth of a second.
    std::vector<const DuplicateGroup*> shown = shownGroups();
    if (shown.size() > size_t(Twins::kShownSets)) shown.resize(size_t(Twins::kShownSets));
    std::map<std::string, SetCard> cards;
    // New cards are built, and made ready to show, while the turn has time (its clock is shared with
    // the rows they build and the widgets freed in it) and at most a few at a time.
    int built = 0;
    bool unbuilt = false;
    for (const DuplicateGroup* g : shown) {
        auto old = cards_.find(g->id);
        const FileItem* keptCopy = DuplicatesModel::kept(*g);
        if (old != cards_.end() && old->second.shelf && sameCopies(*old->second.files, g->files) &&
            *old->second.keptID == (keptCopy ? keptCopy->id : -1)) {
            // Below a set still waiting for its card, a kept card waits too, out of the list.
            if (!unbuilt) order.push_back(old->second.shelf);
            cards.emplace(g->id, std::move(old->second));
            cards_.erase(old);
            continue;
        }
        if (unbuilt || built == kCardsPerTurn || (built > 0 && !TurnBudget::hasTime())) {
            unbuilt = true;
            continue;
        }
        ++built;
        SetCard card = makeCard(*g);
        card.shelf->setParent(setsContent_);
        // Out of sight until the list places it: shown where it was made, at the top, its rows would
        // be built for the view and freed again once it moves down.
        card.shelf->move(0, setsContent_->height() + kOutOfSight);
        card.shelf->ensurePolished();
        order.push_back(card.shelf);
        cards.insert_or_assign(g->id, std::move(card));
    }
    for (auto& [id, card] : cards_)
        TurnBudget::retire(card.shelf);
    cards_ = std::move(cards);
    return unbuilt;
}

std::vector<QWidget*> TwinShelves::withFoldingCards(QVBoxLayout* list, const std::vector<QWidget*>& order) {
    // Cards still folding away from a removal keep their place, in front of the card that followed
    // them, until the fold is over.
    std::vector<QWidget*> placed = order;
    std::erase_if(folding_, [](const QPointer<Shelf>& f) { return f.isNull(); });
    for (int i = 0; i < list->count(); ++i) {
        QWidget* w = list->itemAt(i)->widget();
        if (std::find(folding_.begin(), folding_.end(), w) == folding_.end()) continue;
        auto before = placed.end();
        for (int j = i + 1; j < list->count() && before == placed.end(); ++j)
            before = std::find(placed.begin(), placed.end(), list->itemAt(j)->widget());
        placed.insert(before, w);
    }
    return placed;
}

void TwinShelves::relist(QVBoxLayout* list, const std::vector<QWidget*>& placed) {
    bool inOrder = list->count() == int(placed.size());
    for (int i = 0; inOrder && i < list->count(); ++i)
        inOrder = list->itemAt(i)->widget() == placed[size_t(i)];
    if (inOrder) return;
    // Cards added below the ones already listed, as while a new result is being built, are only
    // appended: taking out and putting back a hundred cards costs more than building a few.
    int listed = 0;
    while (listed < list->count() && listed < int(placed.size()) &&
           list->itemAt(listed)->widget() == placed[size_t(listed)])
        ++listed;
    if (listed == list->count()) {
        for (size_t i = size_t(listed); i < placed.size(); ++i) {
            list->addWidget(placed[i]);
            placed[i]->show();
        }
        return;
    }
    while (QLayoutItem* item = list->takeAt(0)) {
        QWidget* w = item->widget();
        delete item;
        if (!w || std::find(placed.begin(), placed.end(), w) != placed.end()) continue;
        // A card waiting to be listed stays; one that left goes.
        const bool waiting = std::any_of(cards_.begin(), cards_.end(),
                                         [w](const auto& entry) { return entry.second.shelf == w; });
        if (waiting)
            w->hide();
        else
            TurnBudget::retire(w);
    }
    for (QWidget* card : placed) {
        list->addWidget(card);
        card->show();
    }
}

bool TwinShelves::pruneResults() {
    // Only the pruning a removal applies: its paths are still named while the twins are pruned.
    const bool removal = !state_.vanishingPaths().empty() || !state_.nimbrelisingIDs().empty();
    if (!removal || builtFor_ != Content::results || !setsContent_ || cards_.empty()) return false;
    std::unordered_map<std::string, const DuplicateGroup*> now;
    for (const DuplicateGroup* g : shownGroups())
        now.emplace(g->id, g);
    shownSets_ = 0;
    for (auto it = cards_.begin(); it != cards_.end();) {
        SetCard& card = it->second;
        auto found = now.find(it->first);
        if (!card.shelf || card.shelf->isHidden()) {
            // A card still waiting to be listed is built again once the removal is over.
            TurnBudget::retire(card.shelf);
            it = cards_.erase(it);
            continue;
        }
        if (found == now.end()) {
            // The set left: its card folds away and what lies below slides up. One nobody can see
            // fold (the shelf is not shown, or the card lies below the view) goes at once.
            QPointer<Shelf> shelf = card.shelf;
            it = cards_.erase(it);
            QWidget* viewport = listScroll_->viewport();
            if (ReduceMotion::isOn() || !isVisible() ||
                shelf->mapTo(viewport, QPoint()).y() >= viewport->height()) {
                TurnBudget::retire(shelf);
                continue;
            }
            auto* fold = new QVariantAnimation(shelf);
            fold->setStartValue(shelf->height());
            fold->setEndValue(0);
            const MotionSpec motion = GapClose::motion();
            fold->setDuration(motion.ms);
            fold->setEasingCurve(motion.curve);
            shelf->setMinimumHeight(0);
            connect(fold, &QVariantAnimation::valueChanged, shelf,
                    [shelf](const QVariant& v) { shelf->setMaximumHeight(v.toInt()); });
            connect(fold, &QVariantAnimation::finished, shelf, [shelf] { TurnBudget::retire(shelf); });
            fold->start(QAbstractAnimation::DeleteWhenStopped);
            folding_.push_back(shelf);
            continue;
        }
        const DuplicateGroup& g = *found->second;
        *card.files = g.files;
        const FileItem* keptCopy = DuplicatesModel::kept(g);
        *card.keptID = keptCopy ? keptCopy->id : -1;
        card.shelf->setDetail(
            tr("%1 copies · %2 extra").arg(g.files.size()).arg(Fmt::bytes(Twins::extraBytes(g))));
        card.shelf->rows()->closeRows(std::vector<int>(g.files.size(), ItemRow::kHeight));
        ++shownSets_;
        ++it;
    }
    return true;
}

}  // namespace nimbrel
