#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "theme/motion.h"

class QAbstractScrollArea;
class QVariantAnimation;

namespace nimbrel {

class AnimatedValue;

// The review's list: a column of keyed rows whose heights are known in advance, built only while in
// or near the enclosing scroll view's visible part. A change of the rows keeps the widget of every
// key that stays, so a tick, a removal or an opened contents list leaves the scroll position, the
// focus and the other rows as they were. A height can change along a motion: the row grows or
// shrinks and the rows below slide with it.
// A list of a hundred thousand rows is set and thinned without a copy or a lookup per row: the keys
// are views of the caller's strings, and only the rows built or moving are looked up by key.
class ReviewList : public QWidget {
    Q_OBJECT
  public:
    struct Row {
        std::string_view key;  // the caller keeps the string while the row is listed
        int height = 0;
        int gapBefore = 0;  // space above the row
        uint32_t tag = 0;   // the caller's own mark, handed to the factory
    };
    using Factory = std::function<QWidget*(const Row& row)>;

    explicit ReviewList(Factory factory, QWidget* parent = nullptr);
    ~ReviewList() override;

    // Replaces the rows; a key that was there before keeps its widget and its running height motion.
    void setRows(std::vector<Row> rows);
    // Takes out the rows `gone` says so of, in one pass; the others keep their widgets.
    void removeRows(const std::function<bool(const Row&)>& gone);
    // Moves a row to a new height, at once or along `motion` (Reduce Motion makes it jump).
    void setRowHeight(const std::string& key, int height, const MotionSpec* motion = nullptr);

    int count() const { return static_cast<int>(rows_.size()); }
    bool contains(std::string_view key) const { return positionOf(key) != kNowhere; }
    uint32_t tagOf(std::string_view key) const;
    // The height the row is drawn at now, and the one it is moving to.
    int shownHeight(std::string_view key) const;
    int targetHeight(std::string_view key) const;
    bool isMoving() const { return !motions_.empty(); }
    // The running height motion of a row, so tests can sample it; nothing when the row stands still.
    QVariantAnimation* motion(std::string_view key) const;
    QRect rowRect(std::string_view key) const;
    // The widget of a row that is built now, else nothing.
    QWidget* widget(std::string_view key) const;
    int builtCount() const;
    void forEachBuilt(const std::function<void(const std::string& key, QWidget* widget)>& visit) const;
    // Builds the rows in view now (also done on scrolling and resizing).
    void refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // A row's height motion came to its end.
    void heightSettled(const std::string& key);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    static constexpr size_t kNowhere = SIZE_MAX;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    template <typename T>
    using ByKey = std::unordered_map<std::string, T, Hash, std::equal_to<>>;
    struct Built {
        QPointer<QWidget> widget;
        size_t at = 0;
    };
    // A built row's position, else a walk over the rows.
    size_t positionOf(std::string_view key) const;
    void dropMotion(const std::string& key);
    void watchScroll();
    // The rows [first, last) that meet `view`; those outside it go, those inside are built.
    std::pair<size_t, size_t> rowsIn(const QRect& view) const;
    void dropOutside(size_t first, size_t last);
    void buildInside(size_t first, size_t last);
    void layOut();
    void moved(const std::string& key, double height);
    int totalHeight() const;

    Factory factory_;
    std::vector<Row> rows_;  // heights as shown now
    ByKey<int> targets_;     // only rows in motion
    ByKey<std::unique_ptr<AnimatedValue>> motions_;
    std::vector<int> tops_;
    ByKey<Built> built_;
    QPointer<QAbstractScrollArea> scroll_;
};

}  // namespace nimbrel
