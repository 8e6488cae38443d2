#pragma once

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace nimbrel::test {

// A temporary folder that is removed with everything in it when the test ends.
class TempTree {
  public:
    TempTree() {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-XXXXXX";
        root_ = std::filesystem::canonical(mkdtemp(pattern.data())).string();  // as the scanner spells it
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
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
    std::string file(const std::string& relative, size_t bytes = 10) const;
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

// What an entry occupies on disk (a link its own blocks): its blocks times 512; -1 when missing.
inline std::int64_t allocated(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 ? std::int64_t(st.st_blocks) * 512 : -1;
}

// A file of `bytes` bytes of `fill` at `path`, its folders made first.
inline std::string writeFile(const std::string& path, size_t bytes, char fill = 'x') {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, fill);
    return path;
}

inline std::string TempTree::file(const std::string& relative, size_t bytes) const {
    return writeFile(path(relative), bytes);
}

// Runs `body` in a child process (limits set there stay there) and returns its exit code, or -1.
inline int runInChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `body` in a child process as the unprivileged user "nobody", so permissions apply even when
// the tests run as root (a normal user stays who it is). 120 when the switch failed.
inline int asNobody(const std::function<int()>& body) {
    return runInChild([&] {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            return 120;
        return body();
    });
}

// As asNobody, but a normal user runs the body in this process.
inline int runUnprivileged(const std::function<int()>& body) {
    return geteuid() != 0 ? body() : asNobody(body);
}

// A mount made for one test and undone when it goes, also when the test fails. Declare it after
// the TempTree that holds it, so it is undone before the tree is removed.
class ScopedMount {
  public:
    static ScopedMount bind(const std::string& source, const std::string& target) {
        return ScopedMount(source, target, nullptr, MS_BIND, nullptr);
    }
    static ScopedMount tmpfs(const std::string& target) {
        return ScopedMount("tmpfs", target, "tmpfs", 0, "size=64m");
    }
    // An overlay of `lower` at `target`; `upper` and `work` are empty folders on one file system.
    static ScopedMount overlay(const std::string& lower, const std::string& upper, const std::string& work,
                               const std::string& target) {
        const std::string options = "lowerdir=" + lower + ",upperdir=" + upper + ",workdir=" + work;
        return ScopedMount("overlay", target, "overlay", 0, options.c_str());
    }
    // A small ext4 file system of its own, made in the file `image` and mounted at `target`.
    static ScopedMount ext4(const std::string& image, const std::string& target) {
        ScopedMount mounted;
        if (geteuid() != 0) return mounted;
        const std::string make = "mke2fs -q -F -t ext4 '" + image + "' 4096 >/dev/null 2>&1";
        const std::string attach = "mount -o loop '" + image + "' '" + target + "' >/dev/null 2>&1";
        if (std::system(make.c_str()) == 0 && std::system(attach.c_str()) == 0)
            mounted.target_ = target;
        else
            mounted.error_ = ENODEV;
        return mounted;
    }
    ScopedMount(ScopedMount&& other) noexcept : target_(std::move(other.target_)), error_(other.error_) {
        other.target_.clear();
    }
    ~ScopedMount() {
        if (!target_.empty()) umount2(target_.c_str(), MNT_DETACH);
    }
    bool ok() const { return !target_.empty(); }
    std::string error() const { return std::strerror(error_); }

  private:
    ScopedMount() : error_(EPERM) {}
    ScopedMount(const std::string& source, const std::string& target, const char* type, unsigned long flags,
                const char* data) {
        if (geteuid() == 0 && mount(source.c_str(), target.c_str(), type, flags, data) == 0)
            target_ = target;
        else
            error_ = geteuid() == 0 ? errno : EPERM;
    }
    std::string target_;
    int error_ = 0;
};

// A bind mount for one test, in a folder of its own outside every tree a test removes, so that no
// removal of a test tree can ever walk into the bound folder. Always undone, folder included. Not
// recursive: a recursive bind copies every mount below its source, other tests' binds too, and
// each copy keeps that test's mount point busy, so its folder could not be removed.
class Bind {
  public:
    explicit Bind(const std::string& source) {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/nimbrel-bind-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        at = pattern;
        mounted = ::mount(source.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~Bind() {
        if (mounted && ::umount2(at.c_str(), MNT_DETACH) != 0) std::abort();
        if (at.empty()) return;
        // A recursive bind made elsewhere meanwhile may hold a copy of this mount for a moment.
        for (int attempt = 0; ::rmdir(at.c_str()) != 0 && errno == EBUSY && attempt < 200; ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!at.empty() && access(at.c_str(), F_OK) == 0) ADD_FAILURE() << "mount folder left behind: " << at;
    }
    Bind(const Bind&) = delete;
    Bind& operator=(const Bind&) = delete;

    std::string at;  // where the source shows
    bool mounted = false;
};

// Sets or clears an attribute flag (FS_IMMUTABLE_FL, FS_APPEND_FL); false where the file system or
// the user cannot.
inline bool setAttribute(const std::string& path, int flag, bool on) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | flag) : (flags & ~flag);
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return done;
}
inline bool setImmutable(const std::string& path, bool on) {
    return setAttribute(path, FS_IMMUTABLE_FL, on);
}

// A chain of `depth` folders named "d" below `root`, built relative to descriptors (the path is far
// longer than PATH_MAX), with a file of `fileBytes` in every 1,000th folder and at the bottom.
// Returns the number of files made, or -1.
inline int buildChain(const std::string& root, int depth, size_t fileBytes) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int files = 0;
    const std::string data(fileBytes, 'z');
    for (int level = 1; fd >= 0 && level <= depth; ++level) {
        if (mkdirat(fd, "d", 0755) != 0) break;
        int next = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        if (fd >= 0 && (level % 1000 == 0 || level == depth)) {
            int file = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (file >= 0 && write(file, data.data(), data.size()) == ssize_t(data.size())) ++files;
            if (file >= 0) close(file);
        }
        if (level == depth) {
            close(fd);
            return files;
        }
    }
    if (fd >= 0) close(fd);
    return -1;
}

}  // namespace nimbrel::test
