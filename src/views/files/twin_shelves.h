#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/duplicates_model.h"
#include "views/files/shelf_parts.h"
#include "views/kit/shelf_lists.h"

class QVBoxLayout;

namespace nimbrel {

class AppState;
class AreaHeader;
class FadingScroll;
class PillPicker;
class SearchField;
class Shelf;

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
    // What the shelf shows while the search runs, before it ran, and when it found nothing.
    QWidget* buildRunning();
    QWidget* buildIntro();
    QWidget* buildNoTwins();
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
