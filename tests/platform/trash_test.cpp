#include "platform/trash.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/trash_emptier.h"
#include "temp_tree.h"

namespace nimbrel {
namespace {

using test::exists;
using test::TempTree;

// GLib reads XDG_DATA_HOME once, at its first use: point it at a temporary folder before anything
// in this test program starts.
const TempTree& dataHome() {
    static TempTree tree;
    return tree;
}
const bool kDataHomeSet = [] { return setenv("XDG_DATA_HOME", dataHome().root().c_str(), 1) == 0; }();

std::string trashFolder() {
    return dataHome().path("Trash");
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(TrashTest, MovesFilesFoldersAndLinksWhereOtherClientsFindThem) {
    ASSERT_TRUE(kDataHomeSet);
    TrashEmptier::emptyFolder(trashFolder());  // other tests of this program trash too
    // Beside the data home, so on the home's file system.
    TempTree tree;
    std::string outside = tree.folder("outside");
    tree.file("outside/keep.txt");
    std::string file = tree.file("a b%.txt");
    std::string folder = tree.folder("folder");
    tree.file("folder/inner.txt");
    std::string link = tree.link("link", outside);

    for (const std::string& path : {file, folder, link}) {
        EXPECT_FALSE(Trash::moveToTrash(path)) << path;
        EXPECT_FALSE(exists(path)) << path;
    }
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));

    auto info = namesIn(trashFolder() + "/info");
    ASSERT_EQ(info.size(), 3u);
    ASSERT_TRUE(exists(trashFolder() + "/info/a b%.txt.trashinfo"));
    std::string text = readAll(trashFolder() + "/info/a b%.txt.trashinfo");
    EXPECT_NE(text.find("[Trash Info]"), std::string::npos) << text;
    EXPECT_NE(text.find("Path=" + tree.root() + "/a%20b%25.txt\n"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(lstat((trashFolder() + "/files/link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // Emptying leaves files/ and info/ empty and the link's folder untouched.
    EXPECT_TRUE(TrashEmptier::emptyFolder(trashFolder()).empty());
    EXPECT_TRUE(namesIn(trashFolder() + "/files").empty());
    EXPECT_TRUE(namesIn(trashFolder() + "/info").empty());
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
}

TEST(TrashTest, FailedMoveLeavesThePathInPlace) {
    ASSERT_TRUE(kDataHomeSet);
    TempTree tree;
    auto missing = Trash::moveToTrash(tree.path("missing"));
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->isNotFound());

    // A file system without a usable Trash: the move fails and nothing else is tried.
    char shm[] = "/dev/shm/nimbrel-XXXXXX";
    if (!mkdtemp(shm)) GTEST_SKIP() << "no /dev/shm";
    std::string file = std::string(shm) + "/f.txt";
    std::ofstream(file) << "data";
    auto error = Trash::moveToTrash(file);
    bool stayed = exists(file);
    std::filesystem::remove_all(shm);
    struct stat shmStat {
    }, homeStat{};
    stat("/dev/shm", &shmStat);
    stat(dataHome().root().c_str(), &homeStat);
    if (shmStat.st_dev == homeStat.st_dev) GTEST_SKIP() << "/dev/shm is not a separate file system";
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->isNotFound());
    EXPECT_FALSE(error->description.empty());
    EXPECT_TRUE(stayed);
}

TEST(TrashEmptierTest, EmptiesEveryPartAndKeepsWhatItCannotRemoveListed) {
    TempTree tree;
    std::string trash = tree.folder("Trash");
    std::string outside = tree.folder("outside");
    tree.file("outside/keep.txt");
    tree.file("Trash/files/gone.txt");
    tree.file("Trash/info/gone.txt.trashinfo");
    tree.file("Trash/files/dir/inner/x.bin", 4096);
    tree.file("Trash/info/dir.trashinfo");
    tree.link("Trash/files/link", outside);
    tree.file("Trash/info/link.trashinfo");
    tree.file("Trash/expunged/old");
    tree.file("Trash/directorysizes");

    EXPECT_TRUE(TrashEmptier::emptyFolder(trash).empty());
    for (const char* part : {"files", "info", "expunged"}) {
        EXPECT_TRUE(exists(trash + "/" + part)) << part;
        EXPECT_TRUE(namesIn(trash + "/" + part).empty()) << part;
    }
    EXPECT_FALSE(exists(trash + "/directorysizes"));
    EXPECT_TRUE(exists(tree.path("outside/keep.txt")));
}

TEST(TrashEmptierTest, TrashWhoseFilesFolderIsALinkIsNotFollowed) {
    TempTree tree;
    std::string elsewhere = tree.folder("elsewhere");
    tree.file("elsewhere/precious.txt");
    tree.folder("Trash");
    tree.link("Trash/files", elsewhere);
    TrashEmptier::emptyFolder(tree.path("Trash"));
    EXPECT_TRUE(exists(tree.path("elsewhere/precious.txt")));
}

TEST(TrashEmptierTest, FindsVolumeTrashFoldersOfThisUser) {
    TempTree tree;
    std::string volume = tree.folder("my volume");
    tree.folder("my volume/.Trash-1000");
    tree.folder("my volume/.Trash/1000");
    chmod((volume + "/.Trash").c_str(), 01777);
    std::string plain = tree.folder("plain");
    tree.folder("plain/.Trash/1000");  // not sticky: not a shared Trash
    tree.folder("plain/.Trash-1001");  // another user's

    std::string escaped = volume;
    escaped.replace(escaped.find(' '), 1, "\\040");
    std::string mountInfo = "36 35 98:0 / " + escaped + " rw,noatime - ext4 /dev/sdb1 rw\n" +
                            "37 35 98:1 / " + plain + " rw - ext4 /dev/sdb2 rw\n";
    EXPECT_EQ(TrashEmptier::volumeTrashFolders(mountInfo, 1000),
              (std::vector<std::string>{volume + "/.Trash/1000", volume + "/.Trash-1000"}));
}

}  // namespace
}  // namespace nimbrel
