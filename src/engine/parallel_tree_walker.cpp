#include "engine/parallel_tree_walker.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <queue>
#include <thread>

namespace nimbrel {

namespace {

using walk::kDirFlags;

// Entries read ahead and not yet returned. Above this the workers wait for the reader, unless the
// reader itself waits for them.
constexpr std::size_t kMaxBuffered = 1 << 14;
// A folder of more entries than this has its status calls shared out in slices.
constexpr std::size_t kSplitAbove = 4096;
constexpr std::size_t kSlice = 2048;
// The walk's descriptors are bounded: the root, at most this many folders held open for their
// sub-folders' sake, one folder being read by each of at most kMaxListings workers and one by the
// reader, and one more per open on its way down. Sub-folders of a folder not held are opened down
// from the root.
constexpr int kMaxHeldHandles = 16;
constexpr int kMaxListings = 8;
// How often a worker that is stat-ing a slice looks whether the walk was abandoned.
constexpr std::size_t kStopCheckEvery = 256;
// A worker's listing buffers give their memory back after a folder of more entries than this.
constexpr std::size_t kKeepScratch = 8192;

}  // namespace

namespace walk {

// A folder and the folders above it, for the cycle test: a folder that is one of its own ancestors
// is not entered. Shared, so a worker never depends on a record the reader already freed.
struct Lineage {
    Lineage(std::uint64_t device, std::uint64_t inode, std::shared_ptr<const Lineage> up)
        : device(device), inode(inode), up(std::move(up)) {}

    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::shared_ptr<const Lineage> up;
    // The reader skipped this folder after it was read ahead: nothing below it is read any more.
    mutable std::atomic<bool> abandoned{false};

    bool containsFolder(const walk::Status& s) const {
        for (const Lineage* l = this; l; l = l->up.get())
            if (l->inode == s.inode && l->device == s.device) return true;
        return false;
    }
    bool isAbandoned() const {
        for (const Lineage* l = this; l; l = l->up.get())
            if (l->abandoned.load(std::memory_order_relaxed)) return true;
        return false;
    }
};

// An open folder kept for opening its sub-folders by name, closed when the last of them is open.
// Made only by hold(), which counts it in.
struct Handle {
    Handle(int fd, std::atomic<int>& count) : fd(fd), count(count) {}
    ~Handle() {
        ::close(fd);
        --count;
    }

    // A handle for `fd` while fewer than kMaxHeldHandles are held; otherwise `fd` is closed.
    static std::shared_ptr<Handle> hold(int fd, std::atomic<int>& count) {
        if (count.fetch_add(1, std::memory_order_relaxed) < kMaxHeldHandles)
            return std::make_shared<Handle>(fd, count);
        count.fetch_sub(1, std::memory_order_relaxed);
        ::close(fd);
        return nullptr;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    int fd;
    std::atomic<int>& count;
};

}  // namespace walk

using walk::Handle;
using walk::Lineage;

// One folder's listing. Filled by one worker (or by slices of several), then handed to the reader
// through `done`; owned by its parent's `subs` until the reader takes it.
struct ParallelTreeWalker::Record {
    int level = 0;
    std::string path;                // cleared once the folder is read
    std::vector<std::uint32_t> key;  // entry indices from the root; walk order is their lexicographic order
    std::shared_ptr<const Lineage> lineage;
    std::shared_ptr<Handle> parentHandle;  // until this folder is open
    std::atomic<bool> done{false};
    bool listing = false;  // read by a worker, in one of the kMaxListings
    int error = 0;
    int fd = -1;
    std::atomic<std::size_t> slicesLeft{0};
    std::string names;  // each name is followed by a NUL
    std::vector<walk::Child> children;
    // One per child that is a directory with a status, in order; null where nothing was read ahead.
    std::vector<Record*> subs;

    Record() = default;
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record() {
        if (fd >= 0) close(fd);
    }
};

namespace walk {

struct Task {
    ParallelTreeWalker::Record* record = nullptr;
    std::uint32_t begin = 0, end = 0;
    bool slice = false;  // stat entries [begin, end); otherwise read the folder
};

// The priority queue's top is its greatest element: make that the earliest in walk order.
struct LaterInWalk {
    bool operator()(const Task& a, const Task& b) const { return b.record->key < a.record->key; }
};

}  // namespace walk

using walk::LaterInWalk;
using walk::Task;

namespace {

std::string joined(const std::string& folder, std::string_view name) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path.append(name);
    return path;
}

}  // namespace

struct ParallelTreeWalker::Pool {
    std::string root;
    bool followRoot = false;
    Prune prune;

    std::mutex mutex;
    std::condition_variable workCv;                                   // workers wait for tasks
    std::condition_variable readyCv;                                  // the reader waits for a listing
    std::priority_queue<Task, std::vector<Task>, LaterInWalk> tasks;  // folders to read
    std::vector<Task> slices;  // status calls of folders being read: before any new folder
    int listings = 0;          // folders being read by workers
    bool stop = false;
    bool readerWaiting = false;
    const Record* awaited = nullptr;  // what the reader waits for
    int idle = 0;                     // workers waiting for a task
    std::atomic<bool> stopping{false};
    std::atomic<std::size_t> buffered{0};
    std::atomic<int> heldHandles{0};
    std::vector<std::thread> threads;
    int rootFd = -1;  // the root, opened as the walk opened it

    ~Pool() {
        if (rootFd >= 0) ::close(rootFd);
    }

    void start(int count) {
        for (int i = 0; i < count; ++i)
            threads.emplace_back([this] { work(); });
    }

    void shutdown() {
        {
            std::lock_guard lock(mutex);
            stop = true;
            stopping = true;
        }
        workCv.notify_all();
        for (auto& t : threads)
            t.join();
        threads.clear();
    }

    void enqueue(Record* r) {
        {
            std::lock_guard lock(mutex);
            tasks.push(Task{r});
        }
        workCv.notify_one();
    }

    // A slice needs no descriptor of its own, so it may always be taken. A folder needs one of the
    // kMaxListings, and past the bound on entries read ahead only what the reader waits for is read
    // (and what was abandoned, which costs nothing and may stand before it).
    bool mayTake() const {
        if (!slices.empty()) return true;
        if (tasks.empty() || listings >= kMaxListings) return false;
        const Task& top = tasks.top();
        if (buffered.load(std::memory_order_relaxed) < kMaxBuffered) return true;
        return readerWaiting && (top.record == awaited || top.record->lineage->isAbandoned());
    }

    void work() {
        for (;;) {
            Task task;
            {
                std::unique_lock lock(mutex);
                ++idle;
                workCv.wait(lock, [&] { return stop || mayTake(); });
                --idle;
                if (stop) return;
                if (!slices.empty()) {
                    task = slices.back();
                    slices.pop_back();
                } else {
                    task = tasks.top();
                    tasks.pop();
                    task.record->listing = true;
                    ++listings;
                }
            }
            if (task.slice) {
                statSlice(*task.record, task.begin, task.end);
                if (task.record->slicesLeft.fetch_sub(1) == 1) finish(*task.record);
            } else {
                read(*task.record, /*share=*/true);
            }
        }
    }

    // Opens the folder as the sequential walk would reach it: the root as asked, a folder below one
    // held open by its name there, any other down from the root, never by its full path (too long
    // for the system in a deep tree, and it would follow a link swapped into the chain). Either way
    // it must be the folder that was listed, or it fails with kChanged.
    int openFolder(const Record& r) const {
        int fd;
        if (r.level == 0) {
            fd = ::open(r.path.c_str(), kDirFlags | (followRoot ? 0 : O_NOFOLLOW));
        } else if (r.parentHandle) {
            const std::size_t slash = r.path.rfind('/');
            fd = ::openat(r.parentHandle->fd, r.path.c_str() + slash + 1, kDirFlags | O_NOFOLLOW);
        } else if (rootFd < 0) {
            errno = EBADF;
            return -1;
        } else {
            fd = walk::openBelow(rootFd, std::string_view(r.path).substr(root.size()));
        }
        if (fd >= 0 && !walk::isListed(fd, r.lineage->device, r.lineage->inode)) {
            ::close(fd);
            errno = walk::kChanged;
            return -1;
        }
        return fd;
    }

    // Reads one folder's names, then their status: on this thread, or shared out in slices when
    // `share` and the folder is very large.
    void read(Record& r, bool share) {
        if (r.lineage->isAbandoned()) {
            r.parentHandle.reset();
            publish(r, {});
            return;
        }
        int fd = openFolder(r);
        const int openError = errno;
        r.parentHandle.reset();
        errno = openError;
        if (fd < 0) {
            r.error = errno;
            publish(r, {});
            return;
        }
        if (const int error = listNames(r, fd); error != 0) {
            ::close(fd);
            r.error = error;
            publish(r, {});
            return;
        }
        r.fd = fd;
        // Kept for the folders opened down from the root; set before anything below it is queued.
        if (r.level == 0) rootFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        const std::size_t n = r.children.size();
        if (share && n > kSplitAbove) return shareOut(r);
        statSlice(r, 0, n);
        finish(r);
    }

    // The names in the folder open as `fd`, into `r`; the listing's error, or 0.
    int listNames(Record& r, int fd) {
        // Listed into buffers kept by the thread, then copied at their exact size: records are freed
        // on another thread, and growing them in place would leave the allocator full of holes.
        thread_local std::string names;
        thread_local std::vector<walk::Child> children;
        names.clear();
        children.clear();
        int error = walk::listFolder(fd, [&](const char* name) {
            walk::Child child;
            child.nameOffset = static_cast<std::uint32_t>(names.size());
            child.nameLength = static_cast<std::uint32_t>(std::strlen(name));
            names.append(name, child.nameLength + 1);
            children.push_back(child);
        });
        if (children.capacity() > kKeepScratch) {
            // A huge listing is handed over whole rather than held twice.
            if (error == 0) {
                r.names = std::move(names);
                r.children = std::move(children);
            }
            std::string().swap(names);
            std::vector<walk::Child>().swap(children);
        } else if (error == 0) {
            r.names.assign(names);
            r.children.assign(children.begin(), children.end());
        }
        return error;
    }

    // A very large folder's status is read in slices by whichever workers are free.
    void shareOut(Record& r) {
        const std::size_t n = r.children.size();
        std::vector<Task> shares;
        for (std::size_t begin = 0; begin < n; begin += kSlice)
            shares.push_back(Task{&r, static_cast<std::uint32_t>(begin),
                                  static_cast<std::uint32_t>(std::min(n, begin + kSlice)), true});
        r.slicesLeft = shares.size();
        int wake = 0;
        {
            std::lock_guard lock(mutex);
            // Taken from the back: the first slices first.
            slices.insert(slices.end(), shares.rbegin(), shares.rend());
            wake = std::min<int>(idle, static_cast<int>(shares.size()));
        }
        wakeWorkers(wake);
    }

    void statSlice(Record& r, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if ((i - begin) % kStopCheckEvery == 0 && stopping.load(std::memory_order_relaxed)) return;
            walk::Child& child = r.children[i];
            walk::statAt(r.fd, r.names.data() + child.nameOffset, child.status);
        }
    }

    // Every entry has its status: queue the sub-folders to read and hand the listing over.
    void finish(Record& r) {
        // Sub-folders open by name here while this folder stays open, as in a walk that holds every
        // folder above it (and only while few are held).
        std::shared_ptr<Handle> handle;
        std::vector<Task> found;
        const bool abandoned = r.lineage->isAbandoned();
        for (std::size_t i = 0; i < r.children.size(); ++i) {
            const walk::Child& child = r.children[i];
            if (child.status.error != 0 || !S_ISDIR(child.status.mode)) continue;
            Record* sub = nullptr;
            if (!abandoned && !r.lineage->containsFolder(child.status)) {
                std::string_view name(r.names.data() + child.nameOffset, child.nameLength);
                std::string path = joined(r.path, name);
                if (!prune || !prune(path, name, r.level + 1)) {
                    sub = new Record;
                    sub->level = r.level + 1;
                    sub->path = std::move(path);
                    sub->key.reserve(r.key.size() + 1);
                    sub->key = r.key;
                    sub->key.push_back(static_cast<std::uint32_t>(i));
                    sub->lineage =
                        std::make_shared<const Lineage>(child.status.device, child.status.inode, r.lineage);
                    if (r.fd >= 0) {
                        handle = Handle::hold(r.fd, heldHandles);
                        r.fd = -1;
                    }
                    sub->parentHandle = handle;
                    found.push_back(Task{sub});
                }
            }
            r.subs.push_back(sub);
        }
        if (r.fd >= 0) ::close(r.fd);
        r.fd = -1;
        std::string().swap(r.path);
        publish(r, found);
    }

    void publish(Record& r, const std::vector<Task>& found) {
        int wake = 0;
        bool readerWaits = false;
        {
            std::lock_guard lock(mutex);
            buffered.fetch_add(r.children.size(), std::memory_order_relaxed);

            for (const Task& t : found)
                tasks.push(t);
            // Its descriptor is closed or held by now: another folder may be read.
            const bool freed = r.listing;
            if (freed) --listings;
            r.done.store(true, std::memory_order_release);
            wake = std::min<int>(idle, static_cast<int>(found.size()) + (freed ? 1 : 0));
            readerWaits = readerWaiting;
        }
        wakeWorkers(wake);
        if (readerWaits) readyCv.notify_one();
    }

    // Only as many wake-ups as there are new tasks: waking every worker for each folder costs more
    // than the folder.
    void wakeWorkers(int count) {
        for (int i = 0; i < count; ++i)
            workCv.notify_one();
    }

    void waitFor(const Record& r) {
        if (r.done.load(std::memory_order_acquire)) return;
        std::unique_lock lock(mutex);
        readerWaiting = true;
        awaited = &r;
        workCv.notify_all();
        readyCv.wait(lock, [&] { return r.done.load(std::memory_order_acquire); });
        readerWaiting = false;
        awaited = nullptr;
    }

    // The reader is done with `count` entries read ahead.
    void release(std::size_t count) {
        const std::size_t before = buffered.fetch_sub(count, std::memory_order_relaxed);
        if (before >= kMaxBuffered && before - count < kMaxBuffered) {
            { std::lock_guard lock(mutex); }
            workCv.notify_all();
        }
    }
};

ParallelTreeWalker::ParallelTreeWalker(std::string root, bool followRoot, int threads, Prune prune)
    : WalkCursor(std::move(root), followRoot), pool_(std::make_unique<Pool>()) {
    pool_->root = root_;
    pool_->followRoot = followRoot;
    pool_->prune = std::move(prune);
    threads_ = std::max(1, threads);
}

ParallelTreeWalker::~ParallelTreeWalker() {
    pool_->shutdown();
    // Whatever the reader did not take yet belongs to it now that no worker runs.
    std::vector<Record*> doomed = std::move(abandoned_);
    for (Frame& frame : frames_)
        doomed.push_back(frame.record);
    doomed.push_back(pendingRecord_);
    while (!doomed.empty()) {
        Record* r = doomed.back();
        doomed.pop_back();
        if (!r) continue;
        for (Record* sub : r->subs)
            doomed.push_back(sub);
        delete r;
    }
}

bool ParallelTreeWalker::isAncestor(const Status& status) const {
    for (const Frame& frame : frames_)
        if (frame.self.inode == status.inode && frame.self.device == status.device) return true;
    return false;
}

// Takes the listing of the directory whose first visit was returned last, waiting for the workers
// when they have not read it yet, and pushes its frame. Returns with entry_ set to its unreadable
// visit when it cannot be read.
void ParallelTreeWalker::openPending() {
    Record* r = pendingRecord_;
    pendingRecord_ = nullptr;
    if (frames_.empty()) {
        r = new Record;
        r->path = path_;
        r->lineage = std::make_shared<const Lineage>(pending_.device, pending_.inode, nullptr);
        pool_->start(threads_);
        pool_->enqueue(r);
    } else if (!r) {
        // Left alone by the workers, yet entered: read it here.
        const Record& parent = *frames_.back().record;
        r = new Record;
        r->level = pendingLevel_;
        r->path = path_;
        r->key = parent.key;
        r->key.push_back(pendingIndex_);
        r->lineage = std::make_shared<const Lineage>(pending_.device, pending_.inode, parent.lineage);
        pool_->read(*r, /*share=*/false);
    }
    pool_->waitFor(*r);
    if (r->error != 0) {
        Status status = pending_;
        status.error = r->error;
        delete r;
        setEntry(WalkEntry::Kind::directoryUnreadable, pendingLevel_, status);
        return;
    }
    frames_.push_back(Frame{r, path_.size(), pendingLevel_, pending_, 0, 0});
}

void ParallelTreeWalker::dropPending() {
    if (!pendingRecord_) return;
    pendingRecord_->lineage->abandoned = true;
    abandoned_.push_back(pendingRecord_);
    pendingRecord_ = nullptr;
}

const WalkEntry* ParallelTreeWalker::step() {
    if (frames_.empty()) return end();
    Frame& frame = frames_.back();
    Record& record = *frame.record;
    if (frame.next < record.children.size()) {
        const std::size_t index = frame.next++;
        const walk::Child& child = record.children[index];
        const bool directory = child.status.error == 0 && S_ISDIR(child.status.mode);
        Record* sub = nullptr;
        if (directory) {
            sub = record.subs[frame.nextSub];
            record.subs[frame.nextSub++] = nullptr;
        }
        const bool cycle = directory && isAncestor(child.status);
        if (visitChild(frame.pathLength, record.names, child, frame.level + 1, cycle)) {
            pendingRecord_ = sub;
            pendingIndex_ = static_cast<std::uint32_t>(index);
        } else if (sub) {
            abandoned_.push_back(sub);  // never: the workers apply the same cycle test
        }
        return &entry_;
    }

    // Every entry of the folder was visited: its last visit.
    const std::size_t pathLength = frame.pathLength;
    const int frameLevel = frame.level;
    const Status self = frame.self;
    pool_->release(record.children.size());
    delete frame.record;
    frames_.pop_back();
    return leave(pathLength, frameLevel, self);
}

}  // namespace nimbrel
