#include "views/shell/scan_menu_model.h"

#include <gtest/gtest.h>

#include "support/collect.h"
#include "test_volumes.h"
#include "util/fmt.h"

namespace nimbrel {
namespace {

auto titles(const std::vector<ScanMenuLine>& lines) {
    return collect(lines, [](const ScanMenuLine& l) {
        return l.kind == ScanMenuLine::Kind::divider ? std::string("--") : l.title.toStdString();
    });
}

TEST(ScanMenuModel, ListsTargetsVolumesAndFiveRecents) {
    ScanMenuModel model;
    model.layout = HostLayout::linux("/home/me");
    EXPECT_EQ(titles(model.lines()),
              (std::vector<std::string>{"SCAN", "Home Folder", "Entire Disk", "--", "Choose Folder…"}));
    EXPECT_FALSE(model.lines()[2].detail) << "no volume: no used space";

    model.applicationsFolder = "/Applications";
    model.volumes.push_back(testVolume("/", "Computer", 1000, 400, true));
    model.volumes.back().used = 550;  // 50 kept for root: neither used nor available, as df says
    for (int i = 0; i < 6; ++i) {
        model.volumes.push_back(
            testVolume("/media/v" + std::to_string(i), "V<" + std::to_string(i) + ">", 100, 200, false));
    }
    model.rootVolume = model.volumes.front();
    model.recents = {"/", "/home/me", "/home/me/Movies/a & b", "/home/me2/x", "/srv", "/sixth"};
    const std::vector<ScanMenuLine> lines = model.lines();
    EXPECT_EQ(titles(lines),
              (std::vector<std::string>{"SCAN", "Home Folder", "Entire Disk", "Applications", "V<0>", "V<1>",
                                        "V<2>", "V<3>", "V<4>", "V<5>", "--", "Choose Folder…", "RECENT",
                                        Fmt::displayName("/", model.layout).toStdString(), "Home", "a & b",
                                        "x", "srv"}));
    EXPECT_EQ(lines[2].detail, Fmt::bytes(550));
    EXPECT_EQ(lines[4].detail, Fmt::bytes(0)) << "more free than total: zero used";
    EXPECT_EQ(lines[4].target, "/media/v0");
    struct Recent {
        size_t line;
        const char* detail;
        const char* target;
    };
    const Recent recents[] = {{13, "/", "/"},
                              {14, "/home", "/home/me"},
                              {15, "~/Movies", "/home/me/Movies/a & b"},
                              {16, "/home/me2", "/home/me2/x"},
                              {17, "/", "/srv"}};
    for (const Recent& r : recents) {
        EXPECT_EQ(lines[r.line].detail, QString::fromUtf8(r.detail)) << r.target;
        EXPECT_EQ(lines[r.line].target, r.target);
        EXPECT_EQ(lines[r.line].symbol, "clock");
    }
}

// Every recent shows its parent folder, names that read alike too: they differ there.
TEST(ScanMenuModel, RecentsShowTheirParentFolder) {
    ScanMenuModel model;
    model.layout = HostLayout::linux("/home/tester");
    struct Case {
        std::vector<std::string> recents;
        std::vector<QString> details;
    } cases[] = {
        // The home folder reads "Home", /home reads "home".
        {{"/home", "/home/tester"}, {"/", "/home"}},
        {{"/home/tester/src/app", "/srv/app", "/home/tester/Music"}, {"~/src", "/srv", "~"}},
        {{"/home/tester", "/srv"}, {"/home", "/"}},
        {{"/a/x", "/b", "/c", "/d", "/e", "/f/x"}, {"/a", "/", "/", "/", "/"}},
    };
    for (const Case& c : cases) {
        model.recents = c.recents;
        std::vector<QString> details;
        bool inRecents = false;
        for (const ScanMenuLine& line : model.lines()) {
            if (line.kind == ScanMenuLine::Kind::header) inRecents = line.title == QStringLiteral("RECENT");
            if (inRecents && line.kind == ScanMenuLine::Kind::row)
                details.push_back(line.detail.value_or(QString()));
        }
        EXPECT_EQ(details, c.details) << c.recents.front();
    }
}

}  // namespace
}  // namespace nimbrel
