#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "model/duplicates_model.h"
#include "model/files_model.h"
#include "views/kit/shelf_lists.h"

class QVBoxLayout;

namespace nimbrel {

class AreaHeader;
class Chip;
class EmptyState;
class FadingScroll;
class FileControls;
class NimbrelButton;
class PillPicker;
class SearchField;
class Shelf;

using PreviewAction = std::function<void(const std::string& path)>;

// The Files area: the shelf of the selected section (Biggest, Forgotten or Twins), built afresh on
// every change of section, and the one preview the shelves open.
class FilesView : public QWidget {
    Q_OBJECT
  public:
    explicit FilesView(AppState& state, QWidget* parent = nullptr);
    QWidget* shelf() const { return shelf_; }
    const std::optional<std::string>& previewPath() const { return preview_; }
    void setPreviewPath(std::optional<std::string> path);

  private:
    void showSection();

    AppState& state_;
    QVBoxLayout* column_;
    QWidget* shelf_ = nullptr;
    std::optional<SidebarItem> shown_;
    std::optional<std::string> preview_;
    QWidget* previewCard_ = nullptr;
};

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

// Every file of the scan, heaviest first by default, with category chips, a package switch, a path
// filter, an order and paging by 48.
class BiggestShelves : public QWidget {
    Q_OBJECT
  public:
    BiggestShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    int matchCount() const;
    const FileItem& match(int i) const;
    int shown() const { return paging_.shown; }
    void setSearch(const QString& search);
    void setSort(FileSort sort);
    void setHidePackages(bool hide);
    void showMore();
    // The card, while the list is not empty.
    Shelf* shelfCard() const;
    // The button, while it is offered.
    NimbrelButton* moreButton() const;
    FileControls* controls() const { return controls_; }
    FileListBody* body() const { return body_; }
    QString subtitle() const;

  private:
    void refresh(bool listChanged, bool pruned = false);

    AppState& state_;
    FilesModel& model_;
    FilesModel::BiggestQuery query_;
    Paging paging_;
    FileControls* controls_;
    AreaHeader* header_;
    std::vector<Chip*> chips_;
    FileListBody* body_;
};

// The big files nobody opened or changed for the chosen months.
class ForgottenShelves : public QWidget {
    Q_OBJECT
  public:
    ForgottenShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);

    int matchCount() const;
    const FileItem& match(int i) const;
    int shown() const { return paging_.shown; }
    int months() const { return months_; }
    void setMonths(int months);
    void setSearch(const QString& search);
    void setSort(FileSort sort);
    void showMore();
    Shelf* shelfCard() const;
    NimbrelButton* moreButton() const;
    FileControls* controls() const { return controls_; }
    FileListBody* body() const { return body_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void refresh(bool listChanged, bool pruned = false);
    // Reads "now" off the state's clock; true when it moved on, and with it the cutoff.
    bool followClock();
    void scheduleTick();

    AppState& state_;
    FilesModel& model_;
    FilesModel::ForgottenQuery query_;
    int months_ = 12;
    QDateTime now_;
    Paging paging_;
    FileControls* controls_;
    AreaHeader* header_;
    PillPicker* picker_;
    FileListBody* body_;
};

// The twin search: start, progress, stop, and the sets of identical files with their extra copies.
class TwinShelves : public QWidget {
    Q_OBJECT
  public:
    enum class Content { running, intro, noTwins, results };

    TwinShelves(AppState& state, PreviewAction preview, QWidget* parent = nullptr);
    ~TwinShelves() override;

    Content content() const;
    // The sets the filter and order list, before the cap on shown sets.
    std::vector<const DuplicateGroup*> shownGroups() const;
    QString subtitle() const;
    void setSearch(const QString& search);
    void setSort(Twins::Sort sort);
    void setMinSize(SizeThreshold size);
    SizeThreshold minSize() const { return minSize_; }
    void startSearch();
    // "Select every extra copy" and "Select extras" of the set with this id: the selection
    // changes when the worker that looks at the kept copies on disk is back.
    void selectEveryExtra();
    void selectExtras(const std::string& groupID);
    int shownSets() const { return shownSets_; }
    SearchField* searchField() const { return field_; }
    FadingScroll* listScroll() const { return listScroll_; }

  private:
    void rebuild();
    void rebuildHeader();
    void buildResults();
    // Lists the shown sets' cards, building the new ones a few per turn; the steps below in order.
    void showResults();
    void ensureSetsContent();
    // Keeps the cards that still list the same copies and builds new ones while the turn has time;
    // `order` gets the cards to list, top first. True when some sets still wait for a card.
    bool updateCards(std::vector<QWidget*>& order);
    // `order` with the cards still folding away from a removal kept in their places.
    std::vector<QWidget*> withFoldingCards(QVBoxLayout* list, const std::vector<QWidget*>& order);
    // Puts the list's widgets in `placed` order, appending where that is enough.
    void relist(QVBoxLayout* list, const std::vector<QWidget*>& placed);
    // After a removal: sets that stay keep their cards and close over the copies that left; sets
    // that left fold away.
    bool pruneResults();
    // A shown set's card, with the copies it lists now.
    struct SetCard {
        QPointer<Shelf> shelf;
        std::shared_ptr<std::vector<FileItem>> files;
        std::shared_ptr<int64_t> keptID;
    };
    // The card of a set; its rows read the clock when they are built, so a card kept across
    // changes still dates its copies from now.
    SetCard makeCard(const DuplicateGroup& g);

    AppState& state_;
    PreviewAction preview_;
    SizeThreshold minSize_ = SizeThreshold::mb10;
    QString search_;
    Twins::Sort sort_ = Twins::Sort::extra;
    AreaHeader* header_;
    QWidget* trailing_;
    QWidget* body_;
    QWidget* other_;
    QWidget* results_ = nullptr;
    SearchField* field_ = nullptr;
    PillPicker* sortPicker_ = nullptr;
    PillPicker* minPicker_ = nullptr;
    std::optional<Content> headerFor_;
    FadingScroll* listScroll_ = nullptr;
    std::optional<Content> builtFor_;
    int shownSets_ = 0;
    // New cards built per turn of the event loop at most, and the turn that builds the next ones.
    static constexpr int kCardsPerTurn = 16;
    int buildTurn_ = 0;
    // The cards of the shown sets by set id, with the copies each lists now.
    std::map<std::string, SetCard> cards_;
    // Cards of sets a removal took, folding away.
    std::vector<QPointer<Shelf>> folding_;
    QPointer<QWidget> setsContent_;
};

}  // namespace nimbrel
