#include "platform/atomic_file.hpp"
#include "platform/image.hpp"
#include "platform/large_allocation.hpp"
#include "platform/regular_file.hpp"
#include "platform/sha256.hpp"
#include "platform/xdg_folders.hpp"
#include "support/scoped_environment.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace sorvin {
namespace {

TEST(AtomicFile, ReplacesTheTargetAndLeavesNoTemporaryFile) {
    test::TemporaryFolder folder;
    const auto target = folder / "record.json";
    AtomicFile::write(target, "first");
    AtomicFile::write(target, "second, longer");
    EXPECT_EQ(AtomicFile::read(target), "second, longer");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(AtomicFile, FailureInAReadOnlyFolderKeepsTheOldFileAndThrows) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    test::TemporaryFolder folder;
    const auto target = folder / "record.json";
    AtomicFile::write(target, "kept");
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_THROW(AtomicFile::write(target, "lost"), std::system_error);
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(AtomicFile::read(target), "kept");
}

TEST(AtomicFile, ReadRefusesOversizedFilesAndAnythingButAFileWithoutWaiting) {
    test::TemporaryFolder folder;
    AtomicFile::write(folder / "big", std::string(100, 'x'));
    EXPECT_THROW(AtomicFile::read(folder / "big", 99), std::system_error);
    EXPECT_EQ(AtomicFile::read(folder / "big", 100).size(), 100u);
    EXPECT_THROW(AtomicFile::read(folder.path()), std::system_error);
    EXPECT_THROW(AtomicFile::read(folder / "missing"), std::system_error);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0644), 0); // nobody writes: a read would wait for ever
    std::filesystem::create_symlink(folder / "fifo", folder / "fifo link");
    std::filesystem::create_symlink("/dev/zero", folder / "endless");
    std::filesystem::create_symlink("/dev/null", folder / "empty device");
    for (const char* name : {"fifo", "fifo link", "endless", "empty device"})
        EXPECT_THROW(AtomicFile::read(folder / name), std::system_error) << name;
}

// A photo's file read whole takes the block of the one read before it: it must come back with its
// own bytes and nothing of the other's.
TEST(RegularFile, ReadsWholeFilesIntoReusedBlocksAndRefusesOneThatGrew) {
    test::TemporaryFolder folder;
    const auto read = [&](const std::string& name, const std::string& content) {
        AtomicFile::write(folder / name, content);
        const auto file = RegularFile::open(folder / name, 1u << 30);
        return file ? file->readAll() : std::nullopt;
    };
    releaseKeptLargeBytes();
    const std::uint8_t* first = nullptr;
    {
        const auto bytes = read("a.jpg", std::string(1'600'000, 'a'));
        ASSERT_TRUE(bytes);
        first = bytes->bytes.get();
    }
    const auto second = read("b.jpg", std::string(1'500'000, 'b') + "end");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->bytes.get(), first);
    EXPECT_EQ(std::string(second->span().begin(), second->span().end()), std::string(1'500'000, 'b') + "end");
    const auto empty = read("empty.jpg", "");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size, 0u);

    AtomicFile::write(folder / "growing.jpg", "short");
    const auto growing = RegularFile::open(folder / "growing.jpg", 1u << 30);
    ASSERT_TRUE(growing);
    std::ofstream(folder / "growing.jpg", std::ios::app) << " and more"; // after it was measured
    EXPECT_FALSE(growing->readAll());
    releaseKeptLargeBytes();
}

// Killed processes leave their temporary files behind; the first save of the same file in a run
// removes them, but never one that a running process is writing, nor one of another file, nor a
// fresh one of another computer.
TEST(AtomicFile, ASaveRemovesTheTemporariesOfProcessesThatNoLongerRun) {
    test::TemporaryFolder folder;
    const std::string gone = std::to_string(test::endedProcessId());
    const std::string running = std::to_string(::getppid());
    const std::string self = std::to_string(::getpid());
    const std::vector<std::string> stale = {"record.json.tmp-" + gone, ".record.json.tmp-" + gone + "-A1",
                                            "record.json.tmp-" + self};
    const std::vector<std::string> kept = {".record.json.tmp-" + running + "-B2",
                                           "record.json.tmp-" + running,
                                           ".record.json.tmp-" + AtomicFile::writerTag() + "-C3",
                                           "other.json.tmp-" + gone,
                                           "record.json.tmp-notes",
                                           "record.json.tmp-" + gone + "@0123456789ab", // another computer's
                                           "record.json"};
    for (const auto& name : kept)
        std::ofstream(folder / name) << "in use";
    for (const auto& name : stale)
        std::ofstream(folder / name) << "left behind";
    std::filesystem::create_directory(folder / ("record.json.tmp-" + gone + "-folder"));

    AtomicFile::write(folder / "record.json", "new");
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        left.insert(entry.path().filename().string());
    std::set<std::string> expected(kept.begin(), kept.end());
    expected.insert("record.json.tmp-" + gone + "-folder");
    EXPECT_EQ(left, expected);
    EXPECT_EQ(AtomicFile::read(folder / "record.json"), "new");
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(Sha256::hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(XdgFolders, VariablesMustBeAbsoluteToCount) {
    test::ScopedEnvironment environment;
    environment.set("HOME", "/home/tester")
        .set("XDG_CONFIG_HOME", "/custom/config")
        .set("XDG_CACHE_HOME", "relative/cache")
        .clear("XDG_DATA_HOME");
    EXPECT_EQ(XdgFolders::configHome(), "/custom/config");
    EXPECT_EQ(XdgFolders::cacheHome(), "/home/tester/.cache");
    EXPECT_EQ(XdgFolders::dataHome(), "/home/tester/.local/share");
}

TEST(Image, NewBufferIsTransparentBlackAndFreezingKeepsThePixels) {
    PixelBuffer buffer(3, 2);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        EXPECT_EQ(buffer.data()[i], 0);
    buffer.row(1)[4 * 2 + 3] = 255;
    SharedImage image = makeImage(std::move(buffer));
    EXPECT_EQ(image->width(), 3);
    EXPECT_EQ(image->height(), 2);
    EXPECT_EQ(image->row(1)[11], 255);
    PixelBuffer copy = image->copyPixels();
    EXPECT_EQ(copy.row(1)[11], 255);
    EXPECT_THROW(PixelBuffer(0, 5), std::length_error);
    EXPECT_THROW(PixelBuffer(100000, 100000), std::length_error);
}

// A walk through a folder frees and makes bitmaps of the same sizes at every step; a freed one is
// taken again by the next of about its size, so no fresh memory is faulted in, and the kept ones
// stay bounded.
TEST(Image, AFreedPhotoSizedBitmapServesTheNextOfAboutItsSizeWithinABound) {
    releaseKeptLargeBytes();
    const std::uint8_t* first = nullptr;
    {
        PixelBuffer buffer(1000, 750);
        std::memset(buffer.data(), 7, buffer.byteCount());
        first = buffer.data();
    }
    EXPECT_GE(keptLargeBytes(), 3'000'000u);
    {
        PixelBuffer again(990, 750);
        EXPECT_EQ(again.data(), first);
        EXPECT_EQ(*std::max_element(again.data(), again.data() + again.byteCount()), 0); // still black
    }
    PixelBuffer half(500, 750); // too small to take a block twice its size
    EXPECT_NE(half.data(), first);

    std::size_t freed = 0;
    {
        std::vector<PixelBuffer> many;
        for (int i = 0; i < 20; ++i) {
            many.push_back(PixelBuffer::forOverwrite(4000, 1000));
            freed += many.back().byteCount();
        }
    }
    EXPECT_GT(keptLargeBytes(), 0u);
    EXPECT_LT(keptLargeBytes(), freed / 2);
    // An idle program holds none for long.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (keptLargeBytes() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(keptLargeBytes(), 0u);

    { PixelBuffer again(1000, 750); }
    EXPECT_GT(keptLargeBytes(), 0u);
    releaseKeptLargeBytes();
    EXPECT_EQ(keptLargeBytes(), 0u);
}

} // namespace
} // namespace sorvin
