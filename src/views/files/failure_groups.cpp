#include "views/files/failure_groups.h"

#include <QCoreApplication>

#include "engine/path_rules.h"
#include "util/plural.h"
#include "views/kit/files_text.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("nimbrel::FailureSheet", text);
}

}  // namespace

int FailureGroups::Group::shownRows() const {
    return std::min(static_cast<int>(failures.size()), kMaxRows);
}

int FailureGroups::Group::hiddenRows() const {
    return static_cast<int>(failures.size()) - shownRows();
}

std::vector<std::string> FailureGroups::Group::paths() const {
    std::vector<std::string> out;
    out.reserve(failures.size());
    for (const DeletionFailure& f : failures)
        out.push_back(f.path);
    return out;
}

std::vector<FailureGroups::Group> FailureGroups::group(const std::vector<DeletionFailure>& failures) {
    std::vector<Group> groups;
    for (DeletionFailure::Reason reason : DeletionFailure::allReasons()) {
        Group g{reason, {}};
        for (const DeletionFailure& f : failures)
            if (f.reason == reason) g.failures.push_back(f);
        if (!g.failures.empty()) groups.push_back(std::move(g));
    }
    return groups;
}

std::vector<std::string> FailureGroups::allPaths(const std::vector<DeletionFailure>& failures) {
    std::vector<std::string> out;
    out.reserve(failures.size());
    for (const DeletionFailure& f : failures)
        out.push_back(f.path);
    return out;
}

bool FailureGroups::offersFullDiskAccess(const std::vector<DeletionFailure>& failures,
                                         bool hasFullDiskAccess) {
    if (hasFullDiskAccess) return false;
    for (const DeletionFailure& f : failures)
        if (f.reason == DeletionFailure::Reason::protectedByMacOS) return true;
    return false;
}

QString FailureGroups::rowName(const DeletionFailure& failure) {
    return QString::fromUtf8(std::string(PathRules::lastComponent(failure.path)));
}

QString FailureGroups::rowDetail(const DeletionFailure& failure) {
    if (failure.reason == DeletionFailure::Reason::other) return QString::fromUtf8(failure.detail);
    return tildePath(PathRules::parent(failure.path));
}

QString FailureGroups::rowHelp(const DeletionFailure& failure) {
    QString help = tildePath(failure.path);
    if (!failure.detail.empty()) help += QLatin1Char('\n') + QString::fromUtf8(failure.detail);
    return help;
}

QString FailureGroups::headerTitle(size_t count) {
    return Plural::choose(count, tr("%1 item stayed behind"), tr("%1 items stayed behind")).arg(count);
}

QString FailureGroups::groupTitle(const Group& group) {
    return tr("%1  %2")
        .arg(QString::fromUtf8(DeletionFailure::title(group.reason)).toUpper())
        .arg(group.failures.size());
}

QString FailureGroups::moreNote(const Group& group) {
    if (group.hiddenRows() <= 0) return {};
    return tr("and %1 more").arg(group.hiddenRows());
}

}  // namespace nimbrel
