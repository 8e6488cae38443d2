#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
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
class ReviewList : public QWidget {
    Q_OBJECT
  public:
    struct Row {
        std::string key;
        int height = 0;
        int gapBefore = 0;  // space above the row
    };
    using Factory = std::function<QWidget*(const std::string& key)>;

    explicit ReviewList(Factory factory, QWidget* parent = nullptr);
    ~ReviewList() override;

    // Replaces the rows; a key that was there before keeps its widget and its running height motion.
    void setRows(std::vector<Row> rows);
    // Moves a row to a new height, at once or along `motion` (Reduce Motion makes it jump).
    void setRowHeight(const std::string& key, int height, const MotionSpec* motion = nullptr);

    int count() const { return static_cast<int>(rows_.size()); }
    bool contains(const std::string& key) const { return index_.count(key) > 0; }
    // The height the row is drawn at now, and the one it is moving to.
    int shownHeight(const std::string& key) const;
    int targetHeight(const std::string& key) const;
    bool isMoving() const { return !motions_.empty(); }
    // The running height motion of a row, so tests can sample it; nothing when the row stands still.
    QVariantAnimation* motion(const std::string& key) const;
    QRect rowRect(const std::string& key) const;
    // The widget of a row that is built now, else nothing.
    QWidget* widget(const std::string& key) const;
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
    void watchScroll();
    void layOut();
    void moved(const std::string& key, double height);
    int totalHeight() const;

    Factory factory_;
    std::vector<Row> rows_;  // heights as shown now
    std::unordered_map<std::string, size_t> index_;
    std::unordered_map<std::string, int> targets_;  // only rows in motion
    std::unordered_map<std::string, std::unique_ptr<AnimatedValue>> motions_;
    std::vector<int> tops_;
    std::unordered_map<std::string, QPointer<QWidget>> built_;
    QPointer<QAbstractScrollArea> scroll_;
};

}  // namespace nimbrel
