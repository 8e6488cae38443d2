#pragma once

#include <QWidget>
#include <functional>

#include "model/files_model.h"
#include "views/files/shelf_parts.h"

namespace nimbrel {

class AppState;
class EmptyState;
class FadingScroll;
class NimbrelButton;
class Shelf;

// The list part of Biggest and Forgotten, built once: the empty state, or a shelf of rows and
// "Show N more" in a scroll that keeps its place. Rows are read from the shelf's list when they
// come into view.
class FileListBody : public QWidget {
    Q_OBJECT
  public:
    using Subtitle = std::function<QString(const FileItem&)>;
    FileListBody(AppState& state, PreviewAction preview, double heat, Subtitle subtitle, EmptyState* empty,
                 std::function<const FileList&()> list, QWidget* parent = nullptr);

    // Shows the first `visible` rows. A changed list builds its rows again; otherwise only rows
    // added at the end are built. A list that a removal `pruned` keeps the rows that stay and closes
    // the gaps of those that left.
    void show(int visible, const QString& title, const QString& detail, bool listChanged,
              bool pruned = false);
    Shelf* shelf() const { return shelf_; }
    NimbrelButton* moreButton() const { return more_; }
    FadingScroll* scroll() const { return scroll_; }
    EmptyState* emptyState() const { return empty_; }
    // Shown in place of the list while the scan's files are still being indexed.
    QWidget* waiting() const { return waiting_; }

  signals:
    void moreRequested();

  private:
    QWidget* makeRow(int i);
    double weightOf(const FileItem& file) const;

    AppState& state_;
    PreviewAction preview_;
    double heat_;
    Subtitle subtitle_;
    std::function<const FileList&()> list_;
    EmptyState* empty_;
    QWidget* waiting_;
    FadingScroll* scroll_;
    Shelf* shelf_;
    NimbrelButton* more_;
    int rowCount_ = 0;
    int64_t largest_ = 1;
};

}  // namespace nimbrel
