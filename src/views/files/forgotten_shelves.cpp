#include "views/files/forgotten_shelves.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "model/app_state.h"
#include "theme/empty_state.h"
#include "theme/fonts.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "theme/pill_picker.h"
#include "util/fmt.h"
#include "views/files/file_list_body.h"
#include "views/kit/area_header.h"
#include "views/kit/elided_label.h"
#include "views/kit/shelf.h"

namespace nimbrel {

using ShelfParts::kSide;

ForgottenShelves::ForgottenShelves(AppState& state, PreviewAction preview, QWidget* parent)
    : QWidget(parent), state_(state), model_(FilesModel::of(state)) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    controls_ = new FileControls(QString(), FileSort::size, tr("Filter by name or path"));
    connect(controls_, &FileControls::searchChanged, this, &ForgottenShelves::setSearch);
    connect(controls_, &FileControls::sortChanged, this, &ForgottenShelves::setSort);
    header_ = new AreaHeader(state_, QString(), controls_, this);
    col->addWidget(header_);

    auto* ageRow = new QHBoxLayout;
    ageRow->setContentsMargins(kSide, 0, kSide, 16);
    ageRow->setSpacing(8);
    ageRow->addWidget(ShelfParts::textLine(tr("Untouched for"), Fonts::font(11.5, FontWeight::medium),
                                           shownColor(Palette::ink3()), this));
    QList<PillOption> options;
    for (int m : Forgotten::ageLimits())
        options << PillOption{m, Forgotten::pickerLabel(m)};
    picker_ = new PillPicker(options, months_, this);
    connect(picker_, &PillPicker::selectionRequested, this,
            [this](const QVariant& v) { setMonths(v.toInt()); });
    ageRow->addWidget(picker_);
    ageRow->addStretch(1);
    col->addLayout(ageRow);

    followClock();
    body_ = new FileListBody(
        state_, std::move(preview), 0.35,
        [this](const FileItem& f) {
            return tr("opened %1").arg(relativeDate(FileSorting::lastUse(f), now_));
        },
        new EmptyState(tr("Nothing forgotten"),
                       tr("Every big file here has been opened or changed recently.")),
        [this]() -> const FileList& { return model_.forgotten(query_); }, this);
    connect(body_, &FileListBody::moreRequested, this, &ForgottenShelves::showMore);
    col->addWidget(body_, 1);
    connect(&state_, &AppState::revisionChanged, this, [this] { refresh(true, true); });
    connect(&model_, &FilesModel::indexReady, this, [this] { refresh(true); });
    connect(&state_, &AppState::resultChanged, this, [this] { refresh(true); });
    refresh(true);
    scheduleTick();
}

bool ForgottenShelves::followClock() {
    const QDateTime now = ShelfParts::dateOf(state_.clock());
    // Within a minute "now" stays put, so the list the model keeps for the query still serves.
    if (now_.isValid() && now >= now_ && now_.msecsTo(now) < 60'000) return false;
    now_ = now;
    query_.cutoff = Forgotten::cutoff(now_, months_);
    return true;
}

void ForgottenShelves::scheduleTick() {
    // A shelf left on screen for hours or days moves its cutoff and its row dates along.
    state_.clock().after(std::chrono::hours(1), this, [this] {
        if (isVisible()) refresh(false);
        scheduleTick();
    });
}

void ForgottenShelves::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh(false);
}

int ForgottenShelves::matchCount() const {
    return static_cast<int>(model_.forgotten(query_).rows.size());
}

const FileItem& ForgottenShelves::match(int i) const {
    return model_.file(model_.forgotten(query_).rows.at(static_cast<size_t>(i)));
}

Shelf* ForgottenShelves::shelfCard() const {
    return matchCount() ? body_->shelf() : nullptr;
}

NimbrelButton* ForgottenShelves::moreButton() const {
    return body_->moreButton()->isVisibleTo(body_) && matchCount() ? body_->moreButton() : nullptr;
}

void ForgottenShelves::setMonths(int months) {
    if (months == months_) return;
    months_ = months;
    picker_->setSelection(months);
    if (!followClock()) query_.cutoff = Forgotten::cutoff(now_, months_);
    paging_.reset();
    refresh(true);
}

void ForgottenShelves::setSearch(const QString& search) {
    if (search == query_.search) return;
    query_.search = search;
    paging_.reset();
    refresh(true);
}

void ForgottenShelves::setSort(FileSort sort) {
    if (sort == query_.sort) return;
    query_.sort = sort;
    paging_.reset();
    refresh(true);
}

void ForgottenShelves::showMore() {
    paging_.more();
    refresh(false);
}

void ForgottenShelves::refresh(bool listChanged, bool pruned) {
    // "Now" is read at every refresh: the cutoff and the rows' dates never stay behind the day.
    if (followClock()) listChanged = true;
    const FileList& list = model_.forgotten(query_);
    // No figure before the index is built: it would read "Zero KB" for a full disk.
    header_->setSubtitle(
        model_.isIndexing() && list.rows.empty()
            ? QString()
            : tr("%1 in files over 10 MB nobody has opened").arg(Fmt::bytes(list.totalSize)));
    const int visible = paging_.visible(static_cast<int>(list.rows.size()));
    body_->show(visible, tr("Gathering dust"), tr("untouched for %1").arg(Forgotten::ageText(months_)),
                listChanged, pruned);
}

}  // namespace nimbrel
