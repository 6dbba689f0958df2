// An export killed at any moment leaves no partial file under a final name, and the next export
// into the folder finishes the work and clears what the killed one left behind.

#include "export/export_manifest_store.hpp"
#include "export/exporter.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 24;
constexpr int kKillsBetweenCompletions = 4;

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
std::string unnumbered(const fs::path& relative) {
    std::string stem = relative.stem().string();
    const auto dash = stem.rfind('-');
    if (dash != std::string::npos && dash + 1 < stem.size() &&
        stem.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        stem.erase(dash);
    return (relative.parent_path() / (stem + relative.extension().string())).string();
}

// Two photos: a large one exported as a byte copy, one rendered anew (a noisy picture, which
// encodes to a large file); both with their originals copied.
class ExportCrashSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937_64 random(34);
        fs::create_directories(root / "photos");
        writeRandomFile(root / "photos" / "IMG_0001.jpg", 24u << 20, random);
        writeRandomFile(root / "photos" / "IMG_0002.jpg", 1u << 20, random);
        PixelBuffer noise(1000, 750);
        fillRandomly(noise.data(), noise.byteCount(), random);
        SharedImage rendered = makeImage(std::move(noise));
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
    }

    // The size of every regular file below the folder by its relative path, hidden ones too.
    static std::map<std::string, std::uintmax_t> filesIn(const fs::path& folder) {
        std::map<std::string, std::uintmax_t> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = entry.file_size();
        return files;
    }

    static bool isHidden(const std::string& relative) { return fs::path(relative).filename().string().front() == '.'; }

    // In memory where the system offers it: writing is quick there and flushing is free, so the
    // writes take a good part of an export and many kills come in the middle of one.
    static fs::path memoryFolder() {
        std::error_code error;
        return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
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
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Exporter::exportPhotos(request);
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(moment(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        bool interrupted = false;
        for (const auto& [name, size] : filesIn(request.destination)) {
            if (isHidden(name)) {
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
                EXPECT_FALSE(isHidden(name)) << name << " was left behind";
                if (isHidden(name) || size == old.size()) continue;
                std::string bytes = bytesOf(request.destination / name);
                EXPECT_TRUE(bytes == whole.at(unnumbered(name))) << name << " differs after kill " << kill;
                finished[unnumbered(name)] = std::move(bytes);
            }
            EXPECT_EQ(finished, whole) << "after kill " << kill;
        }
    }
    EXPECT_GT(interruptedWrites, 0) << "no kill came while a file was written";
}

// Killed after k of n photos, an export has told its manifest what it finished: the next one in the
// default rename mode skips those, outputs and originals alike, instead of writing them again
// under numbered names.
TEST(ExportKilledMidwayTest, TheNextExportWritesNoNumberedDuplicates) {
    constexpr int kPhotos = 7;
    constexpr int kDone = 3;
    test::TemporaryFolder root;
    std::mt19937_64 random(7);
    ExportRequest request;
    fs::create_directories(root / "photos");
    for (int i = 1; i <= kPhotos; ++i) {
        Photo photo;
        photo.relativePath = "IMG_000" + std::to_string(i) + ".jpg";
        photo.url = root / "photos" / photo.relativePath;
        photo.fileFormat = PhotoFileFormat::jpeg;
        writeRandomFile(photo.url, 4096, random);
        request.photos.push_back(photo);
    }
    request.destination = root / "out";
    fs::create_directories(request.destination);
    request.saveOriginals = true;
    request.applicationSupportRoot = root / "support";
    request.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};

    int told[2];
    ASSERT_EQ(::pipe(told), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        request.progress = [&](int done, int) {
            if (done < kDone) return;
            (void)!::write(told[1], "k", 1);
            for (;;) ::pause(); // the next photo never ends; the kill comes here
        };
        Exporter::exportPhotos(request);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(told[0], &byte, 1), 1);
    ::close(told[0]);
    ::close(told[1]);
    // The manifest reaches the disk within about a second of each photo.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ExportManifestStore::load(request.destination, request.applicationSupportRoot).entries.size() <
               static_cast<std::size_t>(kDone) &&
           std::chrono::steady_clock::now() < deadline)
        ::usleep(20'000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    const ExportResult next = Exporter::exportPhotos(request);
    EXPECT_TRUE(next.failures.empty());
    EXPECT_EQ(next.skippedCount, kDone);
    EXPECT_EQ(next.copiedCount, kPhotos - kDone);
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(request.destination)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string relative = fs::relative(entry.path(), request.destination).string();
        EXPECT_EQ(unnumbered(relative), relative) << "a duplicate";
    }
    EXPECT_EQ(files, 2u * kPhotos);
}

} // namespace
} // namespace sorvin
