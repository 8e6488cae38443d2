#include "views/kit/files_text.h"

#include <QCoreApplication>

#include "engine/file_category.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "engine/risk_catalog.h"

namespace nimbrel {

QString sourceTitle(CleanItem::Source source) {
    switch (source) {
        case CleanItem::Source::space:
            return QCoreApplication::translate("nimbrel::CleanItem", "Space");
        case CleanItem::Source::files:
            return QCoreApplication::translate("nimbrel::CleanItem", "Files");
        case CleanItem::Source::deepClean:
            return QCoreApplication::translate("nimbrel::CleanItem", "Deep Clean");
    }
    return {};
}

}  // namespace nimbrel

namespace nimbrel {

QString revealTitle() {
#ifdef Q_OS_MACOS
    return QCoreApplication::translate("nimbrel::FileActions", "Show in Finder");
#else
    return QCoreApplication::translate("nimbrel::FileActions", "Show in File Manager");
#endif
}

bool hasPackageExtension(const std::string& path) {
    const std::string ext = asciiLower(pathExtension(PathRules::lastComponent(path)));
    return !ext.empty() && FileCategory::packageExtensions().count(ext);
}

QString packageText(PackageText which, bool mac) {
    const auto t = [](const char* text) { return QCoreApplication::translate("nimbrel::PackageText", text); };
    switch (which) {
        case PackageText::settingTitle:
            return mac ? t("Treat apps & bundles as one file") : t("Treat Mac packages as one file");
        case PackageText::settingDetail:
            // Extensions read the same in every language.
            return mac ? QStringLiteral(".app, .photoslibrary, frameworks…")
                       : t("Folders named like a Mac's apps and bundles (.app, .photoslibrary, "
                           ".sparsebundle…), as copied from a Mac");
        case PackageText::hideChip:
            return mac ? t("Hide apps & bundles") : t("Hide Mac packages");
        case PackageText::kind:
            return mac ? t("App or bundle") : t("Mac package");
    }
    return {};
}

QString tildePath(const std::string& path) {
    return QString::fromUtf8(PathRules::tildeForm(path, HostLayout::judging().home));
}

}  // namespace nimbrel
