#include "views/files/review_sheet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "engine/host_layout.h"
#include "shell_fixture.h"
#include "theme/chip.h"
#include "theme/nimbrel_button.h"
#include "theme/shrinking_scroll.h"
#include "views/files/failure_sheet.h"
#include "views/files/files_hooks.h"
#include "views/kit/files_text.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/modal_host.h"
#include "views/test_items.h"

namespace nimbrel {
namespace {

CleanItem fileItem(const std::string& path, int64_t size,
                   CleanItem::Source source = CleanItem::Source::files) {
    return testItem(path, size, CleanItem::Kind::file, source);
}

class ReviewSheetTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        demo_->store(true);  // a removal is only pretended: nothing on the disk is touched
    }
    std::string home = HostLayout::current().home;
    CleanItem movie = fileItem(home + "/Movies/nimbrel-test-a.mov", 2'000'000);
    CleanItem key = fileItem(home + "/Work/nimbrel-test-certs.pem", 4'000);
    CleanItem space = fileItem(home + "/Movies/nimbrel-test-b.mov", 1'000'000, CleanItem::Source::space);
};

TEST_F(ReviewSheetTest, DangerKeepsBothButtonsOffUntilAcknowledged) {
    state_->queue().add(std::vector<CleanItem>{movie, key});
    state_->nimbrelise();
    ASSERT_TRUE(state_->isReviewing());
    ReviewSheet sheet(*state_);
    sheet.show();

    ASSERT_NE(sheet.dangerBanner(), nullptr);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    EXPECT_FALSE(sheet.foreverButton()->isEnabled());
    EXPECT_EQ(sheet.trashButton()->toolTip(), QStringLiteral("Confirm the warning above first"));
    // Return, a click and a direct call all refuse while the warning stands.
    QTest::keyClick(&sheet, Qt::Key_Return);
    sheet.moveToTrash();
    sheet.removeForever();
    EXPECT_TRUE(state_->isReviewing());
    EXPECT_FALSE(state_->isDeleting());

    // Unticking the danger item lifts the gate; ticking it again brings it back.
    sheet.setTicked(key.id, false);
    EXPECT_EQ(sheet.dangerBanner(), nullptr);
    EXPECT_TRUE(sheet.trashButton()->isEnabled());
    sheet.setTicked(key.id, true);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());

    QTest::mouseClick(sheet.acknowledgementCheck(), Qt::LeftButton);
    EXPECT_TRUE(sheet.isAcknowledged());
    EXPECT_TRUE(sheet.trashButton()->isEnabled());
    EXPECT_TRUE(sheet.foreverButton()->isEnabled());

    // A danger item that arrives afterwards needs a new acknowledgement.
    const CleanItem vm = fileItem(home + "/VMs/nimbrel-test.vdi", 10);
    state_->queue().add(vm);
    EXPECT_FALSE(sheet.isAcknowledged());
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    sheet.setAcknowledged(true);

    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_FALSE(state_->isReviewing());
    EXPECT_TRUE(state_->isDeleting());
}

TEST_F(ReviewSheetTest, UntickedItemsStayAndAreNotHandedOver) {
    state_->queue().add(std::vector<CleanItem>{movie, space});
    ReviewSheet sheet(*state_);
    sheet.show();
    EXPECT_EQ(sheet.countLine(), QStringLiteral("2 of 2 items · 3 MB"));
    sheet.setSourceTicked(CleanItem::Source::space, false);
    EXPECT_EQ(sheet.countLine(), QStringLiteral("1 of 2 items · 2 MB"));
    EXPECT_EQ(sheet.model().ids(), std::unordered_set<std::string>{movie.id});
    sheet.setSourceTicked(CleanItem::Source::files, false);
    EXPECT_FALSE(sheet.trashButton()->isEnabled());
    EXPECT_EQ(sheet.trashButton()->toolTip(), QStringLiteral("Moves everything ticked to the Trash"));
    sheet.setSourceTicked(CleanItem::Source::files, true);
    sheet.setSourceTicked(CleanItem::Source::space, true);
    EXPECT_TRUE(sheet.excluded().empty());

    // Escape cancels without touching the selection.
    state_->setIsReviewing(true);
    sheet.setTicked(movie.id, false);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_FALSE(state_->isReviewing());
    EXPECT_EQ(state_->queue().items().size(), 2u);
}

TEST_F(ReviewSheetTest, RowsFollowTheQueueAndTheLastRemovalCloses) {
    state_->queue().add(movie);
    state_->setIsReviewing(true);
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    QCoreApplication::processEvents();
    LazyRows* rows = sheet.sectionRows(CleanItem::Source::files);
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->count(), 1);
    auto* row = rows->rowWidget(0) ? rows->rowWidget(0)->findChild<ReviewRow*>() : nullptr;
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->menuEntries(), (QStringList{QStringLiteral("Copy Path"), revealTitle(),
                                               QStringLiteral("Remove from Selection")}));
    QTest::mouseClick(row->check(), Qt::LeftButton);
    EXPECT_FALSE(sheet.model().isTicked(movie.id));

    state_->queue().remove(movie.id);
    EXPECT_FALSE(state_->isReviewing());
}

TEST_F(ReviewSheetTest, ALongSelectionBuildsOnlyTheRowsInView) {
    std::vector<CleanItem> many;
    for (int i = 0; i < 3000; ++i)
        many.push_back(fileItem(home + "/nimbrel-test/f" + std::to_string(i), 1000));
    state_->queue().add(many);
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    QCoreApplication::processEvents();
    LazyRows* rows = sheet.sectionRows(CleanItem::Source::files);
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->count(), 3000);
    EXPECT_GT(rows->builtCount(), 0);
    EXPECT_LT(rows->builtCount(), 40);
    EXPECT_EQ(sheet.countLine(), QStringLiteral("3000 of 3000 items · 3 MB"));
}

// Unticking a row, a section's tick and "Show items" change what is drawn, not where the list stands.
TEST_F(ReviewSheetTest, TheListKeepsItsPlaceWhenRowsChange) {
    std::vector<CleanItem> many;
    for (int i = 0; i < 200; ++i)
        many.push_back(fileItem(home + "/nimbrel-test/f" + std::to_string(i), 1000));
    many.push_back(space);
    state_->queue().add(many);
    ReviewSheet sheet(*state_);
    sheet.resize(sheet.sizeHint());
    sheet.show();
    QTest::qWait(20);
    QScrollBar* bar = sheet.listScroll()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 2000);
    bar->setValue(2000);
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"untick a row", [&] { sheet.setTicked(many[150].id, false); }},
        {"tick it again", [&] { sheet.setTicked(many[150].id, true); }},
        {"untick a section", [&] { sheet.setSourceTicked(CleanItem::Source::files, false); }},
        {"tick the section", [&] { sheet.setSourceTicked(CleanItem::Source::files, true); }},
    };
    for (const auto& [what, step] : steps) {
        SCOPED_TRACE(what);
        step();
        EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() == 2000; }, 1000)) << bar->value();
        QTest::qWait(20);
        EXPECT_EQ(bar->value(), 2000);
    }
}

// A path written through a link into a protected folder is kept, as the removal will judge it:
// it never counts towards the size about to be removed.
TEST_F(ReviewSheetTest, KeptFollowsWhereAPathLeadsOnDisk) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string link = dir.path().toStdString() + "/system-link";
    ASSERT_EQ(::symlink("/usr", link.c_str()), 0);
    const CleanItem throughLink = fileItem(link + "/bin", 5'000'000);
    state_->queue().add(std::vector<CleanItem>{throughLink, movie});
    ReviewSheet sheet(*state_);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sheet.model().kept().size() == 1; }, 3000));
    EXPECT_EQ(sheet.model().kept().front().id, throughLink.id);
    EXPECT_EQ(sheet.model().removalSize(), movie.size);
    EXPECT_EQ(sheet.model().rowBadge(throughLink), ReviewModel::RowBadge::kept);
}

TEST_F(ReviewSheetTest, FailureRowsLearnWhichPathsAreFoldersAfterTheSheetIsUp) {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/stayed";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string file = QFile::encodeName(dir.path()).toStdString() + "/note.txt";
    ASSERT_TRUE(QFile(QFile::decodeName(QByteArray::fromStdString(file))).open(QIODevice::WriteOnly));
    std::vector<DeletionFailure> failures = {{folder, DeletionFailure::Reason::inUse, ""},
                                             {file, DeletionFailure::Reason::inUse, ""}};
    FailureSheet sheet(*state_, failures);
    auto rows = sheet.findChildren<FailureRow*>();
    ASSERT_EQ(rows.size(), 2);
    auto rowFor = [&](const std::string& path) {
        for (FailureRow* row : rows)
            if (row->failure().path == path) return row;
        return static_cast<FailureRow*>(nullptr);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return rowFor(folder)->showsDirectoryIcon(); }, 3000));
    EXPECT_FALSE(rowFor(file)->showsDirectoryIcon());
}

TEST_F(ReviewSheetTest, FailureSheetListsGroupsAndCloses) {
    std::vector<DeletionFailure> failures;
    for (int i = 0; i < 151; ++i)
        failures.push_back({"/nimbrel-test/gone" + std::to_string(i), DeletionFailure::Reason::inUse, ""});
    failures.push_back({"/nimbrel-test/x", DeletionFailure::Reason::other, "Input/output error"});
    state_->setDeletionFailures(failures);
    FailureSheet sheet(*state_, failures);
    EXPECT_EQ(sheet.rowCount(), 151);  // 150 in use, 1 other
    EXPECT_EQ(sheet.groupCopyButtons().size(), 2u);
    EXPECT_FALSE(sheet.fullDiskAccessButton()->isVisibleTo(&sheet));
    auto rows = sheet.findChildren<FailureRow*>();
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_FALSE(rows.front()->showsDirectoryIcon());  // the path no longer exists

    sheet.groupCopyButtons()[0]->click();
    ASSERT_TRUE(state_->toast().has_value());
    EXPECT_EQ(state_->toast()->message, QStringLiteral("Copied 151 paths"));
    sheet.okButton()->click();
    EXPECT_FALSE(state_->deletionFailures().has_value());
}

}  // namespace
}  // namespace nimbrel

namespace nimbrel {
namespace {

TEST_F(ReviewSheetTest, EveryReviewStartsFreshInTheModalHost) {
    installFilesCards();
    ModalHost host(*state_);
    host.resize(1240, 800);
    host.show();
    state_->queue().add(std::vector<CleanItem>{movie, key});
    state_->nimbrelise();
    QCoreApplication::processEvents();
    auto* first = qobject_cast<ReviewSheet*>(host.card());
    ASSERT_NE(first, nullptr);
    first->setTicked(movie.id, false);
    first->setAcknowledged(true);
    EXPECT_TRUE(first->trashButton()->isEnabled());
    first->cancel();
    QCoreApplication::processEvents();
    state_->nimbrelise();
    QCoreApplication::processEvents();
    auto* second = qobject_cast<ReviewSheet*>(host.card());
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->isAcknowledged());
    EXPECT_TRUE(second->excluded().empty());
    EXPECT_FALSE(second->trashButton()->isEnabled());

    state_->setIsReviewing(false);
    state_->setDeletionFailures(
        std::vector<DeletionFailure>{{"/nimbrel-test/x", DeletionFailure::Reason::inUse, ""}});
    QCoreApplication::processEvents();
    EXPECT_NE(qobject_cast<FailureSheet*>(host.card()), nullptr);
}

}  // namespace
}  // namespace nimbrel
