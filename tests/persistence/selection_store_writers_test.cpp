// Copies of the program that share no lock (two computers on one share, a second path to the
// folder), each a process of its own, saving the one record as fast as they can: on a file system
// that exchanges two names in one step, and on one that refuses to (most FUSE and network file
// systems).

#include "persistence/selection_record_photos.hpp"
#include "persistence/selection_store.hpp"
#include "platform/atomic_file.hpp"
#include "support/child_program.hpp"
#include "support/test_support.hpp"

#include <fmt/format.h>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderSetting = "SORVIN_TEST_FOLDER";
constexpr const char* kSupportSetting = "SORVIN_TEST_SUPPORT";
constexpr const char* kNameSetting = "SORVIN_TEST_WRITER";
constexpr const char* kResultSetting = "SORVIN_TEST_RESULT";
constexpr const char* kRefuseExchangeSetting = "SORVIN_TEST_REFUSE_EXCHANGE";
constexpr int kSaves = 300;
constexpr int kPhotosEach = 40;
constexpr std::chrono::seconds kChildTime{120};

std::string photo(const std::string& writer, int number) {
    return fmt::format("{}-{:02}.jpg", writer, number);
}

// In a child process: opens the folder, waits for the word to start, then hearts and un-hearts its
// own photos one at a time, saving after each. A save that returned with nothing set beside the
// record is confirmed. Once done it saves until one is confirmed, and writes down its hearts and
// how many saves were not confirmed.
class FreeWriterChild : public ::testing::Environment {
public:
    void SetUp() override {
        if (test::childRole() != "free-writer") return;
        const std::string name = test::childSetting(kNameSetting);
        AtomicFile::setExchangeRefusalForTesting(test::childSetting(kRefuseExchangeSetting) == "1");
        SelectionStore store(test::childSetting(kFolderSetting), fs::path(test::childSetting(kSupportSetting)));
        store.load();
        test::reportToParent();
        if (!test::awaitParent(kChildTime)) ::_exit(3);
        std::mt19937 random(std::hash<std::string>{}(name));
        SelectionSaveValues values;
        int unconfirmed = 0;
        // As the window does, the photos the save found changed elsewhere take those values.
        const auto save = [&] {
            try {
                store.save(values, std::chrono::system_clock::now());
            } catch (const std::exception&) {
                return false;
            }
            if (const auto& combination = store.combination())
                for (const auto& path : combination->paths) {
                    if (values.hearts.contains(path) != SelectionRecordPhotos::of(combination->handed, path).heart)
                        continue;
                    if (SelectionRecordPhotos::of(combination->written, path).heart)
                        values.hearts.insert(path);
                    else
                        values.hearts.erase(path);
                }
            return !store.keptBesideURL();
        };
        for (int step = 0; step < kSaves; ++step) {
            const std::string path = photo(name, static_cast<int>(random() % kPhotosEach));
            if (!values.hearts.erase(path)) values.hearts.insert(path);
            unconfirmed += !save();
        }
        bool confirmed = false;
        for (int attempt = 0; attempt < 20 && !confirmed; ++attempt)
            confirmed = save();
        std::ofstream result(test::childSetting(kResultSetting));
        result << (confirmed ? "confirmed" : "unconfirmed") << ' ' << unconfirmed << '\n';
        for (const auto& path : values.hearts)
            if (path.starts_with(name + "-")) result << path << '\n';
        result.close();
        ::_exit(result ? 0 : 4);
    }
};

[[maybe_unused]] const auto* const childEnvironment =
    ::testing::AddGlobalTestEnvironment(new FreeWriterChild);

struct WriterResult {
    bool endedConfirmed = false;
    int unconfirmed = 0;
    std::set<std::string> hearts;
};

WriterResult readResult(const fs::path& file) {
    WriterResult result;
    std::ifstream in(file);
    std::string word;
    in >> word >> result.unconfirmed;
    result.endedConfirmed = word == "confirmed";
    for (std::string line; in >> line;)
        result.hearts.insert(line);
    return result;
}

std::set<std::string> startingWith(const std::set<std::string>& paths, const std::string& prefix) {
    std::set<std::string> found;
    for (const auto& path : paths)
        if (path.starts_with(prefix)) found.insert(path);
    return found;
}

class SelectionStoreWritersTest : public testing::TestWithParam<bool> {};

// Every change a save confirmed is in the record at the end: each writer's photos hold the hearts
// it last saved, whoever wrote last, and nothing is left beside the record.
TEST_P(SelectionStoreWritersTest, FreeRunningWritersLoseNoConfirmedChange) {
    const bool refuseExchange = GetParam();
    test::TemporaryFolder root;
    const fs::path folder = root / "photos";
    fs::create_directories(folder);
    const std::vector<std::string> names{"a", "b", "c"};
    std::vector<std::unique_ptr<test::ChildProgram>> writers;
    for (const auto& name : names) {
        writers.push_back(std::make_unique<test::ChildProgram>(
            "free-writer",
            std::vector<std::string>{std::string(kFolderSetting) + "=" + folder.string(),
                                     std::string(kSupportSetting) + "=" + (root / ("support-" + name)).string(),
                                     std::string(kNameSetting) + "=" + name,
                                     std::string(kResultSetting) + "=" + (root / ("result-" + name)).string(),
                                     std::string(kRefuseExchangeSetting) + "=" + (refuseExchange ? "1" : "0")}));
        ASSERT_TRUE(writers.back()->awaitReport(kChildTime)) << name << " did not open the folder";
    }
    for (auto& writer : writers)
        writer->tell();
    for (std::size_t i = 0; i < writers.size(); ++i) {
        ASSERT_TRUE(writers[i]->awaitExit(kChildTime)) << names[i] << " did not end in time";
        ASSERT_TRUE(WIFEXITED(writers[i]->exitStatus()) && WEXITSTATUS(writers[i]->exitStatus()) == 0);
    }

    const auto beside = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename() != "sorvin.json") names.push_back(entry.path().filename().string());
        return fmt::format("{}", fmt::join(names, ", "));
    };
    // A save that could not be confirmed set its values beside the record, where the next opening
    // takes them in; a confirmed one leaves nothing there.
    std::vector<WriterResult> results;
    int unconfirmed = 0;
    for (const auto& name : names) {
        results.push_back(readResult(root / ("result-" + name)));
        unconfirmed += results.back().unconfirmed;
    }
    if (unconfirmed == 0) {
        EXPECT_EQ(beside(), "");
    }
    const SelectionLoadResult record = SelectionStore(folder, root / "support-check").load();
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(fmt::format("writer {}: {} of {} saves not confirmed", names[i], results[i].unconfirmed, kSaves));
        EXPECT_TRUE(results[i].endedConfirmed);
        EXPECT_EQ(startingWith(record.hearts, names[i] + "-"), results[i].hearts);
    }
    EXPECT_EQ(beside(), "");
}

INSTANTIATE_TEST_SUITE_P(ExchangingNames, SelectionStoreWritersTest, testing::Values(false));
INSTANTIATE_TEST_SUITE_P(RefusingToExchangeNames, SelectionStoreWritersTest, testing::Values(true));

} // namespace
} // namespace sorvin
