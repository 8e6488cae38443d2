#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <unordered_set>

#include "model/app_state.h"
#include "views/files/review_model.h"

class QVBoxLayout;
class QLabel;

namespace nimbrel {

class ElidedLabel;
class LazyRows;
class NimbrelButton;
class NimbrelCheck;
class NoteLabel;
class ShrinkingScroll;

// The gate in front of every removal: the whole selection by area, unticks for this removal only,
// what the safety guard keeps, a warning about data that cannot be rebuilt whose acknowledgement
// holds both removal buttons back, and the hand-over of the ticked ids to the state. The modal host
// builds a new sheet for every review, so unticks and the acknowledgement never carry over.
class ReviewSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kContentWidth = 640;
    static constexpr int kPadding = 24;
    static constexpr int kListMax = 440;
    static constexpr int kRowHeight = 40;
    static constexpr int kJunkContentsLimit = 200;

    explicit ReviewSheet(AppState& state, QWidget* parent = nullptr);

    const ReviewModel& model() const { return *model_; }
    const std::unordered_set<std::string>& excluded() const { return excluded_; }
    const std::unordered_set<std::string>& expanded() const { return expanded_; }
    // The acknowledgement as the tick shows it: given, and covering every danger item on show.
    bool isAcknowledged() const;

    void setTicked(const std::string& id, bool ticked);
    void setSourceTicked(CleanItem::Source source, bool ticked);
    void setAcknowledged(bool acknowledged);
    void toggleExpanded(const std::string& id);

    bool removalEnabled() const;
    // The two removal buttons; each re-checks the rule at the moment of the click.
    void moveToTrash();
    void removeForever();
    void cancel();

    NimbrelButton* trashButton() const { return trash_; }
    NimbrelButton* foreverButton() const { return forever_; }
    NimbrelButton* cancelButton() const { return cancel_; }
    QWidget* dangerBanner() const { return banner_; }
    NimbrelCheck* acknowledgementCheck() const { return ackCheck_; }
    QString countLine() const;
    QString keptNote() const;
    // The rows of one source as built now (rows outside the view are not built).
    ShrinkingScroll* listScroll() const { return scroll_; }
    LazyRows* sectionRows(CleanItem::Source source) const;

    QSize sizeHint() const override;
    // The host sizes the card by its hint at the card's own width.
    bool hasHeightForWidth() const override { return false; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void queueChanged();
    void recompute();
    void rebuildBanner();
    void rebuildList();
    void judgeOnDisk();
    void updateFooter();
    void hand(bool permanently);
    std::unordered_set<std::string> acknowledgedIDs() const;

    AppState& state_;
    std::unique_ptr<ReviewModel> model_;
    std::unordered_set<std::string> excluded_;
    std::unordered_set<std::string> expanded_;
    bool acknowledged_ = false;
    // The danger items on show when the acknowledgement was given.
    std::unordered_set<std::string> acknowledgedIDs_;

    QVBoxLayout* column_;
    ElidedLabel* count_;
    QWidget* banner_ = nullptr;
    NimbrelCheck* ackCheck_ = nullptr;
    QWidget* bannerSlot_;
    ShrinkingScroll* scroll_;
    int restoreOffset_ = -1;
    std::unordered_set<std::string> protectedOnDisk_;  // ids the removal will refuse by where they lead
    int onDiskGeneration_ = 0;  // where the list stood before its sections were rebuilt
    QWidget* listContent_;
    QVBoxLayout* listColumn_;
    std::vector<std::pair<CleanItem::Source, LazyRows*>> sectionRows_;
    NoteLabel* kept_;
    NimbrelButton* cancel_;
    NimbrelButton* forever_;
    NimbrelButton* trash_;
};

// One line of the review list: tick, icon, name with its badge, the grey detail, the contents
// toggle of a junk location and the size.
class ReviewRow : public QWidget {
    Q_OBJECT
  public:
    ReviewRow(AppState& state, ReviewSheet& sheet, const CleanItem& item, QWidget* parent = nullptr);

    const CleanItem& item() const { return item_; }
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
    AppState& state_;
    ReviewSheet& sheet_;
    CleanItem item_;
    NimbrelCheck* check_;
    NimbrelButton* disclosure_ = nullptr;
    QWidget* badge_ = nullptr;
    ElidedLabel* detail_;
};

}  // namespace nimbrel
