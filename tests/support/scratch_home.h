#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace nimbrel::test {

// Points the home folder and the desktop's data, config, cache and state folders at a scratch
// folder when they are the user's own, before anything reads them: no test reads or writes the
// real home, its Trash or its settings. A home a fixture chose before main() (or the scratch home
// a death test's child inherits) is kept. The scratch folder goes when the program ends.
inline void useScratchHome() {
    const passwd* user = getpwuid(getuid());
    const std::string realHome = user && user->pw_dir ? user->pw_dir : "";
    auto isTheUsers = [&](const char* folder) {
        if (!folder || *folder != '/') return true;
        if (realHome.empty() || realHome == "/") return false;
        const std::string path(folder);
        return path == realHome || path.starts_with(realHome + "/");
    };
    const char* home = std::getenv("HOME");
    static std::string scratch;
    auto scratchFolder = [&] {
        if (scratch.empty()) {
            std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-home-XXXXXX";
            if (!mkdtemp(pattern.data())) std::abort();
            chmod(pattern.c_str(), 0755);  // the unprivileged cases walk through it
            scratch = pattern;
            std::atexit([] {
                std::error_code ignored;
                std::filesystem::remove_all(scratch, ignored);
            });
        }
        return scratch;
    };
    if (isTheUsers(home)) setenv("HOME", scratchFolder().c_str(), 1);
    const std::string base = std::getenv("HOME");
    for (const auto& [variable, below] :
         {std::pair{"XDG_DATA_HOME", "/.local/share"}, std::pair{"XDG_CONFIG_HOME", "/.config"},
          std::pair{"XDG_CACHE_HOME", "/.cache"}, std::pair{"XDG_STATE_HOME", "/.local/state"}})
        if (const char* value = std::getenv(variable); value && isTheUsers(value))
            setenv(variable, (base + below).c_str(), 1);
}

}  // namespace nimbrel::test
