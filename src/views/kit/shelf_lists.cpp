#include "views/kit/shelf_lists.h"

#include <QCoreApplication>
#include <algorithm>

#include "util/name_order.h"

namespace nimbrel {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("nimbrel::FilesView", text);
}

QString utf8(const std::string& s) {
    return QString::fromUtf8(s);
}

}  // namespace

const std::vector<FileSort>& FileSorting::allCases() {
    static const std::vector<FileSort> all = {FileSort::size, FileSort::name, FileSort::opened,
                                              FileSort::modified};
    return all;
}

QString FileSorting::title(FileSort sort) {
    switch (sort) {
        case FileSort::size:
            return tr("Size");
        case FileSort::name:
            return tr("Name");
        case FileSort::opened:
            return tr("Last opened");
        case FileSort::modified:
            return tr("Modified");
    }
    return {};
}

QString FileSorting::shelfTitle(FileSort sort) {
    switch (sort) {
        case FileSort::size:
            return tr("Heaviest first");
        case FileSort::name:
            return tr("A to Z");
        case FileSort::opened:
            return tr("Longest unopened first");
        case FileSort::modified:
            return tr("Oldest changes first");
    }
    return {};
}

std::chrono::system_clock::time_point FileSorting::lastUse(const FileItem& file) {
    return std::max(file.accessed, file.modified);
}

bool FileSorting::nameBefore(const QString& a, const QString& b) {
    return NameOrder::before(a, b);
}

std::vector<FileItem> FileSorting::sorted(FileSort sort, std::vector<FileItem> files) {
    switch (sort) {
        case FileSort::size:
            std::stable_sort(files.begin(), files.end(),
                             [](const FileItem& a, const FileItem& b) { return a.size > b.size; });
            break;
        case FileSort::name: {
            // One sort key per file, not one collation per comparison.
            std::vector<std::pair<QCollatorSortKey, size_t>> keys;
            keys.reserve(files.size());
            for (size_t i = 0; i < files.size(); ++i)
                keys.emplace_back(NameOrder::sortKey(utf8(files[i].name)), i);
            std::stable_sort(keys.begin(), keys.end(),
                             [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
            std::vector<FileItem> out;
            out.reserve(files.size());
            for (const auto& k : keys)
                out.push_back(std::move(files[k.second]));
            return out;
        }
        case FileSort::opened:
            std::stable_sort(files.begin(), files.end(),
                             [](const FileItem& a, const FileItem& b) { return lastUse(a) < lastUse(b); });
            break;
        case FileSort::modified:
            std::stable_sort(files.begin(), files.end(),
                             [](const FileItem& a, const FileItem& b) { return a.modified < b.modified; });
            break;
    }
    return files;
}

bool pathContains(const std::string& path, const QString& search) {
    return search.isEmpty() || utf8(path).contains(search, Qt::CaseInsensitive);
}

std::vector<FileItem> biggestMatches(const std::vector<FileItem>& files, FileSort sort,
                                     std::optional<FileCategory> category, bool hidePackages,
                                     const QString& search) {
    // Filtering before a stable sort gives the same list as sorting first, for far less work.
    std::vector<FileItem> kept;
    for (const FileItem& f : files) {
        if (category && !(f.category == *category)) continue;
        if (hidePackages && f.isPackage) continue;
        if (!pathContains(f.path, search)) continue;
        kept.push_back(f);
    }
    return FileSorting::sorted(sort, std::move(kept));
}

const std::vector<int>& Forgotten::ageLimits() {
    static const std::vector<int> limits = {3, 6, 12, 24};
    return limits;
}

QString Forgotten::pickerLabel(int months) {
    return months < 12 ? QStringLiteral("%1 mo").arg(months) : QStringLiteral("%1 yr").arg(months / 12);
}

QString Forgotten::ageText(int months) {
    return months < 12 ? QStringLiteral("%1+ mo").arg(months) : QStringLiteral("%1+ yr").arg(months / 12);
}

std::chrono::system_clock::time_point Forgotten::cutoff(const QDateTime& now, int months) {
    const QDateTime then = now.addMonths(-months);
    const QDateTime at = then.isValid() ? then : now;
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(at.toMSecsSinceEpoch()));
}

std::vector<FileItem> Forgotten::matches(const std::vector<FileItem>& files,
                                         std::chrono::system_clock::time_point cutoff, const QString& search,
                                         FileSort sort) {
    std::vector<FileItem> kept;
    for (const FileItem& f : files) {
        if (f.size < kMinSize) continue;
        if (!(FileSorting::lastUse(f) < cutoff)) continue;
        if (!pathContains(f.path, search)) continue;
        kept.push_back(f);
    }
    return FileSorting::sorted(sort, std::move(kept));
}

const std::vector<SizeThreshold>& Twins::thresholds() {
    static const std::vector<SizeThreshold> all = {SizeThreshold::mb10, SizeThreshold::mb100,
                                                   SizeThreshold::gb1};
    return all;
}

QString Twins::thresholdLabel(SizeThreshold t) {
    switch (t) {
        case SizeThreshold::mb10:
            return QStringLiteral("10 MB+");
        case SizeThreshold::mb100:
            return QStringLiteral("100 MB+");
        case SizeThreshold::gb1:
            return QStringLiteral("1 GB+");
        default:
            return Fmt::bytes(static_cast<int64_t>(t)) + QStringLiteral("+");
    }
}

QString Twins::sortLabel(Sort sort) {
    switch (sort) {
        case Sort::extra:
            return tr("Wasted space");
        case Sort::copies:
            return tr("Most copies");
        case Sort::name:
            return tr("Name");
    }
    return {};
}

std::optional<Twins::Sort> Twins::sortFromRaw(const QString& raw) {
    if (raw == QLatin1String("extra")) return Sort::extra;
    if (raw == QLatin1String("copies")) return Sort::copies;
    if (raw == QLatin1String("name")) return Sort::name;
    return std::nullopt;
}

int64_t Twins::extraBytes(const DuplicateGroup& group) {
    if (group.files.empty()) return 0;
    return group.size * (static_cast<int64_t>(group.files.size()) - 1);
}

std::vector<const DuplicateGroup*> Twins::shown(const std::vector<DuplicateGroup>& all, const QString& search,
                                                Sort sort) {
    std::vector<const DuplicateGroup*> kept;
    for (const DuplicateGroup& g : all) {
        if (search.isEmpty() || std::any_of(g.files.begin(), g.files.end(),
                                            [&](const FileItem& f) { return pathContains(f.path, search); }))
            kept.push_back(&g);
    }
    const auto firstName = [](const DuplicateGroup& g) {
        return g.files.empty() ? QString() : utf8(g.files.front().name);
    };
    using G = const DuplicateGroup*;
    switch (sort) {
        case Sort::extra:
            std::stable_sort(kept.begin(), kept.end(),
                             [](G a, G b) { return extraBytes(*a) > extraBytes(*b); });
            break;
        case Sort::copies:
            std::stable_sort(kept.begin(), kept.end(), [](G a, G b) {
                if (a->files.size() != b->files.size()) return a->files.size() > b->files.size();
                return extraBytes(*a) > extraBytes(*b);
            });
            break;
        case Sort::name:
            std::stable_sort(kept.begin(), kept.end(),
                             [&](G a, G b) { return FileSorting::nameBefore(firstName(*a), firstName(*b)); });
            break;
    }
    return kept;
}

QString relativeDate(std::chrono::system_clock::time_point then, const QDateTime& now) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(then.time_since_epoch()).count());
    const qint64 days = at.date().daysTo(now.date());
    const bool past = days >= 0;
    const qint64 d = std::abs(days);
    const auto phrase = [past](qint64 n, const char* one, const char* many) {
        const QString unit = n == 1 ? tr(one) : tr(many).arg(n);
        return past ? tr("%1 ago").arg(unit) : tr("in %1").arg(unit);
    };
    if (d == 0) {
        const qint64 secs = std::abs(at.secsTo(now));
        if (secs < 60) return tr("now");
        if (secs < 3600) return phrase(secs / 60, "1 minute", "%1 minutes");
        return phrase(secs / 3600, "1 hour", "%1 hours");
    }
    if (d == 1) return past ? tr("yesterday") : tr("tomorrow");
    if (d < 7) return phrase(d, "1 day", "%1 days");
    if (d < 14) return past ? tr("last week") : tr("next week");
    if (d < 31) return phrase(d / 7, "1 week", "%1 weeks");
    const int months = (now.date().year() - at.date().year()) * 12 + now.date().month() - at.date().month();
    const int m = std::abs(months);
    if (m < 12) {
        if (m <= 1) return past ? tr("last month") : tr("next month");
        return phrase(m, "1 month", "%1 months");
    }
    const int years = m / 12;
    if (years == 1) return past ? tr("last year") : tr("next year");
    return phrase(years, "1 year", "%1 years");
}

}  // namespace nimbrel
