#pragma once

#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUuid>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/clock.h"
#include "theme/steamer.h"
#include "views/space/click.h"
#include "views/space/explorer_listing.h"
#include "views/space/explorer_model.h"

namespace nimbrel {

class AppState;

// The Space area's view-local state and its rules, without widgets: the mode, the folder stack,
// search, filter, sort and layout, paging, the memoised tile list, hover and the Space key, the
// small-file listings and the steam-clean sequence. Lives on the main thread, as long as its view.
class SpaceViewModel : public QObject {
    Q_OBJECT
  public:
    enum class Mode { welcome, discovering, explorer };
    static constexpr std::chrono::milliseconds kNavigationHold{350};
    static constexpr const char* kLayoutKey = "spaceLayout";

    explicit SpaceViewModel(AppState& state, QObject* parent = nullptr);
    SpaceViewModel(AppState& state, Clock& clock, QObject* parent = nullptr);

    AppState& state() const { return state_; }
    Mode mode() const;
    std::shared_ptr<DirNode> root() const;
    // The folder on top of the stack, else the scan root; none without a result.
    std::shared_ptr<DirNode> currentNode() const;
    // Identity of the scrolled content: a new key starts it afresh at the top and resets paging.
    QString folderKey() const;
    // The tiles of the current mode, by position. The explorer's list is memoised and its tiles are
    // made only when asked for; a tile reference stays valid until the list is rebuilt.
    int tileCount();
    // The entries the explorer's folder lists under no search or filter.
    std::size_t listedCount();
    const ExplorerTile& tile(int index);
    std::string tileId(int index);                      // without making the tile
    std::optional<int> indexOf(const std::string& id);  // among the visible tiles
    std::int64_t heaviest();                            // the largest entry size of the list, at least 1
    int buildCount() const { return builds_; }          // explorer lists built so far

    // Navigation. Mouse navigations within 0.35 s of the last one, and repeated clicks, are ignored.
    const std::vector<std::shared_ptr<DirNode>>& stack() const { return stack_; }
    void openFolder(const std::shared_ptr<DirNode>& node, const ClickInfo& click);
    void goUp(const ClickInfo& click);
    void chooseRoot();               // the root breadcrumb
    void chooseCrumb(size_t index);  // keeps the first index + 1 folders
    void focus(std::optional<std::string> path);

    // Toolbar.
    const QString& search() const { return search_; }
    void setSearch(const QString& search);
    ExplorerFilter filter() const { return filter_; }
    void setFilter(ExplorerFilter filter);
    void chooseFilter(ExplorerFilter filter);  // tapping the active chip returns to all
    ExplorerSort sort() const { return sort_; }
    void setSort(ExplorerSort sort);
    ExplorerLayout layout() const { return layout_; }
    void setLayout(ExplorerLayout layout);  // written through to the preferences

    // Paging.
    int shown() const { return shown_; }
    int visibleCount();
    void loadMore();

    // Selects or deselects an entry as its tile does (EntryRules::toggle). Selecting an entry whose
    // verdict waits on its probe waits for the answer and then warns as the answer calls for; the
    // window goes on meanwhile, and toggling it again before then leaves it unselected.
    void toggle(const ExplorerEntry& entry, const ClickInfo& click);
    bool awaitsSelection(const std::string& id) const;

    // Hover and the Space key.
    const std::optional<std::string>& hovered() const { return hovered_; }
    void hoverEntered(const std::string& id);
    void hoverLeft(const std::string& id);
    // Toggles the hovered entry as its select circle does; false when the key is not handled.
    bool spaceKey();

    // Small files.
    const std::unordered_map<std::string, std::vector<ExplorerEntry>>& smallFiles() const {
        return smallFiles_;
    }
    bool isLoadingSmall(const std::string& path) const { return loadingSmall_.count(path) > 0; }
    void loadSmallFiles(const std::shared_ptr<DirNode>& folder);
    bool showsSmallFilesRow();
    bool showsEmptyState();

    // Steam clean. The view says where each visible tile is, in the explorer's coordinates.
    using FrameOf = std::function<std::optional<QRectF>(int index)>;
    void setFrameProvider(FrameOf frameOf) { frameOf_ = std::move(frameOf); }
    void setViewport(QSizeF viewport);
    QSizeF viewport() const { return viewport_; }
    const SteamerState& steamer() const { return steamer_; }
    bool isCleaning() const { return cleaning_; }
    const std::unordered_set<std::string>& steamed() const { return steamed_; }
    bool isNimbrelising(const std::string& id) const;
    bool isVanishing(const std::string& id) const;
    void steamClean();
    static QPointF restPoint(QSizeF viewport);
    static QPointF targetPoint(const QRectF& frame, ExplorerLayout layout);
    struct SteamTarget {
        std::string id;
        QRectF frame;
    };
    std::vector<SteamTarget> steamTargets();

  signals:
    void changed();        // anything shown changed
    void folderChanged();  // the folder key changed: scroll back to the top
    void steamerChanged();

  private:
    void connectState();
    void setStack(std::vector<std::shared_ptr<DirNode>> stack);
    bool navigationAllowed(const ClickInfo& click);
    void onRevision();
    void settle();
    void steamStep(size_t index, std::vector<SteamTarget> targets, QSizeF viewport);
    const std::vector<ExplorerTile>& modeTiles();
    // The explorer's list brought up to date; none outside the explorer or without a folder.
    ExplorerListing* listing();
    // Git probes for the verdicts shown (see ExplorerListing): on a worker, one job per folder at a
    // time, so a folder on a share that stopped answering holds one worker however often it is
    // painted. Each answer that comes back settles its rows.
    void probeSoon();
    void probe();
    void learnt();
    void settleSelections();

    AppState& state_;
    Clock& clock_;
    std::vector<std::shared_ptr<DirNode>> stack_;
    QString search_;
    ExplorerFilter filter_ = ExplorerFilter::all;
    ExplorerSort sort_ = ExplorerSort::size;
    ExplorerLayout layout_ = ExplorerLayout::icons;
    std::optional<std::chrono::steady_clock::time_point> lastNavigation_;
    int shown_ = ExplorerModel::kPageSize;
    std::optional<std::string> hovered_;
    std::unordered_map<std::string, std::vector<ExplorerEntry>> smallFiles_;
    std::unordered_set<std::string> loadingSmall_;

    struct ListingKey {
        const DirNode* node;  // identity only; the listing holds the folder
        std::int64_t revision;
        std::size_t small;
        bool operator==(const ListingKey&) const = default;
    };
    std::optional<ListingKey> listingKey_;
    std::unique_ptr<ExplorerListing> listing_;
    std::optional<TileKey> memoKey_;
    std::vector<ExplorerTile> modeTiles_;  // welcome and discovering lists
    std::optional<Mode> modeTilesFor_;
    int builds_ = 0;
    bool probeQueued_ = false;
    std::unordered_set<std::string> probing_;    // folders with a probe job out ("" for the scan's)
    std::vector<std::string> discoveredProbes_;  // the scan's entries to probe
    std::unordered_set<std::string> discoveredAsked_;
    std::vector<ExplorerEntry> awaitingSelection_;  // toggled on while their verdicts were out
    std::vector<std::string> selectionProbes_;
    QUuid checkingToast_;

    const DirNode* lastRoot_ = nullptr;
    QString lastFolderKey_;

    FrameOf frameOf_;
    QSizeF viewport_;
    SteamerState steamer_;
    bool cleaning_ = false;
    std::unordered_set<std::string> steamed_;
};

}  // namespace nimbrel
