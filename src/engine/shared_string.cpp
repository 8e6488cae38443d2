#include "engine/shared_string.h"

#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>

namespace nimbrel {

SharedString::SharedString(std::string_view text) {
    if (text.empty()) return;
    if (text.size() >= std::numeric_limits<std::uint32_t>::max()) throw std::length_error("SharedString");
    void* memory = ::operator new(sizeof(Header) + text.size() + 1);
    auto* h = new (memory) Header{{1}, static_cast<std::uint32_t>(text.size())};
    char* bytes = reinterpret_cast<char*>(h + 1);
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = 0;
    bits_ = reinterpret_cast<std::uintptr_t>(h);
}

void SharedString::release() noexcept {
    Header* h = header();
    if (!h) return;
    bits_ = 0;
    if (h->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    h->~Header();
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
