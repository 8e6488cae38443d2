#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

class QAbstractScrollArea;

namespace nimbrel {

// A column of rows whose heights are known in advance: it is as tall as all of them together and
// builds a widget only for the rows inside the enclosing scroll view's visible part (plus a margin),
// so a list of thousands of entries costs a dozen widgets. Rows are built afresh when they come into
// view; they keep no state that has to outlive scrolling.
class LazyRows : public QWidget {
    Q_OBJECT
  public:
    using Factory = std::function<QWidget*(int index)>;

    explicit LazyRows(QWidget* parent = nullptr);

    // Replaces every row. `heights` gives each row's height; `spacing` lies between rows.
    void setRows(std::vector<int> heights, Factory factory, int spacing = 0);
    // Adds rows at the end; the rows built so far stay as they are.
    void appendRows(const std::vector<int>& heights);
    int count() const { return static_cast<int>(heights_.size()); }
    // The row's frame in the column.
    QRect rowRect(int index) const;
    // The widget of a row that is built now, else nothing.
    QWidget* rowWidget(int index) const;
    int builtCount() const { return static_cast<int>(built_.size()); }
    // Builds the rows that are in view now (also called on scrolling and resizing).
    void refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void watchScroll();
    void layOut();
    int totalHeight() const;

    std::vector<int> heights_;
    std::vector<int> tops_;
    int spacing_ = 0;
    Factory factory_;
    std::map<int, QPointer<QWidget>> built_;
    QPointer<QAbstractScrollArea> scroll_;
    bool refreshQueued_ = false;
};

}  // namespace nimbrel
