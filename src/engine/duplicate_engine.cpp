#include "engine/duplicate_engine.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "engine/inode_key.h"
#include "engine/localized.h"

namespace nimbrel {

namespace {

constexpr int64_t kEdgeBytes = 65536;               // fingerprint: first and last 64 KiB
constexpr size_t kHeadBytes = 4096;                 // compared before any fingerprint
constexpr int64_t kHeadOnlyLimit = 2 * kEdgeBytes;  // up to this size the head alone is hashed
// Full hash reads. Every hashing thread keeps one buffer: 1 MiB reads from the page cache as fast as
// larger ones, and eight threads of 4 MiB would hold 32 MiB for nothing.
constexpr size_t kChunkBytes = 1024 * 1024;
constexpr int64_t kFingerprintReportEvery = 50;
constexpr double kFingerprintShare = 0.2;
constexpr int kMaxThreads = 8;

using Digest = std::array<unsigned char, 32>;

std::string hex(const Digest& d) {
    static const char* digits = "0123456789abcdef";
    std::string out(64, '0');
    for (size_t i = 0; i < d.size(); ++i) {
        out[2 * i] = digits[d[i] >> 4];
        out[2 * i + 1] = digits[d[i] & 0xf];
    }
    return out;
}

// The algorithm is looked up once, and each thread keeps one context: set up per file, both cost
// more than hashing a small file.
const EVP_MD* sha256Algorithm() {
    static const EVP_MD* md = [] {
        const EVP_MD* fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
        return fetched ? fetched : EVP_sha256();
    }();
    return md;
}

// One at a time per thread: it borrows the thread's context.
struct Sha256 {
    Sha256() {
        thread_local std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                                     &EVP_MD_CTX_free);
        ctx = context.get();
        EVP_DigestInit_ex(ctx, sha256Algorithm(), nullptr);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(const unsigned char* p, size_t n) { EVP_DigestUpdate(ctx, p, n); }
    Digest digest() {
        Digest d{};
        unsigned int len = 0;
        EVP_DigestFinal_ex(ctx, d.data(), &len);
        return d;
    }

    EVP_MD_CTX* ctx;
};

// An open regular file. Opening never follows a final symbolic link, never blocks on a FIFO that
// replaced a scanned file, and leaves access times alone where the system lets us (the "last opened"
// dates of the scan must survive a twin search).
class RegularFile {
  public:
    // O_NONBLOCK stays set: it has no effect on reads of a regular file.
    explicit RegularFile(const char* path) {
        constexpr int base = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
        fd_ = ::open(path, base | O_NOATIME);
        // O_NOATIME is refused (EPERM) on files of other owners unless we may change their times.
        if (fd_ < 0 && errno == EPERM) fd_ = ::open(path, base);
        if (fd_ < 0) return;
        if (::fstat(fd_, &st_) != 0 || !S_ISREG(st_.st_mode)) {
            close();
            return;
        }
    }
    ~RegularFile() { close(); }
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const struct stat& stat() const { return st_; }
    EntryIdentity identity() const { return EntryIdentity::of(st_); }
    // Whether the file is still as it was when opened: nothing wrote to it, truncated it or set its
    // times meanwhile, so what was read of it is what it held.
    bool unchanged() const {
        struct stat now {};
        return ::fstat(fd_, &now) == 0 && identity().sameEntry(EntryIdentity::of(now));
    }

  private:
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    struct stat st_ {};
};

// Reads up to `len` bytes at `offset`; the count read, or -1 on a read error.
ssize_t readAt(int fd, unsigned char* buf, size_t len, off_t offset) {
    size_t got = 0;
    while (got < len) {
        ssize_t n = ::pread(fd, buf + got, len - got, offset + static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

ssize_t readSome(int fd, unsigned char* buf, size_t len) {
    for (;;) {
        ssize_t n = ::read(fd, buf, len);
        if (n >= 0 || errno != EINTR) return n;
    }
}

struct Fingerprint {
    Digest digest{};
    // What the file was when read: for a file the digest covers whole, the identity its group
    // keeps; for any other, replaced by what the full hash read.
    EntryIdentity seen;
    bool ok = false;
    // The head read reached the end at the scanned length: the digest is the whole file's.
    bool whole = false;
};

// SHA-256 of the first 64 KiB and, for a file above 128 KiB, of the last 64 KiB as well. A file that
// cannot be opened or read gets no fingerprint: it would only fail again when hashed in full.
Fingerprint fingerprint(const char* path, int64_t logicalSize) {
    Fingerprint out;
    RegularFile file(path);
    if (!file.ok()) return out;
    unsigned char buf[kEdgeBytes];
    Sha256 sha;
    ssize_t n = readAt(file.fd(), buf, kEdgeBytes, 0);
    if (n < 0) return out;
    sha.add(buf, static_cast<size_t>(n));
    out.whole = n < kEdgeBytes && n == logicalSize;
    if (logicalSize > kHeadOnlyLimit) {
        n = readAt(file.fd(), buf, kEdgeBytes, static_cast<off_t>(logicalSize - kEdgeBytes));
        if (n < 0) return out;
        sha.add(buf, static_cast<size_t>(n));
    }
    // Written to while read: the digest may mix two contents.
    if (!file.unchanged()) return out;
    out.ok = true;
    out.digest = sha.digest();
    out.seen = file.identity();
    return out;
}

// A quick hash of a file's first 4 KiB and of how many bytes were there; never 0, which stands for a
// file that could not be read.
uint64_t headKey(const char* path) {
    RegularFile file(path);
    if (!file.ok()) return 0;
    char buf[kHeadBytes];
    ssize_t n = readAt(file.fd(), reinterpret_cast<unsigned char*>(buf), kHeadBytes, 0);
    if (n < 0) return 0;
    uint64_t h = std::hash<std::string_view>{}(std::string_view(buf, static_cast<size_t>(n)));
    h ^= static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull;
    return h == 0 ? 1 : h;
}

int threadCount(int requested, size_t work) {
    int n = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    n = std::clamp(n, 1, kMaxThreads);
    return static_cast<int>(std::min<size_t>(static_cast<size_t>(n), std::max<size_t>(work, 1)));
}

// Runs body(i) for every i below count on up to `threads` threads; indices are handed out in order.
// body returns false to stop every thread early.
void parallelFor(size_t count, int threads, const std::function<bool(size_t)>& body) {
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    auto worker = [&] {
        while (!stop.load(std::memory_order_relaxed)) {
            size_t i = next.fetch_add(1);
            if (i >= count) return;
            if (!body(i)) stop.store(true);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (auto& t : pool)
        t.join();
}

std::string replacePlaceholders(std::string text, const std::string& placeholder, const std::string& first,
                                const std::string& second) {
    for (const std::string* value : {&first, &second}) {
        size_t at = text.find(placeholder);
        if (at == std::string::npos) break;
        text.replace(at, placeholder.size(), *value);
    }
    return text;
}

}  // namespace

std::string DuplicateProgress::text(const std::function<std::string(int64_t)>& bytes) const {
    if (stage == Stage::fingerprinting) {
        return replacePlaceholders(localized("Fingerprinting files… %lld of %lld"), "%lld",
                                   std::to_string(done), std::to_string(total));
    }
    return replacePlaceholders(localized("Verifying contents… %@ of %@"), "%@",
                               bytes(std::max<int64_t>(done, 0)), bytes(std::max<int64_t>(total, 0)));
}

namespace {

// SHA-256 of a whole file; nothing when it cannot be opened as a regular file, a read fails, it
// changes while read, or `cancelled` turns true before a chunk. `seen`, when given, is told what the
// file was when read.
template <typename Cancelled, typename OnBytes>
std::optional<Digest> hashWhole(const char* path, const Cancelled& cancelled, const OnBytes& onBytes,
                                EntryIdentity* seen = nullptr) {
    RegularFile file(path);
    if (!file.ok()) return std::nullopt;
    ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // One chunk buffer per worker thread, reused from file to file.
    thread_local std::unique_ptr<unsigned char[]> buffer;
    if (!buffer) buffer = std::make_unique<unsigned char[]>(kChunkBytes);
    Sha256 sha;
    for (;;) {
        if (cancelled()) return std::nullopt;
        ssize_t n = readSome(file.fd(), buffer.get(), kChunkBytes);
        // A read error must not end the hash early as if the file ended there: two unreadable files
        // would then "match" and one could be removed as an extra copy.
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        sha.add(buffer.get(), static_cast<size_t>(n));
        onBytes(n);
    }
    if (!file.unchanged()) return std::nullopt;
    if (seen) *seen = file.identity();
    return sha.digest();
}

struct DigestHash {
    size_t operator()(const Digest& d) const noexcept {
        size_t h;
        std::memcpy(&h, d.data(), sizeof h);  // already uniformly spread
        return h;
    }
};

// Indices 0..count-1 ordered by key(i), ties in index order. Sorting (key, index) pairs rather than
// indices through the key keeps the sort in cache.
template <typename Key>
std::vector<uint32_t> orderBy(size_t count, const Key& key) {
    std::vector<std::pair<uint64_t, uint32_t>> keyed(count);
    for (size_t i = 0; i < count; ++i)
        keyed[i] = {key(i), static_cast<uint32_t>(i)};
    std::sort(keyed.begin(), keyed.end());
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = keyed[i].second;
    return order;
}

// A group found: the shared digest and the members, as indices into the search's input, in input
// order, with what the search saw of each when it read it.
struct IndexGroup {
    Digest digest;
    std::vector<uint32_t> members;
    std::vector<EntryIdentity> seen;
};

// One search, step by step. Memory is what a million candidates call for: a few fixed-size entries
// per file that shares its size with another, each array freed once its step is over, and digests
// only for the few files that get that far. Paths, sizes and inode numbers are read from the items.
class TwinSearch {
  public:
    TwinSearch(const std::vector<const FileItem*>& files, const CancelToken& token,
               const DuplicateProgressFn& progress, int threads)
        : files_(files), token_(token), progress_(progress), threads_(threads) {}

    // Nothing when the token was found cancelled.
    std::optional<std::vector<IndexGroup>> run() {
        bucketBySize();
        if (sized_.empty()) return std::vector<IndexGroup>{};
        if (!keepSharedHeads()) return std::nullopt;
        if (!fingerprintSurvivors()) return std::nullopt;
        gatherCandidateSets();
        if (!hashCandidates()) return std::nullopt;
        return groupByHash();
    }

  private:
    const FileItem& itemAt(size_t k) const { return *files_[sized_[k]]; }
    const FileItem& printedItem(size_t s) const { return itemAt(printed_[s]); }
    bool cancelled() {
        if (token_.isCancelled()) stopped_ = true;
        return stopped_;
    }
    void report(const DuplicateProgress& p) {
        if (progress_) progress_(p);
    }
    // Runs body(i) in the order given, on the search's threads, until the token is cancelled.
    // False when it was.
    bool forEach(const std::vector<uint32_t>& order, const std::function<void(size_t)>& body) {
        parallelFor(order.size(), threadCount(threads_, order.size()), [&](size_t j) {
            if (cancelled()) return false;
            body(order[j]);
            return true;
        });
        return !stopped_;
    }

    // 1. Size buckets, in the order their sizes first occur; within one, input order. Only buckets
    // of more than one file are kept.
    void bucketBySize() {
        std::vector<std::pair<int64_t, uint32_t>> bySize(files_.size());
        for (size_t i = 0; i < files_.size(); ++i)
            bySize[i] = {files_[i]->logicalSize, static_cast<uint32_t>(i)};
        std::sort(bySize.begin(), bySize.end());
        struct Run {
            uint32_t first, begin, length;
        };
        std::vector<Run> runs;
        size_t kept = 0;
        for (size_t begin = 0; begin < bySize.size();) {
            size_t end = begin + 1;
            while (end < bySize.size() && bySize[end].first == bySize[begin].first)
                ++end;
            if (end - begin > 1) {
                runs.push_back(
                    {bySize[begin].second, static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)});
                kept += end - begin;
            }
            begin = end;
        }
        std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.first < b.first; });
        sized_.reserve(kept);
        bucketStarts_.reserve(runs.size() + 1);
        for (const Run& run : runs) {
            bucketStarts_.push_back(static_cast<uint32_t>(sized_.size()));
            for (uint32_t j = run.begin; j < run.begin + run.length; ++j)
                sized_.push_back(bySize[j].second);
        }
        bucketStarts_.push_back(static_cast<uint32_t>(sized_.size()));
    }

    // 2. The heads alone, under a quick hash, read in inode order (on a disk that seeks, the order
    // the files lie in): a file whose head no other file of its size shares has no twin, and most
    // files go no further. A quick-hash collision only lets a file through.
    bool keepSharedHeads() {
        const auto total = static_cast<int64_t>(sized_.size());
        std::vector<uint64_t> heads;  // 0: could not be read
        {
            const std::vector<uint32_t> readOrder =
                orderBy(sized_.size(), [&](size_t k) { return itemAt(k).inode; });
            // Only now: the read order's sort keys, the search's largest array, are gone.
            heads.assign(sized_.size(), 0);
            int64_t done = 0;
            std::mutex reportMutex;
            const bool finished = forEach(readOrder, [&](size_t k) {
                heads[k] = headKey(itemAt(k).path.c_str());
                std::lock_guard lock(reportMutex);
                ++done;
                if (done % kFingerprintReportEvery == 0)
                    report({DuplicateProgress::Stage::fingerprinting,
                            static_cast<double>(done) * kFingerprintShare /
                                static_cast<double>(std::max<int64_t>(total, 1)),
                            done, total});
            });
            if (!finished) return false;
        }
        std::vector<char> shared(sized_.size(), 0);
        std::vector<std::pair<uint64_t, uint32_t>> keyed;
        for (size_t b = 0; b + 1 < bucketStarts_.size(); ++b) {
            keyed.clear();
            for (uint32_t k = bucketStarts_[b]; k < bucketStarts_[b + 1]; ++k)
                if (heads[k] != 0) keyed.emplace_back(heads[k], k);
            std::sort(keyed.begin(), keyed.end());
            for (size_t i = 0; i < keyed.size(); ++i) {
                if ((i > 0 && keyed[i - 1].first == keyed[i].first) ||
                    (i + 1 < keyed.size() && keyed[i + 1].first == keyed[i].first))
                    shared[keyed[i].second] = 1;
            }
        }
        for (size_t k = 0; k < sized_.size(); ++k)
            if (shared[k]) printed_.push_back(static_cast<uint32_t>(k));
        return true;
    }

    // 3. Fingerprints of the files that got through, again in inode order.
    bool fingerprintSurvivors() {
        prints_.resize(printed_.size());
        const std::vector<uint32_t> readOrder =
            orderBy(printed_.size(), [&](size_t s) { return printedItem(s).inode; });
        return forEach(readOrder, [&](size_t s) {
            const FileItem& f = printedItem(s);
            prints_[s] = fingerprint(f.path.c_str(), f.logicalSize);
        });
    }

    // 4. Candidate sets: within a bucket, the files of one fingerprint, in the order the
    // fingerprints first occur. Two paths of one (device, inode) are one file, not twins: the first
    // path stays.
    void gatherCandidateSets() {
        std::unordered_set<InodeKey> seen;
        std::unordered_map<Digest, uint32_t, DigestHash> listOf;
        std::vector<std::vector<uint32_t>> lists;
        size_t s = 0;
        for (size_t b = 0; b + 1 < bucketStarts_.size(); ++b) {
            seen.clear();
            listOf.clear();
            lists.clear();
            for (; s < printed_.size() && printed_[s] < bucketStarts_[b + 1]; ++s) {
                const Fingerprint& fp = prints_[s];
                if (!fp.ok || !seen.insert(fp.seen.key).second) continue;
                auto [it, added] = listOf.try_emplace(fp.digest, static_cast<uint32_t>(lists.size()));
                if (added) lists.emplace_back();
                lists[it->second].push_back(static_cast<uint32_t>(s));
            }
            for (const auto& list : lists) {
                if (list.size() < 2) continue;
                setStarts_.push_back(static_cast<uint32_t>(hashInputs_.size()));
                hashInputs_.insert(hashInputs_.end(), list.begin(), list.end());
            }
        }
        setStarts_.push_back(static_cast<uint32_t>(hashInputs_.size()));
    }

    // 5. Full hashes. Largest files go first so that the threads finish together; results land in
    // their input slots, so the order of the groups does not depend on it. Small files whose
    // fingerprint already hashed all of them are not read again.
    bool hashCandidates() {
        int64_t totalBytes = 0;
        for (uint32_t s : hashInputs_)
            totalBytes += printedItem(s).logicalSize;
        hashes_.resize(hashInputs_.size());
        hashed_.assign(hashInputs_.size(), 0);
        const std::vector<uint32_t> order = orderBy(hashInputs_.size(), [&](size_t h) {
            return ~static_cast<uint64_t>(printedItem(hashInputs_[h]).logicalSize);
        });
        std::atomic<int64_t> bytes{0};
        std::mutex reportMutex;
        return forEach(order, [&](size_t h) {
            Fingerprint& fp = prints_[hashInputs_[h]];
            const FileItem& f = printedItem(hashInputs_[h]);
            std::optional<Digest> digest;
            if (fp.whole) {
                digest = fp.digest;
                bytes.fetch_add(f.logicalSize, std::memory_order_relaxed);
            } else {
                digest = hashWhole(
                    f.path.c_str(), [&] { return token_.isCancelled(); },
                    [&](int64_t n) { bytes.fetch_add(n, std::memory_order_relaxed); }, &fp.seen);
            }
            if (!digest) {
                cancelled();
                return;
            }
            hashes_[h] = *digest;
            hashed_[h] = 1;
            std::lock_guard lock(reportMutex);
            const int64_t now = bytes.load();
            report({DuplicateProgress::Stage::verifying,
                    kFingerprintShare + static_cast<double>(now) * (1 - kFingerprintShare) /
                                            static_cast<double>(std::max<int64_t>(totalBytes, 1)),
                    now, totalBytes});
        });
    }

    // 6. Groups: within a candidate set, the files of one hash, in the order the hashes first occur.
    std::vector<IndexGroup> groupByHash() {
        std::vector<IndexGroup> groups;
        std::unordered_map<Digest, uint32_t, DigestHash> listOf;
        std::vector<IndexGroup> lists;
        for (size_t set = 0; set + 1 < setStarts_.size(); ++set) {
            listOf.clear();
            lists.clear();
            for (uint32_t h = setStarts_[set]; h < setStarts_[set + 1]; ++h) {
                if (!hashed_[h]) continue;
                auto [it, added] = listOf.try_emplace(hashes_[h], static_cast<uint32_t>(lists.size()));
                if (added) lists.push_back({hashes_[h], {}, {}});
                IndexGroup& list = lists[it->second];
                list.members.push_back(sized_[printed_[hashInputs_[h]]]);
                list.seen.push_back(prints_[hashInputs_[h]].seen);
            }
            for (IndexGroup& list : lists)
                if (list.members.size() > 1) groups.push_back(std::move(list));
        }
        return groups;
    }

    const std::vector<const FileItem*>& files_;
    const CancelToken& token_;
    const DuplicateProgressFn& progress_;
    const int threads_;
    std::atomic<bool> stopped_{false};

    std::vector<uint32_t> sized_;         // input indices of the kept buckets, bucket by bucket
    std::vector<uint32_t> bucketStarts_;  // where each bucket begins in `sized_`, then sized_.size()
    std::vector<uint32_t> printed_;       // positions in `sized_` that got through the heads, ascending
    std::vector<Fingerprint> prints_;     // by position in `printed_`
    std::vector<uint32_t> hashInputs_;    // slots in `prints_`, candidate set by candidate set
    std::vector<uint32_t> setStarts_;
    std::vector<Digest> hashes_;  // by position in `hashInputs_`
    std::vector<char> hashed_;
};

}  // namespace

std::optional<std::string> DuplicateEngine::fullHash(const std::string& path,
                                                     const std::function<bool()>& cancelled,
                                                     const std::function<void(int64_t)>& onBytes) {
    auto digest = hashWhole(
        path.c_str(), [&] { return cancelled && cancelled(); },
        [&](int64_t n) {
            if (onBytes) onBytes(n);
        });
    if (!digest) return std::nullopt;
    return hex(*digest);
}

bool DuplicateEngine::sameContents(const std::string& a, const std::string& b) {
    RegularFile one(a.c_str());
    RegularFile two(b.c_str());
    if (!one.ok() || !two.ok() || one.stat().st_size != two.stat().st_size) return false;
    // One file reached by two names (a linked folder, a bind mount) is no copy of itself.
    if (one.stat().st_dev == two.stat().st_dev && one.stat().st_ino == two.stat().st_ino) return false;
    constexpr size_t kCompareBytes = 256 * 1024;
    auto left = std::make_unique<unsigned char[]>(kCompareBytes);
    auto right = std::make_unique<unsigned char[]>(kCompareBytes);
    for (off_t at = 0;; at += kCompareBytes) {
        const ssize_t n = readAt(one.fd(), left.get(), kCompareBytes, at);
        const ssize_t m = readAt(two.fd(), right.get(), kCompareBytes, at);
        if (n < 0 || m != n || std::memcmp(left.get(), right.get(), size_t(n)) != 0) return false;
        if (size_t(n) < kCompareBytes) return one.unchanged() && two.unchanged();
    }
}

std::optional<std::vector<DuplicateGroup>> DuplicateEngine::find(const std::vector<FileItem>& files,
                                                                 const CancelToken& token,
                                                                 const DuplicateProgressFn& progress,
                                                                 int threads) {
    std::vector<const FileItem*> items;
    items.reserve(files.size());
    for (const FileItem& f : files)
        items.push_back(&f);
    return find(items, token, progress, threads);
}

std::optional<std::vector<DuplicateGroup>> DuplicateEngine::find(const std::vector<const FileItem*>& files,
                                                                 const CancelToken& token,
                                                                 const DuplicateProgressFn& progress,
                                                                 int threads) {
    auto found = TwinSearch(files, token, progress, threads).run();
    if (!found) return std::nullopt;
    std::vector<DuplicateGroup> groups;
    groups.reserve(found->size());
    for (IndexGroup& g : *found) {
        DuplicateGroup group;
        group.id = hex(g.digest);
        group.size = files[g.members.front()]->size;
        // Newest first, by a stable sort: members of equal dates keep their input order.
        std::vector<uint32_t> order(g.members.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return files[g.members[a]]->modified > files[g.members[b]]->modified;
        });
        group.files.reserve(order.size());
        group.seen.reserve(order.size());
        for (uint32_t i : order) {
            group.files.push_back(*files[g.members[i]]);
            group.seen.push_back(g.seen[i]);
        }
        groups.push_back(std::move(group));
    }
    std::stable_sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return a.wasted() > b.wasted();
    });
    return groups;
}

}  // namespace nimbrel
