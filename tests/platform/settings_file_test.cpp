#include "platform/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace nimbrel {
namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Points the temporary folder (TMPDIR) elsewhere while it lives.
class TemporaryFolder {
  public:
    explicit TemporaryFolder(const QString& path) : was_(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", path.toLocal8Bit());
    }
    ~TemporaryFolder() { was_.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", was_); }

  private:
    QByteArray was_;
};

// A settings file planted as a link (by the user whose HOME a root session uses, or by the user
// themself) is never written through: the link is replaced by a file of its own and its target
// keeps its bytes. A link that belongs to someone else is not even read; a folder on the way that
// is another user's link is neither read nor written.
TEST(SettingsFile, NeverWritesThroughALink) {
    namespace fs = std::filesystem;
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    // Reads and saves leave nothing behind in the temporary folder.
    QTemporaryDir scratch;
    std::optional<TemporaryFolder> tmpdir(std::in_place, scratch.path());
    const auto scratchLeftovers = [&] {
        tmpdir.reset();
        return QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const std::string victim = base + "/victim.conf";
    const std::string kept = "[General]\nminTrackedSize=77\n";
    std::ofstream(victim) << kept;
    fs::create_directories(base + "/elsewhere");
    const bool root = geteuid() == 0;
    const uid_t other = 65534;

    const struct {
        const char* what;
        bool needsRoot;
        bool readThrough;  // the target's values are read
        bool saved;
    } cases[] = {
        {"own-link", false, true, true},
        {"others-link", true, false, true},
        {"others-folder-link", true, false, false},
    };
    for (const auto& c : cases) {
        if (c.needsRoot && !root) continue;  // only root can plant another user's link here
        const std::string home = base + "/" + c.what;
        fs::create_directories(home);
        std::string file = home + "/Nimbrel.conf";
        if (std::string(c.what) == "others-folder-link") {
            fs::create_directory_symlink(base + "/elsewhere", home + "/config");
            ASSERT_EQ(lchown((home + "/config").c_str(), other, other), 0);
            file = home + "/config/Nimbrel.conf";
            fs::create_symlink(victim, base + "/elsewhere/Nimbrel.conf");
        } else {
            fs::create_symlink(victim, file);
            if (c.needsRoot) {
                ASSERT_EQ(lchown(file.c_str(), other, other), 0);
            }
        }
        if (root) {
            ASSERT_EQ(chown(home.c_str(), other, other), 0);  // a HOME of another user
        }

        const QString path = QString::fromStdString(file);
        EXPECT_EQ(SettingsFile::read(path).value("minTrackedSize").toInt(), c.readThrough ? 77 : 0) << c.what;
        EXPECT_EQ(SettingsFile::update(path, {{"skipHiddenFiles", true}}), c.saved) << c.what;
        EXPECT_EQ(contents(victim), kept) << c.what;
        if (c.saved) {
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << c.what;
            const QVariantMap now = SettingsFile::read(path);
            EXPECT_TRUE(now.value("skipHiddenFiles").toBool()) << c.what;
            EXPECT_EQ(now.contains("minTrackedSize"), c.readThrough) << c.what;
        } else {
            EXPECT_TRUE(fs::is_symlink(base + "/elsewhere/Nimbrel.conf")) << c.what;
        }
    }
    EXPECT_EQ(scratchLeftovers().join(QLatin1Char(' ')).toStdString(), "");
    // An unprivileged user's own link to root's file: replaced, the file untouched.
    if (!root) return;
    const std::string mine = base + "/nobody";
    fs::create_directories(mine);
    fs::create_symlink(victim, mine + "/Nimbrel.conf");
    ASSERT_EQ(chown(mine.c_str(), other, other), 0);
    ASSERT_EQ(lchown((mine + "/Nimbrel.conf").c_str(), other, other), 0);
    ASSERT_EQ(chmod(base.c_str(), 0755), 0);
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setresgid(other, other, other) == 0 && setresuid(other, other, other) == 0;
        _exit(dropped && SettingsFile::update(QString::fromStdString(mine + "/Nimbrel.conf"),
                                              {{"skipHiddenFiles", true}})
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents(victim), kept);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(mine + "/Nimbrel.conf")));
}

// A save that cannot parse what the file holds (no temporary folder to parse it in) fails and leaves
// the file as it was: saving only the change would lose every other key.
TEST(SettingsFile, ASaveThatCannotParseTheFileKeepsIt) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("Nimbrel.conf").toStdString();
    const std::string kept = "[General]\nminTrackedSize=77\n";
    std::ofstream(file) << kept;
    {
        TemporaryFolder notAFolder(QString::fromStdString(file));  // even root makes nothing in it
        EXPECT_FALSE(SettingsFile::update(QString::fromStdString(file), {{"skipHiddenFiles", true}}));
    }
    EXPECT_EQ(contents(file), kept);
}

}  // namespace
}  // namespace nimbrel
