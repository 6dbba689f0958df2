#include "persistence/parameter_preset_store.hpp"
#include "persistence/selection_store.hpp"
#include "platform/atomic_file.hpp"
#include "platform/defaults_store.hpp"
#include "support/test_support.hpp"

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

constexpr int kKills = 120;

// Runs save(1), save(2), ... in a child process and kills it with SIGKILL at a random moment,
// again and again. After every kill, saved() must give the number of a save whose whole text is
// on disk: never a torn file, never an older one than seen before. Every fourth child is killed only
// after it has told of a finished save, so that some saves finish however slow the machine is. In
// the end one more save in this process must leave no temporary file of the killed ones beside the
// target (only the file `kept` that the saves keep there, if any).
void killWhileSaving(const fs::path& target, const std::function<void(long)>& save,
                     const std::function<std::optional<long>()>& saved, const fs::path& kept = {}) {
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> microseconds(0, 12'000);
    long seen = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const long first = (kill + 1) * 1'000'000L;
        int finished[2];
        ASSERT_EQ(::pipe2(finished, O_CLOEXEC), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(finished[0]);
            ::fcntl(finished[1], F_SETFL, O_NONBLOCK);
            for (long n = first;; ++n) {
                save(n);
                const char told = 1;
                [[maybe_unused]] const auto written = ::write(finished[1], &told, 1);
            }
        }
        ::close(finished[1]);
        if (kill % 4 == 0) {
            pollfd told{finished[0], POLLIN, 0};
            ASSERT_EQ(::poll(&told, 1, 60'000), 1) << "the saving process finished no save in a minute";
        }
        ::usleep(static_cast<useconds_t>(microseconds(random)));
        ::kill(child, SIGKILL);
        ::close(finished[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving process ended by itself";
        if (!fs::exists(target)) {
            ASSERT_EQ(seen, 0) << "a saved file disappeared";
            continue;
        }
        const auto now = saved();
        ASSERT_TRUE(now) << "unreadable after kill " << kill;
        ASSERT_GE(*now, seen) << "an older text came back after kill " << kill;
        seen = *now;
    }
    EXPECT_GT(seen, 0) << "no save ever finished";
    save(1);
    for (const auto& entry : fs::directory_iterator(target.parent_path()))
        EXPECT_TRUE(entry.path() == target || entry.path() == kept) << "left behind: " << entry.path();
}

TEST(CrashSafety, AFolderRecordKilledWhileSavingIsTheOldOrTheNewText) {
    test::TemporaryFolder root;
    const fs::path folder = root / "photos";
    fs::create_directories(folder);
    const auto store = [&] { return SelectionStore(folder, root / "support", std::nullopt); };
    killWhileSaving(
        folder / "sorvin.json",
        [&](long n) {
            const std::string name = std::to_string(n) + ".jpg";
            SelectionSaveValues values;
            values.cursor = name;
            values.hearts.insert(name);
            store().save(values, std::chrono::system_clock::now());
        },
        [&]() -> std::optional<long> {
            const auto loaded = store().load();
            if (loaded.warning || loaded.hearts.size() != 1 || loaded.cursor != *loaded.hearts.begin())
                return std::nullopt;
            return std::stol(*loaded.cursor);
        });
}

// The same for a preferences file, written by save and read back by saved.
void killWhileSavingPreferences(const std::function<void(DefaultsStore&, long)>& save,
                                const std::function<std::optional<long>(DefaultsStore&)>& saved) {
    test::TemporaryFolder root;
    const fs::path file = root / "Sorvin" / "preferences.json";
    killWhileSaving(
        file,
        [&](long n) {
            DefaultsStore defaults(file);
            save(defaults, n);
        },
        [&] {
            DefaultsStore defaults(file, DefaultsStore::Access::ReadOnly);
            return saved(defaults);
        },
        fs::path(file).concat(".lock"));
}

TEST(CrashSafety, PresetsKilledWhileSavingAreTheOldOrTheNewText) {
    killWhileSavingPreferences(
        [](DefaultsStore& defaults, long n) {
            PhotoParameters parameters;
            parameters.setValue(n % 50, PhotoParameter::exposure);
            ParameterPresetStore(defaults).save(
                {{std::to_string(n), parameters, true}, {"second", PhotoParameters{}, true}});
        },
        [](DefaultsStore& defaults) -> std::optional<long> {
            const auto presets = ParameterPresetStore(defaults).load().presets;
            if (presets.size() != 2 || presets[1].name != "second") return std::nullopt;
            const long n = std::stol(presets[0].name);
            if (presets[0].parameters[PhotoParameter::exposure] != n % 50) return std::nullopt;
            return n;
        });
}

TEST(CrashSafety, PreferencesKilledWhileSavingAreTheOldOrTheNewText) {
    killWhileSavingPreferences(
        [](DefaultsStore& defaults, long n) {
            defaults.setValues({{"sorvin.count", n}, {"sorvin.text", std::string(static_cast<std::size_t>(n % 4096), 'x')}});
        },
        [](DefaultsStore& defaults) -> std::optional<long> {
            const auto count = defaults.object("sorvin.count");
            const auto text = defaults.string("sorvin.text");
            if (!count || !count->integer() || !text ||
                text->size() != static_cast<std::size_t>(*count->integer() % 4096))
                return std::nullopt;
            return *count->integer();
        });
}

} // namespace
} // namespace sorvin
