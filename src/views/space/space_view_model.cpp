#include "views/space/space_view_model.h"

#include <algorithm>

#include "engine/path_rules.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/prefs.h"
#include "theme/motion.h"
#include "views/space/entry_rules.h"
#include "views/space/small_file_listing.h"

namespace nimbrel {

SpaceViewModel::SpaceViewModel(AppState& state, QObject* parent)
    : SpaceViewModel(state, Clock::system(), parent) {}

SpaceViewModel::SpaceViewModel(AppState& state, Clock& clock, QObject* parent)
    : QObject(parent), state_(state), clock_(clock) {
    layout_ = layoutFromRaw(Prefs::value(QString::fromLatin1(kLayoutKey)).toString())
                  .value_or(ExplorerLayout::icons);
    lastRoot_ = root().get();
    lastFolderKey_ = folderKey();
    connectState();
    // A view created by another area's focus request still follows it.
    if (state_.result()) focus(state_.folderFocus());
}

void SpaceViewModel::connectState() {
    connect(&state_, &AppState::resultChanged, this, [this] {
        if (root().get() != lastRoot_) {
            lastRoot_ = root().get();
            setStack({});  // a new result always opens at its root
        }
        settle();
    });
    connect(&state_, &AppState::revisionChanged, this, [this] { onRevision(); });
    connect(&state_, &AppState::isScanningChanged, this, [this] {
        modeTilesFor_.reset();
        discoveredAsked_.clear();  // a scan starts with no git verdicts
        if (state_.isScanning()) awaitingSelection_.clear();
        settle();
    });
    connect(&state_, &AppState::progressChanged, this, [this] {
        modeTilesFor_.reset();
        if (mode() == Mode::discovering) emit changed();
    });
    connect(&state_, &AppState::folderFocusChanged, this, [this] {
        if (state_.result()) focus(state_.folderFocus());
    });
    connect(&state_.queue(), &CleanQueue::itemsChanged, this, [this] {
        emit changed();
        emit steamerChanged();  // the water level follows the queued bytes
    });
    connect(&state_, &AppState::isDeletingChanged, this, [this] {
        if (state_.isDeleting()) {
            steamClean();
        } else {
            steamed_.clear();
            emit changed();
        }
    });
    auto vanish = [this] {
        if (ReduceMotion::isOn()) emit changed();
        // The state may name what goes after it raised `isDeleting`: the steamer sets off once
        // it knows its targets.
        if (state_.isDeleting()) steamClean();
    };
    connect(&state_, &AppState::vanishingPathsChanged, this, vanish);
    connect(&state_, &AppState::nimbrelisingIDsChanged, this, vanish);
}

// --- mode and lists ------------------------------------------------------------------------------

SpaceViewModel::Mode SpaceViewModel::mode() const {
    if (state_.isScanning()) return Mode::discovering;
    if (!state_.result()) return Mode::welcome;
    return Mode::explorer;
}

std::shared_ptr<DirNode> SpaceViewModel::root() const {
    return state_.result() ? state_.result()->root() : nullptr;
}

std::shared_ptr<DirNode> SpaceViewModel::currentNode() const {
    if (!state_.result()) return nullptr;
    return stack_.empty() ? state_.result()->root() : stack_.back();
}

QString SpaceViewModel::folderKey() const {
    switch (mode()) {
        case Mode::welcome:
            return QStringLiteral("welcome");
        case Mode::discovering:
            return QStringLiteral("discovering");
        case Mode::explorer:
            break;
    }
    const auto node = currentNode();
    if (!node) return QStringLiteral("none");
    return QString::number(reinterpret_cast<quintptr>(node.get()));
}

const std::vector<ExplorerTile>& SpaceViewModel::modeTiles() {
    // The welcome and discovering lists are built once per mode change or progress report, not on
    // every read.
    const Mode now = mode();
    if (modeTilesFor_ != now) {
        modeTiles_ = now == Mode::welcome ? ExplorerModel::welcomeTiles()
                     : now == Mode::discovering
                         ? ExplorerModel::discoveringTiles(state_.progress().discovered,
                                                           state_.progress().bytesScanned)
                         : std::vector<ExplorerTile>();
        modeTilesFor_ = now;
        for (const ExplorerTile& t : modeTiles_)
            if (t.entry && t.entry->awaitsProbe && discoveredAsked_.insert(t.entry->id).second)
                discoveredProbes_.push_back(t.entry->id);
        if (!discoveredProbes_.empty()) probeSoon();
    }
    return modeTiles_;
}

ExplorerListing* SpaceViewModel::listing() {
    const auto node = mode() == Mode::explorer ? currentNode() : nullptr;
    if (!node) {
        listing_.reset();
        listingKey_.reset();
        memoKey_.reset();
        return nullptr;
    }
    static const std::vector<ExplorerEntry> kNone;
    const auto small = smallFiles_.find(node->path());
    const std::vector<ExplorerEntry>& smallEntries = small == smallFiles_.end() ? kNone : small->second;
    const ListingKey listingKey{node.get(), state_.revision(), smallEntries.size()};
    if (!listing_ || listingKey_ != listingKey) {
        listing_ = std::make_unique<ExplorerListing>(node, smallEntries);
        listingKey_ = listingKey;
        memoKey_.reset();
    }
    TileKey key{node.get(),
                state_.revision(),
                search_,
                filter_,
                sort_,
                filter_ == ExplorerFilter::selected ? ExplorerModel::selectionHash(state_.queue()) : 0,
                smallEntries.size()};
    if (!memoKey_ || *memoKey_ != key) {
        listing_->show(search_, filter_, sort_, state_.queue());
        memoKey_ = key;
        ++builds_;
    }
    if (listing_->hasProbes()) probeSoon();
    return listing_.get();
}

void SpaceViewModel::probeSoon() {
    // Once the turn's paint has made its tiles, so that the shown ones go first.
    if (std::exchange(probeQueued_, true)) return;
    QMetaObject::invokeMethod(this, &SpaceViewModel::probe, Qt::QueuedConnection);
}

void SpaceViewModel::probe() {
    probeQueued_ = false;
    const bool exploring = mode() == Mode::explorer && listing_;
    const std::string folder = exploring ? listing_->node()->path() : std::string();
    if (probing_.count(folder)) return;  // its job takes the rest when it is back
    // What the user waits on goes first.
    std::vector<std::string> paths = std::exchange(selectionProbes_, {});
    for (std::string& path : exploring ? listing_->takeProbes() : std::exchange(discoveredProbes_, {}))
        paths.push_back(std::move(path));
    if (paths.empty()) return;
    probing_.insert(folder);
    auto report = Background::latestOnly<std::size_t>(this, [this](std::size_t) { learnt(); });
    Background::run(
        state_.userPool(), this,
        [paths = std::move(paths), report] {
            for (std::size_t i = 0; i < paths.size(); ++i) {
                // A folder's verdict makes its git probe, whose answer is kept for the scan.
                RiskCatalog::assess(paths[i], true, false, std::nullopt);
                report(i);
            }
            return paths.size();
        },
        [this, folder](std::size_t) {
            probing_.erase(folder);
            learnt();
            probe();
        });
}

void SpaceViewModel::learnt() {
    settleSelections();
    bool shownChanged = mode() == Mode::discovering;
    if (shownChanged) modeTilesFor_.reset();
    if (mode() == Mode::explorer && listing_ && listing_->learnt()) {
        if (filter_ == ExplorerFilter::stained || filter_ == ExplorerFilter::bloated) memoKey_.reset();
        shownChanged = true;
    }
    if (shownChanged) emit changed();
}

int SpaceViewModel::tileCount() {
    if (mode() != Mode::explorer) return static_cast<int>(modeTiles().size());
    const ExplorerListing* list = listing();
    return list ? static_cast<int>(list->shown().size()) : 0;
}

std::size_t SpaceViewModel::listedCount() {
    const ExplorerListing* list = mode() == Mode::explorer ? listing() : nullptr;
    return list ? list->count() : 0;
}

const ExplorerTile& SpaceViewModel::tile(int index) {
    if (mode() != Mode::explorer) return modeTiles().at(static_cast<size_t>(index));
    const ExplorerListing* list = listing();
    const ExplorerTile& made = list->tile(list->shown().at(static_cast<size_t>(index)));
    if (list->hasProbes()) probeSoon();
    return made;
}

std::string SpaceViewModel::tileId(int index) {
    if (mode() != Mode::explorer) return modeTiles().at(static_cast<size_t>(index)).id();
    const ExplorerListing* list = listing();
    return list->id(list->shown().at(static_cast<size_t>(index)));
}

std::optional<int> SpaceViewModel::indexOf(const std::string& id) {
    const int visible = visibleCount();
    for (int i = 0; i < visible; ++i)
        if (tileId(i) == id) return i;
    return std::nullopt;
}

std::int64_t SpaceViewModel::heaviest() {
    if (mode() != Mode::explorer) return ExplorerModel::heaviest(modeTiles());
    const ExplorerListing* list = listing();
    return list ? list->heaviestShown() : 1;
}

// --- navigation ----------------------------------------------------------------------------------

void SpaceViewModel::setStack(std::vector<std::shared_ptr<DirNode>> stack) {
    const bool depthChanged = stack.size() != stack_.size();
    stack_ = std::move(stack);
    if (depthChanged) setSearch({});
    settle();
}

bool SpaceViewModel::navigationAllowed(const ClickInfo& click) {
    const auto now = clock_.now();
    if (Click::isRepeat(click)) return false;
    if (click.leftButtonPressOrRelease && lastNavigation_ && now - *lastNavigation_ < kNavigationHold)
        return false;
    lastNavigation_ = now;
    return true;
}

void SpaceViewModel::openFolder(const std::shared_ptr<DirNode>& node, const ClickInfo& click) {
    if (!node || !navigationAllowed(click)) return;
    auto stack = stack_;
    stack.push_back(node);
    setStack(std::move(stack));
}

void SpaceViewModel::goUp(const ClickInfo& click) {
    if (!navigationAllowed(click) || stack_.empty()) return;
    auto stack = stack_;
    stack.pop_back();
    setStack(std::move(stack));
}

void SpaceViewModel::chooseRoot() {
    setStack({});
}

void SpaceViewModel::chooseCrumb(size_t index) {
    if (index >= stack_.size()) return;
    setStack({stack_.begin(), stack_.begin() + static_cast<std::ptrdiff_t>(index) + 1});
}

void SpaceViewModel::focus(std::optional<std::string> path) {  // a copy: clearing the request frees it
    if (!path) return;
    const auto result = state_.result();
    state_.setFolderFocus(std::nullopt);
    if (!result) return;
    const auto node = result->node(*path);
    if (!node) return;
    // The chain from just below the root down to the node, kept alive by its parents' child lists.
    std::vector<std::shared_ptr<DirNode>> chain;
    for (const DirNode* n = node.get(); n && n != result->root().get(); n = n->parent()) {
        if (n == node.get()) {
            chain.push_back(node);
            continue;
        }
        const DirNode* up = n->parent();
        if (!up) break;
        auto it = std::find_if(up->children().begin(), up->children().end(),
                               [n](const std::shared_ptr<DirNode>& c) { return c.get() == n; });
        if (it == up->children().end()) break;
        chain.push_back(*it);
    }
    std::reverse(chain.begin(), chain.end());
    setStack(std::move(chain));
}

void SpaceViewModel::onRevision() {
    smallFiles_.clear();
    // The listing indexes the tree a removal just changed: a probe's answer must not read it.
    listing_.reset();
    listingKey_.reset();
    memoKey_.reset();
    // What a removal took, or a new result no longer holds, is not selected when its answer comes.
    const auto result = state_.result();
    std::erase_if(awaitingSelection_, [&](const ExplorerEntry& e) {
        if (!result) return true;
        if (e.isDirectory) return result->node(e.id) == nullptr;
        const auto parent = result->node(std::string(PathRules::parent(e.id)));
        return !parent || std::none_of(parent->files().begin(), parent->files().end(),
                                       [&](const FileItem& f) { return f.path == e.id; });
    });
    // A removal may have taken open folders out of the tree: keep only the part of the stack that
    // is still attached, so nothing removed can be listed or selected again.
    std::vector<std::shared_ptr<DirNode>> attached;
    const DirNode* parent = root().get();
    for (const auto& node : stack_) {
        if (!parent) break;
        const auto& kids = parent->children();
        if (std::find(kids.begin(), kids.end(), node) == kids.end()) break;
        attached.push_back(node);
        parent = node.get();
    }
    if (attached.size() != stack_.size())
        setStack(std::move(attached));
    else
        settle();
}

void SpaceViewModel::settle() {
    const QString key = folderKey();
    if (key != lastFolderKey_) {
        lastFolderKey_ = key;
        shown_ = ExplorerModel::kPageSize;
        emit folderChanged();
    }
    emit changed();
}

// --- toolbar -------------------------------------------------------------------------------------

void SpaceViewModel::setSearch(const QString& search) {
    if (search == search_) return;
    search_ = search;
    shown_ = ExplorerModel::kPageSize;
    emit changed();
}

void SpaceViewModel::setFilter(ExplorerFilter filter) {
    if (filter == filter_) return;
    filter_ = filter;
    shown_ = ExplorerModel::kPageSize;
    emit changed();
}

void SpaceViewModel::chooseFilter(ExplorerFilter filter) {
    setFilter(filter == filter_ ? ExplorerFilter::all : filter);
}

void SpaceViewModel::setSort(ExplorerSort sort) {
    if (sort == sort_) return;
    sort_ = sort;
    shown_ = ExplorerModel::kPageSize;
    emit changed();
}

void SpaceViewModel::setLayout(ExplorerLayout layout) {
    Prefs::setValue(QString::fromLatin1(kLayoutKey), QString::fromLatin1(rawValue(layout)));
    if (layout == layout_) return;
    layout_ = layout;
    emit changed();
}

// --- paging, hover, keys -------------------------------------------------------------------------

int SpaceViewModel::visibleCount() {
    return std::min(shown_, tileCount());
}

void SpaceViewModel::loadMore() {
    const int next = ExplorerModel::loadMore(shown_, tileCount());
    if (next == shown_) return;
    shown_ = next;
    emit changed();
}

void SpaceViewModel::hoverEntered(const std::string& id) {
    if (hovered_ == id) return;
    hovered_ = id;
    emit changed();
}

void SpaceViewModel::hoverLeft(const std::string& id) {
    if (hovered_ != id) return;  // entering the next tile before leaving this one keeps the newer id
    hovered_.reset();
    emit changed();
}

bool SpaceViewModel::spaceKey() {
    if (!hovered_) return false;
    const auto index = indexOf(*hovered_);
    if (!index) return false;
    const ExplorerTile& t = tile(*index);
    if (!t.entry || t.entry->measuring) return false;
    const ExplorerEntry entry = *t.entry;  // a copy: selecting rebuilds the list under some filters
    // A kept entry is never selected, not even by key: queueing it would silently drop what the
    // user ticked inside it.
    if (EntryRules::kept(entry.id)) return false;
    toggle(entry, ClickInfo::none());
    return true;
}

// --- selection -----------------------------------------------------------------------------------

bool SpaceViewModel::awaitsSelection(const std::string& id) const {
    return std::any_of(awaitingSelection_.begin(), awaitingSelection_.end(),
                       [&](const ExplorerEntry& e) { return e.id == id; });
}

void SpaceViewModel::toggle(const ExplorerEntry& shown, const ClickInfo& click) {
    if (shown.measuring || Click::isRepeat(click)) return;
    const auto waiting = std::find_if(awaitingSelection_.begin(), awaitingSelection_.end(),
                                      [&](const ExplorerEntry& e) { return e.id == shown.id; });
    if (waiting != awaitingSelection_.end()) {
        awaitingSelection_.erase(waiting);
        if (state_.toast() && state_.toast()->id == checkingToast_) state_.setToast(std::nullopt);
        return;
    }
    ExplorerEntry entry = shown;
    entry.judgeAgain();  // the answer may have come since the tile was made
    // Only selecting warns, so only selecting waits; a share that never answers selects nothing.
    if (entry.awaitsProbe && !state_.selection().includes(entry.cleanItem())) {
        Toast checking(tr("Checking “%1” before selecting it…").arg(QString::fromStdString(entry.name)),
                       QStringLiteral("magnifyingglass"));
        checkingToast_ = checking.id;
        state_.setToast(std::move(checking));
        selectionProbes_.push_back(entry.id);
        awaitingSelection_.push_back(std::move(entry));
        probeSoon();
        return;
    }
    EntryRules::toggle(state_, entry, click);
}

void SpaceViewModel::settleSelections() {
    std::vector<ExplorerEntry> answered;
    for (auto it = awaitingSelection_.begin(); it != awaitingSelection_.end();) {
        it->judgeAgain();
        if (it->awaitsProbe) {
            ++it;
            continue;
        }
        answered.push_back(std::move(*it));
        it = awaitingSelection_.erase(it);
    }
    for (const ExplorerEntry& entry : answered) {
        if (state_.selection().includes(entry.cleanItem())) continue;  // selected meanwhile some other way
        if (state_.toast() && state_.toast()->id == checkingToast_) state_.setToast(std::nullopt);
        EntryRules::toggle(state_, entry, ClickInfo::none());
    }
}

// --- small files ---------------------------------------------------------------------------------

void SpaceViewModel::loadSmallFiles(const std::shared_ptr<DirNode>& folder) {
    if (!folder) return;
    const std::string path = folder->path();
    if (smallFiles_.count(path) || loadingSmall_.count(path)) return;
    loadingSmall_.insert(path);
    std::unordered_set<std::string> known;
    for (const auto& c : folder->children())
        known.insert(c->name);
    for (const FileItem& f : folder->files())
        known.insert(f.name);
    const bool skipHidden = Prefs::value(QString::fromLatin1(Prefs::kSkipHiddenFiles)).toBool();
    const std::int64_t revision = state_.revision();
    emit changed();
    Background::run(
        state_.userPool(), this,
        [path, known = std::move(known), skipHidden] {
            std::vector<ExplorerEntry> entries;
            for (const auto& f : SmallFileListing::list(path, known, skipHidden))
                entries.push_back(ExplorerEntry::smallFile(f.path, f.size, f.identity));
            return entries;
        },
        [this, path, revision](std::vector<ExplorerEntry> entries) {
            loadingSmall_.erase(path);
            // A listing that outlived a removal may name files that are gone: drop it; the row
            // offers the folder again.
            if (revision == state_.revision()) smallFiles_[path] = std::move(entries);
            emit changed();
        });
}

bool SpaceViewModel::showsSmallFilesRow() {
    if (mode() != Mode::explorer || filter_ == ExplorerFilter::folders) return false;
    if (visibleCount() < tileCount()) return false;
    const auto node = currentNode();
    return node && node->smallFilesSize() > 0 && !smallFiles_.count(node->path());
}

bool SpaceViewModel::showsEmptyState() {
    return mode() == Mode::explorer && tileCount() == 0;
}

// --- steam clean ---------------------------------------------------------------------------------

bool SpaceViewModel::isNimbrelising(const std::string& id) const {
    return state_.nimbrelisingIDs().count(id) || state_.vanishingPaths().count(id);
}

bool SpaceViewModel::isVanishing(const std::string& id) const {
    if (steamed_.count(id)) return true;
    return ReduceMotion::isOn() && isNimbrelising(id);
}

QPointF SpaceViewModel::restPoint(QSizeF viewport) {
    return {viewport.width() - 57.6 - 16, viewport.height() - 50.4 - 8};
}

QPointF SpaceViewModel::targetPoint(const QRectF& frame, ExplorerLayout layout) {
    if (layout == ExplorerLayout::icons) return {frame.center().x(), frame.top() + 44};
    return {frame.left() + 0.55 * frame.width(), frame.center().y()};
}

void SpaceViewModel::setViewport(QSizeF viewport) {
    viewport_ = viewport;
    if (cleaning_) return;
    steamer_.position = restPoint(viewport);
    emit steamerChanged();
}

std::vector<SpaceViewModel::SteamTarget> SpaceViewModel::steamTargets() {
    std::vector<SteamTarget> targets;
    if (!frameOf_) return targets;
    const int visible = visibleCount();
    for (int i = 0; i < visible; ++i) {
        std::string id = tileId(i);
        if (!isNimbrelising(id)) continue;
        const auto frame = frameOf_(i);
        if (!frame || frame->bottom() <= 0 || frame->top() >= viewport_.height()) continue;
        targets.push_back({std::move(id), *frame});
    }
    std::stable_sort(targets.begin(), targets.end(), [](const SteamTarget& a, const SteamTarget& b) {
        if (a.frame.top() != b.frame.top()) return a.frame.top() < b.frame.top();
        return a.frame.left() < b.frame.left();
    });
    return targets;
}

void SpaceViewModel::steamClean() {
    if (ReduceMotion::isOn() || cleaning_) return;
    auto targets = steamTargets();
    if (targets.empty()) return;
    cleaning_ = true;
    steamStep(0, std::move(targets), viewport_);
}

void SpaceViewModel::steamStep(size_t index, std::vector<SteamTarget> targets, QSizeF viewport) {
    using std::chrono::milliseconds;
    if (index >= targets.size()) {
        clock_.after(milliseconds(300), this, [this, viewport] {
            steamer_.jetting = false;
            steamer_.position = restPoint(viewport);
            cleaning_ = false;
            emit steamerChanged();
        });
        return;
    }
    const QPointF target = targetPoint(targets[index].frame, layout_);
    // The nozzle sits 52.8 left of and 32.4 below the steamer's centre; it stops 34 right of and
    // 46 above the target.
    steamer_.position = {target.x() + 34 + 52.8, target.y() - 46 - 32.4};
    emit steamerChanged();
    clock_.after(
        milliseconds(260), this, [this, index, targets = std::move(targets), viewport, target]() mutable {
            steamer_.jetTarget = target;
            steamer_.jetting = true;
            emit steamerChanged();
            clock_.after(milliseconds(120), this,
                         [this, index, targets = std::move(targets), viewport]() mutable {
                             steamed_.insert(targets[index].id);
                             emit changed();
                             clock_.after(milliseconds(170), this,
                                          [this, index, targets = std::move(targets), viewport]() mutable {
                                              steamStep(index + 1, std::move(targets), viewport);
                                          });
                         });
        });
}

}  // namespace nimbrel
