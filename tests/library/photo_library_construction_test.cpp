#include "library/library_test_support.hpp"
#include "library/photo_library.hpp"

#include <fmt/format.h>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sorvin {
namespace {

using test::libraryPhoto;
using test::makeLibrary;
using test::withValue;
using P = PhotoParameter;

TEST(PhotoLibraryConstruction, RestoredRotationsAreRoundedOrDropped) {
    PhotoLibraryRestoration restored;
    const std::vector<std::pair<double, std::optional<double>>> cases = {
        {179.7, std::nullopt},
        {-180.2, std::nullopt},
        {179.5, 179.5},
        {-180, -180},
        {0.004, std::nullopt},
        {0.25, 0.5},
        {-0.25, -0.5},
        {12.74, 12.5},
        {12.75, 13},
        {std::nan(""), std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        restored.rotations[fmt::format("p{}", i)] = cases[i].first;
    auto library = makeLibrary({}, restored);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto found = library->rotations().find(fmt::format("p{}", i));
        if (cases[i].second) {
            ASSERT_NE(found, library->rotations().end()) << cases[i].first;
            EXPECT_EQ(found->second, *cases[i].second);
        } else {
            EXPECT_EQ(found, library->rotations().end()) << cases[i].first;
        }
    }
}

TEST(PhotoLibraryConstruction, CopyRotationsOutOfRangeBecomeZero) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["a.jpg"].rotation = 179.7;
    restored.retouchesB["b.jpg"].rotation = 12.26;
    auto library = makeLibrary({libraryPhoto("a.jpg", 1), libraryPhoto("b.jpg", 2)}, restored);
    EXPECT_EQ(library->retouchStateB("a.jpg")->rotation, 0);
    EXPECT_EQ(library->retouchStateB("b.jpg")->rotation, 12.5);
}

TEST(PhotoLibraryConstruction, CropsAreFittedOnlyToPresentPhotos) {
    PhotoLibraryRestoration restored;
    ManualCrop small;
    small.sizeP = 5;
    ManualCrop pastEdge;
    pastEdge.aspect = CropAspect::ratio(1, 1);
    pastEdge.sizeP = 50;
    pastEdge.xM = 9000;
    restored.crops["present.jpg"] = small;
    restored.crops["edge.jpg"] = pastEdge;
    restored.crops["missing.jpg"] = pastEdge;
    restored.crops["default.jpg"] = ManualCrop{};
    restored.retouchesB["present.jpg"].crop = small;
    auto library = makeLibrary(
        {libraryPhoto("present.jpg"), libraryPhoto("edge.jpg"), libraryPhoto("default.jpg")}, restored);
    EXPECT_EQ(library->crops().at("present.jpg").sizeP, 10);
    EXPECT_EQ(library->retouchStateB("present.jpg")->crop.sizeP, 10);
    EXPECT_LT(library->crops().at("edge.jpg").xM, 9000);
    EXPECT_EQ(library->crops().at("missing.jpg"), pastEdge);
    EXPECT_FALSE(library->crops().contains("default.jpg"));
}

TEST(PhotoLibraryConstruction, LegacyBrightnessBecomesExposureWhereNoParametersExist) {
    PhotoLibraryRestoration restored;
    restored.brightness = {{"bright.jpg", 150}, {"zero.jpg", 0}, {"edited.jpg", 40}};
    restored.parameters["edited.jpg"] = withValue(P::contrast, 10);
    auto library = makeLibrary({}, restored);
    EXPECT_EQ(library->parameters().at("bright.jpg")[P::exposure], 100);
    EXPECT_FALSE(library->parameters().contains("zero.jpg"));
    EXPECT_EQ(library->parameters().at("edited.jpg")[P::exposure], 0);
    EXPECT_EQ(library->parameters().at("edited.jpg")[P::contrast], 10);
}

TEST(PhotoLibraryConstruction, ParameterSetsAreSanitizedAndRawSetsNeedARawFile) {
    PhotoLibraryRestoration restored;
    restored.parameters["a.jpg"] = withValue(P::raw_exposure, 30);
    restored.parametersRaw["a.jpg"] = withValue(P::raw_exposure, 30);
    restored.parametersRaw["lone.nef"] = withValue(P::raw_exposure, 30);
    restored.parametersRaw["pair.jpg"] = withValue(P::raw_exposure, 30);
    restored.parametersRaw["gone.jpg"] = withValue(P::raw_exposure, 30);
    restored.sources = {{"pair.jpg", PhotoSource::raw}, {"a.jpg", PhotoSource::jpeg}};
    auto library = makeLibrary(
        {libraryPhoto("a.jpg"), libraryPhoto("lone.nef"), libraryPhoto("pair.jpg", 0, true)}, restored);
    EXPECT_FALSE(library->parameters().contains("a.jpg"));
    EXPECT_FALSE(library->parametersRaw().contains("a.jpg"));
    EXPECT_TRUE(library->parametersRaw().contains("lone.nef"));
    EXPECT_TRUE(library->parametersRaw().contains("pair.jpg"));
    EXPECT_TRUE(library->parametersRaw().contains("gone.jpg"));
    EXPECT_EQ(library->sources().size(), 1u);
    EXPECT_TRUE(library->sources().contains("pair.jpg"));
}

TEST(PhotoLibraryConstruction, MaskKindsOfTheTwoSourcesAreBroughtInStep) {
    PhotoLibraryRestoration restored;
    restored.parameters["p.jpg"] = withValue(P::contrast, 5);
    restored.parametersRaw["p.jpg"] = PhotoParameters({MaskKind::circular(), MaskKind::linear()});
    restored.parameters["q.jpg"] = PhotoParameters({MaskKind::linear()});
    restored.parametersRaw["q.jpg"] = PhotoParameters({MaskKind::circular(), MaskKind::circular()});
    auto library = makeLibrary({libraryPhoto("p.jpg", 0, true), libraryPhoto("q.jpg", 1, true)}, restored);
    const std::vector<MaskKind> both{MaskKind::circular(), MaskKind::linear()};
    EXPECT_EQ(library->parameters().at("p.jpg").maskKinds(), both);
    EXPECT_EQ(library->parametersRaw().at("p.jpg").maskKinds(), both);
    EXPECT_EQ(library->parametersRaw().at("q.jpg").maskKinds(), std::vector<MaskKind>{MaskKind::linear()});
}

TEST(PhotoLibraryConstruction, CopyMasksAreCutToFourKnownKinds) {
    PhotoLibraryRestoration restored;
    RetouchState state;
    state.masks = {MaskKind::circular(), MaskKind{"brush"},  MaskKind::linear(),
                   MaskKind::circular(), MaskKind::linear(), MaskKind::linear()};
    restored.retouchesB["a.jpg"] = state;
    auto library = makeLibrary({libraryPhoto("a.jpg")}, restored);
    const RetouchState& copy = *library->retouchStateB("a.jpg");
    const std::vector<MaskKind> kept{MaskKind::circular(), MaskKind::linear(), MaskKind::circular()};
    EXPECT_EQ(copy.masks, kept);
    EXPECT_EQ(copy.params.maskKinds(), kept);
    EXPECT_EQ(copy.paramsRaw.maskKinds(), kept);
}

TEST(PhotoLibraryConstruction, CursorStartsOnTheRecordedPhotoRowA) {
    PhotoLibraryRestoration restored{};
    restored.cursorPath = "b.jpg";
    restored.retouchesB["b.jpg"] = {};
    auto library =
        makeLibrary({libraryPhoto("c.jpg", 3), libraryPhoto("a.jpg", 1), libraryPhoto("b.jpg", 2)}, restored);
    EXPECT_EQ(library->currentPhoto()->relativePath, "b.jpg");
    EXPECT_EQ(library->currentSlot(), RetouchSlot::a);

    restored.cursorPath = "nowhere.jpg";
    library = makeLibrary({libraryPhoto("c.jpg", 3), libraryPhoto("a.jpg", 1)}, restored);
    EXPECT_EQ(library->currentPhoto()->relativePath, "a.jpg");

    auto empty = makeLibrary({});
    EXPECT_EQ(empty->currentPhoto(), nullptr);
    EXPECT_EQ(empty->currentSource(), PhotoSource::jpeg);
    EXPECT_EQ(empty->currentRotation(), 0);
    EXPECT_TRUE(empty->currentCrop().isDefault());
    EXPECT_EQ(empty->currentParameters(), PhotoParameters::zero());
    EXPECT_FALSE(empty->currentCursor());
    EXPECT_FALSE(empty->currentEditSize());
}

TEST(PhotoLibraryConstruction, HeartCountCountsPhotosOnceAndIgnoresMissingPaths) {
    PhotoLibraryRestoration restored;
    restored.hearts = {"a.jpg", "b.jpg", "missing.jpg"};
    restored.retouchesB["a.jpg"].heart = true;
    restored.retouchesB["b.jpg"].heart = true;
    restored.retouchesB["c.jpg"].heart = true;
    auto library =
        makeLibrary({libraryPhoto("a.jpg", 1), libraryPhoto("b.jpg", 2), libraryPhoto("c.jpg", 3)}, restored);
    EXPECT_EQ(library->heartCount(), 3);
    EXPECT_TRUE(library->hearts().contains("missing.jpg"));
}

} // namespace
} // namespace sorvin
