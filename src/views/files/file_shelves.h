#pragma once

#include <QVBoxLayout>
#include <QWidget>

#include "model/app_state.h"
#include "model/files_model.h"
#include "theme/nimbrel_button.h"
#include "views/files/file_list_body.h"
#include "views/files/shelf_parts.h"
#include "views/kit/area_header.h"
#include "views/kit/shelf.h"
#include "views/kit/shelf_lists.h"

namespace nimbrel {

// What Biggest and Forgotten share: a header with the filter and order, a paged list of the files
// the `Query` matches, and what they are asked by tests and tools. A subclass adds its own controls
// between header and list, lists with `list()` and shows its figures in `refresh`.
template <class Query>
class FileShelves : public QWidget {
  public:
    int matchCount() const { return static_cast<int>(list().rows.size()); }
    const FileItem& match(int i) const { return model_.file(list().rows.at(static_cast<size_t>(i))); }
    int shown() const { return paging_.shown; }
    void setSearch(const QString& search) {
        if (search == query_.search) return;
        query_.search = search;
        paging_.reset();
        refresh(true);
    }
    void setSort(FileSort sort) {
        if (sort == query_.sort) return;
        query_.sort = sort;
        paging_.reset();
        refresh(true);
    }
    void showMore() {
        paging_.more();
        refresh(false);
    }
    // The card, while the list is not empty.
    Shelf* shelfCard() const { return matchCount() ? body_->shelf() : nullptr; }
    // The button, while it is offered.
    NimbrelButton* moreButton() const {
        return body_->moreButton()->isVisibleTo(body_) && matchCount() ? body_->moreButton() : nullptr;
    }
    FileControls* controls() const { return controls_; }
    FileListBody* body() const { return body_; }

  protected:
    FileShelves(AppState& state, QWidget* parent) : QWidget(parent), state_(state), model_(state.files()) {
        column_ = new QVBoxLayout(this);
        column_->setContentsMargins(0, 0, 0, 0);
        column_->setSpacing(0);
        controls_ = new FileControls(QString(), FileSort::size, QWidget::tr("Filter by name or path"));
        connect(controls_, &FileControls::searchChanged, this, &FileShelves::setSearch);
        connect(controls_, &FileControls::sortChanged, this, &FileShelves::setSort);
        header_ = new AreaHeader(state_, QString(), controls_, this);
        column_->addWidget(header_);
    }

    // Puts the list under what the subclass added and follows the scan's changes.
    void addBody(PreviewAction preview, double heat, FileListBody::Subtitle subtitle, EmptyState* empty) {
        body_ = new FileListBody(
            state_, std::move(preview), heat, std::move(subtitle), empty,
            [this]() -> const FileList& { return list(); }, this);
        connect(body_, &FileListBody::moreRequested, this, [this] { showMore(); });
        column_->addWidget(body_, 1);
        connect(&state_, &AppState::revisionChanged, this, [this] { refresh(true, true); });
        connect(&model_, &FilesModel::indexReady, this, [this] { refresh(true); });
        connect(&state_, &AppState::resultChanged, this, [this] { refresh(true); });
    }

    // No figures before the index is built: they would read "0 files · Zero KB" for a full disk.
    void setFigures(const QString& figures) {
        header_->setSubtitle(model_.isIndexing() && list().rows.empty() ? QString() : figures);
    }
    int visible() const { return paging_.visible(matchCount()); }

    virtual const FileList& list() const = 0;
    virtual void refresh(bool listChanged, bool pruned = false) = 0;

    AppState& state_;
    FilesModel& model_;
    Query query_;
    Paging paging_;
    QVBoxLayout* column_;
    FileControls* controls_;
    AreaHeader* header_;
    FileListBody* body_ = nullptr;
};

}  // namespace nimbrel
