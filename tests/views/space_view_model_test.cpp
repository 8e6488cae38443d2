#include "views/space/space_view_model.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "engine/host_layout.h"
#include "space_test_support.h"
#include "support/collect.h"
#include "support/dead_share.h"
#include "support/motion_scopes.h"
#include "support/wait_for.h"
#include "test_items.h"
#include "theme/motion.h"
#include "views/files/review_model.h"
#include "views/space/small_file_listing.h"

namespace nimbrel {
namespace {

using namespace spacetest;
using namespace std::chrono_literals;
using Mode = SpaceViewModel::Mode;

auto names(const std::vector<std::shared_ptr<DirNode>>& stack) {
    return collect(stack, [](const std::shared_ptr<DirNode>& n) { return n->name; });
}

TEST(SpaceViewModel, ModesFollowTheScanAndTheResult) {
    SpaceHarness h;
    SpaceViewModel vm(*h.state, h.clock);
    EXPECT_EQ(vm.mode(), Mode::welcome);
    EXPECT_EQ(vm.folderKey(), "welcome");
    EXPECT_EQ(vm.tileCount(), 24);
    h.state->setResult(sampleResult());
    EXPECT_EQ(vm.mode(), Mode::explorer);
    h.state->setIsScanning(true);
    EXPECT_EQ(vm.mode(), Mode::discovering);  // even with an earlier result
    EXPECT_EQ(vm.tileCount(), 24);
}

TEST(SpaceViewModel, MouseNavigationIsHeldBackButKeysAreNot) {
    SpaceHarness h;
    auto result = sampleResult();
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);
    auto a = result->root()->children()[0];
    auto z = result->root()->children()[1];

    vm.goUp(ClickInfo::left(1));  // at the root: nothing
    EXPECT_TRUE(vm.stack().empty());
    h.clock.advance(1s);
    vm.openFolder(a, ClickInfo::left(1));
    EXPECT_EQ(names(vm.stack()), (std::vector<std::string>{"a"}));
    vm.openFolder(a->children()[0], ClickInfo::left(2));  // the second click of a double click
    vm.openFolder(a->children()[0], ClickInfo::left(1));  // within 0.35 s
    EXPECT_EQ(vm.stack().size(), 1u);
    h.clock.advance(349ms);
    vm.openFolder(a->children()[0], ClickInfo::left(1));
    EXPECT_EQ(vm.stack().size(), 1u);
    h.clock.advance(1ms);
    vm.openFolder(a->children()[0], ClickInfo::left(1));
    EXPECT_EQ(vm.stack().size(), 2u);
    vm.goUp(ClickInfo::none());
    vm.goUp(ClickInfo::none());
    EXPECT_TRUE(vm.stack().empty());  // the shortcut twice goes up twice
    (void)z;
}

TEST(SpaceViewModel, CrumbsFocusAndResets) {
    SpaceHarness h;
    auto result = sampleResult();
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);

    h.state->setFolderFocus(std::string("/r/a/b/c"));
    EXPECT_EQ(names(vm.stack()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(h.state->folderFocus().has_value());
    vm.setSearch("x");
    vm.chooseCrumb(2);  // the last crumb: nothing changes
    EXPECT_EQ(vm.stack().size(), 3u);
    EXPECT_EQ(vm.search(), "x");
    vm.chooseCrumb(0);
    EXPECT_EQ(names(vm.stack()), (std::vector<std::string>{"a"}));
    EXPECT_EQ(vm.search(), "");  // the depth changed
    h.state->setFolderFocus(std::string("/r/missing"));
    EXPECT_EQ(vm.stack().size(), 1u);
    EXPECT_FALSE(h.state->folderFocus().has_value());
    h.state->setFolderFocus(std::string("/r"));
    EXPECT_TRUE(vm.stack().empty());
    vm.chooseRoot();
    EXPECT_TRUE(vm.stack().empty());

    // A view created by another area's request still follows it.
    QObject::disconnect(h.state.get(), nullptr, &vm, nullptr);
    h.state->setFolderFocus(std::string("/r/a/b"));
    SpaceViewModel fresh(*h.state, h.clock);
    EXPECT_EQ(names(fresh.stack()), (std::vector<std::string>{"a", "b"}));

    // A new result opens at its root; filter and sort are kept.
    fresh.setFilter(ExplorerFilter::files);
    h.state->setResult(sampleResult());
    EXPECT_TRUE(fresh.stack().empty());
    EXPECT_EQ(fresh.filter(), ExplorerFilter::files);
}

TEST(SpaceViewModel, FilterChipsPagingAndLayout) {
    SpaceHarness h;
    auto result = manyFiles(303);
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);

    vm.chooseFilter(ExplorerFilter::bloated);
    EXPECT_EQ(vm.filter(), ExplorerFilter::bloated);
    vm.chooseFilter(ExplorerFilter::bloated);
    EXPECT_EQ(vm.filter(), ExplorerFilter::all);
    vm.chooseFilter(ExplorerFilter::all);
    EXPECT_EQ(vm.filter(), ExplorerFilter::all);
    vm.chooseFilter(ExplorerFilter::bloated);
    vm.chooseFilter(ExplorerFilter::stained);
    EXPECT_EQ(vm.filter(), ExplorerFilter::stained);
    vm.setFilter(ExplorerFilter::all);

    ASSERT_EQ(vm.tileCount(), 303);
    EXPECT_EQ(vm.visibleCount(), 120);
    vm.loadMore();
    EXPECT_EQ(vm.visibleCount(), 240);
    vm.loadMore();
    EXPECT_EQ(vm.visibleCount(), 303);
    vm.setSearch("n1");
    EXPECT_EQ(vm.shown(), 120);
    vm.setSearch("");
    vm.loadMore();
    vm.openFolder(result->root()->children()[0], ClickInfo::none());
    EXPECT_EQ(vm.shown(), 120);  // a new folder starts at the first page

    EXPECT_EQ(vm.layout(), ExplorerLayout::icons);
    vm.setLayout(ExplorerLayout::list);
    SpaceViewModel later(*h.state, h.clock);
    EXPECT_EQ(later.layout(), ExplorerLayout::list);
    Prefs::setValue(SpaceViewModel::kLayoutKey, "grid");
    SpaceViewModel odd(*h.state, h.clock);
    EXPECT_EQ(odd.layout(), ExplorerLayout::icons);
}

TEST(SpaceViewModel, TheListIsRebuiltOnlyWhenItsKeyChanges) {
    SpaceHarness h;
    h.state->setResult(sampleResult());
    SpaceViewModel vm(*h.state, h.clock);
    vm.tileCount();
    const int base = vm.buildCount();
    h.state->queue().add(testItem("/r/f.txt", 0, CleanItem::Kind::file, CleanItem::Source::space));
    vm.tileCount();
    EXPECT_EQ(vm.buildCount(), base);  // selecting under All keeps the list
    vm.setFilter(ExplorerFilter::selected);
    EXPECT_EQ(vm.tileCount(), 1);
    h.state->queue().remove("/r/f.txt");
    EXPECT_EQ(vm.tileCount(), 0);
    EXPECT_EQ(vm.buildCount(), base + 2);
    EXPECT_TRUE(vm.showsEmptyState());
    h.state->bumpRevision();
    vm.tileCount();
    EXPECT_EQ(vm.buildCount(), base + 3);
}

TEST(SpaceViewModel, ARemovalDropsOpenFoldersItTookOut) {
    SpaceHarness h;
    auto result = sampleResult();
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);
    h.state->setFolderFocus(std::string("/r/a/b/c"));
    ASSERT_EQ(vm.stack().size(), 3u);
    vm.setSearch("q");
    result->remove({"/r/a/b"}, {});
    h.state->bumpRevision();
    EXPECT_EQ(names(vm.stack()), (std::vector<std::string>{"a"}));
    EXPECT_EQ(vm.search(), "");
    for (int i = 0; i < vm.tileCount(); ++i)
        EXPECT_NE(vm.tileId(i), "/r/a/b");
}

TEST(SpaceViewModel, SpaceKeyRules) {
    SpaceHarness h;
    const std::string home = HostLayout::current().home;
    auto result = sampleResult();
    addFolder(result->root(), "locked", 10);
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);

    EXPECT_FALSE(vm.spaceKey());  // nothing hovered
    vm.hoverEntered("/r/f.txt");
    EXPECT_TRUE(vm.spaceKey());
    EXPECT_TRUE(h.state->queue().contains("/r/f.txt"));
    EXPECT_TRUE(vm.spaceKey());
    EXPECT_FALSE(h.state->queue().contains("/r/f.txt"));
    EXPECT_FALSE(h.state->toast().has_value());  // the key shows no notice

    vm.hoverEntered("/r/z");
    vm.hoverLeft("/r/f.txt");  // leaving an earlier tile keeps the newer one
    EXPECT_EQ(vm.hovered(), "/r/z");
    vm.hoverLeft("/r/z");
    EXPECT_FALSE(vm.hovered().has_value());
    vm.hoverEntered("placeholder-3");
    EXPECT_FALSE(vm.spaceKey());

    // Inside a queued folder the key leaves just this entry out.
    h.state->queue().add(ExplorerEntry::fromNode(result->root()->children()[0]).cleanItem());
    vm.openFolder(result->root()->children()[0], ClickInfo::none());
    vm.hoverEntered("/r/a/b");
    EXPECT_TRUE(vm.spaceKey());
    EXPECT_FALSE(h.state->queue().includes("/r/a/b"));
    EXPECT_FALSE(h.state->queue().contains("/r/a"));
}

TEST(SpaceViewModel, SpaceKeyNeverQueuesAKeptFolder) {
    SpaceHarness h;
    const std::string home = HostLayout::current().home;
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(
        *result,
        std::make_shared<DirNode>(
            home.substr(0, home.rfind('/')).empty() ? "/" : home.substr(0, home.rfind('/')), nullptr));
    auto homeNode = addFolder(result->root(), home.substr(home.rfind('/') + 1), 10);
    ASSERT_EQ(homeNode->path(), home);
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);
    vm.hoverEntered(home);
    EXPECT_FALSE(vm.spaceKey());
    EXPECT_TRUE(h.state->queue().items().empty());
}

// A verdict that needs the disk (is this folder a git repository?) is made on a worker: the rows
// show what is known at once and settle as the answers come. Until then a folder that is grime
// unless it is a repository is neither: the Grime filter leaves it out, and selecting it (click, key)
// waits for the answer and then warns as the answer calls for. A share that stopped answering keeps
// the window answering, and selects nothing until it answers.
TEST(SpaceViewModel, VerdictsThatNeedTheDiskNeverHoldTheWindow) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    std::filesystem::create_directories(base + "/cache/.git");  // a repository named like a cache
    std::filesystem::create_directories(base + "/logs");
    SpaceHarness h;
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>(base, nullptr));
    TreeBuild::setSize(*result->root(), 1000);
    addFolder(result->root(), "cache", 600);
    addFolder(result->root(), "logs", 50);
    auto onShare = addFolder(result->root(), "share", 300);
    addFolder(onShare, "Cache", 200);
    addFolder(onShare, "logs", 100);
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);
    const CleanQueue& queue = h.state->queue();
    const auto toastSays = [&](const char* start) {
        return h.state->toast() && h.state->toast()->message.startsWith(QString::fromUtf8(start));
    };
    const auto entryOf = [&](const std::string& id) {
        const auto i = vm.indexOf(id);
        EXPECT_TRUE(i.has_value()) << id;
        return i ? *vm.tile(*i).entry : ExplorerEntry();
    };

    vm.setFilter(ExplorerFilter::stained);
    EXPECT_EQ(vm.tileCount(), 0);  // no verdict yet: neither is grime
    vm.setFilter(ExplorerFilter::all);
    const ExplorerEntry repository = entryOf(base + "/cache");
    ASSERT_TRUE(repository.awaitsProbe);
    vm.toggle(repository, ClickInfo::left(1, Qt::ControlModifier));
    EXPECT_FALSE(queue.includes(repository.id));
    EXPECT_TRUE(toastSays("Checking “cache”"));
    ASSERT_TRUE(waitOn(&queue, &CleanQueue::itemsChanged, [&] { return queue.contains(repository.id); }));
    EXPECT_TRUE(toastSays("Careful: “cache”: any uncommitted"));
    vm.setFilter(ExplorerFilter::stained);
    ASSERT_TRUE(waitOn(&vm, &SpaceViewModel::changed, [&] { return vm.tileCount() == 1; }));
    EXPECT_EQ(vm.tileId(0), base + "/logs");

    DeadShare share(base + "/share");
    if (!share.ok()) GTEST_SKIP() << "no dead share to test with: " << share.error();
    share.releaseAfter(15s);
    vm.focus(onShare->path());
    EXPECT_EQ(vm.tileCount(), 0);
    vm.setFilter(ExplorerFilter::all);
    ASSERT_EQ(vm.tileCount(), 2);
    deliverPosted();
    ASSERT_TRUE(share.waitForVisitor(10s));  // the probe's worker waits on the share
    vm.hoverEntered(onShare->path() + "/Cache");
    EXPECT_TRUE(vm.spaceKey());
    const ExplorerEntry logs = entryOf(onShare->path() + "/logs");
    vm.toggle(logs, ClickInfo::left(1, Qt::ControlModifier));
    vm.toggle(logs, ClickInfo::left(1, Qt::ControlModifier));  // changed its mind before the answer
    EXPECT_TRUE(vm.awaitsSelection(onShare->path() + "/Cache"));
    EXPECT_FALSE(vm.awaitsSelection(logs.id));
    vm.setSearch(QStringLiteral("log"));
    deliverPosted();
    ASSERT_EQ(vm.tileCount(), 1);
    EXPECT_EQ(vm.tile(0).entry->name, "logs");
    // Nor do the review's rows of a folder on the share, before the review's worker has judged it.
    const std::vector<CleanItem> queued = {testItem(logs.id, 100, CleanItem::Kind::folder)};
    const ReviewModel review(ReviewModel::Unjudged{}, queued, {}, {});
    EXPECT_EQ(review.rowBadge(0), ReviewModel::RowBadge::risk);
    EXPECT_FALSE(review.rowDetail(0, {}).isEmpty());
    EXPECT_EQ(queued[0].risk().level, Risk::Level::normal);
    EXPECT_EQ(queue.items().size(), 1u);
    EXPECT_FALSE(share.released());  // nothing on this thread looked at the share
    // A removal that takes a folder waiting for its answer leaves it unselected.
    vm.toggle(logs, ClickInfo::left(1, Qt::ControlModifier));
    ASSERT_TRUE(vm.awaitsSelection(logs.id));
    result->remove({logs.id}, {});
    h.state->bumpRevision();
    EXPECT_FALSE(vm.awaitsSelection(logs.id));
    EXPECT_TRUE(vm.awaitsSelection(onShare->path() + "/Cache"));

    // The server is gone for good: its folders read as no repository, and the waiting one is taken.
    share.release();
    ASSERT_TRUE(waitOn(&queue, &CleanQueue::itemsChanged,
                       [&] { return queue.contains(onShare->path() + "/Cache"); }));
    EXPECT_FALSE(queue.includes(logs.id));
    EXPECT_FALSE(toastSays("Careful"));
    vm.setSearch({});
    vm.setFilter(ExplorerFilter::stained);
    ASSERT_TRUE(waitOn(&vm, &SpaceViewModel::changed, [&] { return vm.tileCount() == 1; }));
}

class SmallFiles : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string root() const { return dir.path().toStdString(); }
    void write(const std::string& name, int bytes) {
        std::ofstream(root() + "/" + name) << std::string(bytes, 'x');
    }
};

TEST_F(SmallFiles, ListingSkipsShownNamesHiddenFilesAndFolders) {
    write("shown.txt", 10);
    write("small.txt", 10);
    write(".hidden", 10);
    QDir(dir.path()).mkdir("sub");
    QFile::link(dir.filePath("small.txt"), dir.filePath("link"));
    auto sorted = [](std::vector<SmallFileListing::File> files) {
        std::vector<std::string> out;
        for (auto& f : files)
            out.push_back(f.path.substr(f.path.rfind('/') + 1));
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(sorted(SmallFileListing::list(root(), {"shown.txt", "sub"}, false)),
              (std::vector<std::string>{".hidden", "link", "small.txt"}));
    EXPECT_EQ(sorted(SmallFileListing::list(root(), {"shown.txt"}, true)),
              (std::vector<std::string>{"link", "small.txt"}));
    EXPECT_TRUE(SmallFileListing::list(root() + "/gone", {}, false).empty());
    for (const auto& f : SmallFileListing::list(root() + "/", {}, false))
        EXPECT_EQ(f.path.find("//"), std::string::npos) << f.path;
}

TEST_F(SmallFiles, ListedFilesJoinTheFolderAndAreForgottenAfterARemoval) {
    write("one.txt", 100);
    write("two.txt", 100);
    SpaceHarness h;
    auto result = std::make_shared<ScanResult>();
    TreeBuild::setRoot(*result, std::make_shared<DirNode>(root(), nullptr));
    TreeBuild::setSize(*result->root(), 10);
    TreeBuild::setSmallFiles(*result->root(), 200);
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);
    EXPECT_TRUE(vm.showsSmallFilesRow());
    EXPECT_TRUE(vm.showsEmptyState());
    vm.setFilter(ExplorerFilter::folders);
    EXPECT_FALSE(vm.showsSmallFilesRow());
    vm.setFilter(ExplorerFilter::all);

    vm.loadSmallFiles(result->root());
    EXPECT_TRUE(vm.isLoadingSmall(root()));
    vm.loadSmallFiles(result->root());  // a second trigger while listing does nothing
    ASSERT_TRUE(waitOn(&vm, &SpaceViewModel::changed, [&] { return !vm.isLoadingSmall(root()); }));
    EXPECT_FALSE(vm.showsSmallFilesRow());
    EXPECT_EQ(vm.tileCount(), 2);
    for (int i = 0; i < vm.tileCount(); ++i) {
        EXPECT_EQ(vm.tile(i).condition, ExplorerTile::Condition::clean);
        // A tick carries what was listed, so a file renamed over it later is not removed.
        const CleanItem item = vm.tile(i).entry->cleanItem();
        ASSERT_TRUE(item.identity) << item.id;
        EXPECT_EQ(item.identity, EntryIdentity::read(item.id));
    }

    h.state->bumpRevision();
    EXPECT_TRUE(vm.tileCount() == 0);
    EXPECT_TRUE(vm.showsSmallFilesRow());

    // A listing that finishes after a removal is discarded.
    vm.loadSmallFiles(result->root());
    h.state->bumpRevision();
    ASSERT_TRUE(waitOn(&vm, &SpaceViewModel::changed, [&] { return !vm.isLoadingSmall(root()); }));
    EXPECT_TRUE(vm.tileCount() == 0);
    EXPECT_TRUE(vm.showsSmallFilesRow());
}

// The removal raises `isDeleting` before it names the paths and ids that go.
TEST(SpaceViewModel, SteamCleanStartsOnceTheRemovalNamesItsTargets) {
    ReduceMotionScope motion(false);
    SpaceHarness h;
    h.state->setResult(sampleResult());
    SpaceViewModel vm(*h.state, h.clock);
    vm.setFrameProvider(
        [](int index) -> std::optional<QRectF> { return QRectF(10, 10 + 140 * index, 100, 132); });
    vm.setViewport(QSizeF(800, 600));
    h.state->setIsDeleting(true);
    EXPECT_FALSE(vm.isCleaning());
    h.state->setVanishingPaths({"/r/z"});
    EXPECT_TRUE(vm.isCleaning());
    h.state->setNimbrelisingIDs({"/r/a"});  // already under way: not started twice
    EXPECT_EQ(vm.steamTargets().size(), 2u);
    h.clock.advance(std::chrono::milliseconds(400));
    EXPECT_TRUE(vm.isVanishing("/r/z"));
    h.clock.advance(std::chrono::milliseconds(2000));
    EXPECT_FALSE(vm.isCleaning());
    h.state->setIsDeleting(false);
}

TEST(SpaceViewModel, SteamCleanVisitsTilesOnScreenInReadingOrder) {
    ReduceMotionScope motion(false);
    SpaceHarness h;
    auto result = sampleResult();
    for (const char* n : {"p", "q", "s"})
        addFolder(result->root(), n, 10);
    h.state->setResult(result);
    SpaceViewModel vm(*h.state, h.clock);
    const std::unordered_map<std::string, QRectF> frames = {
        {"/r/a", QRectF(300, 10, 100, 132)},  {"/r/z", QRectF(10, 10, 100, 132)},
        {"/r/p", QRectF(10, 150, 100, 132)},  {"/r/q", QRectF(10, -100, 100, 132)},
        {"/r/s", QRectF(10, -200, 100, 132)},
    };
    vm.setFrameProvider([&](int index) -> std::optional<QRectF> {
        auto it = frames.find(vm.tileId(index));
        return it == frames.end() ? std::nullopt : std::optional<QRectF>(it->second);
    });
    vm.setViewport(QSizeF(800, 600));
    EXPECT_EQ(vm.steamer().position, QPointF(800 - 73.6, 600 - 58.4));

    h.state->setNimbrelisingIDs({"/r/a", "/r/p", "/r/q", "/r/s"});
    h.state->setVanishingPaths({"/r/z"});
    std::vector<std::string> order;
    for (const auto& t : vm.steamTargets())
        order.push_back(t.id);
    // Half above the top is visited, wholly above is not; a row is read left to right.
    EXPECT_EQ(order, (std::vector<std::string>{"/r/q", "/r/z", "/r/a", "/r/p"}));

    h.state->setIsDeleting(true);
    EXPECT_TRUE(vm.isCleaning());
    const QPointF first = SpaceViewModel::targetPoint(frames.at("/r/q"), ExplorerLayout::icons);
    EXPECT_EQ(first, QPointF(60, -56));
    EXPECT_EQ(vm.steamer().position, QPointF(60 + 86.8, -56 - 78.4));
    vm.setViewport(QSizeF(400, 400));  // ignored while cleaning
    EXPECT_EQ(vm.steamer().position, QPointF(60 + 86.8, -56 - 78.4));
    h.clock.advance(260ms);
    EXPECT_TRUE(vm.steamer().jetting);
    EXPECT_EQ(vm.steamer().jetTarget, first);
    h.clock.advance(120ms);
    EXPECT_TRUE(vm.steamed().count("/r/q"));
    EXPECT_TRUE(vm.isVanishing("/r/q"));
    vm.steamClean();  // a second start while running does nothing
    h.clock.advance(3 * 550ms + 170ms);
    EXPECT_EQ(vm.steamed().size(), 4u);
    EXPECT_TRUE(vm.isCleaning());
    h.clock.advance(300ms);
    EXPECT_FALSE(vm.isCleaning());
    EXPECT_FALSE(vm.steamer().jetting);
    EXPECT_EQ(vm.steamer().position, QPointF(800 - 73.6, 600 - 58.4));  // the starting viewport's rest
    h.state->setIsDeleting(false);
    EXPECT_TRUE(vm.steamed().empty());

    EXPECT_EQ(SpaceViewModel::targetPoint(QRectF(0, 0, 200, 48), ExplorerLayout::list), QPointF(110, 24));
    ReduceMotion::setOverride(true);
    h.state->setIsDeleting(true);
    EXPECT_FALSE(vm.isCleaning());
    EXPECT_TRUE(vm.isVanishing("/r/a"));
}

}  // namespace
}  // namespace nimbrel
