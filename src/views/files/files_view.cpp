#include "views/files/files_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <unordered_set>

#include "engine/path_rules.h"
#include "model/duplicates_model.h"
#include "theme/appearance.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/file_icon_view.h"
#include "theme/fonts.h"
#include "theme/loader.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"
#include "theme/search_field.h"
#include "theme/shapes.h"
#include "util/fmt.h"
#include "views/files/item_row.h"
#include "views/files/quick_preview.h"
#include "views/files/review_model.h"
#include "views/files/shelf.h"
#include "views/files/text_widgets.h"
#include "views/shell/area_header.h"
#include "views/shell/elided_label.h"

namespace nimbrel {

namespace {

constexpr int kSide = 32;
constexpr int kBottom = 96;

ColorFn token(const AdaptiveColor& (*t)()) {
    return [t](const QWidget* w) { return t().resolve(w); };
}

ElidedLabel* textLine(const QString& text, const QFont& font, ColorFn color, QWidget* parent) {
    auto* label = new ElidedLabel(parent);
    label->setFont(font);
    label->setColor(std::move(color));
    label->setText(text);
    return label;
}

// Empties a holder and puts `content` in it.
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

// A vertical scroll of a column padded like every shelf list.
std::pair<FadingScroll*, QVBoxLayout*> shelfScroll(int spacing) {
    auto* scroll = new FadingScroll(Qt::Vertical, 28);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(kSide, 0, kSide, kBottom);
    column->setSpacing(spacing);
    column->setAlignment(Qt::AlignTop);
    scroll->setContent(content);
    return {scroll, column};
}

std::optional<QColor> categoryDot(FileCategory category) {
    const std::optional<double> hue = categoryHue(category);
    const AdaptiveColor color(OKLCH{0.74, hue ? 0.13 : 0, hue, 1}, OKLCH{0.64, hue ? 0.14 : 0, hue, 1});
    return color.resolve(Appearance::dark);
}

// The list of files shared by Biggest and Forgotten: a shelf of rows and "Show N more".
QWidget* fileList(AppState& state, const PreviewAction& preview, const std::vector<FileItem>& matches,
                  const Paging& paging, const QString& title, const QString& detail, double heat,
                  const std::function<QString(const FileItem&)>& subtitle, Shelf*& shelfOut,
                  NimbrelButton*& moreOut, std::function<void()> more) {
    const int total = static_cast<int>(matches.size());
    const int visible = paging.visible(total);
    int64_t largest = 1;
    for (int i = 0; i < visible; ++i)
        largest = std::max(largest, matches[static_cast<size_t>(i)].size);
    auto [scroll, column] = shelfScroll(24);
    auto* shelf = new Shelf(title, detail);
    std::vector<FileItem> rows(matches.begin(), matches.begin() + visible);
    shelf->setRows(visible, ItemRow::kHeight,
                   [&state, preview, rows, largest, heat, subtitle](int i) -> QWidget* {
                       const FileItem& f = rows[static_cast<size_t>(i)];
                       ItemRow::Options options;
                       options.subtitle = subtitle(f);
                       options.weight = static_cast<double>(f.size) / static_cast<double>(largest);
                       const std::string path = f.path;
                       options.preview = [preview, path] {
                           if (preview) preview(path);
                       };
                       return new ItemRow(state, fileItem(f, heat), options);
                   });
    column->addWidget(shelf);
    shelfOut = shelf;
    moreOut = nullptr;
    const int moreCount = paging.moreCount(total);
    if (moreCount > 0) {
        auto* button = new NimbrelButton(QObject::tr("Show %1 more").arg(moreCount),
                                         NimbrelButton::Kind::secondary, NimbrelButton::Size::regular);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        QObject::connect(button, &QAbstractButton::clicked, button, std::move(more));
        column->addWidget(button);
        moreOut = button;
    }
    return scroll;
}

}  // namespace

// FilesView

FilesView::FilesView(AppState& state, QWidget* parent) : QWidget(parent), state_(state) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(0, 0, 0, 0);
    connect(&state_, &AppState::sectionChanged, this, &FilesView::showSection);
    showSection();
}

void FilesView::showSection() {
    const SidebarItem section = state_.section().value_or(SidebarItem::largest);
    const SidebarItem kind =
        section == SidebarItem::duplicates || section == SidebarItem::old ? section : SidebarItem::largest;
    if (shelf_ && shown_ == kind) return;
    shown_ = kind;
    if (shelf_) {
        shelf_->hide();
        shelf_->deleteLater();
    }
    PreviewAction preview = [this](const std::string& path) { setPreviewPath(path); };
    switch (kind) {
        case SidebarItem::duplicates:
            shelf_ = new TwinShelves(state_, preview, this);
            break;
        case SidebarItem::old:
            shelf_ = new ForgottenShelves(state_, preview, this);
            break;
        default:
            shelf_ = new BiggestShelves(state_, preview, this);
            break;
    }
    column_->addWidget(shelf_);
}

void FilesView::setPreviewPath(std::optional<std::string> path) {
    if (previewCard_) {
        previewCard_->hide();
        previewCard_->deleteLater();
        previewCard_ = nullptr;
    }
    preview_ = std::move(path);
    if (!preview_) return;
    previewCard_ = new QuickPreview(
        *preview_, [this] { setPreviewPath(std::nullopt); }, this);
    previewCard_->move((width() - previewCard_->width()) / 2, (height() - previewCard_->height()) / 2);
    previewCard_->show();
    previewCard_->raise();
    previewCard_->setFocus();
}

// BiggestShelves

BiggestShelves::BiggestShelves(AppState& state, PreviewAction preview, QWidget* parent)
    : QWidget(parent), state_(state), preview_(std::move(preview)) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto* controls = new FileControls(search_, sort_, tr("Filter by name or path"));
    connect(controls, &FileControls::searchChanged, this, &BiggestShelves::setSearch);
    connect(controls, &FileControls::sortChanged, this, &BiggestShelves::setSort);
    header_ = new AreaHeader(state_, QString(), controls, this);
    col->addWidget(header_);

    auto* chipScroll = new FadingScroll(Qt::Horizontal, 28, this);
    chipScroll->setFixedHeight(30);
    auto* chipRow = new QWidget;
    auto* chips = new QHBoxLayout(chipRow);
    chips->setContentsMargins(kSide, 0, kSide, 0);
    chips->setSpacing(6);
    auto* all = new Chip(tr("All kinds"));
    connect(all, &Chip::clicked, this, [this] { state_.setLargestCategory(std::nullopt); });
    chips->addWidget(all);
    chips_.push_back(all);
    for (FileCategory category : FileCategory::allCases()) {
        auto* chip = new Chip(QString::fromUtf8(category.title()), categoryDot(category));
        connect(chip, &Chip::clicked, this, [this, category] {
            const auto current = state_.largestCategory();
            state_.setLargestCategory(
                current && *current == category ? std::nullopt : std::optional<FileCategory>(category));
        });
        chips->addWidget(chip);
        chips_.push_back(chip);
    }
    auto* packages = new Chip(tr("Hide apps & bundles"));
    connect(packages, &Chip::clicked, this, [this] { setHidePackages(!hidePackages_); });
    chips->addWidget(packages);
    chips_.push_back(packages);
    chipRow->adjustSize();
    chipScroll->setContent(chipRow);
    col->addWidget(chipScroll);
    col->addSpacing(16);

    body_ = makeHolder(this);
    col->addWidget(body_, 1);
    connect(&state_, &AppState::revisionChanged, this, &BiggestShelves::rebuild);
    connect(&state_, &AppState::resultChanged, this, &BiggestShelves::rebuild);
    connect(&state_, &AppState::largestCategoryChanged, this, [this] {
        paging_.reset();
        rebuild();
    });
    rebuild();
}

void BiggestShelves::setSearch(const QString& search) {
    if (search == search_) return;
    search_ = search;
    paging_.reset();
    rebuild();
}

void BiggestShelves::setSort(FileSort sort) {
    if (sort == sort_) return;
    sort_ = sort;
    paging_.reset();
    rebuild();
}

void BiggestShelves::setHidePackages(bool hide) {
    if (hide == hidePackages_) return;
    hidePackages_ = hide;
    rebuild();
}

void BiggestShelves::showMore() {
    paging_.more();
    rebuild();
}

QString BiggestShelves::subtitle() const {
    int64_t total = 0;
    for (const FileItem& f : matches_)
        total += f.size;
    return tr("%1 files · %2").arg(Fmt::count(static_cast<int64_t>(matches_.size())), Fmt::bytes(total));
}

void BiggestShelves::rebuildChips() {
    const auto category = state_.largestCategory();
    chips_.front()->setOn(!category);
    const auto& cases = FileCategory::allCases();
    for (size_t i = 0; i < cases.size(); ++i)
        chips_[i + 1]->setOn(category && *category == cases[i]);
    chips_.back()->setOn(hidePackages_);
}

void BiggestShelves::rebuild() {
    const std::shared_ptr<ScanResult> result = state_.result();
    matches_ = biggestMatches(result ? result->files : std::vector<FileItem>{}, sort_,
                              state_.largestCategory(), hidePackages_, search_);
    header_->setSubtitle(subtitle());
    rebuildChips();
    shelf_ = nullptr;
    more_ = nullptr;
    if (matches_.empty()) {
        replaceContent(body_, new EmptyState(tr("Nothing this heavy"),
                                             tr("No files match. Loosen the filters a little.")));
        return;
    }
    const int visible = paging_.visible(static_cast<int>(matches_.size()));
    const QString detail =
        tr("showing %1 of %2").arg(visible).arg(Fmt::count(static_cast<int64_t>(matches_.size())));
    const auto now = QDateTime::currentDateTime();
    replaceContent(body_, fileList(
                              state_, preview_, matches_, paging_, FileSorting::shelfTitle(sort_), detail, 0,
                              [now](const FileItem& f) {
                                  return QString::fromUtf8(f.category.title()) + QStringLiteral(" · ") +
                                         relativeDate(FileSorting::lastUse(f), now);
                              },
                              shelf_, more_, [this] { showMore(); }));
}

// ForgottenShelves

ForgottenShelves::ForgottenShelves(AppState& state, PreviewAction preview, QWidget* parent)
    : QWidget(parent), state_(state), preview_(std::move(preview)) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    auto* controls = new FileControls(search_, sort_, tr("Filter by name or path"));
    connect(controls, &FileControls::searchChanged, this, &ForgottenShelves::setSearch);
    connect(controls, &FileControls::sortChanged, this, &ForgottenShelves::setSort);
    header_ = new AreaHeader(state_, QString(), controls, this);
    col->addWidget(header_);

    auto* ageRow = new QHBoxLayout;
    ageRow->setContentsMargins(kSide, 0, kSide, 16);
    ageRow->setSpacing(8);
    ageRow->addWidget(
        textLine(tr("Untouched for"), Fonts::font(11.5, FontWeight::medium), token(&Palette::ink3), this));
    QList<PillOption> options;
    for (int m : Forgotten::ageLimits())
        options << PillOption{m, Forgotten::pickerLabel(m)};
    picker_ = new PillPicker(options, months_, this);
    connect(picker_, &PillPicker::selectionRequested, this,
            [this](const QVariant& v) { setMonths(v.toInt()); });
    ageRow->addWidget(picker_);
    ageRow->addStretch(1);
    col->addLayout(ageRow);

    body_ = makeHolder(this);
    col->addWidget(body_, 1);
    connect(&state_, &AppState::revisionChanged, this, &ForgottenShelves::rebuild);
    connect(&state_, &AppState::resultChanged, this, &ForgottenShelves::rebuild);
    rebuild();
}

void ForgottenShelves::setMonths(int months) {
    if (months == months_) return;
    months_ = months;
    picker_->setSelection(months);
    paging_.reset();
    rebuild();
}

void ForgottenShelves::setSearch(const QString& search) {
    if (search == search_) return;
    search_ = search;
    paging_.reset();
    rebuild();
}

void ForgottenShelves::setSort(FileSort sort) {
    if (sort == sort_) return;
    sort_ = sort;
    paging_.reset();
    rebuild();
}

void ForgottenShelves::showMore() {
    paging_.more();
    rebuild();
}

void ForgottenShelves::rebuild() {
    const std::shared_ptr<ScanResult> result = state_.result();
    const auto now = QDateTime::currentDateTime();
    matches_ = Forgotten::matches(result ? result->files : std::vector<FileItem>{},
                                  Forgotten::cutoff(now, months_), search_, sort_);
    int64_t total = 0;
    for (const FileItem& f : matches_)
        total += f.size;
    header_->setSubtitle(tr("%1 in files over 10 MB nobody has opened").arg(Fmt::bytes(total)));
    shelf_ = nullptr;
    more_ = nullptr;
    if (matches_.empty()) {
        replaceContent(body_, new EmptyState(tr("Nothing forgotten"),
                                             tr("Every big file here has been opened or changed recently.")));
        return;
    }
    replaceContent(body_, fileList(
                              state_, preview_, matches_, paging_, tr("Gathering dust"),
                              tr("untouched for %1").arg(Forgotten::ageText(months_)), 0.35,
                              [now](const FileItem& f) {
                                  return tr("opened %1").arg(relativeDate(FileSorting::lastUse(f), now));
                              },
                              shelf_, more_, [this] { showMore(); }));
}

// TwinShelves

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
    DuplicatesModel& model = state_.duplicates();
    for (auto signal : {&DuplicatesModel::groupsChanged, &DuplicatesModel::isRunningChanged,
                        &DuplicatesModel::hasRunChanged})
        connect(&model, signal, this, &TwinShelves::rebuild);
    connect(&state_, &AppState::isScanningChanged, this, &TwinShelves::rebuild);
    rebuild();
}

TwinShelves::Content TwinShelves::content() const {
    const DuplicatesModel& model = state_.duplicates();
    if (model.isRunning()) return Content::running;
    if (!model.hasRun()) return Content::intro;
    if (model.groups().empty()) return Content::noTwins;
    return Content::results;
}

std::vector<DuplicateGroup> TwinShelves::groups() const {
    return Twins::groups(state_.duplicates().groups(), search_, sort_);
}

QString TwinShelves::subtitle() const {
    const DuplicatesModel& model = state_.duplicates();
    if (model.hasRun() && !model.groups().empty())
        return tr("%1 sets of identical files · %2 in extra copies")
            .arg(model.groups().size())
            .arg(Fmt::bytes(model.reclaimable()));
    return tr("Byte-for-byte identical files (SHA-256), never just matching names");
}

void TwinShelves::setSearch(const QString& search) {
    if (search == search_) return;
    search_ = search;
    refocusSearch_ = true;
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
    builtFor_.reset();
    rebuild();
}

void TwinShelves::startSearch() {
    const std::shared_ptr<ScanResult> result = state_.result();
    state_.duplicates().run(result ? result->files : std::vector<FileItem>{}, static_cast<int64_t>(minSize_));
}

std::function<bool(const std::string&)> TwinShelves::presentInScan() const {
    auto paths = std::make_shared<std::unordered_set<std::string>>();
    if (const std::shared_ptr<ScanResult> result = state_.result())
        for (const FileItem& f : result->files)
            paths->insert(f.path);
    return [paths](const std::string& path) { return paths->count(path) > 0; };
}

void TwinShelves::selectEveryExtra() {
    std::vector<CleanItem> all;
    const auto present = presentInScan();
    for (const DuplicateGroup& g : groups()) {
        std::vector<CleanItem> extras = Twins::extras(g, present);
        all.insert(all.end(), extras.begin(), extras.end());
    }
    state_.queue().add(all);
}

void TwinShelves::rebuildHeader() {
    header_->setSubtitle(subtitle());
    auto* row = trailing_->layout();
    while (QLayoutItem* item = row->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    QList<PillOption> options;
    for (SizeThreshold t : Twins::thresholds())
        options << PillOption{QVariant::fromValue(static_cast<qlonglong>(t)), Twins::thresholdLabel(t)};
    auto* picker = new PillPicker(options, QVariant::fromValue(static_cast<qlonglong>(minSize_)));
    connect(picker, &PillPicker::selectionRequested, this, [this](const QVariant& v) {
        if (auto t = sizeThresholdFromRaw(v.toLongLong())) setMinSize(*t);
    });
    row->addWidget(picker);
    const Content now = content();
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
    DuplicatesModel& model = state_.duplicates();
    shownSets_ = 0;
    switch (now) {
        case Content::running: {
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
            auto* status =
                textLine(model.status(), Fonts::font(12, FontWeight::medium), token(&Palette::ink2), box);
            connect(&model, &DuplicatesModel::statusChanged, status,
                    [status, &model] { status->setText(model.status()); });
            col->addWidget(status, 0, Qt::AlignHCenter);
            col->addStretch(1);
            replaceContent(body_, box);
            break;
        }
        case Content::intro: {
            auto* find = new NimbrelButton(tr("Find Twins"), NimbrelButton::Kind::primary,
                                           NimbrelButton::Size::regular);
            find->setSymbol(QStringLiteral("square.on.square"));
            find->setEnabled(!state_.isScanning());
            connect(find, &QAbstractButton::clicked, this, &TwinShelves::startSearch);
            replaceContent(
                body_, new EmptyState(tr("Find the twins"),
                                      tr("Nimbrel compares file contents from your last scan and shows only "
                                         "true copies. Bigger thresholds finish faster."),
                                      {find}));
            break;
        }
        case Content::noTwins: {
            auto* again = new NimbrelButton(tr("Search Again"), NimbrelButton::Kind::secondary,
                                            NimbrelButton::Size::regular);
            connect(again, &QAbstractButton::clicked, this, &TwinShelves::startSearch);
            replaceContent(
                body_,
                new EmptyState(
                    QStringLiteral("No twins"),
                    tr("No identical files at or above %1").arg(Fmt::bytes(static_cast<int64_t>(minSize_))),
                    {again}));
            break;
        }
        case Content::results: {
            auto* box = new QWidget;
            auto* col = new QVBoxLayout(box);
            col->setContentsMargins(0, 0, 0, 0);
            col->setSpacing(0);
            auto* tools = new QHBoxLayout;
            tools->setContentsMargins(kSide, 0, kSide, 8);
            tools->setSpacing(8);
            auto* field = new SearchField(tr("Filter by name or path"), box);
            field->setText(search_);
            if (refocusSearch_) {
                // The list is rebuilt while the user types: the new field takes over the typing.
                refocusSearch_ = false;
                QTimer::singleShot(0, field, [field] {
                    field->lineEdit()->setFocus();
                    field->lineEdit()->end(false);
                });
            }
            field->setFixedWidth(220);
            connect(field, &SearchField::textChanged, this, &TwinShelves::setSearch);
            tools->addWidget(field);
            tools->addStretch(1);
            tools->addWidget(
                textLine(tr("Sort"), Fonts::font(11.5, FontWeight::medium), token(&Palette::ink3), box));
            QList<PillOption> sorts;
            const std::pair<Twins::Sort, const char*> raws[] = {
                {Twins::Sort::extra, "extra"}, {Twins::Sort::copies, "copies"}, {Twins::Sort::name, "name"}};
            QString selected;
            for (const auto& [s, raw] : raws) {
                sorts << PillOption{QString::fromLatin1(raw), Twins::sortLabel(s)};
                if (s == sort_) selected = QString::fromLatin1(raw);
            }
            auto* sortPicker = new PillPicker(sorts, selected, box);
            connect(sortPicker, &PillPicker::selectionRequested, this, [this](const QVariant& v) {
                if (auto s = Twins::sortFromRaw(v.toString())) setSort(*s);
            });
            tools->addWidget(sortPicker);
            col->addLayout(tools);
            auto* note = new NoteLabel(
                QStringLiteral("exclamationmark.circle"),
                tr("Selecting extras keeps the newest copy. Apps and projects sometimes point "
                   "at a specific copy. Check the paths before nimbrelising."),
                Fonts::font(11.5), [](const QWidget*) { return Palette::honey(); }, box);
            note->setContentsMargins(kSide, 0, kSide, 16);
            col->addWidget(note);
            auto [scroll, list] = shelfScroll(32);
            const std::vector<DuplicateGroup> shown = groups();
            const auto at = QDateTime::currentDateTime();
            for (const DuplicateGroup& g : shown) {
                if (shownSets_ >= Twins::kShownSets) break;
                ++shownSets_;
                auto* select = new NimbrelButton(tr("Select extras"), NimbrelButton::Kind::ghost,
                                                 NimbrelButton::Size::small);
                const std::vector<CleanItem> extras = Twins::extras(g);
                connect(select, &QAbstractButton::clicked, this,
                        [this, extras] { state_.queue().add(extras); });
                auto* shelf = new Shelf(
                    g.files.empty() ? QString() : QString::fromUtf8(g.files.front().name),
                    tr("%1 copies · %2 extra").arg(g.files.size()).arg(Fmt::bytes(Twins::extraBytes(g))),
                    select);
                const FileItem* keptCopy = Twins::kept(g);
                const int64_t keptID = keptCopy ? keptCopy->id : -1;
                const std::vector<FileItem> files = g.files;
                PreviewAction preview = preview_;
                shelf->setRows(static_cast<int>(files.size()), ItemRow::kHeight,
                               [this, files, keptID, preview, at](int i) -> QWidget* {
                                   const FileItem& f = files[static_cast<size_t>(i)];
                                   const bool kept = f.id == keptID;
                                   ItemRow::Options options;
                                   options.subtitle = tr("%1 · modified %2")
                                                          .arg(tildePath(PathRules::parent(f.path)),
                                                               relativeDate(f.modified, at));
                                   options.weight = 1.0;
                                   if (kept) options.badge = tr("newest");
                                   const std::string path = f.path;
                                   options.preview = [preview, path] {
                                       if (preview) preview(path);
                                   };
                                   return new ItemRow(state_, fileItem(f, kept ? 0 : 0.55), options);
                               });
                list->addWidget(shelf);
            }
            col->addWidget(scroll, 1);
            replaceContent(body_, box);
            break;
        }
    }
    builtFor_ = now;
}

}  // namespace nimbrel
