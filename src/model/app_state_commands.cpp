// The application state's outside commands (emptying the Trash, removing unavailable simulators),
// the twin sets' "Select extras" and copying paths.
#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <algorithm>

#include "engine/file_actions.h"
#include "engine/host_layout.h"
#include "engine/path_rules.h"
#include "model/app_state.h"
#include "model/background.h"
#include "model/cleanup_model.h"
#include "model/duplicates_model.h"
#include "model/removal.h"
#include "model/removal_road.h"
#include "platform/trash_emptier.h"
#include "util/fmt.h"
#include "util/plural.h"

namespace nimbrel {

void AppState::emptyTrash() {
    if (emptyingTrash_) return;  // the running one credits the Trash size; a second would count it twice
    const int64_t trashSize = cleanup().trash() ? cleanup().trash()->usage.size : 0;
    if (services_.isDemo()) {
        // The sample Trash is not the user's: nothing is emptied and nothing is credited.
        setToast(Toast(trashEmptiedToastText(trashSize), kRemovalSymbol));
        return;
    }
    std::function<CommandResult()> empty = services_.emptyTrash;
    if (!empty)
        empty = [] {
#ifdef __APPLE__
            return FileActions::run("/usr/bin/osascript",
                                    {"-e", "tell application \"Finder\" to empty trash"});
#else
            TrashEmptier::Outcome outcome = TrashEmptier::emptyAll();
            return CommandResult{outcome.status, outcome.output, outcome.freedBytes};
#endif
        };
    emptyingTrash_ = true;
    cleanup().setIsEmptyingTrash(true);
    Background::run(userPool(), this, std::move(empty), [this, trashSize](CommandResult outcome) {
        emptyingTrash_ = false;
        cleanup().setIsEmptyingTrash(false);
        // What the emptier gave back is what counts: the Trash's size also counts hard-linked files
        // whose other names keep their data, and misses what was trashed since it was measured.
        const int64_t freed = outcome.freedBytes.value_or(outcome.status == 0 ? trashSize : 0);
        setSessionFreed(sessionFreed() + freed);
        if (outcome.status == 0) {
            setToast(Toast(trashEmptiedToastText(freed), kRemovalSymbol));
        } else {
            // Off the Mac the emptier is Nimbrel's own: it tells what went beside what stayed, for
            // part of the Trash may be gone.
            QString message =
                HostLayout::current().isMac()
                    ? tr("Couldn't empty the Trash. Allow Nimbrel to control Finder in System Settings › "
                         "Privacy & Security › Automation.")
                : freed > 0 ? tr("The Trash was emptied only in part: %1 left the disk. These items stayed:")
                                  .arg(Fmt::bytes(freed))
                            : tr("Couldn't empty the Trash: nothing left the disk. These items stayed:");
            setErrorMessage(message + "\n\n" + QString::fromStdString(outcome.output));
        }
        cleanup().measure();
        refreshVolumes();
    });
}

void AppState::removeUnavailableSimulators() {
    if (removingSimulators_) return;
    if (services_.isDemo()) {
        setToast(Toast(tr("Removed unavailable simulators"), kRemovalSymbol));
        return;
    }
    std::function<CommandResult(const std::string&, const std::vector<std::string>&)> run =
        services_.runCommand;
    if (!run) run = &FileActions::run;
    removingSimulators_ = true;
    Background::run(
        userPool(), this,
        [run] {
            return run("/usr/bin/xcrun", {"simctl", "delete", "unavailable"});
        },
        [this](CommandResult outcome) {
            removingSimulators_ = false;
            if (outcome.status != 0)
                setErrorMessage(tr("simctl failed:") + QStringLiteral("\n") +
                                QString::fromStdString(outcome.output));
            else
                setToast(Toast(tr("Removed unavailable simulators"), kRemovalSymbol));
            refreshVolumes();
        });
}

namespace {

// Whether a path leaves with the removal that runs now.
bool isLeaving(const std::string& path, const std::unordered_set<std::string>& vanishing,
               const std::unordered_set<std::string>& nimbrelising) {
    return PathRules::isAtOrInsideAny(path, vanishing) || PathRules::isAtOrInsideAny(path, nimbrelising);
}

using Withheld = DuplicatesModel::Withheld;

// Why "Select extras" added nothing for some sets; empty when every set offered its extras.
QString withheldToastText(const std::vector<Withheld>& withheld) {
    if (withheld.empty()) return {};
    if (withheld.size() == 1) {
        const Withheld& w = withheld.front();
        const QString name = QString::fromUtf8(w.keptName);
        switch (w.why) {
            case Withheld::Why::selected:
                return w.holder.empty()
                           ? AppState::tr(
                                 "The kept copy of “%1” is selected itself, so its other copies stay "
                                 "unselected")
                                 .arg(name)
                           : AppState::tr(
                                 "The kept copy of “%1” is in %2, which is selected, so its other "
                                 "copies stay unselected")
                                 .arg(name, QString::fromUtf8(w.holder));
            case Withheld::Why::leaving:
                return AppState::tr(
                           "The kept copy of “%1” is being nimbrelised, so its other copies stay "
                           "unselected")
                    .arg(name);
            case Withheld::Why::changed:
                return AppState::tr("The kept copy of “%1” changed since the search. Search again to compare")
                    .arg(name);
        }
    }
    const auto all = [&](Withheld::Why why) {
        return std::all_of(withheld.begin(), withheld.end(),
                           [why](const Withheld& w) { return w.why == why; });
    };
    const int64_t n = int64_t(withheld.size());
    QString text =
        all(Withheld::Why::selected)
            ? Plural::choose(n, AppState::tr("%1 set added nothing: its kept copy is selected"),
                             AppState::tr("%1 sets added nothing: their kept copy is selected"))
        : all(Withheld::Why::leaving)
            ? Plural::choose(n, AppState::tr("%1 set added nothing: its kept copy is being nimbrelised"),
                             AppState::tr("%1 sets added nothing: their kept copy is being nimbrelised"))
        : all(Withheld::Why::changed)
            ? Plural::choose(n,
                             AppState::tr("%1 set added nothing: its kept copy changed since the "
                                          "search. Search again to compare"),
                             AppState::tr("%1 sets added nothing: their kept copy changed since the "
                                          "search. Search again to compare"))
            : AppState::tr(
                  "%1 sets added nothing: their kept copy is selected, being nimbrelised or "
                  "changed since the search");
    return text.arg(n);
}

// What "Select extras" reads of the state, taken on the main thread for the worker.
struct ExtrasInputs {
    std::shared_ptr<DuplicatesModel::Sets> sets;
    std::shared_ptr<const std::vector<CleanItem>> selection;
    std::shared_ptr<const std::vector<JunkLocation>> locations;
    // In the sample a location holds what the sample lists; the disk is not read for it.
    decltype(RemovalSources::junkTargets) sampled;
    std::shared_ptr<const std::unordered_set<std::string>> vanishing, nimbrelising;
};

// The targets of the ticked junk locations (they leave with their location, so they count as
// selected), each with its location's title.
std::vector<std::pair<std::string, std::string>> tickedJunkTargets(const ExtrasInputs& in) {
    std::vector<std::pair<std::string, std::string>> titled;
    for (const CleanItem& item : *in.selection) {
        if (item.kind != CleanItem::Kind::junk) continue;
        const JunkLocation* location = junkLocationOf(*in.locations, item.id);
        const std::string title = location ? location->title : item.name;
        std::vector<std::string> targets;
        if (in.sampled) {
            if (auto listed = in.sampled(item.id))
                for (const JunkEntry& target : *listed)
                    targets.push_back(target.path);
        } else if (location) {
            targets = location->targets();
        }
        for (std::string& target : targets)
            titled.emplace_back(std::move(target), title);
    }
    return titled;
}

// On the worker: the extra copies of the sets `pick` chooses that may be added, with the sets that
// offer nothing written to `withheld`.
std::vector<CleanItem> makeExtras(ExtrasInputs in, const AppState::TwinSetPick& pick,
                                  DuplicatesModel::Withholding& withheld) {
    const std::vector<const DuplicateGroup*> shown = pick(*in.sets->groups);
    const std::vector<std::pair<std::string, std::string>> titled = tickedJunkTargets(in);
    std::unordered_set<std::string> junkTargets;
    for (const auto& [target, title] : titled)
        junkTargets.insert(target);
    CleanQueue selected;
    selected.setItems(std::vector<CleanItem>(*std::exchange(in.selection, nullptr)));
    const DuplicatesModel::Around around{
        [&](const std::string& path) {
            return selected.includes(path) || PathRules::isAtOrInsideAny(path, junkTargets);
        },
        [&](const std::string& path) { return isLeaving(path, *in.vanishing, *in.nimbrelising); }};
    withheld.sets.clear();
    withheld.holder = [&](const std::string& path) -> std::string {
        if (selected.contains(path)) return {};
        if (auto cover = selected.covering(path)) return "“" + cover->name + "”";
        for (const auto& [target, title] : titled)
            if (PathRules::isAtOrInside(path, target)) return title;
        return {};
    };
    std::vector<CleanItem> extras = DuplicatesModel::extras(*in.sets, shown, around, &withheld);
    withheld.holder = nullptr;  // it reads what is let go of here
    return extras;
}

}  // namespace

void AppState::selectTwinExtras(TwinSetPick pick) {
    // Made from the sets, the selection and the removal under way as they are now. When any of them
    // changed by the time the list is back (a removal took copies, the selection changed), it is
    // made again from what they are then.
    QPointer<AppState> state(this);
    queue().addAside([state, pick = std::move(pick)]() -> CleanQueue::Making {
        if (!state) return {};
        ExtrasInputs in{std::make_shared<DuplicatesModel::Sets>(state->duplicates().sets()),
                        state->queue().snapshot(),
                        std::make_shared<const std::vector<JunkLocation>>(state->cleanup().locations()),
                        state->services_.isDemo() ? state->removal().sampleSources().junkTargets : nullptr,
                        std::make_shared<const std::unordered_set<std::string>>(state->vanishingPaths()),
                        std::make_shared<const std::unordered_set<std::string>>(state->nimbrelisingIDs())};
        // The sets that offer nothing, written on the worker and told once the list is in.
        auto withheld = std::make_shared<DuplicatesModel::Withholding>();
        const uint64_t revision = in.sets->revision;
        const uint64_t generation = state->queue().generation();
        const bool deleting = state->isDeleting();
        const size_t vanishingCount = in.vanishing->size();
        return {[in = std::move(in), pick, withheld]() mutable {
                    return makeExtras(std::move(in), pick, *withheld);
                },
                [state, revision, generation, deleting, vanishingCount] {
                    return state && state->duplicates().revision() == revision &&
                           state->queue().generation() == generation && state->isDeleting() == deleting &&
                           state->vanishingPaths().size() == vanishingCount;
                },
                [state, withheld] {
                    const std::vector<Withheld>& sets = withheld->sets;
                    if (!state || sets.empty()) return;
                    const bool changed = std::any_of(sets.begin(), sets.end(), [](const Withheld& w) {
                        return w.why == Withheld::Why::changed;
                    });
                    state->setToast(Toast(withheldToastText(sets),
                                          changed ? QStringLiteral("exclamationmark.triangle.fill")
                                                  : QStringLiteral("info.circle.fill")));
                }};
    });
}

void AppState::selectTwinSetExtras(const std::string& groupID) {
    Background::run(
        userPool(), this,
        [sets = duplicates().sets(), groupID] { return DuplicatesModel::look(sets, groupID); },
        [this, groupID](const DuplicatesModel::Look& look) {
            if (!look.keptChanged) {
                selectTwinExtras([groupID](const std::vector<DuplicateGroup>& groups) {
                    std::vector<const DuplicateGroup*> shown;
                    if (const DuplicateGroup* g = DuplicatesModel::groupWithID(groups, groupID))
                        shown.push_back(g);
                    return shown;
                });
                return;
            }
            duplicates().noteChangedCopies(look.changed);
            setToast(Toast(tr("The kept copy of “%1” changed since the search. Search again to compare")
                               .arg(QString::fromUtf8(look.keptName)),
                           QStringLiteral("exclamationmark.triangle.fill")));
        });
}

void AppState::copyPaths(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    std::string joined = paths.front();
    for (size_t i = 1; i < paths.size(); ++i)
        joined += "\n" + paths[i];
    QGuiApplication::clipboard()->setText(QString::fromUtf8(joined.data(), qsizetype(joined.size())));
    setToast(Toast(copiedPathsToastText(paths, shownHome()), "doc.on.doc.fill"));
}

}  // namespace nimbrel
