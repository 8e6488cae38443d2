#include "views/space/entry_rules.h"

#include <QCoreApplication>
#include <QKeySequence>

#include "engine/disk_scanner.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "engine/safety_guard.h"
#include "model/app_state.h"
#include "model/clean_queue.h"
#include "model/selection.h"
#include "util/fmt.h"
#include "util/plural.h"
#include "views/kit/files_text.h"
#include "views/kit/path_actions.h"

namespace nimbrel {

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("EntryTile", text);
}
QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

bool EntryRules::isContentsOnly(const std::string& id) {
    return SafetyGuard::contentsOnly().count(DiskScanner::normalize(id)) > 0;
}

bool EntryRules::kept(const std::string& id) {
    return SafetyGuard::isProtected(id) && !isContentsOnly(id);
}

bool EntryRules::isPackage(const std::string& id) {
    const std::string ext = asciiLower(pathExtension(PathRules::lastComponent(id)));
    return !ext.empty() && FileCategory::packageExtensions().count(ext) > 0;
}

bool EntryRules::inherited(const std::string& id, const CleanQueue& queue) {
    return Selection::heldBy(queue, id).has_value();
}

EntryRules::Control EntryRules::control(const ExplorerEntry& entry) {
    if (entry.measuring) return Control::none;
    return kept(entry.id) ? Control::lock : Control::select;
}

bool EntryRules::showsRiskMark(const ExplorerEntry& entry) {
    return entry.risk.level == Risk::Level::caution || entry.risk.level == Risk::Level::danger;
}

EntryRules::ClickOutcome EntryRules::click(const ClickInfo& click, bool hasOpen, bool hasPreview) {
    if (Click::isRepeat(click)) return ClickOutcome::ignored;
    if (click.modifiers & (Qt::ControlModifier | Qt::ShiftModifier)) return ClickOutcome::toggle;
    if (hasOpen) return ClickOutcome::open;
    if (hasPreview) return ClickOutcome::preview;
    return ClickOutcome::nothing;
}

QString EntryRules::lowerFirst(const QString& text) {
    if (text.isEmpty() || !text.front().isUpper()) return text;
    // Names keep their capital: the system's and its file manager's ("Linux and your apps…"), and
    // words written with more than one capital ("SSH").
    const HostLayout& host = HostLayout::judging();
    for (const std::string& name : {host.systemName, host.fileManagerName}) {
        const QString n = QString::fromStdString(name);
        if (!n.isEmpty() && text.startsWith(n) &&
            (text.size() == n.size() || !text.at(n.size()).isLetterOrNumber()))
            return text;
    }
    qsizetype end = 1;
    while (end < text.size() && text.at(end).isLetter())
        ++end;
    for (qsizetype i = 1; i < end; ++i)
        if (text.at(i).isUpper()) return text;
    return text.left(1).toLower() + text.mid(1);
}

QString EntryRules::modifierWord() {
    // "Ctrl+" here, "⌘" on macOS: the word a click is held with, without the joining sign.
    QString word = QKeySequence(Qt::CTRL).toString(QKeySequence::NativeText);
    if (word.endsWith(QLatin1Char('+'))) word.chop(1);
    return word;
}

void EntryRules::toggle(AppState& state, const ExplorerEntry& entry, const ClickInfo& click) {
    if (entry.measuring || Click::isRepeat(click)) return;
    if (kept(entry.id)) {
        state.setToast(
            Toast(tr("“%1” stays: %2").arg(qs(entry.name), lowerFirst(qs(SafetyGuard::reason(entry.id)))),
                  QStringLiteral("lock.fill")));
        return;
    }
    const Selection::Toggled toggled = state.toggleSelection(entry.cleanItem());
    if (entry.risk.level == Risk::Level::danger && toggled.outcome == Selection::Outcome::added) {
        state.setToast(Toast(tr("Careful: “%1”: %2. You'll confirm before anything is removed.")
                                 .arg(qs(entry.name), lowerFirst(qs(entry.risk.why))),
                             QStringLiteral("exclamationmark.triangle.fill")));
    }
}

QString EntryRules::help(const ExplorerEntry& entry, ExplorerTile::Condition condition, ExplorerLayout layout,
                         bool hasOpen, const CleanQueue& queue) {
    QStringList lines;
    lines << PathActions::abbreviate(entry.id);
    const bool isKept = kept(entry.id);
    if (isKept) lines << QStringLiteral("🔒 ") + qs(SafetyGuard::reason(entry.id));
    if (entry.risk.level == Risk::Level::caution)
        lines << qs(entry.risk.title) + QStringLiteral(": ") + qs(entry.risk.why);
    else if (entry.risk.level == Risk::Level::danger)
        lines << QStringLiteral("⚠️ ") + qs(entry.risk.title) + QStringLiteral(": ") + qs(entry.risk.why);
    if (isContentsOnly(entry.id))
        lines << tr("Selecting it nimbrelises everything inside; the folder itself stays");
    if (entry.artifactKind) lines << tr("%1 · safe to nimbrelise").arg(qs(*entry.artifactKind));
    if (condition == ExplorerTile::Condition::bloated) lines << tr("One of the heaviest things here");
    if (hasOpen)
        lines << tr("Click to open");
    else if (entry.isDirectory && !entry.node)
        lines << tr("Opens once the scan finishes");
    else
        lines << tr("Click to preview");
    if (auto folder = Selection::heldBy(queue, entry.id))
        lines << tr("Included because “%1” is selected. Untick to leave just this out").arg(qs(folder->name));
    if (!isKept) {
        const QString control = layout == ExplorerLayout::list ? tr("Checkbox") : tr("Circle");
        lines << (queue.includes(entry.id)
                      ? tr("%1, %2-click or Space to deselect").arg(control, modifierWord())
                      : tr("%1, %2-click or Space to select for cleaning").arg(control, modifierWord()));
    }
    return lines.join(QLatin1Char('\n'));
}

QString EntryRules::kindLine(const ExplorerEntry& entry) {
    using L = Risk::Level;
    if (entry.measuring) return tr("Measuring…");
    if (entry.risk.level == L::caution || entry.risk.level == L::danger || entry.risk.level == L::locked)
        return qs(entry.risk.why);
    if (entry.artifactKind) return tr("%1 · safe to nimbrelise").arg(qs(*entry.artifactKind));
    if (entry.isDirectory && !isPackage(entry.id)) {
        if (entry.fileCount)
            return Plural::choose(*entry.fileCount, tr("Folder · %1 file"), tr("Folder · %1 files"))
                .arg(Fmt::count(*entry.fileCount));
        return tr("Folder");
    }
    if (entry.category) return qs(entry.category->title());
    return isPackage(entry.id) ? packageText(PackageText::kind, HostLayout::judging().isMac()) : tr("File");
}

}  // namespace nimbrel
