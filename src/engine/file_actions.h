#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nimbrel {

// What an outside command left behind: its exit status (the signal number when a signal ended it;
// -1 when it could not be started) and everything it wrote to standard output and standard error,
// interleaved as written.
struct CommandResult {
    int32_t status = -1;
    std::string output;
    // What a command that removes files gave back to the disk, when it can tell.
    std::optional<int64_t> freedBytes = std::nullopt;

    friend bool operator==(const CommandResult&, const CommandResult&) = default;
};

// The application's dealings with the world outside its model. The engine runs commands; the
// platform layer adds revealing files in the file manager to this namespace.
namespace FileActions {

// Runs the program at the absolute path `executable` with `arguments` as they stand: no shell, no
// search path, the environment inherited, standard input empty. Blocks until the program ends, so
// call it off the main thread. The output is read while the program runs, so a chatty program never
// stalls on a full pipe, and comes back as UTF-8 with invalid sequences replaced by U+FFFD. A launch
// failure gives status -1 and the error's description.
CommandResult run(const std::string& executable, const std::vector<std::string>& arguments);

}  // namespace FileActions

// `bytes` as valid UTF-8: each ill-formed sequence becomes one U+FFFD.
std::string repairUtf8(const std::string& bytes);

}  // namespace nimbrel
