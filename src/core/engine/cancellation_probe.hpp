#pragma once

#include <functional>

namespace sorvin {

// Asked by long work (the bands of a development, the geometry resampler) whether its caller has
// given up on the result. It must be safe to call from any thread, several times at once, and
// have no side effects.
using CancellationProbe = std::function<bool()>;

// The probe of callers that always want the result.
inline const CancellationProbe& neverCancelled() {
    static const CancellationProbe probe = [] { return false; };
    return probe;
}

} // namespace sorvin
