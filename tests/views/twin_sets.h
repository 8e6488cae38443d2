#pragma once

#include <QSize>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "model/app_state.h"
#include "model/duplicates_model.h"
#include "support/wait_for.h"
#include "test_items.h"
#include "views/files/files_view.h"

namespace nimbrel {

// Set `i` of `copies` copies named twin<i>.mov, one in each of /nimbrel-test/0, /1, ...; ids count
// on from `firstID`, and the first copy is the newest.
inline DuplicateGroup testTwinSet(int i, int copies, std::int64_t size, std::int64_t firstID) {
    DuplicateGroup g;
    g.id = "set" + std::to_string(i);
    g.size = size;
    for (int c = 0; c < copies; ++c) {
        FileItem f = testFile(
            firstID + c, "/nimbrel-test/" + std::to_string(c) + "/twin" + std::to_string(i) + ".mov", size);
        f.modified = std::chrono::system_clock::time_point(std::chrono::hours(10 - c));
        g.files.push_back(f);
    }
    return g;
}

// Runs the shelf's twin search over files that do not exist: it finds nothing and has run, so the
// test can hand the model the sets it wants shown.
inline bool finishEmptyTwinSearch(TwinShelves& twins, AppState& state) {
    twins.startSearch();
    return waitOn(&state.duplicates(), &DuplicatesModel::hasRunChanged,
                  [&] { return state.duplicates().hasRun(); });
}

// Shows the shelf at `size`, lets its search finish empty, then hands the model `sets`.
inline bool showTwinSets(TwinShelves& twins, AppState& state, std::vector<DuplicateGroup> sets, QSize size) {
    twins.resize(size);
    twins.show();
    if (!finishEmptyTwinSearch(twins, state)) return false;
    // The copies are made up: every kept copy counts as still there, unchanged.
    state.duplicates().setStillThere([](const std::string&, const EntryIdentity*) { return true; });
    state.duplicates().setGroups(std::move(sets));
    return true;
}

}  // namespace nimbrel
