// An export killed at any moment leaves no partial file under a final name, and the next export
// into the folder finishes the work and clears what the killed one left behind.

#include "export/export_written_names.hpp"
#include "export/exporter.hpp"
#include "platform/output_file.hpp"
#include "support/child_program.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 24;
constexpr int kKillsBetweenCompletions = 4;
constexpr auto kChildTime = std::chrono::seconds(60); // for any step of a child; none takes a second

// What the parent tells its child, through its environment.
constexpr const char* kRootSetting = "SORVIN_KILL_TEST_ROOT";
constexpr const char* kDestinationSetting = "SORVIN_KILL_TEST_DESTINATION";
constexpr const char* kOverwriteSetting = "SORVIN_KILL_TEST_OVERWRITE";
constexpr const char* kFileSetting = "SORVIN_KILL_TEST_FILE";
constexpr const char* kNamedSetting = "SORVIN_KILL_TEST_NAMED";
constexpr const char* kIgnoresCaseSetting = "SORVIN_KILL_TEST_IGNORES_CASE";

std::string bytesOf(const fs::path& file) {
    std::string bytes(fs::file_size(file), '\0');
    std::ifstream(file, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void fillRandomly(std::uint8_t* bytes, std::size_t size, std::mt19937_64& random) {
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t value = random();
        std::memcpy(bytes + i, &value, std::min<std::size_t>(8, size - i));
    }
}

void writeRandomFile(const fs::path& file, std::size_t size, std::mt19937_64& random) {
    std::string bytes(size, '\0');
    fillRandomly(reinterpret_cast<std::uint8_t*>(bytes.data()), size, random);
    std::ofstream(file, std::ios::binary) << bytes;
}

// "IMG_0001-3.jpg" is the numbered name of "IMG_0001.jpg".
bool isHiddenName(const std::string& relative) {
    return fs::path(relative).filename().string().front() == '.';
}

std::string unnumbered(const fs::path& relative) {
    std::string stem = relative.stem().string();
    const auto dash = stem.rfind('-');
    if (dash != std::string::npos && dash + 1 < stem.size() &&
        stem.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        stem.erase(dash);
    return (relative.parent_path() / (stem + relative.extension().string())).string();
}

// In memory where the system offers it: writing is quick there and flushing is free, so the writes
// take a good part of an export and many kills come in the middle of one.
fs::path memoryFolder() {
    std::error_code error;
    return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// Two photos: a large one exported as a byte copy, one rendered anew (a noisy picture, which
// encodes to a large file); both with their originals copied. The files are made by the parent.
ExportRequest twoPhotoExport(const fs::path& root) {
    std::mt19937_64 random(35);
    PixelBuffer noise(1000, 750);
    fillRandomly(noise.data(), noise.byteCount(), random);
    SharedImage rendered = makeImage(std::move(noise));
    ExportRequest request;
    for (const std::string name : {"IMG_0001.jpg", "IMG_0002.jpg"}) {
        Photo photo;
        photo.url = root / "photos" / name;
        photo.relativePath = name;
        photo.pixelWidth = 2000;
        photo.pixelHeight = 1500;
        photo.fileFormat = PhotoFileFormat::jpeg;
        request.photos.push_back(photo);
    }
    request.rotations["IMG_0002.jpg"] = 90;
    request.saveOriginals = true;
    request.applicationSupportRoot = root / "support";
    request.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};
    request.render = [rendered](const Photo& photo, double, const ManualCrop&, const PhotoParameters&,
                                PhotoSource, std::optional<int>) {
        return ExportRendering{RenderedEditedImage{rendered, photo.url}, {}};
    };
    return request;
}

constexpr int kPairs = 3;
constexpr int kFilesPerPair = 3; // the JPEG exported, and the JPEG and the RAW file into originals

// An export of unedited photos into root/out with their originals, in the default rename mode; the
// photos are added by the caller, their files made by the parent.
ExportRequest exportWithOriginals(const fs::path& root) {
    ExportRequest request;
    request.destination = root / "out";
    request.saveOriginals = true;
    request.applicationSupportRoot = root / "support";
    request.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};
    return request;
}

// Photos of a JPEG and a RAW file each: the JPEG is exported as it is and both files go into
// originals.
ExportRequest pairExport(const fs::path& root) {
    ExportRequest request = exportWithOriginals(root);
    for (int i = 1; i <= kPairs; ++i) {
        Photo photo;
        photo.relativePath = "DSC_000" + std::to_string(i) + ".jpg";
        photo.url = root / "photos" / photo.relativePath;
        photo.rawCompanionURL = root / "photos" / ("DSC_000" + std::to_string(i) + ".nef");
        photo.rawCompanionRelativePath = photo.rawCompanionURL->filename().string();
        photo.fileFormat = PhotoFileFormat::jpeg;
        request.photos.push_back(photo);
    }
    return request;
}

constexpr int kPhotosPerCard = 2;

// Photos of two cards whose names meet: DSC_0001.jpg and DSC_0002.jpg of dayA/ and of dayB/, or
// dsc_0001.jpg, dsc_0002.jpg, DSC_0001.jpg and DSC_0002.jpg for a disk that ignores case.
ExportRequest meetingExport(const fs::path& root, bool ignoresCase) {
    ExportRequest request = exportWithOriginals(root);
    const std::vector<std::string> cards = ignoresCase ? std::vector<std::string>{"dsc_", "DSC_"}
                                                       : std::vector<std::string>{"dayA/DSC_", "dayB/DSC_"};
    for (const auto& card : cards)
        for (int i = 1; i <= kPhotosPerCard; ++i) {
            Photo photo;
            photo.relativePath = card + "000" + std::to_string(i) + ".jpg";
            photo.url = root / "photos" / photo.relativePath;
            photo.fileFormat = PhotoFileFormat::jpeg;
            request.photos.push_back(photo);
        }
    return request;
}

// Runs the export and reports when it is about to give its n-th file a name (or has just given
// it, as the child's settings say), then waits for the kill.
[[noreturn]] void exportUntilTheFileThenWait(ExportRequest request) {
    const int stopAt = std::stoi(test::childSetting(kFileSetting));
    int files = 0;
    const auto stop = [&](const fs::path&) {
        if (++files < stopAt) return;
        test::reportToParent();
        for (;;)
            ::pause();
    };
    if (test::childSetting(kNamedSetting) == "1")
        request.published = stop;
    else
        OutputFile::setBeforePublishHookForTesting(stop);
    Exporter::exportPhotos(request);
    ::_exit(3); // never got there
}

// This program started as the child of a test below: it runs the export it is told and is killed
// while at it. "export" reports once it is about to start; "stop-at-file" reports when the export
// is about to give its n-th file a name, or has just given it, and then waits for the kill.
class ExportKillChild : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string role = test::childRole();
        if (role.empty()) return;
        const fs::path root = test::childSetting(kRootSetting);
        if (role == "export") {
            ExportRequest request = twoPhotoExport(root);
            request.destination = test::childSetting(kDestinationSetting);
            if (test::childSetting(kOverwriteSetting) == "1")
                request.conflictMode = ExportConflictMode::overwrite;
            test::reportToParent();
            Exporter::exportPhotos(request);
            ::_exit(0);
        }
        if (role == "stop-at-file") exportUntilTheFileThenWait(pairExport(root));
        if (role == "meeting-stop-at-file") {
            const bool ignoresCase = test::childSetting(kIgnoresCaseSetting) == "1";
            ExportWrittenNames::setCaseProbeForTesting(
                [ignoresCase](const fs::path&) { return ignoresCase; });
            ExportRequest request = meetingExport(root, ignoresCase);
            if (test::childSetting(kOverwriteSetting) == "1")
                request.conflictMode = ExportConflictMode::overwrite;
            exportUntilTheFileThenWait(std::move(request));
        }
        ::_exit(2); // a role of another program
    }
};

[[maybe_unused]] const auto* const childEnvironment =
    ::testing::AddGlobalTestEnvironment(new ExportKillChild);

class ExportCrashSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937_64 random(34);
        fs::create_directories(root / "photos");
        writeRandomFile(root / "photos" / "IMG_0001.jpg", 24u << 20, random);
        writeRandomFile(root / "photos" / "IMG_0002.jpg", 1u << 20, random);
        request = twoPhotoExport(root.path());
    }

    // The size of every regular file below the folder by its relative path, hidden ones too.
    static std::map<std::string, std::uintmax_t> filesIn(const fs::path& folder) {
        std::map<std::string, std::uintmax_t> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = entry.file_size();
        return files;
    }

    test::TemporaryFolder root{memoryFolder()};
    ExportRequest request;
};

TEST_F(ExportCrashSafetyTest, AKilledExportLeavesOnlyWholeFilesAndTheNextOneFinishes) {
    // What a whole export writes, and about how long it takes.
    request.destination = root / "reference";
    fs::create_directories(request.destination);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Exporter::exportPhotos(request).failures.empty());
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    std::map<std::string, std::string> whole;
    for (const auto& [name, size] : filesIn(request.destination))
        whole[name] = bytesOf(request.destination / name);
    ASSERT_EQ(whole.size(), 4u);
    const std::string old = "an output of an earlier export";

    request.destination = root / "out";
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<long> moment(0, took.count() * 6 / 5);
    int interruptedWrites = 0;
    // A loaded machine can stretch the moments so that no kill of the first rounds lands mid-write;
    // the rounds go on then, up to four times as many, so that the test sees at least one.
    for (int kill = 0; kill < kKills || (interruptedWrites == 0 && kill < 4 * kKills); ++kill) {
        if (kill % kKillsBetweenCompletions == 0) {
            // Half of the rounds replace the outputs of an earlier export.
            fs::remove_all(request.destination);
            fs::create_directories(request.destination / "originals");
            request.conflictMode = kill / kKillsBetweenCompletions % 2 ? ExportConflictMode::overwrite
                                                                        : ExportConflictMode::rename;
            if (request.conflictMode == ExportConflictMode::overwrite)
                for (const auto& [name, bytes] : whole)
                    std::ofstream(request.destination / name) << old;
        }
        {
            test::ChildProgram child(
                "export", {std::string(kRootSetting) + "=" + root.path().string(),
                           std::string(kDestinationSetting) + "=" + request.destination.string(),
                           std::string(kOverwriteSetting) + "=" +
                               (request.conflictMode == ExportConflictMode::overwrite ? "1" : "0")});
            ASSERT_TRUE(child.awaitReport(kChildTime)) << "the child ended or hung before it started";
            ::usleep(static_cast<useconds_t>(moment(random)));
        } // killed here

        bool interrupted = false;
        for (const auto& [name, size] : filesIn(request.destination)) {
            if (isHiddenName(name)) {
                interrupted = true;
                continue;
            }
            const auto expected = whole.find(unnumbered(name));
            ASSERT_NE(expected, whole.end()) << name;
            if (size == old.size()) continue;
            ASSERT_EQ(size, expected->second.size()) << name << " is torn after kill " << kill;
        }
        interruptedWrites += interrupted;

        if ((kill + 1) % kKillsBetweenCompletions == 0) {
            const ExportResult next = Exporter::exportPhotos(request);
            EXPECT_TRUE(next.failures.empty());
            EXPECT_EQ(next.originalFailureCount, 0);
            std::map<std::string, std::string> finished;
            for (const auto& [name, size] : filesIn(request.destination)) {
                EXPECT_FALSE(isHiddenName(name)) << name << " was left behind";
                if (isHiddenName(name) || size == old.size()) continue;
                std::string bytes = bytesOf(request.destination / name);
                EXPECT_TRUE(bytes == whole.at(unnumbered(name))) << name << " differs after kill " << kill;
                finished[unnumbered(name)] = std::move(bytes);
            }
            EXPECT_EQ(finished, whole) << "after kill " << kill;
        }
    }
    EXPECT_GT(interruptedWrites, 0) << "no kill came while a file was written";
}

// Killed the moment any of its files is about to get its name, or has just got it, an export has
// told the next one every file it named: the next export in the default rename mode skips those,
// outputs and originals (JPEG and RAW) alike, and writes no numbered duplicate.
TEST(ExportKilledMidwayTest, AKillAtAnyFileLeavesTheNextExportNothingToNumber) {
    test::TemporaryFolder root;
    std::mt19937_64 random(7);
    ExportRequest request = pairExport(root.path());
    fs::create_directories(root / "photos");
    for (const auto& photo : request.photos) {
        writeRandomFile(photo.url, 4096, random);
        writeRandomFile(*photo.rawCompanionURL, 9000, random);
    }
    constexpr int kFiles = kPairs * kFilesPerPair;
    for (const bool named : {false, true})
        for (int stopAt = 1; stopAt <= kFiles; ++stopAt) {
            SCOPED_TRACE((named ? "killed once it named file " : "killed as it named file ") +
                         std::to_string(stopAt));
            fs::remove_all(request.destination);
            fs::remove_all(request.applicationSupportRoot);
            fs::create_directories(request.destination);
            {
                test::ChildProgram child("stop-at-file",
                                         {std::string(kRootSetting) + "=" + root.path().string(),
                                          std::string(kFileSetting) + "=" + std::to_string(stopAt),
                                          std::string(kNamedSetting) + "=" + (named ? "1" : "0")});
                ASSERT_TRUE(child.awaitReport(kChildTime)) << "the child ended or hung before the file";
            } // killed here

            const ExportResult next = Exporter::exportPhotos(request);
            EXPECT_TRUE(next.failures.empty());
            EXPECT_EQ(next.originalFailureCount, 0);
            // The n-th output is file 3n-2; those named before the kill are not written again.
            int outputsNamed = 0;
            for (int pair = 1; pair <= kPairs; ++pair)
                outputsNamed +=
                    named ? (kFilesPerPair * pair - 2 <= stopAt) : (kFilesPerPair * pair - 2 < stopAt);
            EXPECT_EQ(next.outputFileCount, kPairs - outputsNamed);
            EXPECT_EQ(next.skippedCount + next.copiedCount, kPairs);
            std::size_t files = 0;
            for (const auto& entry : fs::recursive_directory_iterator(request.destination)) {
                if (!entry.is_regular_file()) continue;
                ++files;
                const std::string relative = fs::relative(entry.path(), request.destination).string();
                EXPECT_EQ(unnumbered(relative), relative) << "a duplicate";
                EXPECT_FALSE(isHiddenName(relative)) << relative << " was left behind";
            }
            EXPECT_EQ(files, static_cast<std::size_t>(kFiles));
        }
}

// Photos of two cards with the same names, exported with their originals, killed the moment any of
// their files is about to get its name or has just got it: the next export, in either mode and
// whether the disk tells case apart or not, leaves every photo on the disk once, as output and as
// original, each under a name of its own, and writes over nothing.
TEST(ExportKilledMidwayTest, PhotosOfOneNameKilledAtAnyFileAreEachKeptOnce) {
    constexpr int kFiles = 2 * kPhotosPerCard * 2; // an output and an original's copy each
    for (const bool ignoresCase : {false, true}) {
        test::TemporaryFolder root;
        std::mt19937_64 random(11);
        ExportRequest request = meetingExport(root.path(), ignoresCase);
        std::multiset<std::string> photos;
        for (const auto& photo : request.photos) {
            fs::create_directories(photo.url.parent_path());
            writeRandomFile(photo.url, 4096, random);
            photos.insert(bytesOf(photo.url));
        }
        ExportWrittenNames::setCaseProbeForTesting([ignoresCase](const fs::path&) { return ignoresCase; });
        for (const bool overwrite : {false, true})
            for (int stopAt = 1; stopAt <= kFiles; ++stopAt) {
                const bool named = stopAt % 2 == 0;
                SCOPED_TRACE(std::string(ignoresCase ? "ignoring case, " : "") +
                             (overwrite ? "overwrite, " : "rename, ") +
                             (named ? "killed once it named file " : "killed as it named file ") +
                             std::to_string(stopAt));
                fs::remove_all(request.destination);
                fs::remove_all(request.applicationSupportRoot);
                fs::create_directories(request.destination);
                {
                    test::ChildProgram child(
                        "meeting-stop-at-file",
                        {std::string(kRootSetting) + "=" + root.path().string(),
                         std::string(kFileSetting) + "=" + std::to_string(stopAt),
                         std::string(kNamedSetting) + "=" + (named ? "1" : "0"),
                         std::string(kOverwriteSetting) + "=" + (overwrite ? "1" : "0"),
                         std::string(kIgnoresCaseSetting) + "=" + (ignoresCase ? "1" : "0")});
                    ASSERT_TRUE(child.awaitReport(kChildTime)) << "the child ended or hung before the file";
                } // killed here

                request.conflictMode = overwrite ? ExportConflictMode::overwrite : ExportConflictMode::rename;
                const ExportResult next = Exporter::exportPhotos(request);
                EXPECT_TRUE(next.failures.empty());
                EXPECT_EQ(next.originalFailureCount, 0);
                EXPECT_EQ(next.overwrittenCount, 0);
                EXPECT_EQ(next.skippedCount + next.copiedCount, 2 * kPhotosPerCard);
                for (const fs::path& folder : {request.destination, request.destination / "originals"}) {
                    std::multiset<std::string> kept;
                    for (const auto& entry : fs::directory_iterator(folder)) {
                        if (!entry.is_regular_file()) continue;
                        EXPECT_FALSE(isHiddenName(entry.path().filename().string()))
                            << entry.path() << " was left behind";
                        kept.insert(bytesOf(entry.path()));
                    }
                    EXPECT_TRUE(kept == photos) << folder;
                }
            }
        ExportWrittenNames::setCaseProbeForTesting({});
    }
}

} // namespace
} // namespace sorvin
