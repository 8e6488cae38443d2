#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace nimbrel {

// The images the drawings use (the puffs of steam), looked up first among the program's own
// resources and then beside the executable.
struct StageAssets {
    // The resource folder that stands in for the application bundle.
    static constexpr const char* kBundleFolder = ":/stage";

    // The first of bundle and executable folder that holds `name`.`ext`; nothing when neither does.
    static std::optional<QString> url(const QString& name, const QString& ext);
    // The same lookup over explicit folders, in order.
    static std::optional<QString> url(const QString& name, const QString& ext, const QStringList& folders);

    // puff1.png to puff4.png, in that order, skipping any that is missing or unreadable. Loaded once.
    static const QList<QImage>& puffs();
    static QList<QImage> loadPuffs(const QStringList& folders);

    // Tests and the gallery draw with a chosen set (including none); nullopt restores the real one.
    static void setPuffsForTesting(std::optional<QList<QImage>> puffs);
};

}  // namespace nimbrel
