#include "model/files_model.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>

#include "engine/tree_build.h"
#include "model/app_state.h"
#include "support/wait_for.h"

namespace nimbrel {
namespace {

using Clock = std::chrono::system_clock;

Clock::time_point daysAgo(int days) {
    return Clock::time_point(std::chrono::hours(24 * (20000 - days)));
}

class FilesModelTest : public ::testing::Test {
  protected:
    FilesModelTest() : state_(AppStateServices::standard()), model_(state_.files()) {
        result_ = std::make_shared<ScanResult>();
        // Stored largest first, as a scan lists them; ties in scan order.
        add(1, "/Home/Movies/Trip.MOV", 900'000'000, FileCategory::video, false, 400);
        add(2, "/Home/Apps/Tool.app", 500'000'000, FileCategory::application, true, 10);
        add(3, "/Home/Movies/été.mov", 300'000'000, FileCategory::video, false, 800);
        add(4, "/Home/Docs/b10.pdf", 300'000'000, FileCategory::document, false, 30);
        add(5, "/Home/Docs/b2.pdf", 20'000'000, FileCategory::document, false, 900);
        add(6, "/Home/Docs/notes.txt", 5'000, FileCategory::document, false, 1000);
        state_.setResult(result_);
    }

    void add(int64_t id, std::string path, int64_t size, FileCategory category, bool package, int age) {
        FileItem f;
        f.id = id;
        f.name = path.substr(path.rfind('/') + 1);
        f.path = std::move(path);
        f.size = size;
        f.category = category;
        f.isPackage = package;
        f.modified = daysAgo(age);
        f.accessed = daysAgo(age + 1);
        TreeBuild::listFile(*result_, f);
    }

    std::vector<int64_t> ids(const FileList& list) {
        std::vector<int64_t> out;
        for (FileIndex::Row r : list.rows)
            out.push_back(model_.file(r).id);
        return out;
    }

    AppState state_;
    FilesModel& model_;
    std::shared_ptr<ScanResult> result_;
};

TEST_F(FilesModelTest, BiggestFiltersSearchesAndOrders) {
    using Q = FilesModel::BiggestQuery;
    const FileCategory video = FileCategory::video;
    struct Case {
        const char* what;
        Q query;
        std::vector<int64_t> ids;
    };
    const Case cases[] = {
        {"everything, heaviest first", Q{}, {1, 2, 3, 4, 5, 6}},
        {"one kind", Q{FileSort::size, video, false, {}}, {1, 3}},
        {"packages hidden", Q{FileSort::size, {}, true, {}}, {1, 3, 4, 5, 6}},
        {"search ignores ASCII case", Q{FileSort::size, {}, false, QStringLiteral(".mov")}, {1, 3}},
        {"search ignores case beyond ASCII", Q{FileSort::size, {}, false, QStringLiteral("ÉTÉ")}, {3}},
        {"search matches folders", Q{FileSort::size, {}, false, QStringLiteral("home/docs/")}, {4, 5, 6}},
        {"a leading space is kept", Q{FileSort::size, {}, false, QStringLiteral(" docs")}, {}},
        {"search never spans two paths", Q{FileSort::size, {}, false, QStringLiteral("mov/home")}, {}},
        {"names by number", Q{FileSort::name, {}, false, QStringLiteral(".pdf")}, {5, 4}},
        {"oldest change first", Q{FileSort::modified, {}, false, {}}, {6, 5, 3, 1, 4, 2}},
        {"longest unopened first", Q{FileSort::opened, video, false, {}}, {3, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ids(model_.biggest(c.query)), c.ids);
    }
    const FileList& all = model_.biggest(Q{});
    EXPECT_EQ(all.totalSize, 2'020'005'000);
    EXPECT_EQ(model_.largest(all, 0), 1);
    EXPECT_EQ(model_.largest(model_.biggest(Q{FileSort::modified, {}, false, {}}), 2), 20'000'000);
}

// Typing narrows the last answer; deleting a letter must widen it again.
TEST_F(FilesModelTest, SearchFollowsTypingBothWays) {
    const std::pair<const char*, std::vector<int64_t>> steps[] = {
        {"m", {1, 2, 3, 4, 5, 6}},
        {"mo", {1, 3}},
        {"mov", {1, 3}},
        {"movi", {1, 3}},
        {"movie", {1, 3}},
        {"mo", {1, 3}},
        {"d", {4, 5, 6}},
        {"", {1, 2, 3, 4, 5, 6}},
        {"b1", {4}},
        {"b", {4, 5}},
    };
    for (const auto& [text, expected] : steps) {
        SCOPED_TRACE(text);
        FilesModel::BiggestQuery q;
        q.search = QString::fromUtf8(text);
        EXPECT_EQ(ids(model_.biggest(q)), expected);
    }
}

TEST_F(FilesModelTest, ForgottenKeepsBigUntouchedFiles) {
    using Q = FilesModel::ForgottenQuery;
    const struct {
        Q query;
        std::vector<int64_t> ids;
    } cases[] = {
        {Q{daysAgo(365), {}, FileSort::size}, {1, 3, 5}},
        {Q{daysAgo(365), QStringLiteral("PDF"), FileSort::size}, {5}},
        {Q{daysAgo(20), {}, FileSort::opened}, {5, 3, 1, 4}},
        {Q{daysAgo(800), {}, FileSort::size}, {5}},  // changed exactly at the cutoff: not before it
    };
    for (const auto& c : cases)
        EXPECT_EQ(ids(model_.forgotten(c.query)), c.ids);
}

// A removal prunes the shared result in place; the lists follow without a new scan result.
TEST_F(FilesModelTest, ListsFollowARemovalFromTheSharedResult) {
    FilesModel::BiggestQuery byName{FileSort::name, {}, false, {}};
    FilesModel::BiggestQuery searched{FileSort::size, {}, false, QStringLiteral("o")};
    EXPECT_EQ(ids(model_.biggest(byName)), (std::vector<int64_t>{5, 4, 3, 6, 2, 1}));
    EXPECT_EQ(ids(model_.biggest(searched)), (std::vector<int64_t>{1, 2, 3, 4, 5, 6}));
    result_->remove({"/Home/Docs/b10.pdf", "/Home/Movies/Trip.MOV"}, {});
    EXPECT_EQ(ids(model_.biggest(byName)), (std::vector<int64_t>{5, 3, 6, 2}));
    EXPECT_EQ(ids(model_.biggest(searched)), (std::vector<int64_t>{2, 3, 5, 6}));
    searched.search = QStringLiteral("ov");
    EXPECT_EQ(ids(model_.biggest(searched)), (std::vector<int64_t>{3}));
    EXPECT_EQ(model_.biggest(FilesModel::BiggestQuery{}).totalSize, 820'005'000);

    auto other = std::make_shared<ScanResult>();
    state_.setResult(other);
    EXPECT_TRUE(model_.biggest(byName).rows.empty());
}

}  // namespace
}  // namespace nimbrel

namespace nimbrel {
namespace {

std::shared_ptr<ScanResult> manyFiles(size_t count, const std::string& folder) {
    auto result = std::make_shared<ScanResult>();
    for (size_t i = 0; i < count; ++i) {
        FileItem f;
        f.id = static_cast<int64_t>(i + 1);
        f.name = "f" + std::to_string(i);
        f.path = folder + "/" + f.name;
        f.size = static_cast<int64_t>(count - i);
        TreeBuild::listFile(*result, std::move(f));
    }
    return result;
}

// A large result is indexed on a worker: the lists are empty meanwhile, complete once it is ready,
// and an index for a result replaced in the meantime never shows.
TEST(FilesModelIndexAside, ListsFollowTheCurrentResultOnly) {
    QThreadPool pool;  // the state's work runs here, so the test can wait for all of it
    AppStateServices services = AppStateServices::standard();
    services.cleanupDisk = CleanupModel::Disk::real("", ::getuid());
    services.mountTops.emplace();
    services.userPool = &pool;
    services.utilityPool = &pool;
    AppState state(std::move(services));
    FilesModel& model = state.files();
    int ready = 0;
    QObject::connect(&model, &FilesModel::indexReady, [&] { ++ready; });

    state.setResult(manyFiles(FilesModel::kBuildAsideFrom, "/first"));
    EXPECT_TRUE(model.biggest({}).rows.empty());
    EXPECT_TRUE(model.isIndexing());
    auto second = manyFiles(FilesModel::kBuildAsideFrom + 1, "/second");
    state.setResult(second);
    EXPECT_TRUE(model.biggest({}).rows.empty());
    drain(pool);  // both builds end and hand back; the first one's handback must change nothing
    EXPECT_FALSE(model.isIndexing());
    EXPECT_EQ(ready, 1);
    const FileList& all = model.biggest({});
    ASSERT_EQ(all.rows.size(), second->files().size());
    EXPECT_EQ(model.file(all.rows.front()).path, "/second/f0");
    FilesModel::BiggestQuery search;
    search.search = QStringLiteral("/F1234");
    EXPECT_EQ(model.biggest(search).rows.size(), 11u);  // f1234 and f12340..f12349

    // A removal that prunes the indexed result maps the index; nothing is built again.
    second->remove({"/second/f0"}, {});
    state.bumpRevision();
    EXPECT_FALSE(model.isIndexing());
    EXPECT_EQ(model.file(model.biggest({}).rows.front()).path, "/second/f1");
}

}  // namespace
}  // namespace nimbrel
