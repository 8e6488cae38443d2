#include "engine/file_actions.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace nimbrel {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at `i`, or 0 when it is ill-formed; `bad` receives
// how many bytes form the ill-formed part that one replacement character stands for.
size_t sequenceLength(const std::string& s, size_t i, size_t& bad) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    bad = 1;
    if (b0 < 0x80) return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
        if (b0 == 0xED) hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        if (i + k >= s.size()) return 0;
        const unsigned char b = byte(i + k);
        if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
        bad = k + 1;
    }
    return len;
}

}  // namespace

std::string repairUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        size_t bad = 1;
        if (const size_t len = sequenceLength(bytes, i, bad)) {
            out.append(bytes, i, len);
            i += len;
        } else {
            out += kReplacement;
            i += bad;
        }
    }
    return out;
}

CommandResult FileActions::run(const std::string& executable, const std::vector<std::string>& arguments) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {-1, std::strerror(errno)};
    const int readEnd = fds[0], writeEnd = fds[1];

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, STDERR_FILENO);

    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(writeEnd);
    if (spawnError != 0) {
        close(readEnd);
        return {-1, std::strerror(spawnError)};
    }

    // Read while the program runs: a program that writes more than the pipe holds would otherwise
    // wait forever for a reader that only comes once it has ended.
    std::string raw;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(readEnd, buffer, sizeof buffer);
        if (n > 0) {
            raw.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(readEnd);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return {-1, std::strerror(errno)};
    }
    const int32_t code = WIFEXITED(status)     ? WEXITSTATUS(status)
                         : WIFSIGNALED(status) ? WTERMSIG(status)
                                               : -1;
    return {code, repairUtf8(raw)};
}

}  // namespace nimbrel
