#pragma once

#include "support/slow_share.hpp"

#include <string_view>

namespace sorvin::test {

// How many files the share was asked to make (create, mknod) with `part` in their path, since its
// call log was last cleared.
inline int filesMadeOn(const SlowShare& share, std::string_view part) {
    int made = 0;
    for (const auto& call : share.calls())
        made += (call.op == "create" || call.op == "mknod") && call.path.find(part) != std::string::npos;
    return made;
}

} // namespace sorvin::test
