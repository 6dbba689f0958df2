#include "export/export_sheet_model.hpp"
#include "library/photo_library.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"
#include "support/fuse_mount.hpp"
#include "support/scoped_environment.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
namespace K = PreferenceKey;

Photo photo(const std::string& name, PhotoFileFormat format = PhotoFileFormat::jpeg, bool pair = false) {
    Photo p;
    p.url = "/Photos/" + name;
    p.relativePath = name;
    p.fileFormat = format;
    p.pixelWidth = 600;
    p.pixelHeight = 400;
    if (pair) p.rawCompanionURL = "/Photos/" + fs::path(name).stem().string() + ".CR3";
    return p;
}

class ExportSheetModelTest : public ::testing::Test {
protected:
    ExportSheetModelTest() : settings(defaults, std::uint64_t{32} << 30) {}

    // "書き出す" with its check run at once, as the sheet runs it off the main thread.
    std::optional<ExportRequest> start(ExportSheetModel& model, const std::optional<fs::path>& sourceFolder,
                                       const PhotoLibrary* library) {
        auto request = model.beginExport(sourceFolder, library);
        if (!request) return std::nullopt;
        EXPECT_TRUE(model.checking);
        EXPECT_EQ(model.stage, ExportSheetModel::Stage::settings);
        auto refusal = ExportSheetModel::checkDestination(*request);
        return model.checkEnded(std::move(*request), std::move(refusal), settings);
    }

    // a.jpg hearted and rotated; b.jpg only its copy B hearted; c.CR3 a hearted lone RAW; d.jpg
    // hearted pair shown from RAW with both copies hearted; e.jpg not hearted.
    std::unique_ptr<PhotoLibrary> library() {
        PhotoLibraryRestoration restored;
        restored.hearts = {"a.jpg", "c.CR3", "d.jpg"};
        restored.rotations["a.jpg"] = 1.5;
        RetouchState copyB;
        copyB.heart = true;
        copyB.params.setValue(20, PhotoParameter::exposure);
        restored.retouchesB["b.jpg"] = copyB;
        RetouchState rawCopy;
        rawCopy.heart = true;
        rawCopy.source = PhotoSource::raw;
        restored.retouchesB["d.jpg"] = rawCopy;
        restored.sources["d.jpg"] = PhotoSource::raw;
        RetouchState notHearted;
        restored.retouchesB["e.jpg"] = notHearted;
        return std::make_unique<PhotoLibrary>(
            std::vector<Photo>{photo("a.jpg"), photo("b.jpg"), photo("c.CR3", PhotoFileFormat::raw),
                               photo("d.jpg", PhotoFileFormat::jpeg, true), photo("e.jpg")},
            restored, PhotoSortKey::name, true);
    }

    DefaultsStore defaults;
    AppSettings settings;
};

TEST_F(ExportSheetModelTest, FirstUseStartsFromTheRegisteredDefaults) {
    const ExportSheetModel model(settings);
    EXPECT_EQ(model.stage, ExportSheetModel::Stage::settings);
    EXPECT_EQ(model.destinationPath, "");
    EXPECT_TRUE(model.exportJpeg);
    EXPECT_FALSE(model.exportHeif);
    EXPECT_EQ(model.formatMode, ExportFormatMode::keep);
    EXPECT_EQ(model.longEdgeText, "2048");
    EXPECT_EQ(model.conflictMode, ExportConflictMode::rename);
    EXPECT_FALSE(model.cancellation->isCancelled());
}

TEST_F(ExportSheetModelTest, TargetsAreTheHeartedRowsWithTheirNotices) {
    const auto lib = library();
    const auto rows = ExportSheetModel::targetRows(lib.get());
    std::vector<std::string> ids;
    for (const auto& row : rows)
        ids.push_back(row.id());
    EXPECT_EQ(ids, (std::vector<std::string>{"a.jpg#a", "b.jpg#b", "c.CR3#a", "d.jpg#a", "d.jpg#b"}));
    const auto counts = ExportSheetModel::counts(lib.get());
    EXPECT_EQ(counts, (ExportSheetModel::TargetCounts{5, 1, 3, 1, 1}));
    EXPECT_EQ(ExportSheetModel::targetText(counts), "対象: 5枚");
    EXPECT_EQ(ExportSheetModel::targetNotices(counts),
              (std::vector<std::string>{
                  "うち 1枚は RAW です。RAW は書き出せないため、選んだ形式に変換して保存します",
                  "うち 3枚は RAW を元に書き出します（無劣化のコピーになりません）",
                  "うち 1枚は回転を適用して保存し直します（画角がわずかに狭くなります）",
                  "うち 1枚は明るさなどを変えて保存し直します（無劣化のコピーになりません）"}));
    EXPECT_TRUE(ExportSheetModel::targetRows(nullptr).empty());
    EXPECT_EQ(ExportSheetModel::counts(nullptr), ExportSheetModel::TargetCounts{});
}

TEST_F(ExportSheetModelTest, CopyIsDisabledWithoutPathTargetsOrFormats) {
    const auto lib = library();
    ExportSheetModel model(settings);
    EXPECT_TRUE(model.isCopyDisabled(lib.get()));
    model.destinationPath = "/out";
    EXPECT_FALSE(model.isCopyDisabled(lib.get()));
    EXPECT_TRUE(model.isCopyDisabled(nullptr));
    EXPECT_EQ(model.formatNotice(lib.get()),
              (std::pair<std::string, bool>{"RAW は書き出せないため、JPEG で保存します", false}));
    model.formatMode = ExportFormatMode::specify;
    model.exportJpeg = false;
    EXPECT_TRUE(model.isCopyDisabled(lib.get()));
    EXPECT_EQ(model.formatNotice(lib.get()),
              (std::pair<std::string, bool>{"出力形式を1つ以上選んでください", true}));
    model.exportHeif = true;
    EXPECT_FALSE(model.isCopyDisabled(lib.get()));
    EXPECT_EQ(model.formatNotice(lib.get()), std::nullopt);
}

TEST_F(ExportSheetModelTest, LongEdgeEntriesAreClampedOrRestored) {
    ExportSheetModel model(settings);
    const std::pair<const char*, const char*> cases[] = {
        {"100", "256"},  {"20000", "16384"}, {"  3000 \n", "3000"},           {"+300", "300"},
        {"abc", "300"},  {"", "300"},        {"99999999999999999999", "300"}, {"-5", "256"},
        {"12px", "256"}, {"\u30002048\u3000", "2048"}, // ideographic spaces, as input methods type them
    };
    for (const auto& [typed, shown] : cases) {
        model.longEdgeText = typed;
        model.commitLongEdgeValue();
        EXPECT_EQ(model.longEdgeText, shown) << typed;
        EXPECT_EQ(std::to_string(model.longEdgeValue), shown) << typed;
    }
}

TEST_F(ExportSheetModelTest, ARefusedDestinationWritesNothingAndStaysInSettings) {
    test::TemporaryFolder root;
    fs::create_directories(root / "Photos" / "inside");
    const auto lib = library();
    ExportSheetModel model(settings);
    model.destinationPath = (root / "Photos" / "inside").string();
    model.burnInOrientation = true;
    EXPECT_FALSE(start(model, root / "Photos", lib.get()));
    EXPECT_EQ(model.validationError, "書き出し先に元のフォルダの中は指定できません");
    EXPECT_EQ(model.stage, ExportSheetModel::Stage::settings);
    EXPECT_FALSE(defaults.boolValue(K::burnInOrientation));
    EXPECT_FALSE(defaults.string(K::lastExportFolder));
    EXPECT_FALSE(start(model, std::nullopt, lib.get()));

    EXPECT_EQ(model.chooserStartFolder(), root / "Photos" / "inside");
    model.destinationPath = "~/Pictures/./out/";
    {
        test::ScopedEnvironment environment;
        environment.set("HOME", "/home/someone");
        EXPECT_EQ(model.chooserStartFolder(), fs::path("/home/someone/Pictures/out"));
    }
    model.destinationChosen(root / "out", settings);
    EXPECT_FALSE(model.validationError);
    EXPECT_EQ(defaults.string(K::lastExportFolder), (root / "out").string());
}

// A folder inside the photo folder reached through a mount of its own gets the same red line as
// the folder typed by its own path, before anything is written.
TEST_F(ExportSheetModelTest, AFolderInsideThePhotoFolderBehindAMountIsRefusedLikeATypedOne) {
    test::TemporaryFolder root;
    fs::create_directories(root / "Photos" / "sub");
    fs::create_directories(root / "Photos" / "sub2" / "deeper");
    const test::FuseMirror mirror(root / "Photos", root / "mirror");
    if (!mirror.skipReason().empty()) GTEST_SKIP() << mirror.skipReason();
    const auto lib = library();
    for (const fs::path& folder : {mirror.path() / "sub", mirror.path() / "sub2" / "deeper"}) {
        ExportSheetModel model(settings);
        model.destinationPath = folder.string();
        EXPECT_FALSE(start(model, root / "Photos", lib.get())) << folder;
        EXPECT_EQ(model.validationError, "書き出し先に元のフォルダの中は指定できません");
        EXPECT_EQ(model.stage, ExportSheetModel::Stage::settings);
        EXPECT_FALSE(defaults.string(K::lastExportFolder));
    }
    EXPECT_TRUE(fs::is_empty(root / "Photos" / "sub"));
    EXPECT_TRUE(fs::is_empty(root / "Photos" / "sub2" / "deeper"));
}

TEST_F(ExportSheetModelTest, StartingWritesTheSettingsAndHandsOutASnapshot) {
    test::TemporaryFolder root;
    fs::create_directories(root / "out");
    const auto lib = library();
    ExportSheetModel model(settings);
    model.destinationPath = (root / "." / "out" / "").string();
    model.formatMode = ExportFormatMode::specify;
    model.exportHeif = true;
    model.longEdgeMode = ExportLongEdgeMode::specify;
    model.longEdgeText = "100";
    model.conflictMode = ExportConflictMode::overwrite;
    const auto request = start(model, root / "Photos", lib.get());
    ASSERT_TRUE(request);
    EXPECT_EQ(model.stage, ExportSheetModel::Stage::copying);
    EXPECT_EQ(model.total, 5);
    EXPECT_EQ(model.progressText(), "0 / 5");
    EXPECT_EQ(request->destination, root / "out");
    EXPECT_EQ(request->photos.size(), 4u);
    EXPECT_EQ(request->maximumLongEdge, 256);
    EXPECT_EQ(request->selectedSlots->at("b.jpg"), std::set<RetouchSlot>{RetouchSlot::b});
    EXPECT_EQ(request->selectedSlots->at("d.jpg"), (std::set<RetouchSlot>{RetouchSlot::a, RetouchSlot::b}));
    EXPECT_EQ(request->protectedSourceURLs.size(), 6u); // every photo of the folder, and d's RAW file
    EXPECT_EQ(request->cancellation, model.cancellation);
    EXPECT_EQ(request->formatOptions, (ExportFormatOptions{ExportFormatMode::specify, true, true, false}));

    EXPECT_EQ(defaults.string(K::lastExportFolder), (root / "out").string());
    EXPECT_EQ(defaults.string(K::exportFormatMode), "specify");
    EXPECT_TRUE(defaults.boolValue(K::exportHeif));
    EXPECT_EQ(settings.exportLongEdgeValue(), 256);
    EXPECT_EQ(settings.exportConflictMode(), ExportConflictMode::overwrite);

    model.exportProgressed(3);
    EXPECT_DOUBLE_EQ(model.progressFraction(), 0.6);
    model.cancel();
    EXPECT_TRUE(request->cancellation->isCancelled());
    model.exportFinished(ExportResult{});
    EXPECT_EQ(model.stage, ExportSheetModel::Stage::result);
}

TEST(ExportResultSummaryTest, RowsShowOnlyWhatHappened) {
    using Line = ExportResultLine;
    ExportResult nothing;
    nothing.skippedCount = 4;
    nothing.destination = "/out";
    EXPECT_EQ(ExportResultSummary::lines(nothing),
              (std::vector<Line>{{"書き出しが終わりました", Line::Style::title},
                                 {"書き出し   0枚"},
                                 {"スキップ  4枚    前回から変更なし"},
                                 {"出力ファイル   0個"},
                                 {"書き出し先: /out"}}));

    ExportResult busy;
    busy.cancelled = true;
    busy.copiedCount = 2;
    busy.overwrittenCount = 1;
    busy.outputFileCount = 3;
    busy.renamedCount = 1;
    busy.savedOriginals = true;
    busy.originalCopiedCount = 1;
    busy.originalFailureCount = 1;
    busy.failures = {{"IMG_0003.jpg", "空き容量が足りません"}};
    busy.destination = "/out";
    EXPECT_EQ(ExportResultSummary::lines(busy),
              (std::vector<Line>{{"書き出しを中断しました", Line::Style::title},
                                 {"書き出し   2枚"},
                                 {"上書き    1枚"},
                                 {"出力ファイル   3個"},
                                 {"別名     1枚"},
                                 {"元データ  1枚    originals フォルダ"},
                                 {"元データの保存に失敗   1枚", Line::Style::warning},
                                 {"失敗     1枚"},
                                 {"書き出し先: /out"}}));
    EXPECT_EQ(ExportResultSummary::failureLines(busy),
              std::vector<std::string>{"IMG_0003.jpg: 空き容量が足りません"});

    // "など" follows a name only when it stands for more than one.
    busy.firstRenamedFileName = "IMG_0001-1.heic";
    EXPECT_EQ(ExportResultSummary::lines(busy)[4].text, "別名     1枚    IMG_0001-1.heic");
    busy.renamedCount = 2;
    EXPECT_EQ(ExportResultSummary::lines(busy)[4].text, "別名     2枚    IMG_0001-1.heic など");
    busy.firstRenamedFileName.reset();
    EXPECT_EQ(ExportResultSummary::lines(busy)[4].text, "別名     2枚     など");
}

} // namespace
} // namespace sorvin
