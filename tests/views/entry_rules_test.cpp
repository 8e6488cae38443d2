#include "views/space/entry_rules.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "engine/host_layout.h"
#include "engine/safety_guard.h"
#include "space_test_support.h"
#include "test_items.h"
#include "theme/icon_button.h"
#include "views/kit/path_actions.h"

namespace nimbrel {
namespace {

using namespace spacetest;
using O = EntryRules::ClickOutcome;
using C = ExplorerTile::Condition;

// The host's own word for the selecting click's modifier.
#ifdef Q_OS_MACOS
const QString kModifier = QStringLiteral("⌘");
#else
const QString kModifier = QStringLiteral("Ctrl");
#endif

ExplorerEntry plain(std::string id, Risk::Level level = Risk::Level::normal) {
    ExplorerEntry e;
    e.name = id.substr(id.rfind('/') + 1);
    e.id = std::move(id);
    e.size = 10;
    e.risk.level = level;
    e.risk.title = "Title";
    e.risk.why = "Holds Mail data";
    return e;
}

TEST(EntryRules, ClickDispatch) {
    struct Case {
        ClickInfo click;
        bool open, preview;
        O outcome;
    };
    const std::vector<Case> cases = {
        {ClickInfo::left(2), true, true, O::ignored},
        {ClickInfo::left(1, Qt::ControlModifier), true, true, O::toggle},
        {ClickInfo::left(1, Qt::ShiftModifier), false, false, O::toggle},
        {ClickInfo::left(1, Qt::AltModifier), true, false, O::open},
        {ClickInfo::left(1), false, true, O::preview},
        {ClickInfo::left(1), false, false, O::nothing},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryRules::click(c.click, c.open, c.preview), c.outcome);
}

TEST(EntryRules, ToggleRefusesKeptEntriesAndWarnsBeforeDanger) {
    SpaceHarness h;
    AppState& s = *h.state;
    const std::string home = HostLayout::current().home;

    ExplorerEntry kept = plain(home);
    kept.isDirectory = true;
    EntryRules::toggle(s, kept, ClickInfo::none());
    ASSERT_TRUE(s.toast().has_value());
    EXPECT_TRUE(s.toast()->message.startsWith(QString::fromStdString("“" + kept.name + "” stays: ")));
    EXPECT_EQ(s.toast()->symbol, "lock.fill");
    EXPECT_TRUE(s.queue().items().empty());
    s.setToast(std::nullopt);

    ExplorerEntry danger = plain("/data/Mail", Risk::Level::danger);
    EntryRules::toggle(s, danger, ClickInfo::left(2));  // a repeated click does nothing
    EXPECT_TRUE(s.queue().items().empty());
    EntryRules::toggle(s, danger, ClickInfo::none());
    ASSERT_TRUE(s.toast().has_value());
    // Only the first letter is lowered: names inside the reason keep their case.
    EXPECT_EQ(s.toast()->message,
              "Careful: “Mail”: holds Mail data. You'll confirm before anything is removed.");
    EXPECT_TRUE(s.queue().contains("/data/Mail"));
    s.setToast(std::nullopt);
    EntryRules::toggle(s, danger, ClickInfo::none());  // deselecting shows no toast
    EXPECT_FALSE(s.toast().has_value());
    EXPECT_FALSE(s.queue().contains("/data/Mail"));

    ExplorerEntry folder = plain("/data");
    folder.isDirectory = true;
    EntryRules::toggle(s, folder, ClickInfo::none());
    EntryRules::toggle(s, danger, ClickInfo::none());  // already included: no warning, left out instead
    EXPECT_FALSE(s.toast().has_value() && s.toast()->symbol == "exclamationmark.triangle.fill");

    ExplorerEntry measuring = plain("/x/m");
    measuring.measuring = true;
    EntryRules::toggle(s, measuring, ClickInfo::none());
    EXPECT_FALSE(s.queue().contains("/x/m"));
    EXPECT_EQ(EntryRules::control(measuring), EntryRules::Control::none);
    EXPECT_EQ(EntryRules::control(kept), EntryRules::Control::lock);
    EXPECT_EQ(EntryRules::control(danger), EntryRules::Control::select);
}

TEST(EntryRules, ContentsOnlyFoldersStaySelectable) {
    for (const std::string& path : SafetyGuard::contentsOnly()) {
        EXPECT_TRUE(SafetyGuard::isProtected(path)) << path;
        EXPECT_FALSE(EntryRules::kept(path)) << path;
        CleanQueue queue;
        const QString help = EntryRules::help(plain(path), C::clean, ExplorerLayout::icons, true, queue);
        EXPECT_TRUE(help.contains("Selecting it nimbrelises everything inside; the folder itself stays"))
            << path;
    }
}

TEST(EntryRules, TooltipLines) {
    CleanQueue queue;
    queue.add(testItem("/p/sel", 0, CleanItem::Kind::folder));

    ExplorerEntry artifact = plain("/p/node_modules");
    artifact.artifactKind = "npm";
    artifact.isDirectory = true;
    EXPECT_EQ(EntryRules::help(artifact, C::bloated, ExplorerLayout::list, true, queue),
              "/p/node_modules\nnpm · safe to nimbrelise\nOne of the heaviest things here\nClick to open\n"
              "Checkbox, " +
                  kModifier + "-click or Space to select for cleaning");

    ExplorerEntry inside = plain("/p/sel/x", Risk::Level::caution);
    EXPECT_EQ(EntryRules::help(inside, C::clean, ExplorerLayout::icons, false, queue),
              "/p/sel/x\nTitle: Holds Mail data\nClick to preview\n"
              "Included because “sel” is selected. Untick to leave just this out\n"
              "Circle, " +
                  kModifier + "-click or Space to deselect");

    ExplorerEntry found = plain("/p/found", Risk::Level::danger);
    found.isDirectory = true;
    EXPECT_TRUE(EntryRules::help(found, C::clean, ExplorerLayout::icons, false, queue)
                    .contains("⚠️ Title: Holds Mail data\nOpens once the scan finishes"));

    const std::string home = HostLayout::current().home;
    const QString keptHelp = EntryRules::help(plain(home), C::clean, ExplorerLayout::icons, true, queue);
    EXPECT_TRUE(keptHelp.startsWith("~\n🔒 "));
    EXPECT_FALSE(keptHelp.contains("Circle"));
}

TEST(EntryRules, KindLine) {
    ExplorerEntry measuring = plain("/a/m");
    measuring.measuring = true;
    ExplorerEntry locked = plain("/a/l", Risk::Level::locked);
    ExplorerEntry artifact = plain("/a/target");
    artifact.artifactKind = "Cargo";
    ExplorerEntry folder = plain("/a/docs");
    folder.isDirectory = true;
    ExplorerEntry counted = folder;
    counted.fileCount = 1234;
    ExplorerEntry app = plain("/a/Tool.app");
    app.isDirectory = true;
    ExplorerEntry video = plain("/a/v.mov");
    video.category = FileCategory::video;
    const std::vector<std::pair<ExplorerEntry, QString>> cases = {
        {measuring, "Measuring…"},
        {locked, "Holds Mail data"},
        {artifact, "Cargo · safe to nimbrelise"},
        {folder, "Folder"},
        {counted, "Folder · 1,234 files"},
        // A package is a Mac folder kind: off the Mac it is named as one.
        {app, HostLayout::current().isMac() ? "App or bundle" : "Mac package"},
        {video, "Video"},
        {plain("/a/x"), "File"},
    };
    for (const auto& [e, text] : cases)
        EXPECT_EQ(EntryRules::kindLine(e), text) << e.id;
}

TEST(PathActions, CopyAndAbbreviate) {
    SpaceHarness h;
    EXPECT_EQ(PathActions::abbreviate("/home/u", "/home/u"), "~");
    EXPECT_EQ(PathActions::abbreviate("/home/u/a b", "/home/u"), "~/a b");
    EXPECT_EQ(PathActions::abbreviate("/home/u2/x", "/home/u"), "/home/u2/x");
    PathActions::copy(*h.state, {});
    EXPECT_FALSE(h.state->toast().has_value());
    const std::string odd = "/tmp/Grüße und Leerzeichen.txt";
    PathActions::copy(*h.state, {odd});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromStdString(odd));
    EXPECT_EQ(h.state->toast()->message, QString::fromStdString("Copied " + odd));
    EXPECT_EQ(h.state->toast()->symbol, "doc.on.doc.fill");
    PathActions::copy(*h.state, {"/a", "/b"});
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "/a\n/b");
    EXPECT_EQ(h.state->toast()->message, "Copied 2 paths");
    PathActions actions(*h.state, "/x", 22);
    EXPECT_EQ(actions.copyButton()->side(), 22);
    EXPECT_EQ(actions.revealButton()->side(), 22);
}

TEST(EntryRules, ReasonsFoldedIntoAToastKeepTheirNames) {
    const HostLayout& host = HostLayout::current();
    const QString system = QString::fromStdString(host.systemName);
    const QString manager = QString::fromStdString(host.fileManagerName);
    const struct {
        QString reason, folded;
    } cases[] = {
        {system + " and your apps expect this folder to exist",
         system + " and your apps expect this folder to exist"},
        {"Part of " + system + ", never touched", "part of " + system + ", never touched"},
        {"Your home folder can't be nimbrelised", "your home folder can't be nimbrelised"},
        {"Your SSH and encryption keys are never touched", "your SSH and encryption keys are never touched"},
        {"SSH keys stay", "SSH keys stay"},
        {"macOS and your apps expect it", "macOS and your apps expect it"},
        {"iCloud Drive", "iCloud Drive"},
        {manager + " keeps it", manager + " keeps it"},
        {system + "ish things", system.left(1).toLower() + system.mid(1) + "ish things"},
        {"A", "a"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryRules::lowerFirst(c.reason), c.folded) << c.reason.toStdString();

    // The toast a kept folder gives, with the guard's own reason.
    SpaceHarness h;
    ExplorerEntry documents = plain(host.home + "/Documents");
    documents.isDirectory = true;
    EntryRules::toggle(*h.state, documents, ClickInfo::none());
    ASSERT_TRUE(h.state->toast().has_value());
    EXPECT_EQ(h.state->toast()->message,
              QStringLiteral("“Documents” stays: ") + system +
                  " and your apps expect this folder to exist. Open it to clean inside");
}

}  // namespace
}  // namespace nimbrel
