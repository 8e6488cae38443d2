#include "views/files/review_row.h"

#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMenu>
#include <QVBoxLayout>

#include "model/app_state.h"
#include "model/clean_queue.h"
#include "platform/file_manager.h"
#include "theme/badge.h"
#include "theme/chip.h"
#include "theme/file_icon_view.h"
#include "theme/nimbrel_button.h"
#include "theme/palette.h"
#include "util/fmt.h"
#include "views/files/review_sheet.h"
#include "views/kit/elided_label.h"
#include "views/kit/files_text.h"
#include "views/kit/plain_label.h"
#include "views/kit/symbol_glyph.h"

namespace nimbrel {

ReviewRow::ReviewRow(AppState& state, ReviewSheet& sheet, ReviewModel::Entry entry, QWidget* parent)
    : QWidget(parent), state_(state), sheet_(sheet), entry_(entry), item_(sheet.model().item(entry)) {
    setFixedHeight(ReviewSheet::kRowHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(8);
    row->addWidget(buildCheck());
    row->addWidget(buildIcon());
    row->addLayout(buildText(), 1);
    row->addSpacing(8);
    if (item_.kind == CleanItem::Kind::junk) row->addWidget(buildDisclosure());
    row->addWidget(buildSize());

    auto* dim = new QGraphicsOpacityEffect(this);
    dim->setOpacity(0.45);
    setGraphicsEffect(dim);
    refresh();
}

QWidget* ReviewRow::buildCheck() {
    check_ = new NimbrelCheck(isTicked(), this);
    check_->setAccessibleName(QString::fromUtf8(item_.name));  // the tick box says what it ticks
    connect(check_, &NimbrelCheck::toggleRequested, this,
            [this] { sheet_.setEntryTicked(entry_, !isTicked()); });
    return check_;
}

QWidget* ReviewRow::buildIcon() {
    if (!item_.symbolPath && item_.kind == CleanItem::Kind::junk) {
        auto* icon = new SymbolGlyph(QStringLiteral("sparkles"), 11, shownColor(Palette::accent()),
                                     FontWeight::bold, this);
        icon->setFixedSize(20, 20);
        return icon;
    }
    const std::string path = item_.symbolPath.value_or(item_.id);
    const bool package = hasPackageExtension(path);
    return new FileIconView(path, package, item_.kind != CleanItem::Kind::file && !package, 20, this);
}

// The name with its badge over the grey detail.
QLayout* ReviewRow::buildText() {
    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    nameLine_ = new QHBoxLayout;
    nameLine_->setSpacing(6);
    name_ = new ElidedLabel(this);
    name_->setFont(Fonts::font(12.5, FontWeight::medium));
    name_->setColor(shownColor(Palette::ink()));
    name_->setElideMode(Qt::ElideMiddle);
    nameLine_->addWidget(name_, 0);
    nameLine_->addStretch(1);
    text->addLayout(nameLine_);
    detail_ = new ElidedLabel(this);
    detail_->setFont(Fonts::font(11));
    detail_->setColor(shownColor(Palette::ink3()));
    detail_->setElideMode(Qt::ElideLeft);
    detail_->setFixedDigits(true);  // a location's line counts its files
    text->addWidget(detail_);
    return text;
}

QWidget* ReviewRow::buildDisclosure() {
    disclosure_ =
        new NimbrelButton(tr("Show items"), NimbrelButton::Kind::ghost, NimbrelButton::Size::small, this);
    const std::string id = item_.id;
    connect(disclosure_, &QAbstractButton::clicked, &sheet_, [s = &sheet_, id] { s->toggleExpanded(id); });
    return disclosure_;
}

QWidget* ReviewRow::buildSize() {
    size_ = new ElidedLabel(this);
    size_->setColor(shownColor(Palette::ink()));
    size_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    size_->setFixedDigits(true);
    size_->setFixedWidth(72);
    return size_;
}

void ReviewRow::refresh() {
    const ReviewModel& model = sheet_.model();
    item_ = model.item(entry_);
    check_->setOn(isTicked());
    name_->setText(QString::fromUtf8(item_.name));
    placeBadge();
    detail_->setText(detailText());
    if (disclosure_) {
        const bool open = sheet_.expanded().count(item_.id) > 0;
        disclosure_->setText(open ? tr("Hide") : tr("Show items"));
        disclosure_->setSymbol(open ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"));
    }
    QFont sizeFont = Fonts::font(12.5, FontWeight::semibold, FontDesign::rounded);
    sizeFont.setStrikeOut(model.isKept(entry_));
    if (size_->font() != sizeFont) size_->setFont(sizeFont);
    size_->setText(Fmt::bytes(item_.size));
    // Unticked or kept rows are drawn faded; the effect costs nothing while it is off.
    if (QGraphicsEffect* dim = graphicsEffect()) dim->setEnabled(isDimmed());
}

void ReviewRow::placeBadge() {
    const ReviewModel& model = sheet_.model();
    const ReviewModel::RowBadge kind = model.rowBadge(entry_);
    const Risk itemRisk = kind == ReviewModel::RowBadge::risk ? model.reviewRisk(entry_) : Risk{};
    const QString risk = kind == ReviewModel::RowBadge::risk ? QString::fromUtf8(itemRisk.title) : QString();
    if (static_cast<int>(kind) == badgeKind_ && risk == badgeRisk_) return;
    badgeKind_ = static_cast<int>(kind);
    badgeRisk_ = risk;
    if (badge_) {
        badge_->hide();
        badge_->deleteLater();
        badge_ = nullptr;
    }
    switch (kind) {
        case ReviewModel::RowBadge::kept:
            badge_ = new Badge(tr("kept"), Palette::honey(), Palette::honeyInk(), this);
            break;
        case ReviewModel::RowBadge::contentsOnly:
            badge_ = new Badge(
                tr("contents only"), [](const QWidget* w) { return Palette::nimbrelSubtle().resolve(w); },
                [](const QWidget* w) { return Palette::accent().resolve(w); }, this);
            break;
        case ReviewModel::RowBadge::risk:
            badge_ = new RiskBadge(itemRisk, this);
            break;
        case ReviewModel::RowBadge::none:
            break;
    }
    if (badge_) nameLine_->insertWidget(1, badge_, 0, Qt::AlignVCenter);
}

bool ReviewRow::isTicked() const {
    return sheet_.model().isTicked(entry_);
}

bool ReviewRow::isDimmed() const {
    return !isTicked() || sheet_.model().isKept(entry_);
}

QString ReviewRow::detailText() const {
    const std::shared_ptr<const ScanResult> result = state_.result();
    return sheet_.model().rowDetail(entry_, [result](const std::string& path) -> std::optional<int64_t> {
        if (!result) return std::nullopt;
        const auto node = result->node(path);
        if (!node) return std::nullopt;
        return node->fileCount();
    });
}

QStringList ReviewRow::menuEntries() const {
    QStringList entries;
    if (item_.kind != CleanItem::Kind::junk) entries << tr("Copy Path") << revealTitle();
    entries << tr("Remove from Selection");
    return entries;
}

void ReviewRow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    if (item_.kind != CleanItem::Kind::junk) {
        const std::string id = item_.id;
        AppState* state = &state_;
        menu.addAction(tr("Copy Path"), [state, id] { state->copyPaths({id}); });
        menu.addAction(revealTitle(), [id] { FileActions::reveal({id}); });
    }
    const std::string id = item_.id;
    CleanQueue* queue = &state_.queue();
    menu.addAction(tr("Remove from Selection"), [queue, id] { queue->remove(id); });
    menu.exec(event->globalPos());
}

}  // namespace nimbrel
