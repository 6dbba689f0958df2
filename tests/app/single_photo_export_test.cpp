// The export of the current photo alone: when it is a byte copy, when it is rendered anew, how a
// refused destination is reported, and the panel's round trip through the application state.

#include "app/single_photo_export.hpp"
#include "app_state_fixture.hpp"
#include "export/export_error.hpp"
#include "export/export_sheet_model.hpp"
#include "export/exporter.hpp"
#include "library/folder_scanner.hpp"
#include "persistence/preference_key.hpp"
#include "platform/atomic_file.hpp"
#include "support/damaged_files.hpp"
#include "support/fuse_mount.hpp"
#include "support/share_calls.hpp"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <new>
#include <set>
#include <unistd.h>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SinglePhotoExportTest : public ::testing::Test {
protected:
    SinglePhotoExportTest() {
        std::filesystem::create_directories(root / "photos");
        std::filesystem::create_directories(root / "out");
    }

    SinglePhotoExport::Request request(const std::string& sampleName) {
        const std::filesystem::path file = root / "photos" / std::filesystem::path(sampleName).filename();
        if (!std::filesystem::exists(file)) std::filesystem::copy_file(sample(sampleName), file);
        SinglePhotoExport::Request made;
        made.photo = *FolderScanner::metadata(file, file.filename().string());
        made.sourceFolder = root / "photos";
        made.destination = root / "out" / "exported.jpg";
        return made;
    }

    // Stands in for the renderer and counts its calls; gives a small grey image.
    Exporter::ExportRenderer countingRenderer() {
        return [this](const Photo& photo, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                      std::optional<int> maximumLongEdge) {
            ++renders;
            EXPECT_EQ(maximumLongEdge, std::nullopt) << "a single export renders at full size";
            PixelBuffer pixels(8, 6);
            std::fill(pixels.data(), pixels.data() + pixels.byteCount(), std::uint8_t{128});
            return ExportRendering{RenderedEditedImage{makeImage(std::move(pixels)), photo.url}, {}};
        };
    }

    TemporaryFolder root;
    int renders = 0;
};

TEST_F(SinglePhotoExportTest, AnUntouchedPhotoInItsOwnFormatIsCopiedByteForByte) {
    struct Row {
        double rotation;
        bool copied;
    };
    for (const Row& row : {Row{0, true}, Row{0.005, true}, Row{0.01, false}, Row{90, false}}) {
        SinglePhotoExport::Request made = request("jpeg/nikon_d70s_gps_lens.jpg");
        made.rotation = row.rotation;
        std::filesystem::remove(made.destination);
        renders = 0;
        EXPECT_EQ(SinglePhotoExport::run(made, countingRenderer()), std::nullopt);
        EXPECT_EQ(renders, row.copied ? 0 : 1) << row.rotation;
        EXPECT_EQ(bytesOf(made.destination) == bytesOf(made.photo.url), row.copied) << row.rotation;
    }
}

TEST_F(SinglePhotoExportTest, AnyChangeOfPixelsFormatOrOrientationRendersAnew) {
    SinglePhotoExport::Request edited = request("jpeg/nikon_d70s_gps_lens.jpg");
    edited.parameters.setValue(10, PhotoParameter::exposure);
    SinglePhotoExport::Request cropped = request("jpeg/nikon_d70s_gps_lens.jpg");
    cropped.crop.sizeP = 50;
    SinglePhotoExport::Request turned = request("jpeg/nikon_d40_orient6.jpg");
    SinglePhotoExport::Request asHeif = request("jpeg/nikon_d70s_gps_lens.jpg");
    asHeif.format = SingleExportFormat::heic;
    asHeif.destination = root / "out" / "exported.heic";

    for (const auto* made : {&edited, &cropped, &turned}) {
        std::filesystem::remove(made->destination);
        renders = 0;
        EXPECT_EQ(SinglePhotoExport::run(*made, countingRenderer()), std::nullopt);
        EXPECT_EQ(renders, 1);
        EXPECT_NE(bytesOf(made->destination), bytesOf(made->photo.url));
    }
    renders = 0;
    const auto heif = SinglePhotoExport::run(asHeif, countingRenderer());
    if (heif) {
        EXPECT_EQ(*heif, ExportError::failureReason(make_error_code(ExportErrc::featureUnsupported)));
    } else {
        EXPECT_EQ(renders, 1);
        EXPECT_TRUE(std::filesystem::exists(asHeif.destination));
    }
}

TEST_F(SinglePhotoExportTest, RefusedDestinationsAreExplainedAndLeaveNoFile) {
    SinglePhotoExport::Request inside = request("jpeg/nikon_d70s_gps_lens.jpg");
    inside.destination = root / "photos" / "exported.jpg";
    EXPECT_EQ(SinglePhotoExport::run(inside, countingRenderer()), "元の写真フォルダの中には書き出せません");
    EXPECT_FALSE(std::filesystem::exists(inside.destination));

    SinglePhotoExport::Request missing = request("jpeg/nikon_d70s_gps_lens.jpg");
    missing.destination = root / "gone" / "exported.jpg";
    EXPECT_EQ(SinglePhotoExport::run(missing, countingRenderer()), "書き出し先のフォルダが見つかりません");

    SinglePhotoExport::Request onFolder = request("jpeg/nikon_d70s_gps_lens.jpg");
    std::filesystem::create_directories(onFolder.destination);
    EXPECT_NE(SinglePhotoExport::run(onFolder, countingRenderer()), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_directory(onFolder.destination));
}

TEST_F(SinglePhotoExportTest, TheChosenFileIsReplacedOnlyByAWholeNewOne) {
    const auto folderHolds = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root / "out"))
            names.push_back(entry.path().filename().string());
        return names;
    };
    const auto failing = [](const Photo&, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                            std::optional<int>) { return ExportRendering{}; };
    const auto throwing = [](const Photo&, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                             std::optional<int>) -> ExportRendering { throw std::bad_alloc(); };
    SinglePhotoExport::Request rendered = request("jpeg/nikon_d70s_gps_lens.jpg");
    rendered.rotation = 90;
    SinglePhotoExport::Request copied = request("jpeg/nikon_d70s_gps_lens.jpg");
    copied.photo.url = root / "photos" / "gone.jpg"; // the copy's source went meanwhile
    std::ofstream(rendered.destination) << "old";

    // A failed render, a failure thrown from it, and a failed copy all leave the old file whole.
    EXPECT_EQ(SinglePhotoExport::run(rendered, failing),
              ExportError::failureReason(make_error_code(ExportErrc::fileReadCorruptFile)));
    EXPECT_EQ(SinglePhotoExport::run(rendered, throwing), "メモリが足りません");
    EXPECT_NE(SinglePhotoExport::run(copied, countingRenderer()), std::nullopt);
    EXPECT_EQ(bytesOf(rendered.destination), "old");
    EXPECT_EQ(folderHolds(), std::vector<std::string>{"exported.jpg"}) << "no temporary file is left";

    EXPECT_EQ(SinglePhotoExport::run(rendered, countingRenderer()), std::nullopt);
    EXPECT_NE(bytesOf(rendered.destination), "old");
    EXPECT_EQ(folderHolds(), std::vector<std::string>{"exported.jpg"});
}

// A one-photo export killed while writing leaves its hidden temporary file beside the chosen one;
// the next export into that folder removes it, but never one that a running export is writing.
TEST_F(SinglePhotoExportTest, TheNextExportRemovesWhatAKilledOneLeft) {
    const fs::path out = root / "out";
    const std::string ended = ".photo.jpg.sorvin-tmp-" + std::to_string(endedProcessId()) + "-A1";
    const std::string running = ".photo.jpg.sorvin-tmp-" + std::to_string(::getppid()) + "-B2";
    std::ofstream(out / ended) << "partial";
    std::ofstream(out / running) << "being written";
    EXPECT_EQ(SinglePhotoExport::run(request("jpeg/nikon_d70s_gps_lens.jpg"), countingRenderer()), std::nullopt);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(out))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"exported.jpg", running}));
}

// The photo's own folder reached through a FUSE mount (bindfs; sshfs and network shares alike)
// has nodes of its own: the new file, seen in the photo folder, tells it, and the photo's file is
// never replaced. A file that is written is flushed into its folder.
TEST_F(SinglePhotoExportTest, ThePhotoFolderBehindAMountOfItsOwnIsRefusedAndAWrittenFileIsFlushed) {
    SinglePhotoExport::Request made = request("jpeg/nikon_d70s_gps_lens.jpg");
    made.rotation = 90;
    std::vector<fs::path> flushed;
    AtomicFile::setFolderFlushHookForTesting([&](const fs::path& folder) { flushed.push_back(folder); });
    EXPECT_EQ(SinglePhotoExport::run(made, countingRenderer()), std::nullopt);
    AtomicFile::setFolderFlushHookForTesting({});
    EXPECT_EQ(flushed, std::vector<fs::path>{root / "out"});

    const std::string photo = bytesOf(made.photo.url);
    fs::create_directories(root / "photos" / "sub2" / "deeper");
    FuseMirror mirror(root / "photos", root / "mirror");
    if (!mirror.skipReason().empty()) GTEST_SKIP() << mirror.skipReason();
    // The photo folder itself and folders inside it, seen through the mount.
    for (const fs::path& file : {mirror.path() / made.photo.url.filename(), mirror.path() / "sub2" / "x.jpg",
                                 mirror.path() / "sub2" / "deeper" / "x.jpg"}) {
        made.destination = file;
        EXPECT_EQ(SinglePhotoExport::run(made, countingRenderer()), "元の写真フォルダの中には書き出せません")
            << file;
    }
    EXPECT_TRUE(bytesOf(made.photo.url) == photo) << "the photo was replaced";
    EXPECT_EQ(
        std::distance(fs::recursive_directory_iterator(root / "photos"), fs::recursive_directory_iterator()),
        3)
        << "nothing is written, no temporary file is left";
}

// A photo saved into a folder on a share, whose calls the share logs: the folder is checked once,
// before anything is written (one check file is made in it), and the file is there.
TEST_F(SinglePhotoExportTest, TheFolderOnAShareIsCheckedOnce) {
    fs::create_directories(root / "far");
    SlowShare share(root / "far", root / "share");
    if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    SinglePhotoExport::Request made = request("jpeg/nikon_d70s_gps_lens.jpg");
    made.rotation = 90;
    made.destination = share.path() / "exported.jpg";
    share.clearCallLog();
    EXPECT_EQ(SinglePhotoExport::run(made, countingRenderer()), std::nullopt);
    EXPECT_EQ(filesMadeOn(share, "folder-check"), 1);
    EXPECT_TRUE(fs::exists(root / "far" / "exported.jpg"));
}

class CurrentPhotoExport : public AppStateTest {
protected:
    CurrentPhotoExport() {
        defaults.set(PreferenceKey::sortKey, "name");
        addStandardPhotos();
        std::filesystem::create_directories(root / "out");
    }
};

TEST_F(CurrentPhotoExport, ThePanelProposesANameAndRemembersTheFormatAndFolder) {
    defaults.set(PreferenceKey::lastExportFolder, (root / "batch").string());
    openPhotos();
    state().createRetouchDuplicate();
    state().presentCurrentPhotoExport();
    ASSERT_TRUE(exportPanel.options.has_value());
    EXPECT_EQ(exportPanel.options->proposedName, "a-B.jpg");
    EXPECT_EQ(exportPanel.options->startFolder, root / "batch");
    EXPECT_TRUE(state().isSingleExportPanelPresented());
    EXPECT_TRUE(state().isModalExportPresented());
    state().toggleHeart();
    EXPECT_FALSE(state().library()->containsHeart("a.jpg", RetouchSlot::b));

    exportPanel.formatChanged(SingleExportFormat::heic);
    EXPECT_EQ(defaults.string(PreferenceKey::singleExportFormat), "heic");
    exportPanel.formatChanged(SingleExportFormat::jpeg);
    exportPanel.completion(root / "out" / "chosen", SingleExportFormat::jpeg);
    EXPECT_FALSE(state().isSingleExportPanelPresented());
    EXPECT_TRUE(state().isSingleExportInProgress());
    state().presentCurrentPhotoExport(); // refused while one runs
    EXPECT_FALSE(state().isSingleExportPanelPresented());
    settle();
    EXPECT_FALSE(state().isSingleExportInProgress());
    EXPECT_TRUE(std::filesystem::exists(root / "out" / "chosen.jpg"));
    EXPECT_EQ(state().toastText(), "書き出しました: chosen.jpg");
    EXPECT_EQ(defaults.string(PreferenceKey::lastSingleExportFolder), (root / "out").string());
    EXPECT_TRUE(alerts.shown.empty());

    state().presentCurrentPhotoExport();
    EXPECT_EQ(exportPanel.options->startFolder, root / "out");
}

TEST_F(CurrentPhotoExport, AFailureEndsInTheAlertAndCancellingDoesNothing) {
    openPhotos();
    state().presentCurrentPhotoExport();
    const std::size_t jobs = executor.started();
    exportPanel.completion(std::nullopt, SingleExportFormat::jpeg);
    EXPECT_EQ(executor.started(), jobs) << "a cancelled panel starts no export";
    settle();
    EXPECT_FALSE(state().isSingleExportPanelPresented());
    EXPECT_TRUE(alerts.shown.empty());

    state().presentCurrentPhotoExport();
    exportPanel.completion(photos() / "inside.jpg", SingleExportFormat::jpeg);
    settle();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].first, "書き出しに失敗しました");
    EXPECT_EQ(alerts.shown[0].second, "元の写真フォルダの中には書き出せません");
    EXPECT_FALSE(std::filesystem::exists(photos() / "inside.jpg"));
}

// The file written and its data agree: a name ending in a format's extension is written in that
// format whatever was chosen, any other name gets the chosen format's extension, and a name that is
// empty without its extension is refused with nothing written.
TEST_F(CurrentPhotoExport, TheNameAndTheDataOfTheFileAgree) {
    openPhotos();
    state().setCurrentParameter(PhotoParameter::exposure, 20); // rendered anew, not copied
    struct Case {
        const char* name;
        SingleExportFormat chosen;
        const char* written;
        const char* brand; // what the file's first bytes say
    };
    for (const Case& c : {Case{"x.heic", SingleExportFormat::jpeg, "x.heic", "heif"},
                          Case{"y.JPEG", SingleExportFormat::heic, "y.JPEG", "jpeg"},
                          Case{"2024.06.01", SingleExportFormat::jpeg, "2024.06.01.jpg", "jpeg"}}) {
        state().presentCurrentPhotoExport();
        exportPanel.completion(root / "out" / c.name, c.chosen);
        settle();
        const std::string bytes = bytesOf(root / "out" / c.written);
        ASSERT_GT(bytes.size(), 12u) << c.name;
        const bool heif = bytes.compare(4, 4, "ftyp") == 0;
        const bool jpeg = bytes.compare(0, 2, "\xFF\xD8") == 0;
        EXPECT_TRUE(std::string(c.brand) == "heif" ? heif : jpeg) << c.name;
    }
    EXPECT_TRUE(alerts.shown.empty());

    state().presentCurrentPhotoExport();
    exportPanel.completion(root / "out" / ".jpg", SingleExportFormat::jpeg);
    settle();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].second, "ファイル名を入力してください");
    EXPECT_FALSE(std::filesystem::exists(root / "out" / ".jpg"));
    EXPECT_FALSE(std::filesystem::exists(root / "out" / ".jpg.jpg"));
}

// Every failure reads in its own words, alike in the batch export's list of failures and in the
// one-photo export's alert; only a system error without a sentence of ours shows its code.
TEST_F(CurrentPhotoExport, EveryFailureIsExplainedInItsOwnWordsInBothExports) {
    struct Row {
        std::string kind;
        std::optional<std::error_code> error; // none: the photo's file is damaged, the real renderer runs
        std::string text;
    };
    const std::vector<Row> rows = {
        {"damaged source", std::nullopt, "ファイルを読み込めませんでした（壊れているか、対応していない形式です）"},
        {"unsupported", make_error_code(ExportErrc::featureUnsupported), "この形式では書き出せません"},
        {"undecodable", make_error_code(ExportErrc::fileReadCorruptFile),
         "ファイルを読み込めませんでした（壊れているか、対応していない形式です）"},
        {"unfinished write", make_error_code(ExportErrc::fileWriteUnknown), "ファイルを書き込めませんでした"},
        {"name taken", make_error_code(ExportErrc::fileWriteFileExists), "同じ名前のファイルがすでにあります"},
        {"full disk", make_error_code(ExportErrc::fileWriteOutOfSpace), "空き容量が足りません"},
        {"full disk (system)", std::error_code(ENOSPC, std::generic_category()), "空き容量が足りません"},
        {"no permission", std::error_code(EACCES, std::system_category()), "アクセス権がありません"},
        {"other system error", std::error_code(ETXTBSY, std::generic_category()),
         "エラーが起きました（コード " + std::to_string(ETXTBSY) + "）"},
    };
    openPhotos();
    state().rotateCurrent(90); // rendered anew, not copied
    const Photo photo = *state().library()->currentPhoto();
    ASSERT_EQ(photo.relativePath, "a.jpg");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        Exporter::ExportRenderer failing;
        if (row.error)
            failing = [error = *row.error](const Photo&, double, const ManualCrop&, const PhotoParameters&,
                                           PhotoSource, std::optional<int>) {
                return ExportRendering{std::nullopt, error};
            };
        else
            std::filesystem::resize_file(photo.url, 2000);

        ExportRequest batch;
        batch.photos = {photo};
        batch.rotations[photo.relativePath] = 90;
        batch.destination = root / "out";
        batch.applicationSupportRoot = root / "support";
        batch.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};
        batch.render = failing;
        EXPECT_EQ(ExportResultSummary::failureLines(Exporter::exportPhotos(batch)),
                  std::vector<std::string>{"a.jpg: " + row.text});

        if (failing) state().setRenderer(failing);
        alerts.shown.clear();
        state().presentCurrentPhotoExport();
        exportPanel.completion(root / "out" / "single.jpg", SingleExportFormat::jpeg);
        settle();
        EXPECT_EQ(alerts.shown, (std::vector<std::pair<std::string, std::string>>{{"書き出しに失敗しました", row.text}}));
        EXPECT_TRUE(std::filesystem::is_empty(root / "out"));
    }
}

// A photo cut short or damaged on disk after the folder was opened, while the screen still shows
// it: the batch export, the one-photo export and 画像をコピー all refuse it with the damaged file's
// sentence, and nothing is written under its name or put on the clipboard.
TEST_F(CurrentPhotoExport, ADamagedPhotoIsNeitherExportedNorCopied) {
    const std::string damagedText = "ファイルを読み込めませんでした（壊れているか、対応していない形式です）";
    std::vector<damaged::Damage> damages = damaged::jpegDamages();
    damages.push_back(damaged::otherDamages()[1]); // the RAW file of the pair, developed as the source
    openPhotos();
    state().setCurrentParameter(PhotoParameter::exposure, 15); // rendered anew, not copied
    const Photo photo = *state().library()->currentPhoto();
    ASSERT_EQ(photo.relativePath, "a.jpg");
    ASSERT_TRUE(photo.rawCompanionURL);
    for (const damaged::Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        const bool raw = damage.sample.starts_with("raw/");
        if (raw) {
            std::filesystem::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), photo.url,
                                       std::filesystem::copy_options::overwrite_existing);
            state().library()->setSource(PhotoSource::raw, photo, RetouchSlot::a);
            ASSERT_EQ(state().library()->currentSource(), PhotoSource::raw);
        }
        damaged::write(damage, raw ? *photo.rawCompanionURL : photo.url);

        ExportRequest batch;
        batch.photos = {photo};
        batch.params[photo.relativePath] = state().library()->currentParameters();
        if (raw) batch.sources[photo.relativePath] = PhotoSource::raw;
        batch.destination = root / "out";
        batch.applicationSupportRoot = root / "support";
        batch.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};
        const ExportResult result = Exporter::exportPhotos(batch);
        EXPECT_EQ(result.copiedCount, 0);
        EXPECT_EQ(ExportResultSummary::failureLines(result), std::vector<std::string>{"a.jpg: " + damagedText});

        alerts.shown.clear();
        state().presentCurrentPhotoExport();
        exportPanel.completion(root / "out" / "single.jpg", SingleExportFormat::jpeg);
        settle();
        EXPECT_EQ(alerts.shown, (std::vector<std::pair<std::string, std::string>>{{"書き出しに失敗しました", damagedText}}));
        EXPECT_TRUE(std::filesystem::is_empty(root / "out"));

        pasteboard.items.clear();
        state().copyCurrentImage();
        settle();
        EXPECT_EQ(state().toastText(), "画像をコピーできませんでした");
        EXPECT_TRUE(pasteboard.items.empty());
    }
}

} // namespace
} // namespace sorvin::test
