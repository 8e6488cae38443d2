#include "engine/shared_string.h"

#include <sys/mman.h>

#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>

namespace nimbrel {

namespace {

// Arena blocks are aligned to their size, so a string finds its block from its own address.
constexpr std::size_t kBlockBytes = std::size_t(1) << 20;
// Longer texts get blocks of their own: a few could otherwise leave most of a block unused.
constexpr std::size_t kLargestInBlock = kBlockBytes / 16;

struct Block {
    std::atomic<std::uint32_t> live;  // strings in it, plus one while an arena still fills it
};
constexpr std::size_t kBlockStart = 8;
static_assert(sizeof(Block) <= kBlockStart);

std::atomic<std::size_t> blocksHeld{0};

Block* newBlock() {
    // Twice the size, then the unaligned ends go back: mmap promises only page alignment.
    void* raw = ::mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kBlockBytes - 1) & ~(kBlockBytes - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    if (const std::uintptr_t end = start + 2 * kBlockBytes; end > aligned + kBlockBytes)
        ::munmap(reinterpret_cast<void*>(aligned + kBlockBytes), end - aligned - kBlockBytes);
    blocksHeld.fetch_add(1, std::memory_order_relaxed);
    return new (reinterpret_cast<void*>(aligned)) Block{{1}};
}

void dropFromBlock(Block* block) noexcept {
    if (block->live.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    block->~Block();
    ::munmap(block, kBlockBytes);
    blocksHeld.fetch_sub(1, std::memory_order_relaxed);
}

Block* blockOf(const void* inside) noexcept {
    return reinterpret_cast<Block*>(reinterpret_cast<std::uintptr_t>(inside) & ~(kBlockBytes - 1));
}

}  // namespace

SharedString::Arena::~Arena() {
    if (block_) dropFromBlock(reinterpret_cast<Block*>(block_));
}

std::size_t SharedString::Arena::blocksInUse() noexcept {
    return blocksHeld.load(std::memory_order_relaxed);
}

void* SharedString::Arena::allocate(std::size_t bytes) {
    bytes = (bytes + alignof(Header) - 1) & ~(alignof(Header) - 1);
    if (bytes > kLargestInBlock) return nullptr;
    if (!block_ || used_ + bytes > kBlockBytes) {
        Block* fresh = newBlock();
        if (block_) dropFromBlock(reinterpret_cast<Block*>(block_));
        block_ = reinterpret_cast<char*>(fresh);
        used_ = kBlockStart;
    }
    reinterpret_cast<Block*>(block_)->live.fetch_add(1, std::memory_order_relaxed);
    void* out = block_ + used_;
    used_ += bytes;
    return out;
}

void SharedString::adopt(void* memory, std::string_view text, std::uintptr_t flags) noexcept {
    auto* h = new (memory) Header{{1}, static_cast<std::uint32_t>(text.size())};
    char* bytes = reinterpret_cast<char*>(h + 1);
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = 0;
    bits_ = reinterpret_cast<std::uintptr_t>(h) | flags;
}

SharedString::SharedString(std::string_view text) {
    if (text.empty()) return;
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) throw std::length_error("SharedString");
    adopt(::operator new(sizeof(Header) + text.size() + 1), text, 0);
}

SharedString::SharedString(std::string_view text, Arena& arena) {
    if (text.empty()) return;
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) throw std::length_error("SharedString");
    if (void* memory = arena.allocate(sizeof(Header) + text.size() + 1))
        adopt(memory, text, kInArena);
    else
        adopt(::operator new(sizeof(Header) + text.size() + 1), text, 0);
}

void SharedString::release() noexcept {
    Header* h = header();
    if (!h) return;
    const bool inArena = bits_ & kInArena;
    bits_ = 0;
    if (h->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    h->~Header();
    if (inArena)
        dropFromBlock(blockOf(h));
    else
        ::operator delete(static_cast<void*>(h));
}

SharedString SharedString::lastComponent() const noexcept {
    SharedString tail(*this);
    tail.bits_ |= kTail;
    return tail;
}

std::string_view SharedString::view() const noexcept {
    const Header* h = header();
    if (!h) return std::string_view("", 0);
    std::string_view text(reinterpret_cast<const char*>(h + 1), h->size);
    if (!(bits_ & kTail)) return text;
    const std::size_t slash = text.rfind('/');
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

std::string SharedString::join(std::string_view a, std::string_view b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out.append(a);
    out.append(b);
    return out;
}

std::ostream& operator<<(std::ostream& out, const SharedString& s) {
    return out << s.view();
}

}  // namespace nimbrel
