#pragma once

namespace sorvin {

// Which stages a value set asks for. When every field is false a pass has nothing to do and hands
// back its input image.
struct ParameterProcessingPlan {
    bool usesLookupTables = false;
    bool usesSaturation = false;
    bool usesVibrance = false;
    bool usesColorMixer = false;
    bool usesBlackAndWhite = false;
    bool usesColorGrading = false;
    bool usesDetail = false;
    bool usesVignette = false;
    bool usesGrain = false;

    bool isEmpty() const { return *this == ParameterProcessingPlan{}; }
    bool operator==(const ParameterProcessingPlan&) const = default;
};

} // namespace sorvin
