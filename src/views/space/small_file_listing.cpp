#include "views/space/small_file_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace nimbrel {

std::vector<SmallFileListing::File> SmallFileListing::list(const std::string& folder,
                                                           const std::unordered_set<std::string>& known,
                                                           bool skipHidden) {
    std::vector<File> files;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return files;
    const std::string prefix = !folder.empty() && folder.back() == '/' ? folder : folder + "/";
    while (const dirent* d = readdir(dir.get())) {
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        if (known.count(name)) continue;
        if (skipHidden && name.front() == '.') continue;
        const std::string path = prefix + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        files.push_back({path, static_cast<std::int64_t>(st.st_blocks) * 512, EntryIdentity::of(st)});
    }
    return files;
}

}  // namespace nimbrel
