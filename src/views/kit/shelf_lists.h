#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "engine/duplicate_engine.h"
#include "engine/file_category.h"
#include "engine/file_item.h"
#include "model/clean_item.h"
#include "model/files_model.h"
#include "util/fmt.h"

namespace nimbrel {

struct FileSorting {
    static const std::vector<FileSort>& allCases();
    static QString title(FileSort sort);
    static QString shelfTitle(FileSort sort);
    static std::vector<FileItem> sorted(FileSort sort, std::vector<FileItem> files);
    // When a file was last used: the later of its access and modification.
    static std::chrono::system_clock::time_point lastUse(const FileItem& file);
    // Case-insensitive, numbers by value ("a2" before "a10").
    static bool nameBefore(const QString& a, const QString& b);
};

// How many rows of a long list are shown: 48, and 48 more per press.
struct Paging {
    static constexpr int kPage = 48;
    int shown = kPage;
    void reset() { shown = kPage; }
    void more() { shown += kPage; }
    // The "Show N more" count; 0 when nothing is left.
    int moreCount(int total) const { return std::max(0, std::min(kPage, total - shown)); }
    int visible(int total) const { return std::min(shown, total); }
};

// Whether `path` contains `search` ignoring case; the search is used as typed.
bool pathContains(const std::string& path, const QString& search);

// The Biggest shelf's list: every file, in the chosen order, of one category or all, packages left
// out on request, filtered by path.
std::vector<FileItem> biggestMatches(const std::vector<FileItem>& files, FileSort sort,
                                     std::optional<FileCategory> category, bool hidePackages,
                                     const QString& search);

// The Forgotten shelf: files of at least 10 MB whose last use lies strictly before the cutoff.
struct Forgotten {
    static constexpr int64_t kMinSize = 10'000'000;
    static const std::vector<int>& ageLimits();  // months: 3, 6, 12, 24
    static QString pickerLabel(int months);
    static QString ageText(int months);
    // `months` calendar months before `now`.
    static std::chrono::system_clock::time_point cutoff(const QDateTime& now, int months);
    static std::vector<FileItem> matches(const std::vector<FileItem>& files,
                                         std::chrono::system_clock::time_point cutoff, const QString& search,
                                         FileSort sort);
};

// The Twins shelf: filtered and ordered sets, the copy that stays and the extra ones.
struct Twins {
    enum class Sort { extra, copies, name };
    static constexpr int kShownSets = 120;
    static const std::vector<SizeThreshold>& thresholds();  // 10 MB, 100 MB, 1 GB
    static QString thresholdLabel(SizeThreshold t);
    static QString sortLabel(Sort sort);
    static std::optional<Sort> sortFromRaw(const QString& raw);

    // The sets to list, in order, pointing into `all`: a keystroke costs no copy of the sets.
    static std::vector<const DuplicateGroup*> shown(const std::vector<DuplicateGroup>& all,
                                                    const QString& search, Sort sort);
    static int64_t extraBytes(const DuplicateGroup& group);
};

// "yesterday", "3 months ago": a moment relative to now, in words.
QString relativeDate(std::chrono::system_clock::time_point then,
                     const QDateTime& now = QDateTime::currentDateTime());

}  // namespace nimbrel
