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
    : FileShelves(state, parent) {
    auto* ageRow = new QHBoxLayout;
    ageRow->setContentsMargins(kSide, 0, kSide, 16);
    ageRow->setSpacing(8);
    ageRow->addWidget(ElidedLabel::line(tr("Untouched for"), Fonts::font(11.5, FontWeight::medium),
                                        shownColor(Palette::ink3()), this));
    QList<PillOption> options;
    for (int m : Forgotten::ageLimits())
        options << PillOption{m, Forgotten::pickerLabel(m)};
    picker_ = new PillPicker(options, months_, this);
    connect(picker_, &PillPicker::selectionRequested, this,
            [this](const QVariant& v) { setMonths(v.toInt()); });
    ageRow->addWidget(picker_);
    ageRow->addStretch(1);
    column_->addLayout(ageRow);

    followClock();
    addBody(
        std::move(preview), 0.35,
        [this](const FileItem& f) {
            return tr("opened %1").arg(relativeDate(FileSorting::lastUse(f), now_));
        },
        new EmptyState(tr("Nothing forgotten"),
                       tr("Every big file here has been opened or changed recently.")));
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

void ForgottenShelves::setMonths(int months) {
    if (months == months_) return;
    months_ = months;
    picker_->setSelection(months);
    if (!followClock()) query_.cutoff = Forgotten::cutoff(now_, months_);
    paging_.reset();
    refresh(true);
}

void ForgottenShelves::refresh(bool listChanged, bool pruned) {
    // "Now" is read at every refresh: the cutoff and the rows' dates never stay behind the day.
    if (followClock()) listChanged = true;
    setFigures(tr("%1 in files over 10 MB nobody has opened").arg(Fmt::bytes(list().totalSize)));
    body_->show(visible(), tr("Gathering dust"), tr("untouched for %1").arg(Forgotten::ageText(months_)),
                listChanged, pruned);
}

}  // namespace nimbrel
