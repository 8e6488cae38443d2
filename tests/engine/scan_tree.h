#pragma once

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

// Real folder trees for the scanner's tests, in a temporary folder removed afterwards.
namespace nimbrel::test {

class ScanTree {
  public:
    ScanTree() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-scan-XXXXXX";
        root_ = mkdtemp(pattern.data());
        chmod(root_.c_str(), 0755);  // readable by the unprivileged runs
    }
    ~ScanTree() {
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 root_, std::filesystem::directory_options::skip_permission_denied, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0755);
        std::filesystem::remove_all(root_, ignored);
    }
    ScanTree(const ScanTree&) = delete;
    ScanTree& operator=(const ScanTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    std::string folder(const std::string& relative) const {
        std::filesystem::create_directories(path(relative));
        return path(relative);
    }
    std::string file(const std::string& relative, std::size_t bytes = 10) const {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::ofstream(path(relative), std::ios::binary) << std::string(bytes, 'x');
        return path(relative);
    }
    void hardLink(const std::string& existing, const std::string& relative) const {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        link(path(existing).c_str(), path(relative).c_str());
    }
    void symLink(const std::string& target, const std::string& relative) const {
        symlink(target.c_str(), path(relative).c_str());
    }

  private:
    std::string root_;
};

// What a file occupies on disk: its blocks times 512.
inline std::int64_t allocated(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_blocks) * 512 : -1;
}

// Folders an unprivileged walk cannot fully read: "closed" (no access), "exec-only" (entered but not
// listed), "list-only" (listed, but no entry's status), and `lockedFolder`, closed deeper down.
inline void addUnreadableCorners(const ScanTree& t, const std::string& lockedFolder) {
    t.file("closed/secret", 10);
    chmod(t.path("closed").c_str(), 0000);
    t.file("exec-only/x", 10);
    chmod(t.path("exec-only").c_str(), 0311);
    t.file("list-only/y", 10);
    chmod(t.path("list-only").c_str(), 0644);
    t.file(lockedFolder + "/z", 10);
    chmod(t.path(lockedFolder).c_str(), 0000);
}

// Runs `body` in a child process as the unprivileged user "nobody", so permissions apply even when
// the tests run as root. Returns the body's exit code, or -1 when no switch was possible.
inline int asNobody(const std::function<int()>& body) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(120);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A random respelling of a plain path that names the same place on paper: "." parts, doubled
// slashes, a trailing slash, a detour through ".." (by a name of odd bytes at times). With
// `trashCase`, the letters of a Trash name (".Trash", ".Trash-1000") come in any case, as a
// FAT or exFAT volume reads them.
inline std::string respell(const std::string& plain, std::mt19937& random, bool trashCase = false) {
    std::string out;
    size_t start = 1;
    while (start <= plain.size()) {
        size_t end = plain.find('/', start);
        if (end == std::string::npos) end = plain.size();
        std::string part = plain.substr(start, end - start);
        out += random() % 3 == 0 ? "//" : "/";
        switch (random() % 5) {
            case 0:
                out += "./";
                break;
            case 1:
                out += "detour/../";
                break;
            case 2:
                out += "\xff\x01 .\n/../";
                break;
            default:
                break;
        }
        std::string head = part.substr(0, 6);
        for (char& c : head)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (trashCase && head == ".trash")
            for (size_t i = 1; i < 6; ++i)
                if (random() % 2) part[i] = char(part[i] ^ 0x20);
        out += part;
        start = end + 1;
    }
    if (random() % 2) out += "/";
    return out == plain ? plain + "/." : out;
}

}  // namespace nimbrel::test
