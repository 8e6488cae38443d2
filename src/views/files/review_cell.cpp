#include "views/files/review_cell.h"

#include "model/app_state.h"
#include "model/cleanup_model.h"
#include "views/files/review_row.h"
#include "views/files/review_sheet.h"
#include "views/kit/junk_contents_list.h"

namespace nimbrel {

ReviewCell::ReviewCell(AppState& state, ReviewSheet& sheet, ReviewModel::Entry entry)
    : state_(state), sheet_(sheet), row_(new ReviewRow(state, sheet, entry, this)) {}

void ReviewCell::setOpen(bool open) {
    if (open && !contents_) {
        const CleanItem& item = row_->item();
        if (item.kind != CleanItem::Kind::junk) return;
        const auto location = ReviewModel::location(item, state_.cleanup().locations());
        if (!location) return;
        contents_ = new JunkContentsList(
            state_, *location, ReviewSheet::kJunkContentsLimit, false,
            [sheet = &sheet_, id = item.id] { return sheet->listed(id); }, this);
        place();
        contents_->show();
    } else if (!open && contents_) {
        contents_->hide();
        contents_->deleteLater();
        contents_ = nullptr;
    }
}

void ReviewCell::place() {
    row_->setGeometry(0, 0, width(), ReviewSheet::kRowHeight);
    if (contents_)
        contents_->setGeometry(
            ReviewSheet::kContentsLeft, ReviewSheet::kRowHeight,
            std::max(0, width() - ReviewSheet::kContentsLeft - ReviewSheet::kContentsRight),
            contents_->sizeHint().height());
}

}  // namespace nimbrel
