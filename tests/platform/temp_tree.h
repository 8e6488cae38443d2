#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace nimbrel::test {

// A temporary folder that is removed with everything in it when the test ends.
class TempTree {
  public:
    TempTree() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-XXXXXX";
        root_ = mkdtemp(pattern.data());
    }
    ~TempTree() {
        // Tests may leave folders without permissions behind.
        std::error_code ignored;
        for (auto it = std::filesystem::recursive_directory_iterator(
                 root_, std::filesystem::directory_options::skip_permission_denied, ignored);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
            if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0755);
        }
        chmod(root_.c_str(), 0755);
        std::filesystem::remove_all(root_, ignored);
    }
    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    std::string folder(const std::string& relative) const {
        std::filesystem::create_directories(path(relative));
        return path(relative);
    }
    std::string file(const std::string& relative, size_t bytes = 10) const {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::ofstream(path(relative)) << std::string(bytes, 'x');
        return path(relative);
    }
    std::string link(const std::string& relative, const std::string& target) const {
        symlink(target.c_str(), path(relative).c_str());
        return path(relative);
    }

  private:
    std::string root_;
};

inline bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Runs `body` as an unprivileged user (nobody) in a child process and returns its exit code; as a
// normal user it runs the body as that user. Returns -1 when no user switch was possible.
inline int runUnprivileged(const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(120);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace nimbrel::test
