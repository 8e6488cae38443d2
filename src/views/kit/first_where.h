#pragma once

namespace nimbrel {

// The first index in [from, to) at which `past` holds, or `to`, found by halving: `past` is false,
// then true, along the range. (A plain loop: clang 14 cannot read libstdc++ 12's iota views.)
template <typename Index, typename Past>
Index firstWhere(Index from, Index to, Past past) {
    while (from < to) {
        const Index mid = from + (to - from) / 2;
        if (past(mid))
            to = mid;
        else
            from = mid + 1;
    }
    return from;
}

}  // namespace nimbrel
