#include "views/files/files_view.h"

#include <sys/stat.h>

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "shell_fixture.h"
#include "theme/nimbrel_button.h"
#include "views/files/item_row.h"
#include "views/files/lazy_rows.h"
#include "views/files/quick_preview.h"
#include "views/files/shelf.h"

namespace nimbrel {
namespace {

class FilesViewTest : public ShellFixture {
  protected:
    void install(int count) {
        auto result = std::make_shared<ScanResult>();
        for (int i = 0; i < count; ++i) {
            FileItem f;
            f.id = i;
            f.name = "file" + std::to_string(i) + (i % 2 ? ".mov" : ".txt");
            f.path = "/nimbrel-test/" + f.name;
            f.size = 1'000'000 * (count - i);
            f.category = i % 2 ? FileCategory::video : FileCategory::document;
            result->files.push_back(f);
        }
        state_->setResult(result);
    }
};

TEST_F(FilesViewTest, BiggestPagesByFortyEightAndResetsOnlyOnFilterSortAndCategory) {
    install(100);
    BiggestShelves shelves(*state_, {});
    ASSERT_EQ(shelves.matchCount(), 100);
    EXPECT_EQ(shelves.shelfCard()->detail(), QStringLiteral("showing 48 of 100"));
    EXPECT_EQ(shelves.shelfCard()->rows()->count(), 48);
    ASSERT_NE(shelves.moreButton(), nullptr);
    EXPECT_EQ(shelves.moreButton()->text(), QStringLiteral("Show 48 more"));
    shelves.moreButton()->click();
    EXPECT_EQ(shelves.shown(), 96);
    EXPECT_EQ(shelves.moreButton()->text(), QStringLiteral("Show 4 more"));
    shelves.setHidePackages(true);
    EXPECT_EQ(shelves.shown(), 96);
    shelves.showMore();
    EXPECT_EQ(shelves.moreButton(), nullptr);
    EXPECT_EQ(shelves.shelfCard()->rows()->count(), 100);

    shelves.setSearch(QStringLiteral(".MOV"));
    EXPECT_EQ(shelves.shown(), 48);
    EXPECT_EQ(shelves.matchCount(), 50);
    EXPECT_EQ(shelves.subtitle(), QStringLiteral("50 files · 2.5 GB"));
    shelves.showMore();
    state_->setLargestCategory(FileCategory(FileCategory::document));
    EXPECT_EQ(shelves.shown(), 48);
    EXPECT_EQ(shelves.matchCount(), 0);  // documents are .txt, the search wants .mov
    shelves.setSearch({});
    shelves.showMore();
    shelves.setSort(FileSort::name);
    EXPECT_EQ(shelves.shown(), 48);
    EXPECT_EQ(shelves.shelfCard()->title(), QStringLiteral("A to Z"));
}

TEST_F(FilesViewTest, ARowClickPutsTheFileIntoTheSelection) {
    install(3);
    BiggestShelves shelves(*state_, {});
    shelves.resize(1000, 700);
    shelves.show();
    QCoreApplication::processEvents();
    QWidget* built = shelves.shelfCard()->rows()->rowWidget(0);
    auto* row = qobject_cast<ItemRow*>(built);
    ASSERT_NE(row, nullptr);
    row->click();
    ASSERT_EQ(state_->queue().items().size(), 1u);
    const CleanItem& item = state_->queue().items().front();
    EXPECT_EQ(item.id, "/nimbrel-test/file0.txt");
    EXPECT_EQ(item.source, CleanItem::Source::files);
    EXPECT_EQ(item.kind, CleanItem::Kind::file);
    EXPECT_EQ(item.heat, 0);
    EXPECT_TRUE(row->isLoaded());
}

TEST_F(FilesViewTest, TheSectionChoosesTheShelfAndTwinsStartAtTheIntro) {
    install(3);
    state_->setSection(SidebarItem::old);
    FilesView view(*state_);
    EXPECT_NE(qobject_cast<ForgottenShelves*>(view.shelf()), nullptr);
    state_->setSection(SidebarItem::duplicates);
    auto* twins = qobject_cast<TwinShelves*>(view.shelf());
    ASSERT_NE(twins, nullptr);
    EXPECT_EQ(twins->content(), TwinShelves::Content::intro);
    state_->setSection(SidebarItem::cleanup);
    EXPECT_NE(qobject_cast<BiggestShelves*>(view.shelf()), nullptr);

    view.setPreviewPath(std::string("/nimbrel-test/file0.txt"));
    EXPECT_TRUE(view.previewPath().has_value());
    view.setPreviewPath(std::nullopt);
    EXPECT_FALSE(view.previewPath().has_value());
}

}  // namespace
}  // namespace nimbrel

#include <sys/stat.h>

#include <QImage>
#include <QTemporaryDir>

#include "views/files/quick_preview.h"

namespace nimbrel {
namespace {

TEST(QuickPreviewTest, PicturesAreScaledTextIsReadAndEverythingElseShowsTheIcon) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName().toStdString();
    };
    QImage big(2000, 1000, QImage::Format_RGB32);
    big.fill(Qt::red);
    const std::string picture = dir.filePath(QStringLiteral("big.png")).toStdString();
    ASSERT_TRUE(big.save(QString::fromStdString(picture)));
    const std::string text = write("notes.txt", "first line\nsecond line\n");
    const std::string binary = write("blob.bin", QByteArray("\x01\x00\x02\x03", 4));
    const std::string fifo = dir.filePath(QStringLiteral("pipe")).toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    const QSize fit(400, 300);
    const PreviewContent image = PreviewContent::load(picture, fit);
    EXPECT_EQ(image.image.size(), QSize(400, 200));
    EXPECT_EQ(PreviewContent::load(text, fit).text, QStringLiteral("first line\nsecond line\n"));
    const PreviewContent blob = PreviewContent::load(binary, fit);
    EXPECT_TRUE(blob.image.isNull() && blob.text.isEmpty());
    EXPECT_EQ(blob.size, 4);
    EXPECT_EQ(PreviewContent::load(fifo, fit).size, -1);  // never opened: it would block
    EXPECT_EQ(PreviewContent::load(dir.filePath(QStringLiteral("gone")).toStdString(), fit).size, -1);
}

}  // namespace
}  // namespace nimbrel
