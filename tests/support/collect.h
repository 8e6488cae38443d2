#pragma once

#include <iterator>
#include <type_traits>
#include <vector>

namespace nimbrel {

// What `f` gives for each element of `range`, in the range's order: the ids of a list, to compare
// with the expected ones in one line.
template <typename Range, typename F>
auto collect(const Range& range, F f) {
    std::vector<std::decay_t<std::invoke_result_t<F&, decltype(*std::begin(range))>>> out;
    for (const auto& element : range)
        out.push_back(f(element));
    return out;
}

}  // namespace nimbrel
