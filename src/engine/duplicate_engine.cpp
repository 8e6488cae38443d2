#include "engine/duplicate_engine.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
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
constexpr size_t kChunkBytes = 4 * 1024 * 1024;     // full hash reads
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
    explicit RegularFile(const std::string& path) {
        constexpr int base = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
        fd_ = ::open(path.c_str(), base | O_NOATIME);
        // O_NOATIME is refused (EPERM) on files of other owners unless we may change their times.
        if (fd_ < 0 && errno == EPERM) fd_ = ::open(path.c_str(), base);
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
    bool ok = false;
    Digest digest{};
    InodeKey inode;
    // The head read reached the end at the scanned length: the digest is the whole file's.
    bool whole = false;
};

// SHA-256 of the first 64 KiB and, for a file above 128 KiB, of the last 64 KiB as well. A file that
// cannot be opened or read gets no fingerprint: it would only fail again when hashed in full.
Fingerprint fingerprint(const std::string& path, int64_t logicalSize) {
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
    out.ok = true;
    out.digest = sha.digest();
    out.inode = {static_cast<uint64_t>(file.stat().st_dev), static_cast<uint64_t>(file.stat().st_ino)};
    return out;
}

// A quick hash of a file's first 4 KiB and of how many bytes were there; never 0, which stands for a
// file that could not be read.
uint64_t headKey(const std::string& path) {
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

// Lists keyed by a value, remembering the order in which the keys first came.
template <typename Key>
class OrderedBuckets {
  public:
    void add(const Key& key, size_t item) {
        auto [it, inserted] = index_.try_emplace(key, lists_.size());
        if (inserted) lists_.emplace_back(key, std::vector<size_t>{});
        lists_[it->second].second.push_back(item);
    }
    std::vector<std::pair<Key, std::vector<size_t>>>& lists() { return lists_; }

  private:
    std::unordered_map<Key, size_t> index_;
    std::vector<std::pair<Key, std::vector<size_t>>> lists_;
};

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

std::optional<std::string> DuplicateEngine::fullHash(const std::string& path,
                                                     const std::function<bool()>& cancelled,
                                                     const std::function<void(int64_t)>& onBytes) {
    RegularFile file(path);
    if (!file.ok()) return std::nullopt;
    ::posix_fadvise(file.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // One chunk buffer per worker thread, reused from file to file.
    thread_local std::unique_ptr<unsigned char[]> buffer;
    if (!buffer) buffer = std::make_unique<unsigned char[]>(kChunkBytes);
    Sha256 sha;
    for (;;) {
        if (cancelled && cancelled()) return std::nullopt;
        ssize_t n = readSome(file.fd(), buffer.get(), kChunkBytes);
        // A read error must not end the hash early as if the file ended there: two unreadable files
        // would then "match" and one could be removed as an extra copy.
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        sha.add(buffer.get(), static_cast<size_t>(n));
        if (onBytes) onBytes(n);
    }
    return hex(sha.digest());
}

std::optional<std::vector<DuplicateEngine::IndexGroup>> DuplicateEngine::findIndices(
    const std::vector<Candidate>& files, const std::function<bool()>& cancelled,
    const DuplicateProgressFn& progress, int threads) {
    auto isCancelled = [&] { return cancelled && cancelled(); };
    std::mutex reportMutex;
    auto report = [&](const DuplicateProgress& p) {
        if (progress) progress(p);
    };

    // 1. Size buckets, in the order the sizes first occur: sorted indices rather than a table of
    // lists, which at a million files would weigh more than the files.
    std::vector<uint32_t> bySize(files.size());
    for (size_t i = 0; i < files.size(); ++i)
        bySize[i] = static_cast<uint32_t>(i);
    std::stable_sort(bySize.begin(), bySize.end(),
                     [&](uint32_t a, uint32_t b) { return files[a].logicalSize < files[b].logicalSize; });
    struct Run {
        uint32_t first, begin, length;
    };
    std::vector<Run> runs;
    for (size_t begin = 0; begin < bySize.size();) {
        size_t end = begin + 1;
        while (end < bySize.size() && files[bySize[end]].logicalSize == files[bySize[begin]].logicalSize)
            ++end;
        if (end - begin > 1)
            runs.push_back({bySize[begin], static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)});
        begin = end;
    }
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.first < b.first; });
    std::vector<size_t> sized;  // files of the kept buckets, bucket by bucket
    std::vector<std::pair<size_t, size_t>> bucketRanges;
    for (const Run& run : runs) {
        bucketRanges.emplace_back(sized.size(), sized.size() + run.length);
        sized.insert(sized.end(), bySize.begin() + run.begin, bySize.begin() + run.begin + run.length);
    }
    std::vector<uint32_t>().swap(bySize);
    std::vector<Run>().swap(runs);
    if (sized.empty()) return std::vector<IndexGroup>{};
    const auto total = static_cast<int64_t>(sized.size());

    // 2. Fingerprints, in parallel and read in inode order (on a disk that seeks, the order the
    // files lie in); the sets are built afterwards in bucket and input order.
    std::vector<Fingerprint> prints(sized.size());
    std::vector<uint32_t> readOrder(sized.size());
    for (size_t k = 0; k < sized.size(); ++k)
        readOrder[k] = static_cast<uint32_t>(k);
    std::stable_sort(readOrder.begin(), readOrder.end(),
                     [&](uint32_t a, uint32_t b) { return files[sized[a]].inode < files[sized[b]].inode; });
    std::atomic<bool> stopped{false};
    int64_t done = 0;
    // First the heads alone, under a quick hash: a file whose head no other file of its size shares
    // has no twin, and most files go no further. A quick-hash collision only lets a file through.
    std::vector<uint64_t> heads(sized.size());  // 0: could not be read
    parallelFor(sized.size(), threadCount(threads, sized.size()), [&](size_t j) {
        if (isCancelled()) {
            stopped = true;
            return false;
        }
        const size_t k = readOrder[j];
        heads[k] = headKey(*files[sized[k]].path);
        std::lock_guard lock(reportMutex);
        ++done;
        if (done % kFingerprintReportEvery == 0) {
            report({DuplicateProgress::Stage::fingerprinting,
                    static_cast<double>(done) * kFingerprintShare /
                        static_cast<double>(std::max<int64_t>(total, 1)),
                    done, total});
        }
        return true;
    });
    if (stopped) return std::nullopt;
    std::vector<uint32_t> toPrint;  // in read order
    {
        std::vector<char> shared(sized.size(), 0);
        std::vector<std::pair<uint64_t, uint32_t>> keyed;
        for (auto [begin, end] : bucketRanges) {
            keyed.clear();
            for (size_t k = begin; k < end; ++k)
                if (heads[k] != 0) keyed.emplace_back(heads[k], static_cast<uint32_t>(k));
            std::sort(keyed.begin(), keyed.end());
            for (size_t i = 0; i < keyed.size(); ++i) {
                if ((i > 0 && keyed[i - 1].first == keyed[i].first) ||
                    (i + 1 < keyed.size() && keyed[i + 1].first == keyed[i].first))
                    shared[keyed[i].second] = 1;
            }
        }
        std::vector<uint64_t>().swap(heads);
        for (uint32_t k : readOrder)
            if (shared[k]) toPrint.push_back(k);
    }
    parallelFor(toPrint.size(), threadCount(threads, toPrint.size()), [&](size_t j) {
        if (isCancelled()) {
            stopped = true;
            return false;
        }
        const size_t k = toPrint[j];
        const Candidate& c = files[sized[k]];
        prints[k] = fingerprint(*c.path, c.logicalSize);
        return true;
    });
    if (stopped) return std::nullopt;
    std::vector<uint32_t>().swap(toPrint);
    std::vector<uint32_t>().swap(readOrder);

    std::vector<std::vector<size_t>> candidateSets;
    // Small files whose fingerprint already hashed all of them need no second read.
    std::unordered_map<size_t, Digest> wholeDigests;
    for (auto [begin, end] : bucketRanges) {
        // Two paths of one (device, inode) are one file, not twins: keep the first path only.
        std::unordered_set<InodeKey> seen;
        OrderedBuckets<std::string> byPrint;
        for (size_t k = begin; k < end; ++k) {
            const Fingerprint& fp = prints[k];
            if (!fp.ok) continue;
            if (!seen.insert(fp.inode).second) continue;
            if (fp.whole) wholeDigests.emplace(sized[k], fp.digest);
            byPrint.add(std::string(reinterpret_cast<const char*>(fp.digest.data()), fp.digest.size()),
                        sized[k]);
        }
        for (auto& [print, members] : byPrint.lists()) {
            if (members.size() > 1) candidateSets.push_back(std::move(members));
        }
    }
    prints.clear();
    prints.shrink_to_fit();

    // 3. and 4. Full hashes. Largest files go first so that the threads finish together; results
    // land in their input slots, so the order of the groups does not depend on it.
    std::vector<size_t> hashInputs;
    int64_t totalBytes = 0;
    for (const auto& set : candidateSets) {
        for (size_t i : set) {
            hashInputs.push_back(i);
            totalBytes += files[i].logicalSize;
        }
    }
    std::vector<size_t> order(hashInputs.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return files[hashInputs[a]].logicalSize > files[hashInputs[b]].logicalSize;
    });
    std::vector<std::optional<std::string>> hashes(hashInputs.size());
    std::atomic<int64_t> hashed{0};
    parallelFor(order.size(), threadCount(threads, order.size()), [&](size_t k) {
        size_t slot = order[k];
        const Candidate& c = files[hashInputs[slot]];
        if (auto known = wholeDigests.find(hashInputs[slot]); known != wholeDigests.end()) {
            if (isCancelled()) {
                stopped = true;
                return false;
            }
            hashes[slot] = hex(known->second);
            hashed.fetch_add(c.logicalSize, std::memory_order_relaxed);
        } else {
            hashes[slot] = fullHash(*c.path, cancelled,
                                    [&](int64_t n) { hashed.fetch_add(n, std::memory_order_relaxed); });
        }
        if (!hashes[slot]) {
            if (isCancelled()) {
                stopped = true;
                return false;
            }
            return true;
        }
        std::lock_guard lock(reportMutex);
        int64_t now = hashed.load();
        report({DuplicateProgress::Stage::verifying,
                kFingerprintShare + static_cast<double>(now) * (1 - kFingerprintShare) /
                                        static_cast<double>(std::max<int64_t>(totalBytes, 1)),
                now, totalBytes});
        return true;
    });
    if (stopped) return std::nullopt;

    std::vector<IndexGroup> groups;
    size_t slot = 0;
    for (const auto& set : candidateSets) {
        OrderedBuckets<std::string> byHash;
        for (size_t i : set) {
            if (hashes[slot]) byHash.add(*hashes[slot], i);
            ++slot;
        }
        for (auto& [hash, members] : byHash.lists()) {
            if (members.size() > 1) groups.push_back({hash, std::move(members)});
        }
    }
    return groups;
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
    std::vector<Candidate> candidates;
    candidates.reserve(files.size());
    for (const FileItem* f : files)
        candidates.push_back({&f->path, f->logicalSize, f->inode});
    auto found = findIndices(
        candidates, [&token] { return token.isCancelled(); }, progress, threads);
    if (!found) return std::nullopt;
    std::vector<Candidate>().swap(candidates);

    std::vector<DuplicateGroup> groups;
    groups.reserve(found->size());
    for (auto& g : *found) {
        DuplicateGroup group;
        group.id = std::move(g.id);
        group.size = files[g.members.front()]->size;
        group.files.reserve(g.members.size());
        for (size_t i : g.members)
            group.files.push_back(*files[i]);
        std::stable_sort(group.files.begin(), group.files.end(),
                         [](const FileItem& a, const FileItem& b) { return a.modified > b.modified; });
        groups.push_back(std::move(group));
    }
    std::stable_sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
        return a.wasted() > b.wasted();
    });
    return groups;
}

}  // namespace nimbrel
