#include "views/shell/scan_menu_model.h"

#include <QCoreApplication>
#include <algorithm>

#include "engine/path_rules.h"
#include "util/fmt.h"
#include "views/kit/shortcuts.h"
#include "views/shell/volume_usage.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("nimbrel::ScanMenu", text);
}

ScanMenuLine header(const char* title) {
    return {ScanMenuLine::Kind::header, tr(title), {}, std::nullopt, ScanMenuLine::Action::none, {}};
}

ScanMenuLine scanRow(QString title, std::string symbol, std::optional<QString> detail, std::string target) {
    return {ScanMenuLine::Kind::row, std::move(title),           std::move(symbol),
            std::move(detail),       ScanMenuLine::Action::scan, std::move(target)};
}

QString usedText(const VolumeInfo& volume) {
    return Fmt::bytes(usedBytes(volume));
}

}  // namespace

QString parentDetail(const std::string& path, const std::string& home) {
    return QString::fromUtf8(PathRules::tildeForm(PathRules::parent(path), home));
}

std::vector<ScanMenuLine> ScanMenuModel::lines() const {
    std::vector<ScanMenuLine> out;
    out.push_back(header("SCAN"));
    out.push_back(scanRow(tr("Home Folder"), "house", QStringLiteral("~"), layout.home));
    out.push_back(scanRow(tr("Entire Disk"), "internaldrive",
                          rootVolume ? std::optional<QString>(usedText(*rootVolume)) : std::nullopt, "/"));
    if (applicationsFolder) {
        out.push_back(scanRow(tr("Applications"), "square.grid.3x3", std::nullopt, *applicationsFolder));
    }
    for (const VolumeInfo& volume : volumes) {
        if (volume.isRoot) continue;
        out.push_back(scanRow(QString::fromUtf8(volume.name), "externaldrive", usedText(volume), volume.url));
    }
    out.push_back({ScanMenuLine::Kind::divider, {}, {}, std::nullopt, ScanMenuLine::Action::none, {}});
    out.push_back({ScanMenuLine::Kind::row,
                   tr("Choose Folder…"),
                   "folder",
                   Shortcuts::text(Shortcuts::scanFolder),
                   ScanMenuLine::Action::chooseFolder,
                   {}});
    if (!recents.empty()) {
        out.push_back(header("RECENT"));
        const size_t shown = std::min(recents.size(), kRecentRows);
        // Each row says where it lives: names that read alike ("Home" for the home folder, "home"
        // for /home) differ there, since no two recents share both name and folder.
        for (size_t i = 0; i < shown; ++i)
            out.push_back(scanRow(Fmt::displayName(recents[i], layout), "clock",
                                  parentDetail(recents[i], layout.home), recents[i]));
    }
    return out;
}

}  // namespace nimbrel
