// Photos whose outputs meet in one name (the same file name in two subfolders, or names that differ
// in case only on a disk that ignores case) keep their own files across exports: a later export
// writes a photo over its own earlier files only, never over another photo's.

#include "export/export_written_names.hpp"
#include "exporter_fixture.hpp"
#include "platform/file_path.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using test::bytesOf;

// Where the photos' names meet: two cards in two subfolders, or one folder's a.jpg and A.jpg going
// to a disk that ignores case (told through the case probe).
struct Meeting {
    std::string label;
    std::string first;  // relative path of the first photo of a name
    std::string second; // of the second
    bool ignoresCase = false;
};

const Meeting kMeetings[] = {{"subfolders", "day1/DSC_0001.jpg", "day2/DSC_0001.jpg", false},
                             {"case", "dsc_0001.jpg", "DSC_0001.jpg", true}};

// Every regular file below the folder, by its relative path, with its bytes.
std::map<std::string, std::string> filesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = bytesOf(entry.path());
    return files;
}

std::multiset<std::string> contentsIn(const fs::path& folder) {
    std::multiset<std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) contents.insert(bytesOf(entry.path()));
    return contents;
}

class ExporterNamesTest : public test::ExporterTest {
protected:
    void TearDown() override { ExportWrittenNames::setCaseProbeForTesting({}); }

    // Starts afresh: no photos, an empty destination, no manifest.
    void reset(const Meeting& meeting) {
        for (const fs::path& folder : {source(), destination(), request.applicationSupportRoot})
            fs::remove_all(folder);
        fs::create_directories(destination());
        request.photos.clear();
        request.params.clear();
        request.cancellation = std::make_shared<ExportCancellationToken>();
        request.progress = {};
        ExportWrittenNames::setCaseProbeForTesting(
            [ignores = meeting.ignoresCase](const fs::path&) { return ignores; });
    }

    // A photo of its own bytes: a sample with a tail after its picture.
    Photo addPhoto(const std::string& name) {
        fs::create_directories((source() / name).parent_path());
        const Photo photo = addJpeg(name);
        std::ofstream(photo.url, std::ios::app) << "tail of " << name;
        return photo;
    }

    std::string keyOf(const Photo& photo) const { return FilePath::standardized(photo.url).string(); }

    std::multiset<std::string> sourcesOf() const {
        std::multiset<std::string> contents;
        for (const auto& photo : request.photos)
            contents.insert(bytesOf(photo.url));
        return contents;
    }
};

// Two photos of one name, exported; then only one of them changes (an edit, or its file) and the
// export runs again. The other photo's output and original's copy stay as they were. In overwrite
// mode the changed photo writes over its own files, numbered or not, and nothing new appears; in
// rename mode it gets new numbered files beside its old ones. A third export writes nothing.
TEST_F(ExporterNamesTest, WhenOnePhotoOfANameChangesOnlyItsOwnFilesAreWrittenAgain) {
    for (const auto& meeting : kMeetings)
        for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite})
            for (const bool originals : {false, true})
                for (const int changed : {0, 1})
                    for (const bool edit : {true, false}) {
                        const bool overwrite = mode == ExportConflictMode::overwrite;
                        SCOPED_TRACE(meeting.label + " " + std::string(rawValue(mode)) +
                                     (originals ? " originals" : "") + " photo " + std::to_string(changed) +
                                     (edit ? " edited" : " file changed"));
                        reset(meeting);
                        const Photo photos[] = {addPhoto(meeting.first), addPhoto(meeting.second)};
                        request.conflictMode = mode;
                        request.saveOriginals = originals;
                        ASSERT_EQ(run().copiedCount, 2);
                        const auto before = filesIn(destination());
                        const auto entries = manifest().entries;
                        const std::string output = entries.at(keyOf(photos[changed])).outputs.at("jpeg").file;
                        const std::string copy =
                            originals ? entries.at(keyOf(photos[changed])).original->file : std::string();

                        const Photo& photo = photos[changed];
                        if (edit) {
                            PhotoParameters edited;
                            edited.setValue(30, PhotoParameter::exposure);
                            request.params[photo.relativePath] = edited;
                        } else {
                            std::ofstream(photo.url, std::ios::app) << " changed";
                        }
                        const ExportResult second = run();
                        EXPECT_TRUE(second.failures.empty());
                        EXPECT_EQ(second.skippedCount, 1);
                        EXPECT_EQ(second.copiedCount, 1);
                        EXPECT_EQ(second.outputFileCount, 1);
                        EXPECT_EQ(second.overwrittenCount, overwrite ? 1 : 0);
                        // Under its numbered name, or a new one in rename mode.
                        EXPECT_EQ(second.renamedCount, overwrite ? changed : 1);
                        const bool copiesAgain = originals && !edit;
                        EXPECT_EQ(second.originalCopiedCount, copiesAgain ? 1 : 0);

                        const auto after = filesIn(destination());
                        std::set<std::string> rewritten;
                        for (const auto& [file, bytes] : before) {
                            ASSERT_TRUE(after.contains(file)) << file;
                            if (after.at(file) != bytes) rewritten.insert(file);
                        }
                        const std::size_t added = after.size() - before.size();
                        if (overwrite) {
                            std::set<std::string> expected{output};
                            if (copiesAgain) expected.insert(copy);
                            EXPECT_EQ(rewritten, expected);
                            EXPECT_EQ(added, 0u);
                        } else {
                            EXPECT_TRUE(rewritten.empty());
                            EXPECT_EQ(added, copiesAgain ? 2u : 1u);
                        }
                        const fs::path written =
                            destination() / manifest().entries.at(keyOf(photo)).outputs.at("jpeg").file;
                        EXPECT_EQ(edit ? bytesOf(written).substr(0, 2) : bytesOf(written),
                                  edit ? "\xFF\xD8" : bytesOf(photo.url));
                        if (copiesAgain) {
                            EXPECT_EQ(
                                bytesOf(destination() / manifest().entries.at(keyOf(photo)).original->file),
                                bytesOf(photo.url));
                        }

                        const ExportResult third = run();
                        EXPECT_EQ(third.skippedCount, 2);
                        EXPECT_EQ(third.outputFileCount + third.originalCopiedCount, 0);
                        EXPECT_EQ(filesIn(destination()), after);
                    }
}

// Five photos from each of two cards with the same names, cancelled after seven, then exported
// again with nothing changed: the photos of the second card that were not exported yet get
// numbered names, beside the first card's files and never over them, and their originals too.
// Every photo ends up on the disk once, and the counts say so.
TEST_F(ExporterNamesTest, AnExportCancelledMidwayThenFinishedKeepsEveryPhotoOnce) {
    constexpr int kPerCard = 5;
    constexpr int kBeforeCancel = 7;
    for (const auto& meeting : kMeetings)
        for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite})
            for (const bool originals : {false, true}) {
                SCOPED_TRACE(meeting.label + " " + std::string(rawValue(mode)) +
                             (originals ? " originals" : ""));
                reset(meeting);
                for (const std::string& name : {meeting.first, meeting.second})
                    for (int i = 1; i <= kPerCard; ++i) {
                        std::string numbered = name;
                        numbered.replace(numbered.size() - 5, 1, std::to_string(i));
                        addPhoto(numbered);
                    }
                request.conflictMode = mode;
                request.saveOriginals = originals;
                request.progress = [&](int done, int) {
                    if (done == kBeforeCancel) request.cancellation->cancel();
                };
                const ExportResult cancelled = run();
                ASSERT_TRUE(cancelled.cancelled);
                ASSERT_EQ(cancelled.copiedCount, kBeforeCancel);

                request.progress = {};
                request.cancellation = std::make_shared<ExportCancellationToken>();
                const ExportResult finished = run();
                EXPECT_TRUE(finished.failures.empty());
                EXPECT_FALSE(finished.cancelled);
                EXPECT_EQ(finished.skippedCount, kBeforeCancel);
                EXPECT_EQ(finished.copiedCount, 2 * kPerCard - kBeforeCancel);
                EXPECT_EQ(finished.renamedCount, 2 * kPerCard - kBeforeCancel);
                EXPECT_EQ(finished.overwrittenCount, 0);
                EXPECT_EQ(finished.originalCopiedCount, originals ? 2 * kPerCard - kBeforeCancel : 0);
                EXPECT_EQ(contentsIn(destination()), sourcesOf());
                if (originals) {
                    EXPECT_EQ(contentsIn(destination() / "originals"), sourcesOf());
                }
            }
}

// A manifest of the version before, where a photo was written over another's file of its name and
// both entries name that file; then the photo changes once more. The file is the photo's whose
// record it matches: overwrite mode writes that photo over it again, and the other photo is written
// anew under a numbered name, in both modes.
TEST_F(ExporterNamesTest, AFileAnOlderVersionWroteOverAnotherPhotosIsGivenBackToBoth) {
    for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite}) {
        SCOPED_TRACE(rawValue(mode));
        reset(kMeetings[0]);
        const Photo day1 = addPhoto(kMeetings[0].first);
        const Photo day2 = addPhoto(kMeetings[0].second);
        request.conflictMode = ExportConflictMode::overwrite;
        ASSERT_EQ(run().copiedCount, 2);

        // What the older version did when day2's file changed: its new output over DSC_0001.jpg.
        std::ofstream(day2.url, std::ios::app) << " changed";
        fs::copy_file(day2.url, destination() / "DSC_0001.jpg", fs::copy_options::overwrite_existing);
        ExportManifest older = manifest();
        auto& entry = older.entries.at(keyOf(day2));
        const auto source = ExportManifestStore::fileIdentity(day2.url);
        const auto output = ExportManifestStore::fileIdentity(destination() / "DSC_0001.jpg");
        entry.srcSize = source->size;
        entry.srcMtime = source->mtime;
        entry.outputs["jpeg"] = {"DSC_0001.jpg", output->size, output->mtime};
        ASSERT_TRUE(ExportManifestStore::write(older, destination(), request.applicationSupportRoot));

        request.conflictMode = mode;
        std::ofstream(day2.url, std::ios::app) << " again";
        const ExportResult again = run();
        EXPECT_TRUE(again.failures.empty());
        EXPECT_EQ(again.copiedCount, 2);
        EXPECT_EQ(again.overwrittenCount, mode == ExportConflictMode::overwrite ? 1 : 0);
        EXPECT_EQ(bytesOf(destination() / "DSC_0001-2.jpg"), bytesOf(day1.url));
        EXPECT_EQ(bytesOf(destination() /
                          (mode == ExportConflictMode::overwrite ? "DSC_0001.jpg" : "DSC_0001-3.jpg")),
                  bytesOf(day2.url));
        EXPECT_EQ(run().skippedCount, 2);
    }
}

// Photos in two subfolders whose names are as long as a disk takes (255 bytes, of letters or of
// kanji) meet like any others: the second's numbered name is cut short to fit, at a character's
// start, for the output and the original's copy, and the next export finds both.
TEST_F(ExporterNamesTest, PhotosOfTheLongestNamesThatMeetAreBothExported) {
    std::string kanji = "ab";
    for (int i = 0; i < 83; ++i)
        kanji += "\xE5\x86\x99"; // 写
    for (const std::string& name : {std::string(251, 'a') + ".jpg", kanji + ".jpg"})
        for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite}) {
            SCOPED_TRACE(std::to_string(name.size()) + " bytes, " + std::string(rawValue(mode)));
            ASSERT_EQ(name.size(), 255u);
            reset(kMeetings[0]);
            addPhoto("day1/" + name);
            addPhoto("day2/" + name);
            request.conflictMode = mode;
            request.saveOriginals = true;
            const ExportResult result = run();
            EXPECT_TRUE(result.failures.empty())
                << (result.failures.empty() ? "" : result.failures[0].reason);
            EXPECT_EQ(result.copiedCount, 2);
            EXPECT_EQ(result.renamedCount, 1);
            EXPECT_EQ(result.originalCopiedCount, 2);
            // Cut before its number at a character's start: the base is the name's own beginning.
            const std::string renamed = result.firstRenamedFileName.value_or("");
            EXPECT_LE(renamed.size(), 255u);
            ASSERT_TRUE(renamed.ends_with("-1.jpg")) << renamed;
            const std::string base = renamed.substr(0, renamed.size() - 6);
            EXPECT_TRUE(name.starts_with(base));
            EXPECT_NE(static_cast<unsigned char>(name[base.size()]) & 0xC0, 0x80) << "cut inside a character";
            EXPECT_EQ(contentsIn(destination()), sourcesOf());
            EXPECT_EQ(contentsIn(destination() / "originals"), sourcesOf());
            const ExportResult again = run();
            EXPECT_EQ(again.skippedCount, 2);
            EXPECT_EQ(again.originalCopiedCount, 0);
        }
}

} // namespace
} // namespace sorvin
