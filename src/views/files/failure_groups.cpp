#include "views/files/failure_groups.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QTextLayout>
#include <functional>
#include <optional>

#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "util/plural.h"
#include "views/kit/files_text.h"
#include "views/kit/first_where.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("nimbrel::FailureSheet", text);
}

// The text from `cut` on, marked as cut when anything before it went.
QString from(const QString& text, qsizetype cut) {
    return cut == 0 ? text : QStringLiteral("\u2026") + text.mid(cut);
}

QStringList wrapped(const QString& text, const QFont& font, double width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.push_back(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

// The smallest cut up to `most` that `fits` (which then holds for every larger cut), if any.
std::optional<qsizetype> smallestCut(qsizetype most, const std::function<bool(qsizetype)>& fits) {
    if (most < 0 || !fits(most)) return std::nullopt;
    return firstWhere(qsizetype(0), most, fits);
}

// A message with the home folder written as "~" in every path it names: where a path starts (at the
// start, after a blank or an opening bracket) and at a component boundary.
QString tildeText(const std::string& text) {
    const std::string& home = HostLayout::judging().home;
    if (home.empty() || home == "/") return QString::fromUtf8(text);
    std::string out;
    size_t from = 0;
    for (size_t at = text.find(home); at != std::string::npos; at = text.find(home, at + 1)) {
        const size_t end = at + home.size();
        const bool starts = at == 0 || text[at - 1] == ' ' || text[at - 1] == '(';
        const bool boundary =
            end == text.size() || std::string_view("/ :;,)").find(text[end]) != std::string::npos;
        if (!starts || !boundary || at < from) continue;
        out.append(text, from, at - from).append("~");
        from = end;
    }
    out.append(text, from, std::string::npos);
    return QString::fromUtf8(out);
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
    if (failure.reason == DeletionFailure::Reason::other) return tildeText(failure.detail);
    return tildePath(PathRules::parent(failure.path));
}

QString FailureGroups::rowHelp(const DeletionFailure& failure) {
    QString help = tildePath(failure.path);
    if (!failure.detail.empty()) help += QLatin1Char('\n') + tildeText(failure.detail);
    return help;
}

QStringList FailureGroups::detailLines(const DeletionFailure& failure, const QFont& font, double width) {
    const QString text = rowDetail(failure);
    if (width < 1) return {text};
    // A folder may lose any of its head; a message may lose the head of the path it names, down to
    // the path's last part.
    qsizetype most = text.size();
    if (failure.reason == DeletionFailure::Reason::other) {
        const QString named = tildePath(failure.path);
        const qsizetype colon =
            text.startsWith(named) ? text.indexOf(QStringLiteral(": "), named.size()) : -1;
        most = colon < 0 ? 0 : text.lastIndexOf(QLatin1Char('/'), colon - 1);
    }
    const QFontMetricsF metrics(font);
    const auto oneLine = [&](qsizetype cut) { return metrics.horizontalAdvance(from(text, cut)) <= width; };
    if (const auto cut = smallestCut(most, oneLine)) return {from(text, *cut)};
    const auto twoLines = [&](qsizetype cut) { return wrapped(from(text, cut), font, width).size() <= 2; };
    return wrapped(from(text, smallestCut(text.size(), twoLines).value_or(text.size())), font, width);
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
