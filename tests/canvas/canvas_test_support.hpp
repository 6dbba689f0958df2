#pragma once

#include "canvas/mask_view_mapping.hpp"
#include "model/photo_parameters.hpp"
#include "support/test_parameters.hpp"

#include <gtest/gtest.h>
#include <initializer_list>
#include <utility>

namespace sorvin::test {

// A 1000 x 500 bitmap drawn 1:1 at the view's origin, unzoomed and unrotated.
inline MaskViewMapping identityMapping() {
    return {.fittedRect = {0, 0, 1000, 500},
            .zoomScale = 1,
            .rotationRadians = 0,
            .shift = {},
            .imageWidth = 1000,
            .imageHeight = 500};
}

inline void expectNear(Point actual, Point expected, double tolerance = 1e-9) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

} // namespace sorvin::test
