#include "platform/file_manager.h"

#include <gtest/gtest.h>

#include <QUrl>

namespace nimbrel {

TEST(FileManager, FileUrisKeepThePathsBytes) {
    const std::pair<std::string, const char*> cases[] = {
        {"/", "file:///"},
        {"/home/u/My Files/a#b%c?.txt", "file:///home/u/My%20Files/a%23b%25c%3F.txt"},
        {"/tmp/caf\xC3\xA9", "file:///tmp/caf%C3%A9"},
        {"/tmp/bad\xFFname", "file:///tmp/bad%FFname"},
    };
    for (const auto& [path, uri] : cases) {
        EXPECT_EQ(FileActions::fileUri(path).toStdString(), uri);
        // Decoding the URI gives back the very same bytes.
        const QByteArray back = QByteArray::fromPercentEncoding(
            QUrl(FileActions::fileUri(path)).path(QUrl::FullyEncoded).toLatin1());
        EXPECT_EQ(back.toStdString(), path);
    }
}

}  // namespace nimbrel
