#include "export/export_manifest_journal.hpp"
#include "export/export_manifest_store.hpp"
#include "platform/atomic_file.hpp"
#include "support/test_support.hpp"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using test::TemporaryFolder;

TEST(ExportManifestStoreTest, HashInputOfAnUneditedPhotoAndWithBurnInAndLimit) {
    const ManualCrop identity;
    const PhotoParameters none;
    EXPECT_EQ(
        ExportManifestStore::parameterHashInput(PhotoSource::jpeg, 0, identity, none, false, std::nullopt),
        "jpeg|0.0|original,100,0,0|||0");
    EXPECT_EQ(ExportManifestStore::parameterHashInput(PhotoSource::jpeg, 0, identity, none, true, 2048),
              "jpeg|0.0|original,100,0,0|||1|L2048");
    EXPECT_EQ(ExportManifestStore::parameterHashInput(PhotoSource::raw, 0, identity, none, false, 100),
              "raw|0.0|original,100,0,0|||0|L256");
    EXPECT_EQ(ExportManifestStore::parameterHashInput(PhotoSource::jpeg, 0, identity, none, false, 20000),
              "jpeg|0.0|original,100,0,0|||0|L16384");
}

TEST(ExportManifestStoreTest, HashInputWritesCropMasksAndValuesInStoredOrder) {
    ManualCrop crop;
    crop.aspect = CropAspect::ratio(3, 2);
    crop.sizeP = 80;
    crop.xM = 1000;
    crop.yM = 250;
    PhotoParameters parameters({MaskKind::circular()});
    parameters.setValue(-30, PhotoParameter::exposure);
    const auto entries = parameters.storageEntries(false);
    std::string values;
    for (const auto& entry : entries)
        values += (values.empty() ? "" : ",") + entry.key + "=" + std::to_string(entry.value);
    EXPECT_EQ(ExportManifestStore::parameterHashInput(PhotoSource::jpeg, 12.5, crop, parameters, false,
                                                      std::nullopt),
              "jpeg|12.5|3:2,80,1000,250|circular|" + values + "|0");
    EXPECT_NE(values.find("exposure=-30"), std::string::npos);
}

TEST(ExportManifestStoreTest, RotationIsHashedInHalfDegreesWithinTheStoredRange) {
    const std::pair<double, const char*> cases[] = {
        {0.004, "0.0"}, {0.26, "0.5"},   {179.75, "0.0"},  {-180, "-180.0"}, {std::nan(""), "0.0"},
        {-3, "-3.0"},   {-0.004, "0.0"}, {-180.25, "0.0"}, {12.24, "12.0"},  {1.25, "1.5"},
    };
    for (const auto& [rotation, text] : cases) {
        const auto input =
            ExportManifestStore::parameterHashInput(PhotoSource::jpeg, rotation, {}, {}, false, {});
        EXPECT_EQ(input, std::string("jpeg|") + text + "|original,100,0,0|||0") << rotation;
    }
}

TEST(ExportManifestStoreTest, ParameterHashIsTheHexDigestOfTheInput) {
    const auto hash = ExportManifestStore::parameterHash(PhotoSource::jpeg, 0, {}, {}, false, std::nullopt);
    EXPECT_EQ(hash.size(), 64u);
    EXPECT_EQ(hash,
              ExportManifestStore::parameterHash(PhotoSource::jpeg, 0.001, {}, {}, false, std::nullopt));
    EXPECT_NE(hash, ExportManifestStore::parameterHash(PhotoSource::jpeg, 0, {}, {}, true, std::nullopt));
}

TEST(ExportManifestStoreTest, RelativePathsAreValidatedPieceByPiece) {
    for (const char* valid : {"a/b.jpg", "IMG_0001.jpg", "originals/IMG.CR3", "..a/b"})
        EXPECT_TRUE(ExportManifestStore::validRelativePath(valid)) << valid;
    for (const char* invalid : {"", "/abs.jpg", "a//b", "a/", "./a", "a/../b", "..", "."})
        EXPECT_FALSE(ExportManifestStore::validRelativePath(invalid)) << invalid;
    EXPECT_EQ(ExportManifestStore::relativePath("/out/JPEG/a.jpg", "/out/"), "JPEG/a.jpg");
    EXPECT_EQ(ExportManifestStore::relativePath("/out2/a.jpg", "/out"), std::nullopt);
    EXPECT_EQ(ExportManifestStore::relativePath("/out", "/out"), std::nullopt);
}

TEST(ExportManifestStoreTest, ManifestFileIsNamedByTheStandardizedDestination) {
    const auto url = ExportManifestStore::manifestURL("/Photos/out", "/support");
    EXPECT_EQ(url.parent_path(), "/support");
    const std::string name = url.filename().string();
    ASSERT_EQ(name.size(), std::string("export-").size() + 16 + 5);
    EXPECT_EQ(name.rfind("export-", 0), 0u);
    EXPECT_EQ(name.substr(name.size() - 5), ".json");
    EXPECT_EQ(ExportManifestStore::manifestURL("/Photos/./x/../out/", "/support"), url);
}

TEST(ExportManifestStoreTest, FileIdentityTruncatesToWholeMilliseconds) {
    TemporaryFolder folder;
    const auto file = folder / "a.jpg";
    std::ofstream(file) << "12345";
    const struct timespec times[2] = {{1'700'000'000, 999'600'000}, {1'700'000'000, 999'600'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(ExportManifestStore::fileIdentity(file), (FileIdentity{5, 1'700'000'000'999}));
    EXPECT_FALSE(ExportManifestStore::fileIdentity(folder.path()));
    EXPECT_FALSE(ExportManifestStore::fileIdentity(folder / "missing"));
    fs::create_symlink(file, folder / "link");
    EXPECT_FALSE(ExportManifestStore::fileIdentity(folder / "link"));
}

TEST(ExportManifestStoreTest, RecordMatchesOnlyTheSameFileInsideTheDestination) {
    TemporaryFolder folder;
    std::ofstream(folder / "a.jpg") << "abc";
    const auto identity = *ExportManifestStore::fileIdentity(folder / "a.jpg");
    EXPECT_TRUE(ExportManifestStore::recordMatches({"a.jpg", identity.size, identity.mtime}, folder.path()));
    EXPECT_FALSE(
        ExportManifestStore::recordMatches({"a.jpg", identity.size + 1, identity.mtime}, folder.path()));
    EXPECT_FALSE(
        ExportManifestStore::recordMatches({"a.jpg", identity.size, identity.mtime + 1}, folder.path()));
    EXPECT_FALSE(
        ExportManifestStore::recordMatches({"../a.jpg", identity.size, identity.mtime}, folder / "sub"));
    EXPECT_FALSE(ExportManifestStore::recordMatches({"b.jpg", identity.size, identity.mtime}, folder.path()));
}

class ManifestFileTest : public ::testing::Test {
protected:
    fs::path destination() const { return "/Photos/out"; }
    fs::path manifestFile() const { return ExportManifestStore::manifestURL(destination(), support.path()); }
    void store(const std::string& text) { AtomicFile::write(manifestFile(), text); }
    ExportManifest load() const { return ExportManifestStore::load(destination(), support.path()); }

    static std::string entry(const std::string& fields) { return "{" + fields + "}"; }
    static std::string goodFields() {
        return "\"srcSize\":10,\"srcMtime\":20,\"params\":\"" + std::string(64, 'a') + "\",\"outputs\":{}";
    }
    std::string manifestWith(const std::string& entries) const {
        return "{\"version\":1,\"folder\":\"/Photos/out\",\"entries\":{" + entries + "}}";
    }

    TemporaryFolder support;
};

TEST_F(ManifestFileTest, WriteThenLoadGivesTheSameManifestAndCompactSortedBytes) {
    ExportManifest manifest;
    manifest.folder = "/Photos/out";
    ExportManifestEntry item;
    item.srcSize = 123;
    item.srcMtime = -5;
    item.params = std::string(64, '0');
    item.outputs["jpeg"] = {"JPEG/IMG_0001.jpg", 10, 1'700'000'000'999};
    item.original = ExportManifestFileRecord{"originals/IMG_0001.CR3", 9, 8};
    manifest.entries["/Photos/IMG_0001.CR3#B"] = item;
    ExportManifestStore::write(manifest, "/Photos/out/", support.path());
    EXPECT_EQ(load(), manifest);
    EXPECT_EQ(AtomicFile::read(manifestFile()),
              "{\"entries\":{\"/Photos/IMG_0001.CR3#B\":{\"original\":{\"file\":\"originals/IMG_0001.CR3\","
              "\"mtime\":8,\"size\":9},\"outputs\":{\"jpeg\":{\"file\":\"JPEG/IMG_0001.jpg\",\"mtime\":"
              "1700000000999,\"size\":10}},\"params\":\"" +
                  std::string(64, '0') +
                  "\",\"srcMtime\":-5,\"srcSize\":123}},\"folder\":\"/Photos/out\",\"version\":1}");
}

// The copies of originals carry their sources' identities, the RAW companion's copy a record of its
// own; a manifest without them (an older version's) still loads, and a bad one drops its entry.
TEST_F(ManifestFileTest, CopiesOfOriginalsKeepTheirSourcesIdentity) {
    ExportManifest manifest;
    manifest.folder = "/Photos/out";
    ExportManifestEntry item;
    item.params = std::string(64, '0');
    item.original = ExportManifestFileRecord{"originals/A.JPG", 9, 8000, FileIdentity{9, 8123}};
    item.companion = ExportManifestFileRecord{"originals/A.CR3", 7, 6000, FileIdentity{7, 6001}};
    manifest.entries["/Photos/A.JPG"] = item;
    ExportManifestStore::write(manifest, "/Photos/out", support.path());
    EXPECT_EQ(load(), manifest);
    EXPECT_NE(AtomicFile::read(manifestFile())
                  .find("{\"companion\":{\"file\":\"originals/A.CR3\",\"mtime\":6000,\"size\":7,\"srcMtime\":"
                        "6001,\"srcSize\":7},\"original\":{\"file\":\"originals/A.JPG\",\"mtime\":8000,\"size\":9,"
                        "\"srcMtime\":8123,\"srcSize\":9},\"outputs\":{}"),
              std::string::npos)
        << AtomicFile::read(manifestFile());
    const std::pair<std::string, bool> originals[] = {
        {"\"original\":{\"file\":\"originals/a.jpg\",\"size\":1,\"mtime\":2}", true},
        {"\"original\":{\"file\":\"originals/a.jpg\",\"size\":1,\"mtime\":2,\"srcSize\":1,\"srcMtime\":3}", true},
        {"\"original\":{\"file\":\"originals/a.jpg\",\"size\":1,\"mtime\":2,\"srcSize\":1}", false},
        {"\"original\":{\"file\":\"originals/a.jpg\",\"size\":1,\"mtime\":2,\"srcSize\":-1,\"srcMtime\":3}", false},
        {"\"companion\":{\"file\":\"originals/a.nef\",\"size\":1,\"mtime\":2,\"srcSize\":1,\"srcMtime\":2.5}", false},
        {"\"companion\":{\"file\":\"../a.nef\",\"size\":1,\"mtime\":2}", false},
    };
    for (const auto& [record, kept] : originals) {
        store(manifestWith("\"/a.jpg\":" + entry(goodFields() + "," + record)));
        EXPECT_EQ(load().entries.contains("/a.jpg"), kept) << record;
    }
}

// A destination whose path holds bytes that are no UTF-8 (a folder named by another system) is named
// in the manifest with those bytes escaped, so that the manifest is well-formed JSON and reads back;
// a path of well-formed UTF-8 is named as it is.
TEST_F(ManifestFileTest, APathThatIsNotUtf8IsNamedSoThatItReadsBack) {
    EXPECT_EQ(ExportManifestStore::pathText("/写真/out/./"), "/写真/out");
    EXPECT_EQ(ExportManifestStore::pathText("/out\x93\xfa/a"), "/out%93%FA/a");
    EXPECT_EQ(ExportManifestStore::pathText("/\xE5\x86/\xC0\xAF/\xED\xA0\x80/\xF4\x90\x80\x80"),
              "/%E5%86/%C0%AF/%ED%A0%80/%F4%90%80%80");
    const fs::path destination = "/media/usb/\x8E\xCA\x90\x5E";
    ExportManifest manifest;
    manifest.folder = ExportManifestStore::pathText(destination);
    ExportManifestEntry item;
    item.params = std::string(64, '0');
    manifest.entries[ExportManifestStore::pathText("/Photos/\xff.jpg")] = item;
    ASSERT_TRUE(ExportManifestStore::write(manifest, destination, support.path()));
    EXPECT_EQ(ExportManifestStore::load(destination, support.path()), manifest);
}

TEST_F(ManifestFileTest, ForeignOrDamagedManifestsLoadEmpty) {
    const std::string entries = "\"/a.jpg\":" + entry(goodFields());
    const std::string cases[] = {
        "{\"version\":1.0,\"folder\":\"/Photos/out\",\"entries\":{" + entries + "}}",
        "{\"version\":\"1\",\"folder\":\"/Photos/out\",\"entries\":{" + entries + "}}",
        "{\"version\":2,\"folder\":\"/Photos/out\",\"entries\":{" + entries + "}}",
        "{\"version\":1,\"folder\":\"/Photos/out/\",\"entries\":{" + entries + "}}",
        "{\"version\":1,\"folder\":\"/Photos/out\",\"entries\":[]}",
        "[1]",
        "{\"version\":1,",
    };
    for (const auto& text : cases) {
        store(text);
        const auto manifest = load();
        EXPECT_TRUE(manifest.entries.empty()) << text;
        EXPECT_EQ(manifest.folder, "/Photos/out");
    }
    store(manifestWith(entries));
    EXPECT_EQ(load().entries.size(), 1u);
}

TEST_F(ManifestFileTest, BadEntriesAreDroppedOneByOne) {
    const std::string hex(64, 'b');
    const auto with = [&](const std::string& replaced) { return entry(replaced); };
    const std::pair<std::string, bool> cases[] = {
        {with(goodFields()), true},
        {with("\"srcSize\":10,\"srcMtime\":20,\"params\":\"" + std::string(63, 'a') + "\",\"outputs\":{}"),
         false},
        {with("\"srcSize\":10,\"srcMtime\":20,\"params\":\"" + std::string(65, 'a') + "\",\"outputs\":{}"),
         false},
        {with("\"srcSize\":10,\"srcMtime\":20,\"params\":\"" + std::string(64, 'A') + "\",\"outputs\":{}"),
         false},
        {with("\"srcSize\":10,\"srcMtime\":20,\"params\":\"" + hex + "\""), false},
        {with("\"srcSize\":-1,\"srcMtime\":20,\"params\":\"" + hex + "\",\"outputs\":{}"), false},
        {with("\"srcSize\":true,\"srcMtime\":20,\"params\":\"" + hex + "\",\"outputs\":{}"), false},
        {with("\"srcSize\":1.0,\"srcMtime\":20,\"params\":\"" + hex + "\",\"outputs\":{}"), false},
        {with("\"srcSize\":1,\"srcMtime\":-5,\"params\":\"" + hex + "\",\"outputs\":{}"), true},
        {with(goodFields() + ",\"original\":null"), false},
        {with("\"srcSize\":1,\"srcMtime\":2,\"params\":\"" + hex +
              "\",\"outputs\":{\"png\":{\"file\":\"../x\",\"size\":1,\"mtime\":1}}"),
         true},
    };
    for (const char* badFile : {"../x.jpg", "/abs.jpg", "a//b.jpg", ""}) {
        store(manifestWith("\"/a.jpg\":" +
                           with("\"srcSize\":1,\"srcMtime\":2,\"params\":\"" + hex +
                                "\",\"outputs\":{\"jpeg\":{\"file\":\"" + badFile +
                                "\",\"size\":1,\"mtime\":1}}") +
                           ",\"/b.jpg\":" + with(goodFields())));
        const auto manifest = load();
        EXPECT_FALSE(manifest.entries.contains("/a.jpg")) << badFile;
        EXPECT_TRUE(manifest.entries.contains("/b.jpg")) << badFile;
    }
    for (const auto& [text, kept] : cases) {
        store(manifestWith("\"/a.jpg\":" + text + ",\"relative.jpg\":" + with(goodFields())));
        const auto manifest = load();
        EXPECT_EQ(manifest.entries.contains("/a.jpg"), kept) << text;
        EXPECT_FALSE(manifest.entries.contains("relative.jpg"));
    }
}

// What a killed export left in its journal counts over the manifest, line by line, later lines
// winning; the line a kill cut short, and lines of another folder or with a bad entry, do not.
TEST_F(ManifestFileTest, TheJournalOfAKilledExportIsAppliedOverTheManifest) {
    store(manifestWith("\"/a.jpg\":" + entry(goodFields()) + ",\"/b.jpg\":" + entry(goodFields())));
    ExportManifestEntry first;
    first.params = std::string(64, '1');
    first.outputs["jpeg"] = {"a.jpg", 5, 6};
    ExportManifestEntry second = first;
    second.original = ExportManifestFileRecord{"originals/a.jpg", 5, 6};
    ExportManifestEntry third = first;
    third.params = std::string(64, '3');
    {
        ExportManifestJournal journal(destination(), support.path());
        journal.append("/a.jpg", first);
        journal.append("/a.jpg", second);
        journal.append("/c.jpg", first);
    }
    const fs::path journalFile = ExportManifestStore::journalURL(destination(), support.path());
    std::ofstream(journalFile, std::ios::app)
        << ExportManifestStore::journalLine("/Photos/other", "/b.jpg", third)
        << "{\"entry\":" << entry(goodFields() + ",\"original\":null")
        << ",\"folder\":\"/Photos/out\",\"key\":\"/b.jpg\"}\n"
        << ExportManifestStore::journalLine("/Photos/out", "/c.jpg", third).substr(0, 40);
    // An export that finds the journal ending in a cut line writes its own lines after it, not onto it.
    ExportManifestJournal(destination(), support.path()).append("/d.jpg", first);
    const ExportManifest manifest = load();
    EXPECT_EQ(manifest.entries.size(), 4u);
    EXPECT_EQ(manifest.entries.at("/d.jpg"), first);
    EXPECT_EQ(manifest.entries.at("/a.jpg"), second);
    EXPECT_EQ(manifest.entries.at("/b.jpg").params, std::string(64, 'a'));
    EXPECT_EQ(manifest.entries.at("/c.jpg"), first);

    ExportManifestJournal(destination(), support.path()).remove();
    EXPECT_FALSE(fs::exists(journalFile));
    EXPECT_EQ(load().entries.size(), 2u);
}

// Nesting deeper than ours, or a journal line far longer than ours, is refused before it is
// parsed: an otherwise valid manifest or line that carries it counts for nothing, while the lines
// around a refused one still count.
TEST_F(ManifestFileTest, DeepNestingAndOverlongJournalLinesAreRefusedUnread) {
    const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    store(manifestWith("\"/a.jpg\":" + entry(goodFields() + ",\"extra\":" + nested(3))));
    EXPECT_EQ(load().entries.size(), 1u) << "a little nesting of unknown fields is ours";
    store(manifestWith("\"/a.jpg\":" + entry(goodFields() + ",\"extra\":" + nested(100))));
    EXPECT_TRUE(load().entries.empty());
    store(std::string(1 << 20, '['));
    EXPECT_TRUE(load().entries.empty());

    fs::remove(manifestFile());
    const auto line = [&](const std::string& key, const std::string& extra) {
        return "{\"entry\":" + entry(goodFields() + extra) + ",\"folder\":\"/Photos/out\",\"key\":\"" + key +
               "\"}\n";
    };
    std::ofstream(ExportManifestStore::journalURL(destination(), support.path()))
        << line("/a.jpg", "") << line("/deep.jpg", ",\"extra\":" + nested(100))
        << line("/long.jpg", ",\"extra\":\"" + std::string(100'000, 'x') + "\"") << std::string(1 << 20, '[')
        << "\n"
        << line("/b.jpg", ",\"extra\":\"" + std::string(1000, 'x') + "\"");
    const ExportManifest manifest = load();
    EXPECT_EQ(manifest.entries.size(), 2u);
    EXPECT_TRUE(manifest.entries.contains("/a.jpg"));
    EXPECT_TRUE(manifest.entries.contains("/b.jpg"));
}

TEST_F(ManifestFileTest, AFailedWriteKeepsTheOldManifest) {
    store(manifestWith("\"/a.jpg\":" + entry(goodFields())));
    ::chmod(support.path().c_str(), 0500);
    ExportManifestStore::write(ExportManifest{1, "/Photos/out", {}}, destination(), support.path());
    ::chmod(support.path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_EQ(load().entries.size(), 1u);
    }
}

} // namespace
} // namespace sorvin
