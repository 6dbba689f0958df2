#pragma once

#include "model/photo_parameter.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace sorvin {

// Values of all parameters, absent ones at their defaults. Held as one dense array with the
// defaults filled in, so a copy is a 250-byte copy and equality and hashing are byte comparisons;
// an entry equal to its default is the same as no entry.
class ParameterValues {
public:
    ParameterValues();

    int operator[](PhotoParameter p) const { return values_[ParameterCatalog::index(p)]; }
    // Clamps into p's range; the default value removes the entry.
    void set(PhotoParameter p, std::int64_t value);
    void reset(PhotoParameter p);

    bool isDefault(PhotoParameter p) const;
    // True when no parameter differs from its default.
    bool isEmpty() const;
    // The values that differ from their defaults, in catalogue order.
    std::vector<std::pair<PhotoParameter, int>> entries() const;

    std::size_t hash() const;
    friend bool operator==(const ParameterValues&, const ParameterValues&) = default;

private:
    std::array<std::int16_t, ParameterCatalog::count> values_;
};

} // namespace sorvin
