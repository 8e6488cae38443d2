#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "theme/animated_value.h"
#include "views/kit/shelf_lists.h"

class QMenu;

namespace nimbrel {

class ElidedLabel;
class LazyRows;
class NimbrelButton;
class SearchField;

// The titled glass card every list of item rows stands in: an upper-case title, an optional detail,
// an optional trailing control, then the rows, built only while they are in view.
class Shelf : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kInset = 4;
    static constexpr int kRowSpacing = 2;

    Shelf(const QString& title, std::optional<QString> detail, QWidget* trailing = nullptr,
          QWidget* parent = nullptr);

    // Rows of equal height; `factory` makes the row at an index when it comes into view.
    void setRows(int count, int rowHeight, std::function<QWidget*(int)> factory);
    // More rows at the end, built by the same factory; the rows already there stay.
    void appendRows(int count, int rowHeight);
    // The list after a removal: rows that stay keep their widgets and close the gaps (LazyRows).
    void closeRows(int count, int rowHeight, std::function<QWidget*(int)> factory);
    void setTitle(const QString& title);
    void setDetail(const QString& detail);
    LazyRows* rows() const { return rows_; }
    QString title() const { return title_; }
    std::optional<QString> detail() const { return detail_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString title_;
    std::optional<QString> detail_;
    ElidedLabel* titleLabel_;
    ElidedLabel* detailLabel_ = nullptr;
    QWidget* card_;
    LazyRows* rows_;
};

// The filter field and the order menu at the right of the Biggest and Forgotten headers.
class FileControls : public QWidget {
    Q_OBJECT
  public:
    FileControls(const QString& search, FileSort sort, const QString& prompt, QWidget* parent = nullptr);
    SearchField* searchField() const { return field_; }
    NimbrelButton* sortButton() const { return sortButton_; }
    void chooseSort(FileSort sort);

  signals:
    void searchChanged(const QString& text);
    void sortChanged(FileSort sort);

  private:
    SearchField* field_;
    NimbrelButton* sortButton_;
    FileSort sort_;
};

// A capsule bar filled with the brand gradient to a fraction; at least 8 wide.
class MoltenProgress : public QWidget {
    Q_OBJECT
  public:
    explicit MoltenProgress(QWidget* parent = nullptr);
    void setFraction(std::optional<double> fraction);
    // The fill's width for a bar width and a fraction (none counts as 0).
    static double fillWidth(double width, std::optional<double> fraction);
    // The fill's width as drawn now: it eases to the reported fraction.
    double shownFillWidth() const { return fillWidth(width(), shown_.value()); }
    QSize sizeHint() const override { return {360, 8}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    AnimatedValue shown_{0};  // the fraction as drawn, easing to the reported one
};

}  // namespace nimbrel
