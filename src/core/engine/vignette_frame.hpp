#pragma once

namespace sorvin {

// Where the whole photo lies in a bitmap that shows only part of it (the loupe), so that the
// vignette stays where it is in the whole photo: the frame's centre in the bitmap's pixel
// coordinates (pixel x at coordinate x), its size in pixels and its rotation in degrees.
struct VignetteFrame {
    double centerX = 0;
    double centerY = 0;
    int width = 0;
    int height = 0;
    double rotation = 0;

    bool operator==(const VignetteFrame&) const = default;
};

} // namespace sorvin
