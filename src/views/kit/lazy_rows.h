#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "views/kit/gap_close.h"

class QAbstractScrollArea;

namespace nimbrel {

// A column of rows whose heights are known in advance: it is as tall as all of them together and
// builds a widget only for the rows inside the enclosing scroll view's visible part (plus a margin),
// so a list of thousands of entries costs a dozen widgets. Rows are built afresh when they come into
// view; they keep no state that has to outlive scrolling.
//
// When rows leave (a removal), `closeRows` takes the new list: the rows that stay keep their widgets
// and slide up into the gaps over the close motion, what was on screen never jumps, and rows that
// left above the visible part take the scroll position with them so the visible rows hold still.
class LazyRows : public QWidget {
    Q_OBJECT
  public:
    using Factory = std::function<QWidget*(int index)>;
    // A row's identity, the same for the same item in the old and the new list.
    using Key = std::function<std::string(int index)>;
    // Brings a kept row's widget up to date with its new index.
    using Update = std::function<void(int index, QWidget* widget)>;

    explicit LazyRows(QWidget* parent = nullptr);

    // Replaces every row. `heights` gives each row's height; `spacing` lies between rows.
    void setRows(std::vector<int> heights, Factory factory, int spacing = 0);
    // Adds rows at the end; the rows built so far stay as they are.
    void appendRows(const std::vector<int>& heights);
    // New heights for the same rows; built rows stay and move (an opening row pushes the rest down).
    void setHeights(std::vector<int> heights) {
        heights_ = std::move(heights);
        layOut();
    }
    // Without keys `closeRows` cannot tell rows apart and builds every row afresh.
    void setKey(Key key) { key_ = std::move(key); }
    void setUpdate(Update update) { update_ = std::move(update); }
    // Replaces the rows with a list some of them left (see the class comment). Rows that left are
    // dropped once the close is over; under Reduce Motion everything takes its place at once.
    void closeRows(std::vector<int> heights, Factory factory);
    // The same with the rows' factory kept.
    void closeRows(std::vector<int> heights);

    int count() const { return static_cast<int>(heights_.size()); }
    // The row's frame in the column once any close is over.
    QRect rowRect(int index) const;
    // Where the row is drawn now (it differs from rowRect while a close runs).
    QRect shownRect(int index) const;
    // The widget of a row that is built now, else nothing.
    QWidget* rowWidget(int index) const;
    int builtCount() const { return static_cast<int>(built_.size()); }
    // Widgets of rows that left, kept (hidden: they have evaporated) until the close is over.
    int leavingCount() const { return static_cast<int>(leaving_.size()); }
    bool isClosing() const { return !steps_.empty() || !leaving_.empty(); }
    GapClose& closing() { return close_; }
    // Builds the rows that are in view now (also called on scrolling and resizing).
    void refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    struct Built {
        QPointer<QWidget> widget;
        std::string key;
    };
    // From `index` on (until the next step) rows start `offset` lower than their place.
    struct Step {
        int index;
        double offset;
    };
    // A built row that stays through a close: its new index and where it was drawn.
    struct Stay {
        int index;
        Built built;
        int y;
        int height;
    };

    void watchScroll();
    void layOut();
    void placeRows();  // each row's top from the heights
    // The steps of refresh: which rows may be near the view, letting go of those that left it,
    // and building the missing ones (false when some wait for the next turn).
    std::pair<int, int> rowsNear(const QRect& view) const;
    void dropOutOf(const QRect& view);
    bool buildIn(const QRect& view, int first, int last);
    // The steps of closeRows: taking the built rows out, sorted into those that stay and those that left,
    // holding the view still, and the offsets the kept rows (in list order) close from.
    void sortBuilt(std::vector<Stay>& stays, std::vector<QPointer<QWidget>>& gone);
    int holdView(const std::vector<Stay>& stays, const std::vector<QPointer<QWidget>>& gone, int viewTop);
    void planSteps(const std::vector<Stay>& stays, const std::vector<QPointer<QWidget>>& gone, int shift);
    void closeStep(double amount);
    void endClose();
    void dropAll();
    int totalHeight() const;
    int shownHeight() const;
    double offset(int index) const;  // the row's distance below its place now
    double largestOffset() const;
    QRect viewRect() const;  // the scroll's visible part, in this widget's coordinates

    std::vector<int> heights_;
    std::vector<int> tops_;
    int spacing_ = 0;
    Factory factory_;
    Key key_;
    Update update_;
    std::map<int, Built> built_;
    std::vector<QPointer<QWidget>> leaving_;
    std::vector<Step> steps_;
    GapClose close_;
    QPointer<QAbstractScrollArea> scroll_;
    bool refreshQueued_ = false;  // rows in view wait for the next turn's time
};

}  // namespace nimbrel
