#pragma once

#include <QWidget>
#include <vector>

#include "model/files_model.h"
#include "views/files/shelf_parts.h"
#include "views/kit/shelf_lists.h"

namespace nimbrel {

class AppState;
class AreaHeader;
class Chip;
class FileControls;
class FileListBody;
class NimbrelButton;
class Shelf;

// Every file of the scan, heaviest first by default, with category chips, a package switch, a path
// filter, an order and paging by 48.
class BiggestShelves : public QWidget {
    Q_OBJECT
  public:
    BiggestShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    int matchCount() const;
    const FileItem& match(int i) const;
    int shown() const { return paging_.shown; }
    void setSearch(const QString& search);
    void setSort(FileSort sort);
    void setHidePackages(bool hide);
    void showMore();
    // The card, while the list is not empty.
    Shelf* shelfCard() const;
    // The button, while it is offered.
    NimbrelButton* moreButton() const;
    FileControls* controls() const { return controls_; }
    FileListBody* body() const { return body_; }
    QString subtitle() const;

  private:
    void refresh(bool listChanged, bool pruned = false);

    AppState& state_;
    FilesModel& model_;
    FilesModel::BiggestQuery query_;
    Paging paging_;
    FileControls* controls_;
    AreaHeader* header_;
    std::vector<Chip*> chips_;
    FileListBody* body_;
};

}  // namespace nimbrel
