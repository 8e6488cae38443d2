#pragma once

#include <fcntl.h>
#include <linux/fuse.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nimbrel {

// A file system that stops answering, as a network share does when its server goes away, with no
// network: a FUSE mount whose requests nobody answers. Every look at it (stat, open, listing) waits
// until release() or the end of the share, after which it fails; the mount is then taken away. The
// share sees each look arrive, so a test waits for one rather than for time to pass. Needs /dev/fuse
// and the right to mount (root); `error()` says why not otherwise.
class DeadShare {
  public:
    explicit DeadShare(std::string mountPoint) : mountPoint_(std::move(mountPoint)) {
        if (::access("/dev/fuse", F_OK) != 0) {
            error_ = "/dev/fuse is missing";
            return;
        }
        device_ = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (device_ < 0) {
            error_ = std::string("cannot open /dev/fuse: ") + std::strerror(errno);
            return;
        }
        ::mkdir(mountPoint_.c_str(), 0755);
        const std::string options = "fd=" + std::to_string(device_.load()) +
                                    ",rootmode=40000,user_id=" + std::to_string(::geteuid()) +
                                    ",group_id=" + std::to_string(::getegid()) + ",allow_other";
        if (::mount("nimbrel-dead", mountPoint_.c_str(), "fuse.nimbrel-dead", MS_NOSUID | MS_NODEV,
                    options.c_str()) != 0) {
            error_ = std::string("cannot mount a FUSE file system here: ") + std::strerror(errno);
            release();
            return;
        }
        mounted_ = true;
        if (!greet()) {
            error_ = std::string("the kernel's FUSE greeting went unanswered: ") + std::strerror(errno);
            release();
            detach();
        }
    }
    ~DeadShare() {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        ended_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
        release();
        detach();
    }
    DeadShare(const DeadShare&) = delete;
    DeadShare& operator=(const DeadShare&) = delete;

    bool ok() const { return mounted_; }
    const std::string& error() const { return error_; }

    // Waits until something looks at the share (a look that now waits on it), for at most `limit`.
    // The looks are never read, so they keep waiting, and a fatal signal still ends them.
    bool waitForVisitor(std::chrono::milliseconds limit) const {
        pollfd device{device_.load(), POLLIN, 0};
        return device.fd >= 0 && ::poll(&device, 1, static_cast<int>(limit.count())) == 1 &&
               (device.revents & POLLIN);
    }
    // True once the share has let its visitors go. A call that returned while this is false never
    // looked at the share on its own thread: a look would have waited until now.
    bool released() const { return device_.load() < 0; }

    // The server is gone for good: whatever waits on the share fails now instead.
    void release() {
        const int device = device_.exchange(-1);
        if (device >= 0) ::close(device);
    }

    // Releases the share after `limit` at the latest, so that code waiting on it where it must not
    // (the main thread) fails the test instead of hanging it.
    void releaseAfter(std::chrono::milliseconds limit) {
        watchdog_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!ended_.wait_for(lock, limit, [this] { return ending_; })) release();
        });
    }

    // Takes the share out of the folder tree; what waits on it goes on waiting until release().
    void detach() {
        if (mounted_) ::umount2(mountPoint_.c_str(), MNT_DETACH);
        mounted_ = false;
    }

  private:
    // Answers the kernel's opening request, so that later looks queue where waitForVisitor sees them.
    bool greet() {
        std::vector<char> request(FUSE_MIN_READ_BUFFER + 65536);
        if (::read(device_, request.data(), request.size()) <
            ssize_t(sizeof(fuse_in_header) + sizeof(fuse_init_in)))
            return false;
        const auto* header = reinterpret_cast<const fuse_in_header*>(request.data());
        const auto* init = reinterpret_cast<const fuse_init_in*>(request.data() + sizeof(fuse_in_header));
        if (header->opcode != FUSE_INIT) return false;
        struct {
            fuse_out_header header;
            fuse_init_out init;
        } reply{};
        reply.header.len = sizeof(reply);
        reply.header.unique = header->unique;
        reply.init.major = FUSE_KERNEL_VERSION;
        reply.init.minor = FUSE_KERNEL_MINOR_VERSION;
        reply.init.max_readahead = init->max_readahead;
        reply.init.max_write = 4096;
        return ::write(device_, &reply, sizeof(reply)) == ssize_t(sizeof(reply));
    }

    std::string mountPoint_;
    std::string error_;
    std::atomic<int> device_{-1};
    bool mounted_ = false;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool ending_ = false;
    std::thread watchdog_;
};

}  // namespace nimbrel
