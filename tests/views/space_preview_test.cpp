#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "space_test_support.h"
#include "views/kit/quick_preview.h"
#include "views/space/explorer_view.h"
#include "views/space/space_view.h"

namespace nimbrel {
namespace {

using namespace spacetest;

std::vector<QuickPreview*> openPreviews(const QWidget& view) {
    std::vector<QuickPreview*> open;
    for (QuickPreview* card : view.findChildren<QuickPreview*>())
        if (card->isVisible()) open.push_back(card);
    return open;
}

// The Space area's preview is the Files area's card: it reads in the background and only regular
// files, so a pipe in the scanned tree cannot hang the window; one card at a time, Escape closes it.
TEST(SpacePreview, OneBackgroundCardThatNeverOpensAPipe) {
    QTemporaryDir dir;
    const std::string fifo = dir.filePath(QStringLiteral("pipe")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string text = dir.filePath(QStringLiteral("notes.txt")).toStdString();
    {
        QFile f(QString::fromStdString(text));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hello\n");
    }

    SpaceHarness h;
    h.state->setResult(sampleResult());
    SpaceView view(*h.state, h.clock);
    h.show(view, {900, 700});

    for (const std::string& path : {fifo, text}) {
        SCOPED_TRACE(path);
        emit view.explorer()->previewRequested(path);
        const auto open = openPreviews(view);
        ASSERT_EQ(open.size(), 1u);
        QuickPreview* card = open.front();
        h.settle();  // a pipe must not hold the loading worker
        EXPECT_TRUE(card->isLoaded());
    }

    QTest::keyClick(openPreviews(view).front(), Qt::Key_Escape);
    EXPECT_TRUE(openPreviews(view).empty());
}

}  // namespace
}  // namespace nimbrel
