// The lock that makes one copy of the program the one writer of a folder's record, held by real
// processes.

#include "persistence/selection_store.hpp"
#include "support/child_program.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderSetting = "SORVIN_TEST_FOLDER";
constexpr const char* kSupportSetting = "SORVIN_TEST_SUPPORT";
constexpr std::chrono::seconds kChildTime{60};

// In a child process: takes the lock of the folder's record, tells the parent, and holds it until
// told to end or killed.
class LockHolderChild : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string role = test::childRole();
        if (role.empty()) return;
        if (role != "hold-lock") return; // a role another test plays
        {
            SelectionStore store(test::childSetting(kFolderSetting),
                                 fs::path(test::childSetting(kSupportSetting)));
            if (store.lock()) ::_exit(3);
            test::reportToParent();
            test::awaitParent(kChildTime);
        }
        ::_exit(0);
    }
};

[[maybe_unused]] const auto* const childEnvironment =
    ::testing::AddGlobalTestEnvironment(new LockHolderChild);

class SelectionStoreLockTest : public testing::Test {
protected:
    SelectionStoreLockTest() {
        fs::create_directories(folder);
        fs::create_directories(root / "other");
        fs::create_directory_symlink(folder, root / "link");
    }

    std::vector<std::string> holding(const fs::path& folderName) const {
        return {std::string(kFolderSetting) + "=" + folderName.string(),
                std::string(kSupportSetting) + "=" + support.string()};
    }
    std::optional<SelectionRecordHolder> lock(const fs::path& folderName) {
        stores.push_back(std::make_unique<SelectionStore>(folderName, support));
        return stores.back()->lock();
    }
    std::size_t lockFiles() const {
        std::size_t count = 0;
        for (const auto& entry : fs::directory_iterator(support))
            count += entry.path().extension() == ".lock";
        return count;
    }

    test::TemporaryFolder root;
    fs::path folder = root / "photos";
    fs::path support = root / "support";
    std::vector<std::unique_ptr<SelectionStore>> stores;
};

// Another process that holds the record is named, by whichever path either reached the folder;
// other folders are free. The lock goes with the holder's end, also a killed one's, whose lock
// file is then taken over.
TEST_F(SelectionStoreLockTest, AnotherProcessHoldsTheRecordUntilItEnds) {
    {
        test::ChildProgram holder("hold-lock", holding(root / "link"));
        ASSERT_TRUE(holder.awaitReport(kChildTime));
        EXPECT_EQ(lock(folder), (SelectionRecordHolder{holder.pid(), ""}));
        EXPECT_EQ(lock(root / "other"), std::nullopt);
        holder.tell();
        ASSERT_TRUE(holder.awaitExit(kChildTime));
    }
    EXPECT_EQ(lockFiles(), 1u) << "the other folder's, held here";
    EXPECT_EQ(lock(folder), std::nullopt);
    stores.clear();
    EXPECT_EQ(lockFiles(), 0u) << "removed when let go";

    test::ChildProgram killed("hold-lock", holding(folder));
    ASSERT_TRUE(killed.awaitReport(kChildTime));
    EXPECT_TRUE(lock(root / "link"));
    killed.kill();
    EXPECT_EQ(lockFiles(), 1u) << "left by the killed process";
    EXPECT_EQ(lock(root / "link"), std::nullopt);
}

// The stores of one process share the lock of a record (its saves are ordered within the
// process): one that outlives another keeps the lock, and no other process gets it meanwhile.
TEST_F(SelectionStoreLockTest, TheStoresOfOneProcessShareTheLock) {
    EXPECT_EQ(lock(folder), std::nullopt);
    EXPECT_EQ(lock(root / "link"), std::nullopt);
    stores.erase(stores.begin());
    test::ChildProgram other("hold-lock", holding(folder));
    const bool tookIt = other.awaitReport(kChildTime);
    if (tookIt) other.tell();
    EXPECT_FALSE(tookIt) << "the other process found the lock held";
    EXPECT_TRUE(other.awaitExit(kChildTime));
    EXPECT_EQ(lockFiles(), 1u);
}

// A copy that was killed leaves its lock file; the next lock taken in the data folder takes the
// abandoned ones over, which removes them, while one a running copy holds stays.
TEST_F(SelectionStoreLockTest, LockFilesOfKilledCopiesAreRemovedWhenTheNextLockIsTaken) {
    test::ChildProgram running("hold-lock", holding(root / "other"));
    ASSERT_TRUE(running.awaitReport(kChildTime));
    test::ChildProgram killed("hold-lock", holding(folder));
    ASSERT_TRUE(killed.awaitReport(kChildTime));
    killed.kill();
    EXPECT_EQ(lockFiles(), 2u);

    fs::create_directories(root / "third");
    EXPECT_EQ(lock(root / "third"), std::nullopt);
    EXPECT_EQ(lockFiles(), 2u) << "the running copy's and this one's";
    EXPECT_EQ(lock(root / "other"), (SelectionRecordHolder{running.pid(), ""}));
    running.tell();
    ASSERT_TRUE(running.awaitExit(kChildTime));
    stores.clear();
    EXPECT_EQ(lockFiles(), 0u) << "each removed by its holder as it ends";
}

// Where no lock can be made (the data folder cannot take the lock file), the folder opens all the
// same, and the store says that no other copy is kept out.
TEST_F(SelectionStoreLockTest, WithoutALockTheStoreSaysSo) {
    fs::create_directories(support);
    SelectionStore store(folder, support);
    fs::create_directory(support / ("record-" + SelectionStore::folderHash(store.folderIdentity()) + ".lock"));
    EXPECT_EQ(store.lock(), std::nullopt);
    EXPECT_TRUE(store.lockless());
    SelectionStore locked(root / "other", support);
    EXPECT_EQ(locked.lock(), std::nullopt);
    EXPECT_FALSE(locked.lockless());
}

} // namespace
} // namespace sorvin
