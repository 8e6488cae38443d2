#pragma once

#include <QString>
#include <string>

#include "views/space/click.h"
#include "views/space/explorer_model.h"

namespace nimbrel {

class AppState;
class CleanQueue;

// How an entry tile decides what it shows and what a click does: the safety-guard refusal, the
// danger warning, the tooltip and the list row's kind line. No drawing here.
struct EntryRules {
    // The safety guard keeps it and it is not a contents-only folder: never selectable from a tile.
    static bool kept(const std::string& id);
    static bool isContentsOnly(const std::string& id);
    static bool isPackage(const std::string& id);
    // Selected only because a queued folder holds it.
    static bool inherited(const std::string& id, const CleanQueue& queue);

    enum class Control { none, lock, select };
    // The top-leading control of an icon tile (the list row uses the same choice, minus `none`).
    static Control control(const ExplorerEntry& entry);
    // Caution and danger entries carry the risk mark on icon tiles.
    static bool showsRiskMark(const ExplorerEntry& entry);

    enum class ClickOutcome { ignored, nothing, toggle, open, preview };
    // What a click on the tile does; anything but `ignored` first runs the tile's onClick.
    static ClickOutcome click(const ClickInfo& click, bool hasOpen, bool hasPreview);

    // Selects or deselects the entry: refuses kept entries with a toast and warns when it selected a
    // danger entry.
    static void toggle(AppState& state, const ExplorerEntry& entry, const ClickInfo& click);

    static QString help(const ExplorerEntry& entry, ExplorerTile::Condition condition, ExplorerLayout layout,
                        bool hasOpen, const CleanQueue& queue);
    static QString kindLine(const ExplorerEntry& entry);
    // A sentence folded into another one: its first letter is lowered unless its first word is a
    // name (the system's, the file manager's, or one with more capitals), so names keep their case.
    static QString lowerFirst(const QString& text);
    // The modifier a selecting click is held with, as the host writes it ("Ctrl" here).
    static QString modifierWord();
};

}  // namespace nimbrel
