#include "library/library_test_support.hpp"
#include "library/parameter_clipboard_command.hpp"
#include "library/photo_library.hpp"
#include "model/random_parameter_adjustment.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sorvin {
namespace {

using test::libraryPhoto;
using test::makeLibrary;
using test::withValue;
using P = PhotoParameter;

TEST(PhotoLibraryRotation, AnglesAreClampedRoundedAndZeroRemovesTheEntry) {
    auto library = makeLibrary({libraryPhoto("a.jpg")});
    EXPECT_FALSE(library->setCurrentRotation(0.2).changed);
    EXPECT_TRUE(library->setCurrentRotation(1.0).changed);
    EXPECT_TRUE(library->setCurrentRotation(0.26).changed);
    EXPECT_EQ(library->currentRotation(), 0.5);
    EXPECT_TRUE(library->setCurrentRotation(-0.25).changed);
    EXPECT_EQ(library->currentRotation(), -0.5);
    EXPECT_TRUE(library->setCurrentRotation(0.2).changed);
    EXPECT_FALSE(library->rotations().contains("a.jpg"));
    EXPECT_FALSE(library->setCurrentRotation(std::numeric_limits<double>::infinity()).changed);
    EXPECT_FALSE(library->setCurrentRotation(std::nan("")).changed);
    EXPECT_TRUE(library->setCurrentRotation(200).changed);
    EXPECT_EQ(library->currentRotation(), 179.5);
    EXPECT_TRUE(library->setCurrentRotation(-200).changed);
    EXPECT_EQ(library->currentRotation(), -180);
}

TEST(PhotoLibraryRotation, QuarterTurnsWrapAndCorrectionReplacesTheResidual) {
    auto library = makeLibrary({libraryPhoto("a.jpg")});
    std::vector<double> seen;
    for (int i = 0; i < 4; ++i) {
        library->rotateCurrent(90);
        seen.push_back(library->currentRotation());
    }
    EXPECT_EQ(seen, (std::vector<double>{90, -180, -90, 0}));

    EXPECT_TRUE(library->applyAutomaticCorrection(1.5).changed);
    EXPECT_EQ(library->currentRotation(), 1.5);
    EXPECT_FALSE(library->applyAutomaticCorrection(1.5).changed);
    library->setCurrentRotation(90.5);
    library->applyAutomaticCorrection(1.5);
    EXPECT_EQ(library->currentRotation(), 91.5);
    EXPECT_TRUE(library->resetCurrentRotation());
    EXPECT_FALSE(library->resetCurrentRotation());
}

TEST(PhotoLibraryCrop, RotationReclampsAStoredCropAndStoresNoneOtherwise) {
    auto library = makeLibrary({libraryPhoto("a.jpg"), libraryPhoto("b.jpg", 1)});
    const ManualCrop wide = ManualCrop{}.changingAspect(CropAspect::ratio(3, 1), 6000, 4000);
    ASSERT_TRUE(library->storeCurrentCrop(wide, library->currentCrop(), "a.jpg").changed);
    library->rotateCurrent(90);
    const PixelSize size = *library->currentEditSize();
    EXPECT_EQ(size, (PixelSize{4000, 6000}));
    EXPECT_EQ(library->crops().at("a.jpg"), wide.clamped(4000, 6000));

    library->move(1);
    library->rotateCurrent(0.5);
    EXPECT_FALSE(library->crops().contains("b.jpg"));
}

TEST(PhotoLibraryCrop, ResizeStopsAtTheLimitAndResetReportsWhetherItChanged) {
    auto library = makeLibrary({libraryPhoto("a.jpg")});
    EXPECT_FALSE(library->resetCurrentCrop());
    EXPECT_TRUE(library->resizeCurrentCrop(-95).changed);
    EXPECT_EQ(library->currentCrop().sizeP, 10);
    EXPECT_FALSE(library->resizeCurrentCrop(-5).changed);
    EXPECT_TRUE(library->resetCurrentCrop());
    EXPECT_FALSE(library->crops().contains("a.jpg"));
}

TEST(PhotoLibraryCrop, StoredCropsReadClampedWithoutChangingTheStoredValue) {
    PhotoLibraryRestoration restored;
    ManualCrop stored;
    stored.aspect = CropAspect::ratio(1, 1);
    stored.sizeP = 80;
    restored.crops["a.jpg"] = stored;
    Photo portrait = libraryPhoto("a.jpg");
    portrait.orientation = 6;
    auto library = makeLibrary({portrait}, restored);
    EXPECT_EQ(*library->currentEditSize(), (PixelSize{4000, 6000}));
    EXPECT_EQ(library->setCrop(stored, "a.jpg", RetouchSlot::a).changed, false);
    EXPECT_EQ(library->setCrop(stored, "nowhere.jpg", RetouchSlot::a).changed, false);
    EXPECT_EQ(library->setCrop(stored, "a.jpg", RetouchSlot::b).changed, false);
}

TEST(PhotoLibrarySource, SwitchingNeedsACompanionAndEachSlotSwitchesAlone) {
    auto library =
        makeLibrary({libraryPhoto("a.jpg", 1), libraryPhoto("b.nef", 2), libraryPhoto("c.jpg", 3, true)});
    EXPECT_EQ(library->toggleCurrentSource(),
              PhotoSourceChangeResult::failed("この写真には RAW がありません"));
    library->move(1);
    EXPECT_EQ(library->currentSource(), PhotoSource::raw);
    EXPECT_EQ(library->toggleCurrentSource(),
              PhotoSourceChangeResult::failed("この写真には JPEG / HEIF がありません"));
    library->move(1);
    EXPECT_EQ(library->toggleCurrentSource(), PhotoSourceChangeResult::changedTo(PhotoSource::raw, "NEF"));
    EXPECT_TRUE(library->sources().contains("c.jpg"));

    ASSERT_EQ(library->createRetouchDuplicate().kind, RetouchDuplicateCreationResult::Kind::created);
    EXPECT_EQ(library->currentSource(), PhotoSource::raw);
    EXPECT_EQ(library->toggleCurrentSource(), PhotoSourceChangeResult::changedTo(PhotoSource::jpeg, "JPG"));
    EXPECT_EQ(library->source(*library->photo("c.jpg")), PhotoSource::raw);
    EXPECT_EQ(library->setSource(PhotoSource::jpeg, *library->photo("c.jpg"), RetouchSlot::a),
              PhotoSourceChangeResult::changedTo(PhotoSource::jpeg, "JPG"));
    EXPECT_TRUE(library->sources().empty());
}

TEST(PhotoLibraryParameters, ValuesClampRawOnlyOnRawAndDefaultsRemoveEntries) {
    auto library = makeLibrary({libraryPhoto("a.jpg", 1, true)});
    EXPECT_TRUE(library->setCurrentParameter(P::exposure, 100, ParameterEditTarget::global()).changed);
    EXPECT_FALSE(library->adjustCurrentParameter(P::exposure, 10, ParameterEditTarget::global()).changed);
    EXPECT_FALSE(library->adjustCurrentParameter(P::raw_exposure, 10, ParameterEditTarget::global()).changed);
    EXPECT_TRUE(library->resetCurrentParameter(P::exposure, ParameterEditTarget::global()));
    EXPECT_FALSE(library->resetCurrentParameter(P::exposure, ParameterEditTarget::global()));
    EXPECT_FALSE(library->parameters().contains("a.jpg"));

    library->toggleCurrentSource();
    EXPECT_TRUE(library->adjustCurrentParameter(P::raw_exposure, 10, ParameterEditTarget::global()).changed);
    EXPECT_EQ(library->parametersRaw().at("a.jpg")[P::raw_exposure],
              ParameterCatalog::defaultValue(P::raw_exposure) + 10);
    EXPECT_FALSE(library->parameters().contains("a.jpg"));
}

TEST(PhotoLibraryParameters, MasksAreMirroredIntoTheOtherSource) {
    PhotoLibraryRestoration restored;
    restored.parametersRaw["a.jpg"] = withValue(P::contrast, 20);
    auto library = makeLibrary({libraryPhoto("a.jpg", 1, true), libraryPhoto("b.jpg", 2, true)}, restored);
    EXPECT_EQ(library->appendCurrentMask(MaskKind::circular()), 0);
    EXPECT_EQ(library->parametersRaw().at("a.jpg").maskKinds(), std::vector<MaskKind>{MaskKind::circular()});
    EXPECT_EQ(library->parametersRaw().at("a.jpg")[P::contrast], 20);

    library->move(1);
    EXPECT_EQ(library->appendCurrentMask(MaskKind::linear()), 0);
    EXPECT_FALSE(library->parametersRaw().contains("b.jpg"));
    EXPECT_EQ(library->parameters(*library->photo("b.jpg"), RetouchSlot::a, PhotoSource::raw).maskKinds(),
              std::vector<MaskKind>{MaskKind::linear()});
    for (int i = 1; i < 4; ++i)
        ASSERT_TRUE(library->appendCurrentMask(MaskKind::circular()));
    EXPECT_FALSE(library->appendCurrentMask(MaskKind::circular()));
    EXPECT_FALSE(library->appendCurrentMask(MaskKind{"brush"}));
}

TEST(PhotoLibraryParameters, RemovingAMaskShiftsTheRestInBothSets) {
    auto library = makeLibrary({libraryPhoto("a.jpg", 1, true)});
    for (auto kind : {MaskKind::circular(), MaskKind::linear(), MaskKind::circular()})
        library->appendCurrentMask(kind);
    library->setCurrentParameter(P::clarity, 30, ParameterEditTarget::mask(2));
    library->toggleCurrentSource();
    library->setCurrentParameter(P::texture, 40, ParameterEditTarget::mask(2));
    library->toggleCurrentSource();

    EXPECT_FALSE(library->removeCurrentMask(3));
    EXPECT_TRUE(library->removeCurrentMask(1));
    const std::vector<MaskKind> kinds{MaskKind::circular(), MaskKind::circular()};
    EXPECT_EQ(library->parameters().at("a.jpg").maskKinds(), kinds);
    EXPECT_EQ(library->parametersRaw().at("a.jpg").maskKinds(), kinds);
    EXPECT_EQ(library->parameters().at("a.jpg").value(P::clarity, ParameterEditTarget::mask(1)), 30);
    EXPECT_EQ(library->parametersRaw().at("a.jpg").value(P::texture, ParameterEditTarget::mask(1)), 40);
}

TEST(PhotoLibraryParameters, PastedSetsAreSanitizedForTheShownSource) {
    auto library = makeLibrary({libraryPhoto("a.jpg", 1, true)});
    const PhotoParameters withRaw = withValue(P::raw_exposure, 30, withValue(P::exposure, 10));
    EXPECT_TRUE(library->setCurrentParameters(withRaw).changed);
    EXPECT_TRUE(library->parameters().at("a.jpg").values.isDefault(P::raw_exposure));
    library->toggleCurrentSource();
    EXPECT_TRUE(library->setCurrentParameters(withRaw).changed);
    EXPECT_EQ(library->parametersRaw().at("a.jpg")[P::raw_exposure], 30);
}

TEST(PhotoLibraryParameters, ShapeValuesNeedAMaskTargetAndClamp) {
    auto library = makeLibrary({libraryPhoto("a.jpg")});
    library->appendCurrentMask(MaskKind::circular());
    EXPECT_FALSE(
        library->setCurrentMaskShapeValues({{P::circular_mask_size, 60}}, ParameterEditTarget::global())
            .changed);
    EXPECT_TRUE(
        library->setCurrentMaskShapeValues({{P::circular_mask_size, 5000}}, ParameterEditTarget::mask(0))
            .changed);
    EXPECT_EQ(library->currentParameters().value(P::circular_mask_size, ParameterEditTarget::mask(0)),
              ParameterCatalog::maximum(P::circular_mask_size));
}

TEST(PhotoLibraryCopies, ACopyDuplicatesWhatTheRowShows) {
    PhotoLibraryRestoration restored;
    restored.hearts = {"a.jpg"};
    restored.sources = {{"a.jpg", PhotoSource::raw}};
    restored.parameters["a.jpg"] =
        withValue(P::exposure, 10, PhotoParameters({MaskKind::circular(), MaskKind::linear()}));
    restored.parametersRaw["a.jpg"] = withValue(P::raw_exposure, 20);
    auto library = makeLibrary({libraryPhoto("a.jpg", 1, true), libraryPhoto("b.jpg", 2)}, restored);
    const RetouchDuplicateCreationResult created = library->createRetouchDuplicate();
    ASSERT_EQ(created.kind, RetouchDuplicateCreationResult::Kind::created);
    EXPECT_TRUE(created.state.heart);
    EXPECT_EQ(created.state.source, PhotoSource::raw);
    EXPECT_EQ(created.state.params[P::exposure], 10);
    EXPECT_EQ(created.state.paramsRaw[P::raw_exposure], 20);
    EXPECT_EQ(created.state.masks, (std::vector<MaskKind>{MaskKind::circular(), MaskKind::linear()}));
    EXPECT_EQ(created.state.paramsRaw.maskKinds(), created.state.masks);
    EXPECT_EQ(library->currentSlot(), RetouchSlot::b);
    EXPECT_EQ(library->heartCount(), 1);
    EXPECT_EQ(library->createRetouchDuplicate().kind, RetouchDuplicateCreationResult::Kind::alreadyExists);

    ASSERT_TRUE(library->deleteCurrentRetouchDuplicate());
    EXPECT_EQ(library->currentSlot(), RetouchSlot::a);
    EXPECT_EQ(library->heartCount(), 1);
    EXPECT_FALSE(library->deleteCurrentRetouchDuplicate());
    EXPECT_EQ(makeLibrary({})->createRetouchDuplicate().kind,
              RetouchDuplicateCreationResult::Kind::unavailable);
}

TEST(PhotoLibraryCopies, RestoredStatesAreNormalizedAndSelectIsHonoured) {
    auto library = makeLibrary({libraryPhoto("a.jpg", 1), libraryPhoto("b.jpg", 2)});
    RetouchState state;
    state.heart = true;
    state.rotation = 200;
    state.masks = {MaskKind::circular(), MaskKind::linear(), MaskKind{"brush"}, MaskKind::linear(),
                   MaskKind::circular()};
    ASSERT_TRUE(library->restoreRetouchDuplicate(state, "b.jpg", false));
    EXPECT_EQ(library->currentCursor()->path, "a.jpg");
    EXPECT_EQ(library->heartCount(), 1);
    const RetouchState& stored = *library->retouchStateB("b.jpg");
    EXPECT_EQ(stored.rotation, 0);
    EXPECT_EQ(stored.masks,
              (std::vector<MaskKind>{MaskKind::circular(), MaskKind::linear(), MaskKind::linear()}));
    EXPECT_FALSE(library->restoreRetouchDuplicate(state, "b.jpg", true));

    state.rotation = 12.26;
    ASSERT_TRUE(library->restoreRetouchDuplicate(state, "a.jpg", true));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"a.jpg", RetouchSlot::b}));
    EXPECT_EQ(library->currentRotation(), 12.5);

    library->removeRetouchDuplicate("b.jpg");
    EXPECT_EQ(library->currentSlot(), RetouchSlot::b); // another photo's copy went
    EXPECT_EQ(library->heartCount(), 1);
}

TEST(PhotoLibraryCopies, ASmallNegativeAngleOnACopyIsStoredAsAPlainZero) {
    auto library = makeLibrary({libraryPhoto("a.jpg")});
    ASSERT_EQ(library->createRetouchDuplicate().kind, RetouchDuplicateCreationResult::Kind::created);
    library->setCurrentRotation(0.5);
    library->setCurrentRotation(-0.2); // rounds to half degrees: none
    const double stored = library->retouchStateB("a.jpg")->rotation;
    EXPECT_EQ(stored, 0);
    EXPECT_FALSE(std::signbit(stored));
}

TEST(PhotoLibraryCopies, SlotBWithoutACopyReadsSlotAWithZeroParameters) {
    PhotoLibraryRestoration restored;
    restored.rotations["a.jpg"] = 2;
    restored.parameters["a.jpg"] = withValue(P::exposure, 10);
    auto library = makeLibrary({libraryPhoto("a.jpg")}, restored);
    const Photo& photo = *library->photo("a.jpg");
    EXPECT_EQ(library->rotation(photo, RetouchSlot::b), 2);
    EXPECT_EQ(library->parameters(photo, RetouchSlot::b, PhotoSource::jpeg), PhotoParameters::zero());
    EXPECT_FALSE(library->parameters("a.jpg", RetouchSlot::b, PhotoSource::jpeg));
    EXPECT_FALSE(library->containsHeart("a.jpg", RetouchSlot::b));
    EXPECT_EQ(library->brightness(), (PathMap<int>{{"a.jpg", 10}}));
}

TEST(ParameterClipboard, CopyPasteResults) {
    auto library = makeLibrary({libraryPhoto("a.jpg", 1), libraryPhoto("b.jpg", 2)});
    std::optional<PhotoParameters> clipboard;
    auto empty = makeLibrary({});
    clipboard = withValue(P::contrast, 1);
    EXPECT_EQ(ParameterClipboardCommand::perform(ParameterClipboardAction::copy, *empty, clipboard),
              ParameterClipboardCommandResult::noPhoto);
    EXPECT_TRUE(clipboard);
    clipboard.reset();
    EXPECT_EQ(ParameterClipboardCommand::perform(ParameterClipboardAction::paste, *library, clipboard),
              ParameterClipboardCommandResult::nothingCopied);

    library->appendCurrentMask(MaskKind::circular());
    library->appendCurrentMask(MaskKind::linear());
    library->setCurrentParameter(P::exposure, 15, ParameterEditTarget::global());
    EXPECT_EQ(ParameterClipboardCommand::perform(ParameterClipboardAction::copy, *library, clipboard),
              ParameterClipboardCommandResult::copied);
    EXPECT_EQ(ParameterClipboardCommand::perform(ParameterClipboardAction::paste, *library, clipboard),
              ParameterClipboardCommandResult::unchanged);
    library->move(1);
    library->appendCurrentMask(MaskKind::linear());
    EXPECT_EQ(ParameterClipboardCommand::perform(ParameterClipboardAction::paste, *library, clipboard),
              ParameterClipboardCommandResult::pasted);
    EXPECT_EQ(library->currentParameters(), *clipboard);
}

TEST(RandomDevelopment, DrawsTheBasicAndColourParametersOnly) {
    PhotoParameters set = withValue(P::sharpen_amount, 40,
                                    withValue(P::raw_exposure, 10, PhotoParameters({MaskKind::circular()})));
    set.setValue(30, P::curve_point_rgb_2);
    // Small draws map to the bottom of every range.
    RandomGenerator lowest([] { return RandomGenerator::result_type{1} << 20; });
    const PhotoParameters randomized = RandomParameterAdjustment::applying(set, lowest);
    EXPECT_EQ(randomized[P::exposure], -25);
    EXPECT_EQ(randomized[P::temperature], -70);
    EXPECT_EQ(randomized[P::luminance_magenta], -30);
    EXPECT_EQ(randomized.masks, set.masks);
    EXPECT_EQ(randomized[P::sharpen_amount], 40);
    EXPECT_EQ(randomized[P::raw_exposure], 10);
    EXPECT_EQ(randomized[P::curve_point_rgb_2], 30);

    RandomGenerator seeded(
        [state = std::uint64_t{42}]() mutable { return state = state * 6364136223846793005ULL + 1; });
    for (int i = 0; i < 200; ++i) {
        const PhotoParameters drawn = RandomParameterAdjustment::applying({}, seeded);
        for (const auto& range : RandomParameterAdjustment::ranges()) {
            ASSERT_GE(drawn[range.parameter], range.lower);
            ASSERT_LE(drawn[range.parameter], range.upper);
        }
    }

    auto library = makeLibrary({libraryPhoto("a.jpg")});
    EXPECT_TRUE(library->randomizeCurrentParameters(seeded).changed);
    EXPECT_FALSE(makeLibrary({})->randomizeCurrentParameters(seeded).changed);
}

TEST(OriginalPhotoParameters, KeepsRawGeometryAndMaskShapesOnly) {
    const PhotoParameters fileOnly = withValue(P::geometry_distortion, 20, withValue(P::raw_exposure, 50));
    EXPECT_EQ(originalPhotoParameters(fileOnly), fileOnly);

    PhotoParameters edited = withValue(P::exposure, 30, PhotoParameters({MaskKind::circular()}));
    edited.setValue(40, P::clarity, ParameterEditTarget::mask(0));
    edited.setValue(60, P::circular_mask_size, ParameterEditTarget::mask(0));
    const PhotoParameters original = originalPhotoParameters(edited);
    EXPECT_EQ(original[P::exposure], 0);
    EXPECT_EQ(original.value(P::clarity, ParameterEditTarget::mask(0)), 0);
    EXPECT_EQ(original.value(P::circular_mask_size, ParameterEditTarget::mask(0)), 60);
}

} // namespace
} // namespace sorvin
