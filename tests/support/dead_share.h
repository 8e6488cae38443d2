#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace nimbrel {

// A file system that stops answering, as a network share does when its server goes away, with no
// network: a FUSE mount whose requests nobody reads. Every look at it (stat, open, listing) waits
// until release() or the end of the share, after which it fails with "not connected"; the mount is
// then taken away. Needs /dev/fuse and the right to mount (root); `error()` says why not otherwise.
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
        const std::string options = "fd=" + std::to_string(device_) +
                                    ",rootmode=40000,user_id=" + std::to_string(::geteuid()) +
                                    ",group_id=" + std::to_string(::getegid()) + ",allow_other";
        if (::mount("nimbrel-dead", mountPoint_.c_str(), "fuse.nimbrel-dead", MS_NOSUID | MS_NODEV,
                    options.c_str()) != 0) {
            error_ = std::string("cannot mount a FUSE file system here: ") + std::strerror(errno);
            ::close(device_);
            device_ = -1;
            return;
        }
        mounted_ = true;
    }
    ~DeadShare() {
        release();
        detach();
    }
    DeadShare(const DeadShare&) = delete;
    DeadShare& operator=(const DeadShare&) = delete;

    bool ok() const { return mounted_; }
    const std::string& error() const { return error_; }

    // The server is gone for good: whatever waits on the share fails now instead.
    void release() {
        if (device_ >= 0) ::close(device_);
        device_ = -1;
    }

    // Takes the share out of the folder tree; what waits on it goes on waiting until release().
    void detach() {
        if (mounted_) ::umount2(mountPoint_.c_str(), MNT_DETACH);
        mounted_ = false;
    }

  private:
    std::string mountPoint_;
    std::string error_;
    int device_ = -1;
    bool mounted_ = false;
};

}  // namespace nimbrel
