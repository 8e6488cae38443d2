#pragma once

#include <QWidget>

#include "views/files/review_model.h"

namespace nimbrel {

class AppState;
class JunkContentsList;
class ReviewRow;
class ReviewSheet;

// One item of the review list: its row and, for an opened junk location, the contents list under
// it. The list stands at its full height below the row; while the cell grows or shrinks, the cell's
// edge reveals or hides it.
class ReviewCell : public QWidget {
    Q_OBJECT
  public:
    ReviewCell(AppState& state, ReviewSheet& sheet, ReviewModel::Entry entry);
    ReviewRow* row() const { return row_; }
    JunkContentsList* contents() const { return contents_; }
    void setOpen(bool open);
    void place();

  protected:
    void resizeEvent(QResizeEvent*) override { place(); }

  private:
    AppState& state_;
    ReviewSheet& sheet_;
    ReviewRow* row_;
    JunkContentsList* contents_ = nullptr;
};

}  // namespace nimbrel
