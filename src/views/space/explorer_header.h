#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "engine/file_category.h"
#include "theme/animated_value.h"
#include "theme/look_animations.h"
#include "views/space/click.h"
#include "views/space/explorer_model.h"

class QHBoxLayout;
class QLabel;

namespace nimbrel {

class AppState;
class Chip;
class FadingScroll;
class FigureLabel;
class IconButton;
class PathActions;
class PillPicker;
class ScanResult;
class SearchField;
class SpaceViewModel;

// Where the user is in the scanned tree: the up button, the breadcrumbs, the summary with the path
// actions, and the current folder's size and file count.
class ExplorerHeader : public QWidget {
    Q_OBJECT
  public:
    explicit ExplorerHeader(SpaceViewModel& model, QWidget* parent = nullptr);
    IconButton* upButton() const { return up_; }
    QList<Chip*> crumbs() const { return crumbs_; }
    QString summaryText() const;
    // The summary as shown: selectable, cut in the middle to its width.
    QLabel* summaryLabel() const { return summary_; }
    QString sizeText() const;
    QString countText() const;
    void refresh();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    SpaceViewModel& vm_;
    IconButton* up_;
    FadingScroll* crumbScroll_;
    QWidget* crumbRow_;
    QList<Chip*> crumbs_;
    std::vector<const DirNode*> shownStack_;
    const DirNode* shownRoot_ = nullptr;
    std::string shownPath_;
    QLabel* summary_;
    PathActions* actions_;
    FigureLabel* size_;
    FigureLabel* count_;
    ClickCounter clicks_;
    int upCount_ = 0;
    bool upByMouse_ = false;  // the up button's next click comes from a mouse release
};

// The icons/list switch: two symbol segments and a thumb that slides to the chosen one.
class LayoutSwitch : public QWidget {
    Q_OBJECT
  public:
    explicit LayoutSwitch(ExplorerLayout layout, QWidget* parent = nullptr);
    void setLayoutValue(ExplorerLayout layout);
    QRectF segmentRect(int index) const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // The segments are buttons of their own: each with its help, its label and its press effect.
    QAbstractButton* segment(int index) const { return segments_[size_t(index)]; }

  signals:
    void layoutRequested(ExplorerLayout layout);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    ExplorerLayout layout_;
    AnimatedValue thumb_;
    std::array<QAbstractButton*, 2> segments_{};
    LookAnimations looks_;
};

// Search, filter chips, sort and layout of the shown folder.
class ExplorerToolbar : public QWidget {
    Q_OBJECT
  public:
    explicit ExplorerToolbar(SpaceViewModel& model, QWidget* parent = nullptr);
    SearchField* searchField() const { return search_; }
    QList<Chip*> chips() const { return chips_; }
    PillPicker* sortPicker() const { return sort_; }
    LayoutSwitch* layoutSwitch() const { return layout_; }
    void refresh();

  private:
    SpaceViewModel& vm_;
    SearchField* search_;
    QList<Chip*> chips_;
    PillPicker* sort_;
    LayoutSwitch* layout_;
};

// What the whole scan is made of: a bar split by file category and a legend of the largest ones.
// Pointing highlights a category; clicking opens the Biggest shelf filtered to it.
class CompositionStrip : public QWidget {
    Q_OBJECT
  public:
    explicit CompositionStrip(AppState& state, QWidget* parent = nullptr);
    struct Entry {
        FileCategory category;
        std::int64_t size;
    };
    std::vector<Entry> entries() const;
    // The segments for a bar of `width`, in entry order.
    std::vector<QRectF> segments(double width) const;
    // How many legend items fit the width (6, 4, 3 or 2, at most the entry count).
    int legendCount(double width) const;
    std::optional<FileCategory> hovered() const { return hovered_; }
    void hoverCategory(std::optional<FileCategory> category);
    void leaveCategory(FileCategory category);
    void choose(FileCategory category);
    static QColor color(FileCategory category);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  public:
    // The legend item pressed now (it shrinks a little while held), and the eased looks.
    std::optional<FileCategory> pressed() const { return pressed_; }
    LookAnimations& looks() { return looks_; }

  private:
    struct LegendItem {
        FileCategory category;
        QRectF rect;
    };
    std::vector<LegendItem> legend(double width) const;
    std::optional<FileCategory> categoryAt(QPointF at) const;
    double legendItemWidth(const Entry& e) const;
    AppState& state_;
    std::optional<FileCategory> hovered_;
    std::optional<FileCategory> pressed_;
    LookAnimations looks_;
};

}  // namespace nimbrel
