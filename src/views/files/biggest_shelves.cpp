#include "views/files/biggest_shelves.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "engine/host_layout.h"
#include "model/app_state.h"
#include "theme/appearance.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/files/file_list_body.h"
#include "views/kit/area_header.h"
#include "views/kit/files_text.h"
#include "views/kit/shelf.h"

namespace nimbrel {

namespace {

using ShelfParts::kSide;

std::optional<QColor> categoryDot(FileCategory category) {
    const std::optional<double> hue = categoryHue(category);
    const AdaptiveColor color(OKLCH{0.74, hue ? 0.13 : 0, hue, 1}, OKLCH{0.64, hue ? 0.14 : 0, hue, 1});
    return color.resolve(Appearance::dark);
}

}  // namespace

BiggestShelves::BiggestShelves(AppState& state, PreviewAction preview, QWidget* parent)
    : FileShelves(state, parent) {
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
    auto* packages = new Chip(packageText(PackageText::hideChip, HostLayout::judging().isMac()));
    connect(packages, &Chip::clicked, this, [this] { setHidePackages(!query_.hidePackages); });
    chips->addWidget(packages);
    chips_.push_back(packages);
    chipRow->adjustSize();
    chipScroll->setContent(chipRow);
    column_->addWidget(chipScroll);
    column_->addSpacing(16);

    query_.category = state_.largestCategory();
    addBody(
        std::move(preview), 0,
        [this](const FileItem& f) {
            return QString::fromUtf8(f.category.title()) + QStringLiteral(" · ") +
                   relativeDate(FileSorting::lastUse(f), ShelfParts::dateOf(state_.clock()));
        },
        new EmptyState(tr("Nothing this heavy"), tr("No files match. Loosen the filters a little.")));
    connect(&state_, &AppState::largestCategoryChanged, this, [this] {
        paging_.reset();
        refresh(true);
    });
    refresh(true);
}

void BiggestShelves::setHidePackages(bool hide) {
    if (hide == query_.hidePackages) return;
    query_.hidePackages = hide;
    refresh(true);
}

QString BiggestShelves::subtitle() const {
    const FileList& list = model_.biggest(query_);
    return Plural::choose(int64_t(list.rows.size()), tr("%1 file · %2"), tr("%1 files · %2"))
        .arg(Fmt::count(static_cast<int64_t>(list.rows.size())), Fmt::bytes(list.totalSize));
}

void BiggestShelves::refresh(bool listChanged, bool pruned) {
    query_.category = state_.largestCategory();
    setFigures(subtitle());
    chips_.front()->setOn(!query_.category);
    const auto& cases = FileCategory::allCases();
    for (size_t i = 0; i < cases.size(); ++i)
        chips_[i + 1]->setOn(query_.category && *query_.category == cases[i]);
    chips_.back()->setOn(query_.hidePackages);
    const int shown = visible();
    body_->show(shown, FileSorting::shelfTitle(query_.sort),
                tr("showing %1 of %2").arg(shown).arg(Fmt::count(matchCount())), listChanged, pruned);
}

}  // namespace nimbrel
