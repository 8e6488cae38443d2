#include "views/files/file_list_body.h"

#include <QVBoxLayout>

#include "model/app_state.h"
#include "theme/chip.h"
#include "theme/empty_state.h"
#include "theme/fading_scroll.h"
#include "theme/loader.h"
#include "theme/nimbrel_button.h"
#include "views/kit/item_row.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/shelf.h"
#include "views/kit/shelf_lists.h"

namespace nimbrel {

namespace {

// A vertical scroll of a column padded like every shelf list.
std::pair<FadingScroll*, QVBoxLayout*> shelfScroll(int spacing) {
    auto* scroll = new FadingScroll(Qt::Vertical, 28);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(ShelfParts::kSide, 0, ShelfParts::kSide, ShelfParts::kBottom);
    column->setSpacing(spacing);
    column->setAlignment(Qt::AlignTop);
    scroll->setContent(content);
    return {scroll, column};
}

}  // namespace

FileListBody::FileListBody(AppState& state, PreviewAction preview, double heat, Subtitle subtitle,
                           EmptyState* empty, std::function<const FileList&()> list, QWidget* parent)
    : QWidget(parent),
      state_(state),
      preview_(std::move(preview)),
      heat_(heat),
      subtitle_(std::move(subtitle)),
      list_(std::move(list)),
      empty_(empty) {
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    empty_->setParent(this);
    col->addWidget(empty_);
    waiting_ = new QWidget(this);
    auto* waitingColumn = new QVBoxLayout(waiting_);
    waitingColumn->addStretch(1);
    waitingColumn->addWidget(new NimbrelLoader(30, waiting_), 0, Qt::AlignHCenter);
    waitingColumn->addStretch(1);
    col->addWidget(waiting_, 1);
    auto [scroll, column] = shelfScroll(24);
    scroll_ = scroll;
    shelf_ = new Shelf(QString(), QString());
    // Rows are told apart by path, so those a removal leaves keep their widgets.
    shelf_->rows()->setKey([this](int i) {
        const FileList& list = list_();
        return state_.files().file(list.rows[static_cast<size_t>(i)]).path;
    });
    shelf_->rows()->setUpdate([this](int i, QWidget* widget) {
        const FileList& list = list_();
        if (auto* row = qobject_cast<ItemRow*>(widget))
            row->setWeight(weightOf(state_.files().file(list.rows[static_cast<size_t>(i)])));
    });
    column->addWidget(shelf_);
    more_ = new NimbrelButton(QString(), NimbrelButton::Kind::secondary, NimbrelButton::Size::regular);
    more_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(more_, &QAbstractButton::clicked, this, &FileListBody::moreRequested);
    column->addWidget(more_);
    col->addWidget(scroll_, 1);
}

void FileListBody::show(int visible, const QString& title, const QString& detail, bool listChanged,
                        bool pruned) {
    const FileList& list = list_();
    const int total = static_cast<int>(list.rows.size());
    // A list still being indexed is not empty yet: "nothing here" would be a wrong answer.
    const bool indexing = state_.files().isIndexing();
    empty_->setVisible(total == 0 && !indexing);
    waiting_->setVisible(total == 0 && indexing);
    scroll_->setVisible(total > 0);
    if (total == 0) {
        rowCount_ = 0;
        shelf_->setRows(0, ItemRow::kHeight, {});
        return;
    }
    shelf_->setTitle(title);
    shelf_->setDetail(detail);
    const int64_t largest = state_.files().largest(list, visible);
    if (pruned && rowCount_ > 0) {
        largest_ = largest;
        shelf_->closeRows(visible, ItemRow::kHeight, [this](int i) { return makeRow(i); });
    } else if (listChanged || largest != largest_ || visible < rowCount_) {
        largest_ = largest;
        shelf_->setRows(visible, ItemRow::kHeight, [this](int i) { return makeRow(i); });
    } else if (visible > rowCount_) {
        // "Show more" adds rows under the ones on screen; nothing already built moves.
        shelf_->appendRows(visible - rowCount_, ItemRow::kHeight);
        // Pressed from the keyboard, it hands the focus on to the first row it showed.
        if (auto* row = qobject_cast<ItemRow*>(shelf_->rows()->rowWidget(rowCount_));
            row && more_->hasFocus())
            row->check()->setFocus(Qt::TabFocusReason);
    }
    rowCount_ = visible;
    const int more = Paging{visible}.moreCount(total);
    more_->setVisible(more > 0);
    if (more > 0) more_->setText(tr("Show %1 more").arg(more));
}

QWidget* FileListBody::makeRow(int i) {
    const FileList& list = list_();
    if (i < 0 || static_cast<size_t>(i) >= list.rows.size()) return nullptr;
    const FileItem& f = state_.files().file(list.rows[static_cast<size_t>(i)]);
    ItemRow::Options options;
    options.subtitle = subtitle_(f);
    options.weight = weightOf(f);
    options.preview = [preview = preview_, path = f.path] {
        if (preview) preview(path);
    };
    return new ItemRow(state_, CleanItem::file(f, CleanItem::Source::files, heat_), options);
}

double FileListBody::weightOf(const FileItem& file) const {
    return static_cast<double>(file.size) / static_cast<double>(largest_);
}

}  // namespace nimbrel
