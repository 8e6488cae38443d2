#include "views/shell/drop_policy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <fstream>
#include <memory>

namespace nimbrel {
namespace {

QUrl fileUrl(const std::string& bytes) {
    return QUrl::fromEncoded(QByteArray("file://") +
                             QByteArray(bytes.data(), bytes.size()).toPercentEncoding("/"));
}

TEST(DropPolicy, LocalPathKeepsTheBytesOfTheName) {
    struct Case {
        const char* encoded;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"file:///tmp/a%20b", std::string("/tmp/a b")},
        {"file:///tmp/caf%C3%A9", std::string("/tmp/caf\xC3\xA9")},
        {"file:///tmp/odd%FFname", std::string("/tmp/odd\xFFname")},
        {"file:///tmp/x%23y%3Fz", std::string("/tmp/x#y?z")},
        {"file://localhost/tmp/a", std::string("/tmp/a")},
        {"file://server/share/a", std::nullopt},
        {"https://example.org/a", std::nullopt},
        {"smb://server/a", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DropPolicy::localPath(QUrl::fromEncoded(c.encoded)), c.path) << c.encoded;
    }
}

TEST(DropPolicy, OnlyTheFirstUrlCountsAndItMustBeAFolderItself) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = QFile::encodeName(dir.path()).toStdString();
    const std::string folder = root + "/folder";
    const std::string other = root + "/other";
    const std::string file = root + "/file.txt";
    const std::string link = root + "/link";
    const std::string odd = root + "/odd\xFF";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(other.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(odd.c_str(), 0755), 0);
    // QTemporaryDir cannot name a folder that is not UTF-8, so it would leave the whole tree behind.
    const std::unique_ptr<const char, int (*)(const char*)> oddGone(odd.c_str(), ::rmdir);
    std::ofstream(file) << "x";
    ASSERT_EQ(::symlink(folder.c_str(), link.c_str()), 0);

    struct Case {
        const char* what;
        QList<QUrl> urls;
        std::optional<std::string> scanned;
    };
    const Case cases[] = {
        {"a folder", {fileUrl(folder)}, folder},
        {"several folders: the first", {fileUrl(other), fileUrl(folder)}, other},
        {"a file first, then a folder", {fileUrl(file), fileUrl(folder)}, std::nullopt},
        {"a plain file", {fileUrl(file)}, std::nullopt},
        {"a link to a folder", {fileUrl(link)}, std::nullopt},
        {"a missing path", {fileUrl(root + "/gone")}, std::nullopt},
        {"a web address", {QUrl("https://example.org/")}, std::nullopt},
        {"no URL", {}, std::nullopt},
        {"a name that is not UTF-8", {fileUrl(odd)}, odd},
    };
    for (const Case& c : cases) {
        QMimeData mime;
        mime.setUrls(c.urls);
        std::optional<std::string> path = DropPolicy::pathToScan(mime);
        if (path && !DropPolicy::isFolderItself(*path)) path.reset();
        EXPECT_EQ(path, c.scanned) << c.what;
    }
}

TEST(DropPolicy, OnlyDragsWithLocalFilesLightTheHint) {
    QMimeData own;
    own.setData("application/json", R"({"id":"/tmp/a"})");
    EXPECT_FALSE(DropPolicy::carriesLocalFiles(own));

    QMimeData text;
    text.setText("/tmp");
    EXPECT_FALSE(DropPolicy::carriesLocalFiles(text));

    QMimeData web;
    web.setUrls({QUrl("https://example.org/")});
    EXPECT_FALSE(DropPolicy::carriesLocalFiles(web));

    QMimeData files;
    files.setUrls({QUrl("https://example.org/"), QUrl::fromLocalFile("/tmp/whatever")});
    EXPECT_TRUE(DropPolicy::carriesLocalFiles(files));
}

}  // namespace
}  // namespace nimbrel
