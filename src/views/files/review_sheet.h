#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <unordered_set>

#include "model/app_state.h"
#include "theme/motion.h"
#include "views/files/review_list.h"
#include "views/files/review_model.h"
#include "views/files/review_row.h"

class QVBoxLayout;
class QLabel;

namespace nimbrel {

class CountLine;
class NimbrelButton;
class NimbrelCheck;
class NoteLabel;
class ShrinkingScroll;

// The gate in front of every removal: the whole selection by area, unticks for this removal only,
// what the safety guard keeps, a warning about data that cannot be rebuilt whose acknowledgement
// holds both removal buttons back, and the hand-over of the ticked ids to the state. The modal host
// builds a new sheet for every review, so unticks and the acknowledgement never carry over.
// The sheet shows at once with counts and sizes; what the guard and the catalogue say of the items
// is worked out on a worker, and both removal buttons wait for it.
class ReviewSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kContentWidth = 640;
    static constexpr int kPadding = 24;
    static constexpr int kListMax = 440;
    static constexpr int kRowHeight = 40;
    static constexpr int kJunkContentsLimit = 200;
    static constexpr int kHeaderHeight = 30;
    static constexpr int kSectionGap = 16;
    static constexpr int kRowGap = 2;
    // From this many items the model is packed on a worker: the sheet opens with the selection's
    // count and size, and its rows and buttons follow.
    static constexpr size_t kPackAsideFrom = 10000;
    // The contents list under an opened junk row: its insets, so its entries line up under the name.
    static constexpr int kContentsLeft = 56;
    static constexpr int kContentsRight = 8;
    static constexpr int kContentsBelow = 8;
    // How a contents list opens and closes.
    static MotionSpec expandMotion() { return Motion::snappy(0.2); }

    explicit ReviewSheet(AppState& state, QWidget* parent = nullptr);
    ~ReviewSheet() override;

    const ReviewModel& model() const { return *model_; }
    std::unordered_set<std::string> excluded() const { return model_->excluded(); }
    const std::unordered_set<std::string>& expanded() const { return expanded_; }
    // What the sheet lists of a ticked junk location ("junk:<id>"): the targets pinned when the
    // review opened, which are what the removal takes; for one ticked since, the cleanup model's
    // listing. Null while there is none.
    const std::vector<JunkEntry>* listed(const std::string& entryID) const;
    // The acknowledgement as the tick shows it: given, and covering every danger item on show.
    bool isAcknowledged() const;

    void setTicked(const std::string& id, bool ticked);
    void setEntryTicked(ReviewModel::Entry entry, bool ticked);
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
    // The count line as shown.
    QString countLine() const;
    QString keptNote() const;
    ShrinkingScroll* listScroll() const { return scroll_; }
    // Section headers and rows; rows outside the view are not built.
    ReviewList* list() const { return list_; }
    ReviewRow* builtRow(const std::string& id) const;
    static std::string headerKey(CleanItem::Source source);

    QSize sizeHint() const override;
    // The host sizes the card by its hint at the card's own width.
    bool hasHeightForWidth() const override { return false; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The sheet's parts, top to bottom, and what it follows.
    QLayout* buildHeader();
    QWidget* buildWell();
    QLayout* buildFooter();
    void followState();
    void queueChanged();
    // A new model of the queue as it is now, judged afresh; the unticks stay.
    void rebuild();
    void followed(const std::vector<ReviewModel::Entry>& gone);
    void judge();
    // What the removal buttons would hand over changed: the set of ids is made again on a worker.
    void handOverChanged();
    void showModel();
    void rebuildBanner();
    // The list's rows for `model`, in section order (a worker's work for a long selection).
    static std::vector<ReviewList::Row> rowsOf(const ReviewModel& model);
    // Puts the rows of the model just made in place, freeing `old`, then judges.
    void install(std::unique_ptr<ReviewModel> old, std::vector<ReviewList::Row> rows);
    // A long selection's model and its rows, made on a worker.
    struct Packed {
        std::unique_ptr<ReviewModel> model;
        std::vector<ReviewList::Row> rows;
    };
    void packAside(std::unordered_set<std::string> unticked);
    // What the sheet shows while a long selection is packed.
    void standIn(const std::unordered_set<std::string>& unticked);
    // The packing `asked` for, from the queue's `generation`, arrived.
    void unpack(uint64_t asked, uint64_t generation, Packed packed);
    void refreshBuilt();
    void contentsArrived();
    int itemHeight(const CleanItem& item) const;
    QWidget* buildRow(const ReviewList::Row& row);
    void refreshRow(ReviewModel::Entry entry);
    void updateFooter();
    void hand(bool permanently);
    std::unordered_set<std::string> acknowledgedIDs() const;

    AppState& state_;
    // The targets of each ticked junk location as the review pinned them when it opened; the sheet
    // keeps its own copy, so it shows them until it has gone.
    const ReviewModel::JunkTargets pinned_;
    std::unique_ptr<ReviewModel> model_;
    std::unordered_set<std::string> expanded_;
    bool acknowledged_ = false;
    // The danger items on show when the acknowledgement was given.
    std::unordered_set<std::string> acknowledgedIDs_;
    uint64_t bannerRevision_ = UINT64_MAX;          // the model's danger items the banner was built for
    std::unordered_set<std::string> bannerDanger_;  // and their ids

    QVBoxLayout* column_;
    CountLine* count_;
    QWidget* banner_ = nullptr;
    NimbrelCheck* ackCheck_ = nullptr;
    QWidget* bannerSlot_;
    ShrinkingScroll* scroll_;
    int judging_ = 0;  // the judgement asked for last; an older answer is dropped
    // The ticked ids, made on a worker for the state of `handOver_` they were asked for: a set of a
    // hundred thousand paths takes longer to make on the click than the main thread may be kept.
    uint64_t handOver_ = 0;
    uint64_t preparedFor_ = UINT64_MAX;
    std::shared_ptr<std::unordered_set<std::string>> prepared_;
    uint64_t builtFor_ = 0;  // the queue's generation the model follows
    uint64_t packing_ = 0;   // the packing asked for last; an older one is dropped
    bool pending_ = false;   // a long selection is being packed; the model is an empty stand-in
    std::unordered_set<std::string> pendingUnticked_;  // the unticks the packing carries
    int keptScroll_ = 0;                               // where the list was read when packing began
    const std::vector<CleanItem> noItems_;             // what the stand-in reads
    QWidget* listContent_;
    ReviewList* list_;
    NoteLabel* kept_;
    NimbrelButton* cancel_;
    NimbrelButton* forever_;
    NimbrelButton* trash_;
};

}  // namespace nimbrel
