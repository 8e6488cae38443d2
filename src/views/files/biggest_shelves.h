#pragma once

#include <vector>

#include "views/files/file_shelves.h"

namespace nimbrel {

class Chip;

// Every file of the scan, heaviest first by default, with category chips, a package switch, a path
// filter, an order and paging by 48.
class BiggestShelves : public FileShelves<FilesModel::BiggestQuery> {
    Q_OBJECT
  public:
    BiggestShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    void setHidePackages(bool hide);
    QString subtitle() const;

  private:
    const FileList& list() const override { return model_.biggest(query_); }
    void refresh(bool listChanged, bool pruned = false) override;

    std::vector<Chip*> chips_;
};

}  // namespace nimbrel
