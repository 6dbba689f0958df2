#include "export/export_cancellation_token.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

TEST(ExportCancellationTokenTest, CancelBeforeAnyWriteOnlySetsTheFlag) {
    test::TemporaryFolder folder;
    std::ofstream(folder / "kept.jpg") << "x";
    ExportCancellationToken token;
    EXPECT_FALSE(token.isCancelled());
    token.cancel();
    EXPECT_TRUE(token.isCancelled());
    EXPECT_TRUE(fs::exists(folder / "kept.jpg"));
    EXPECT_FALSE(token.beginWriting(folder / "new.jpg"));
    EXPECT_FALSE(token.currentOutput());
}

TEST(ExportCancellationTokenTest, CancelDuringAWriteRemovesTheFileAndTheWriteIsRefused) {
    test::TemporaryFolder folder;
    const fs::path file = folder / "out.jpg";
    ExportCancellationToken token;
    ASSERT_TRUE(token.beginWriting(file));
    std::ofstream(file) << "partial";
    token.cancel();
    EXPECT_FALSE(fs::exists(file));
    token.cancel(); // the file is gone already: nothing to report
    EXPECT_FALSE(token.completeWriting(file));
    EXPECT_FALSE(token.currentOutput());
}

TEST(ExportCancellationTokenTest, CompletingAnotherFileChangesNothing) {
    ExportCancellationToken token;
    ASSERT_TRUE(token.beginWriting("/out/a.jpg"));
    EXPECT_FALSE(token.completeWriting("/out/b.jpg"));
    EXPECT_EQ(token.currentOutput(), fs::path("/out/a.jpg"));
    EXPECT_TRUE(token.completeWriting("/out/a.jpg"));
    EXPECT_FALSE(token.completeWriting("/out/a.jpg"));
}

TEST(ExportCancellationTokenTest, AFinishedWriteIsKeptWhateverComesAfter) {
    test::TemporaryFolder folder;
    const fs::path file = folder / "out.jpg";
    ExportCancellationToken token;
    ASSERT_TRUE(token.beginWriting(file));
    std::ofstream(file) << "whole";
    ASSERT_TRUE(token.completeWriting(file));
    token.cancel();
    EXPECT_TRUE(fs::exists(file));
}

TEST(ExportCancellationTokenTest, ACancelRacingAWriteNeverLeavesTheFileBehind) {
    test::TemporaryFolder folder;
    for (int round = 0; round < 200; ++round) {
        const fs::path file = folder / ("out" + std::to_string(round) + ".jpg");
        ExportCancellationToken token;
        std::thread canceller([&] { token.cancel(); });
        bool kept = false;
        if (token.beginWriting(file)) {
            std::ofstream(file) << "bytes";
            kept = token.completeWriting(file);
            if (!kept) fs::remove(file);
        }
        canceller.join();
        EXPECT_EQ(fs::exists(file), kept) << round;
    }
}

} // namespace
} // namespace sorvin
