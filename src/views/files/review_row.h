#pragma once

#include <QWidget>

#include "views/files/review_model.h"

class QHBoxLayout;
class QLayout;

namespace nimbrel {

class AppState;
class ElidedLabel;
class NimbrelButton;
class NimbrelCheck;
class ReviewSheet;

// One line of the review list: tick, icon, name with its badge, the grey detail, the contents
// toggle of a junk location and the size.
class ReviewRow : public QWidget {
    Q_OBJECT
  public:
    ReviewRow(AppState& state, ReviewSheet& sheet, ReviewModel::Entry entry, QWidget* parent = nullptr);

    // Shows the item as the sheet's model has it now (ticked, kept, open), keeping the widgets.
    void refresh();
    const CleanItem& item() const { return item_; }
    ReviewModel::Entry entry() const { return entry_; }
    void setEntry(ReviewModel::Entry entry) { entry_ = entry; }
    bool isTicked() const;
    bool isDimmed() const;
    QString detailText() const;
    NimbrelCheck* check() const { return check_; }
    NimbrelButton* disclosure() const { return disclosure_; }
    QWidget* badge() const { return badge_; }
    // The context menu's entries, in order.
    QStringList menuEntries() const;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // The row's parts, left to right.
    QWidget* buildCheck();
    QWidget* buildIcon();
    QLayout* buildText();
    QWidget* buildDisclosure();
    QWidget* buildSize();
    void placeBadge();

    AppState& state_;
    ReviewSheet& sheet_;
    ReviewModel::Entry entry_;
    CleanItem item_;
    NimbrelCheck* check_;
    NimbrelButton* disclosure_ = nullptr;
    QWidget* badge_ = nullptr;
    int badgeKind_ = -1;
    QString badgeRisk_;
    QHBoxLayout* nameLine_;
    ElidedLabel* name_;
    ElidedLabel* detail_;
    ElidedLabel* size_;
};

}  // namespace nimbrel
