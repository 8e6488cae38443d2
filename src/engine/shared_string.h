#pragma once

#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace nimbrel {

// An immutable string whose bytes every copy shares (under a thread-safe count), so that a path held
// by the folder tree, the flat file list and any copy made for a view or a search is stored once.
// One pointer wide. A copy may also stand for the part after the last "/" (lastComponent()), so a
// file's name costs nothing beside its path.
//
// It reads like a const std::string for what paths are used for, converts to std::string_view, and
// converts to std::string by copying.
class SharedString {
  public:
    using size_type = std::size_t;
    static constexpr size_type npos = std::string_view::npos;

    // Made from a std::string or a string_view only when asked: otherwise `c ? item.path : text`
    // could convert either way and would not compile.
    // Packs the bytes of many strings made one after another (a scan's paths) into large blocks,
    // without the allocator's own overhead on each. A block goes back to the system when the last
    // string in it goes, so a string that outlives its neighbours keeps its whole block. Used by one
    // thread at a time; its strings may be copied and dropped on any thread.
    class Arena {
      public:
        Arena() = default;
        ~Arena();
        Arena(const Arena&) = delete;
        Arena& operator=(const Arena&) = delete;

        // Blocks of every arena that some string (or an arena) still holds.
        static std::size_t blocksInUse() noexcept;

      private:
        friend class SharedString;
        void* allocate(std::size_t bytes);  // 4-aligned; null when `bytes` is too large for a block
        char* block_ = nullptr;
        std::size_t used_ = 0;
    };

    SharedString() noexcept = default;
    explicit SharedString(std::string_view text);
    // The bytes go into `arena` (a very long text gets a block of its own, as without one).
    SharedString(std::string_view text, Arena& arena);
    explicit SharedString(const std::string& text) : SharedString(std::string_view(text)) {}
    SharedString(const char* text) : SharedString(std::string_view(text)) {}
    SharedString& operator=(std::string_view text) { return *this = SharedString(text); }
    SharedString& operator=(const std::string& text) { return *this = SharedString(text); }
    SharedString& operator=(const char* text) { return *this = SharedString(text); }

    SharedString(const SharedString& other) noexcept : bits_(other.bits_) { retain(); }
    SharedString(SharedString&& other) noexcept : bits_(other.bits_) { other.bits_ = 0; }
    SharedString& operator=(const SharedString& other) noexcept {
        SharedString copy(other);
        swap(copy);
        return *this;
    }
    SharedString& operator=(SharedString&& other) noexcept {
        SharedString taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~SharedString() { release(); }

    void swap(SharedString& other) noexcept { std::swap(bits_, other.bits_); }

    // The text after the last "/" (all of it without one), sharing these bytes.
    SharedString lastComponent() const noexcept;

    std::string_view view() const noexcept;
    operator std::string_view() const noexcept { return view(); }
    std::string str() const { return std::string(view()); }
    operator std::string() const { return str(); }

    // Always followed by a NUL.
    const char* c_str() const noexcept { return view().data(); }
    const char* data() const noexcept { return view().data(); }
    size_type size() const noexcept { return view().size(); }
    size_type length() const noexcept { return size(); }
    bool empty() const noexcept { return size() == 0; }
    char operator[](size_type i) const noexcept { return view()[i]; }
    const char* begin() const noexcept { return data(); }
    const char* end() const noexcept { return data() + size(); }
    char front() const noexcept { return view().front(); }
    char back() const noexcept { return view().back(); }

    size_type find(std::string_view s, size_type pos = 0) const noexcept { return view().find(s, pos); }
    size_type find(char c, size_type pos = 0) const noexcept { return view().find(c, pos); }
    size_type rfind(std::string_view s, size_type pos = npos) const noexcept { return view().rfind(s, pos); }
    size_type rfind(char c, size_type pos = npos) const noexcept { return view().rfind(c, pos); }
    bool starts_with(std::string_view s) const noexcept { return view().starts_with(s); }
    bool starts_with(char c) const noexcept { return view().starts_with(c); }
    bool ends_with(std::string_view s) const noexcept { return view().ends_with(s); }
    bool ends_with(char c) const noexcept { return view().ends_with(c); }
    int compare(std::string_view s) const noexcept { return view().compare(s); }
    // A copy, as std::string::substr gives.
    std::string substr(size_type pos = 0, size_type n = npos) const {
        return std::string(view().substr(pos, n));
    }

    friend bool operator==(const SharedString& a, const SharedString& b) noexcept {
        return a.bits_ == b.bits_ || a.view() == b.view();
    }
    friend bool operator==(const SharedString& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const SharedString& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const SharedString& a, const char* b) noexcept { return a.view() == b; }
    friend std::strong_ordering operator<=>(const SharedString& a, const SharedString& b) noexcept {
        return a.view() <=> b.view();
    }
    friend std::strong_ordering operator<=>(const SharedString& a, std::string_view b) noexcept {
        return a.view() <=> b;
    }
    friend std::strong_ordering operator<=>(const SharedString& a, const std::string& b) noexcept {
        return a.view() <=> std::string_view(b);
    }
    friend std::strong_ordering operator<=>(const SharedString& a, const char* b) noexcept {
        return a.view() <=> std::string_view(b);
    }

    friend std::string operator+(const SharedString& a, std::string_view b) { return join(a.view(), b); }
    friend std::string operator+(const SharedString& a, const std::string& b) { return join(a.view(), b); }
    friend std::string operator+(const SharedString& a, const char* b) { return join(a.view(), b); }
    friend std::string operator+(const SharedString& a, char b) { return join(a.view(), {&b, 1}); }
    friend std::string operator+(std::string_view a, const SharedString& b) { return join(a, b.view()); }
    friend std::string operator+(const std::string& a, const SharedString& b) { return join(a, b.view()); }
    friend std::string operator+(const char* a, const SharedString& b) { return join(a, b.view()); }
    friend std::string operator+(char a, const SharedString& b) { return join({&a, 1}, b.view()); }
    friend std::string operator+(const SharedString& a, const SharedString& b) {
        return join(a.view(), b.view());
    }

    friend std::ostream& operator<<(std::ostream& out, const SharedString& s);

  private:
    struct Header {
        std::atomic<std::uint32_t> refs;
        std::uint32_t size;
    };
    // The header's address, with the low bit set for a copy that stands for the last component and
    // the next one for bytes that live in an arena's block.
    static constexpr std::uintptr_t kTail = 1;
    static constexpr std::uintptr_t kInArena = 2;

    Header* header() const noexcept { return reinterpret_cast<Header*>(bits_ & ~(kTail | kInArena)); }
    void adopt(void* memory, std::string_view text, std::uintptr_t flags) noexcept;
    void retain() const noexcept {
        if (Header* h = header()) h->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept;
    static std::string join(std::string_view a, std::string_view b);

    std::uintptr_t bits_ = 0;
};

}  // namespace nimbrel

template <>
struct std::hash<nimbrel::SharedString> {
    std::size_t operator()(const nimbrel::SharedString& s) const noexcept {
        return std::hash<std::string_view>{}(s.view());
    }
};
