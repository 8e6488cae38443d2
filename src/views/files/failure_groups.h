#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "engine/deletion.h"

class QFont;

namespace nimbrel {

// The failure sheet's content worked out without a window: the failures grouped by reason in the
// reasons' fixed order, each group in removal order, and the texts of each row.
struct FailureGroups {
    struct Group {
        DeletionFailure::Reason reason;
        std::vector<DeletionFailure> failures;

        // Rows built for the group; the rest are reachable through "Copy paths" only.
        int shownRows() const;
        // How many failures have no row (0 when all do).
        int hiddenRows() const;
        std::vector<std::string> paths() const;
    };
    static constexpr int kMaxRows = 150;

    static std::vector<Group> group(const std::vector<DeletionFailure>& failures);
    // Every path in the removal's order ("Copy All Paths").
    static std::vector<std::string> allPaths(const std::vector<DeletionFailure>& failures);
    // The Full Disk Access button helps only with macOS protections, and only without the access.
    static bool offersFullDiskAccess(const std::vector<DeletionFailure>& failures, bool hasFullDiskAccess);

    // Row texts: the name, the second line (the system's message for `other`, else the parent
    // folder) and the tooltip (the path, then the message when there is one), the home written "~".
    static QString rowName(const DeletionFailure& failure);
    static QString rowDetail(const DeletionFailure& failure);
    static QString rowHelp(const DeletionFailure& failure);
    // The second line as drawn `width` wide, so that its end (where a message gives its advice)
    // always shows: cut at its head as far as the path it starts with allows, and where that is not
    // enough, wrapped onto two lines, cut at the head only if it fills both.
    static QStringList detailLines(const DeletionFailure& failure, const QFont& font, double width);

    static QString headerTitle(size_t count);
    static QString groupTitle(const Group& group);
    static QString moreNote(const Group& group);
};

}  // namespace nimbrel
