#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel {

// Empties the freedesktop.org Trash in process, with the safe remover: the home Trash and the
// Trash folders of mounted volumes. Reports like an outside command: status 0 and no output when
// everything went, otherwise status 1 and one line per path that stayed.
struct TrashEmptier {
    struct Outcome {
        int status = 0;
        std::string output;
        int64_t freedBytes = 0;  // what the disk got back, also when something stayed
    };

    static Outcome emptyAll();

    // Empties one Trash folder: the contents of files/, info/ and expunged/, and directorysizes.
    // The folder and its three subfolders stay. Returns one line per path that stayed; adds what
    // the disk got back to `freedBytes` when given.
    static std::vector<std::string> emptyFolder(const std::string& trashFolder,
                                                int64_t* freedBytes = nullptr);

    // The Trash folders of this user on the mounted volumes listed in `mountInfo` (the text of
    // /proc/self/mountinfo) that exist: <mount>/.Trash/<uid> under a sticky, real .Trash folder,
    // and <mount>/.Trash-<uid>.
    static std::vector<std::string> volumeTrashFolders(const std::string& mountInfo, unsigned uid);
};

}  // namespace nimbrel
