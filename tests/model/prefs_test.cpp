#include "model/prefs.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

namespace nimbrel {
namespace {

class PrefsTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.filePath("prefs.ini");
        Prefs::useStore(path_);
    }
    // Back to the user's store with the defaults registered, as the application runs.
    void TearDown() override {
        Prefs::useStore({});
        Prefs::registerDefaults();
    }

    // Writes behind Prefs' back, as another session of the program would have, and reads the store
    // again as the next session does.
    void store(const QString& key, const QVariant& value) {
        Prefs::flush();
        {
            QSettings settings(path_, QSettings::IniFormat);
            settings.setValue(key, value);
        }
        Prefs::useStore(path_);
    }
    // What reached the file.
    QSettings onDisk() {
        Prefs::flush();
        return QSettings(path_, QSettings::IniFormat);
    }

    QTemporaryDir dir_;
    QString path_;
};

TEST_F(PrefsTest, RegisteredDefaultsAreReadButNeverWritten) {
    EXPECT_FALSE(Prefs::value(Prefs::kMinTrackedSize).isValid());
    EXPECT_EQ(Prefs::scanOptions().minTrackedSize, 0);  // no value at all reads as 0

    Prefs::registerDefaults();
    EXPECT_EQ(Prefs::value(Prefs::kMinTrackedSize).toLongLong(), 1000000);
    EXPECT_TRUE(Prefs::value(Prefs::kShowMenuBarExtra).toBool());
    EXPECT_TRUE(Prefs::list(Prefs::kExcludedPaths).isEmpty());
    EXPECT_TRUE(Prefs::list(Prefs::kRecentTargets).isEmpty());
    EXPECT_EQ(Prefs::scanOptions(), ScanOptions{});
    EXPECT_TRUE(onDisk().allKeys().isEmpty());
}

TEST_F(PrefsTest, StoredValuesWinOverDefaultsAndSurviveAReopen) {
    store(Prefs::kMinTrackedSize, 5);
    store(Prefs::kTreatPackagesAsFiles, false);
    store(Prefs::kSkipHiddenFiles, true);
    store(Prefs::kExcludedPaths, "~/Downloads/\n/tmp");
    Prefs::registerDefaults();

    const ScanOptions options = Prefs::scanOptions();
    EXPECT_EQ(options.minTrackedSize, 5);
    EXPECT_FALSE(options.treatPackagesAsFiles);
    EXPECT_TRUE(options.skipHidden);
    EXPECT_EQ(options.excludedPaths, (std::vector<std::string>{"~/Downloads/", "/tmp"}));
}

TEST_F(PrefsTest, ListsKeepNonEmptyLinesUntrimmed) {
    const std::pair<QString, QStringList> cases[] = {
        {"", {}},
        {"\n\n", {}},
        {"/a\n\n/b\n", {"/a", "/b"}},
        {"/a\n   \n/b", {"/a", "   ", "/b"}},
        {" /x y ", {" /x y "}},
    };
    for (const auto& [text, expected] : cases) {
        store(Prefs::kRecentTargets, text);
        EXPECT_EQ(Prefs::list(Prefs::kRecentTargets), expected) << text.toStdString();
    }

    Prefs::setList(Prefs::kRecentTargets, {"/one", "/two"});
    EXPECT_EQ(onDisk().value(Prefs::kRecentTargets).toString(), "/one\n/two");
    EXPECT_EQ(Prefs::list(Prefs::kRecentTargets), (QStringList{"/one", "/two"}));
}

// Writes are saved aside: each is seen at once, and the file ends as the last of them left it.
TEST_F(PrefsTest, WritesAreSeenAtOnceAndSavedInOrder) {
    for (int i = 0; i < 200; ++i) {
        Prefs::setValue(Prefs::kMinTrackedSize, i);
        EXPECT_EQ(Prefs::value(Prefs::kMinTrackedSize).toInt(), i);
    }
    Prefs::setRecentTargets({"/a"});
    Prefs::setRecentTargets({"/b", "/a"});
    EXPECT_EQ(onDisk().value(Prefs::kMinTrackedSize).toInt(), 199);
    Prefs::useStore(path_);
    EXPECT_EQ(Prefs::value(Prefs::kMinTrackedSize).toInt(), 199);
    EXPECT_EQ(Prefs::recentTargets(), (std::vector<std::string>{"/b", "/a"}));
}

TEST_F(PrefsTest, AValueThatIsNotTextHoldsNoList) {
    Prefs::setValue(Prefs::kExcludedPaths, QStringList{"/a", "/b"});
    EXPECT_TRUE(Prefs::list(Prefs::kExcludedPaths).isEmpty());
}

TEST_F(PrefsTest, RecentsComeBackByteForByte) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"/home/u/Caf\xe9"},                      // Latin-1, not UTF-8
        {"/tmp/two\nlines", "/tmp/plain"},        // a line feed inside one name
        {"/a, b", "/c\"d\"", "/e=f;g", "/h\\i"},  // what a settings file quotes or splits on
        {"/\xff\xfe/x", "/tmp/\x01\x7f", "/ lead and trail "},
    };
    for (const auto& paths : cases) {
        Prefs::setRecentTargets(paths);
        EXPECT_EQ(Prefs::recentTargets(), paths) << testing::PrintToString(paths);
        Prefs::useStore(path_);  // as a new session reads the file
        EXPECT_EQ(Prefs::recentTargets(), paths) << testing::PrintToString(paths);
    }
}

TEST_F(PrefsTest, TheOlderTextRecentsAreReadUntilTheFirstWrite) {
    store(Prefs::kRecentTargets, "/old/one\n\n/old/two\n");
    EXPECT_EQ(Prefs::recentTargets(), (std::vector<std::string>{"/old/one", "/old/two"}));
    EXPECT_EQ(Prefs::recentTargets(), (std::vector<std::string>{"/old/one", "/old/two"}));

    Prefs::setRecentTargets({"/new"});
    EXPECT_FALSE(onDisk().contains(Prefs::kRecentTargets));
    EXPECT_EQ(Prefs::recentTargets(), std::vector<std::string>{"/new"});
    // Emptied, the list stays empty: the older one is not read again.
    store(Prefs::kRecentTargets, "/stale");
    Prefs::setRecentTargets({});
    EXPECT_TRUE(Prefs::recentTargets().empty());
}

}  // namespace
}  // namespace nimbrel
