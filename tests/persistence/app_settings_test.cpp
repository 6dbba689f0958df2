#include "persistence/app_settings.hpp"
#include "persistence/legacy_data_migrator.hpp"
#include "persistence/preference_key.hpp"
#include "platform/app_identity.hpp"
#include "platform/atomic_file.hpp"
#include "support/failing_preferences.hpp"
#include "support/test_support.hpp"

#include <cctype>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace sorvin {
namespace {

constexpr std::uint64_t GiB = std::uint64_t{1} << 30;

struct StoredCase {
    const char* what;
    std::optional<DefaultsValue> stored;
    int expected;
};

void expectReads(std::string_view key, const std::vector<StoredCase>& cases,
                 int (AppSettings::*reader)() const) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DefaultsStore store;
        AppSettings settings(store, 32 * GiB);
        if (c.stored) store.set(key, *c.stored);
        EXPECT_EQ((settings.*reader)(), c.expected);
    }
}

TEST(AppSettings, AFreshStoreReadsTheRegisteredDefaults) {
    DefaultsStore store;
    AppSettings settings(store, 32 * GiB);
    EXPECT_TRUE(store.boolValue(PreferenceKey::includeSubfolders));
    EXPECT_TRUE(store.boolValue(PreferenceKey::showGrid));
    EXPECT_TRUE(store.boolValue(PreferenceKey::exportJpeg));
    EXPECT_TRUE(store.boolValue(PreferenceKey::sortAscending));
    EXPECT_FALSE(store.boolValue(PreferenceKey::exportHeif));
    EXPECT_FALSE(store.boolValue(PreferenceKey::clippingWarning));
    EXPECT_EQ(store.doubleValue(PreferenceKey::rightPanelWidth), 280.0);
    EXPECT_EQ(store.doubleValue(PreferenceKey::bottomPanelHeight), 310.0);
    EXPECT_EQ(store.string(PreferenceKey::exportConflictMode), "rename");
    EXPECT_EQ(settings.sortKey(), PhotoSortKey::date);
    EXPECT_EQ(settings.exportLongEdgeValue(), 2048);
    EXPECT_EQ(settings.holdAdvanceRate(), 10);
    EXPECT_EQ(settings.scrollPointsPerStep(), 60);
    EXPECT_EQ(settings.exifCopySelection(), defaultExifCopySelection());
    EXPECT_EQ(defaultExifCopySelection().size(), 8u);
    // 22 registered keys and the low-memory flag; nothing else is stored.
    EXPECT_EQ(store.dictionaryRepresentation().size(), 23u);
}

TEST(AppSettings, LowMemoryModeIsDecidedOnceFromTheMachinesMemory) {
    const std::pair<std::uint64_t, bool> machines[] = {
        {8 * GiB, true}, {16 * GiB - 1, true}, {16 * GiB, false}, {32 * GiB, false}};
    for (const auto& [memory, expected] : machines) {
        DefaultsStore store;
        AppSettings settings(store, memory);
        EXPECT_EQ(*store.object(PreferenceKey::lowMemoryMode)->boolean(), expected) << memory;
    }

    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    {
        DefaultsStore store(file);
        AppSettings settings(store, 8 * GiB);
        store.set(PreferenceKey::lowMemoryMode, false); // the user turns it off
    }
    DefaultsStore restarted(file);
    AppSettings settings(restarted, 8 * GiB);
    EXPECT_FALSE(restarted.boolValue(PreferenceKey::lowMemoryMode));
}

TEST(AppSettings, ADamagedPreferencesFileIsSetAsideAndDefaultsAreUsed) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    AtomicFile::write(file, "{\"sorvin.sortKey\": \"name\", \"sorvin.holdAdvanceRate\": 5");
    DefaultsStore store(file);
    AppSettings settings(store, 8 * GiB);
    EXPECT_EQ(settings.sortKey(), PhotoSortKey::date);
    EXPECT_EQ(settings.holdAdvanceRate(), 10);
    EXPECT_TRUE(store.setAsideFile());
    // The fresh file holds only what this start stored.
    store.waitUntilWritten();
    EXPECT_EQ(DefaultsStore(file).dictionaryRepresentation().size(), 1u);
}

// A start that cannot read the preferences file runs on the defaults, and what every start
// decides (the low-memory default, taking over the predecessor's values) never goes over what the
// file holds once it can be read: only the user's changes do.
TEST(AppSettings, AStartThatCannotReadTheFileDecidesNothingOverIt) {
    test::TemporaryFolder folder;
    const auto file = folder / "Sorvin" / "preferences.json";
    const auto legacyFile = folder / "Tolvanite" / "preferences.json";
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::create_directories(legacyFile.parent_path());
    AtomicFile::write(file, test::previousVersionPreferences());
    AtomicFile::write(legacyFile, R"({"tolvanite.sortKey": "date", "tolvanite.exportLongEdgeValue": 1024})");
    for (const auto& [failing, legacyFails] : {std::pair{file, false}, std::pair{legacyFile, true}}) {
        SCOPED_TRACE(failing);
        {
            test::FailingPreferences unreadable(failing, DefaultsStore::FileStep::open, ESTALE);
            DefaultsStore store(file);
            const DefaultsStore legacy(legacyFile, DefaultsStore::Access::ReadOnly);
            LegacyDataMigrator::migrateUserDefaultsIfNeeded(store, &legacy);
            AppSettings settings(store, 8 * GiB);
            if (!legacyFails) {
                EXPECT_EQ(settings.sortKey(), PhotoSortKey::date) << "the defaults";
                EXPECT_TRUE(store.boolValue(PreferenceKey::lowMemoryMode)) << "decided for this run";
            }
            unreadable.stop();
            store.set(PreferenceKey::holdAdvanceRate, 20);
        }
        auto expected = nlohmann::json::parse(test::previousVersionPreferences());
        expected[std::string(PreferenceKey::holdAdvanceRate)] = 20;
        EXPECT_EQ(nlohmann::json::parse(AtomicFile::read(file)), expected);
    }
    // A file that could not be read, and the predecessor's file is read at a later start.
    AtomicFile::write(file, "{}");
    {
        const test::FailingPreferences unreadable(legacyFile, DefaultsStore::FileStep::read, EIO);
        DefaultsStore store(file);
        const DefaultsStore legacy(legacyFile, DefaultsStore::Access::ReadOnly);
        LegacyDataMigrator::migrateUserDefaultsIfNeeded(store, &legacy);
    }
    DefaultsStore store(file);
    EXPECT_FALSE(store.object(LegacyDataMigrator::migratedFlagKey));
    const DefaultsStore legacy(legacyFile, DefaultsStore::Access::ReadOnly);
    LegacyDataMigrator::migrateUserDefaultsIfNeeded(store, &legacy);
    EXPECT_EQ(AppSettings(store, 8 * GiB).exportLongEdgeValue(), 1024);
}

TEST(AppSettings, ExportLongEdgeValueAcceptsOnlyStoredIntegers) {
    expectReads(PreferenceKey::exportLongEdgeValue,
                {
                    {"absent", std::nullopt, 2048},
                    {"100", 100, 256},
                    {"20000", 20000, 16384},
                    {"3000", 3000, 3000},
                    {"3000.0 floating point", 3000.0, 2048},
                    {"text 3000", "3000", 2048},
                    {"true", true, 2048},
                    {"list", DefaultsValue::List{3000}, 2048},
                },
                &AppSettings::exportLongEdgeValue);
}

TEST(AppSettings, ClampedIntegersRoundHalvesAwayFromZeroAndClamp) {
    expectReads(PreferenceKey::holdAdvanceRate,
                {
                    {"2.5", 2.5, 3},
                    {"1", 1, 2},
                    {"99", 99, 30},
                    {"text 5", "5", 10},
                    {"Boolean", true, 10},
                    {"-1e300", -1e300, 2},
                    {"12.49", 12.49, 12},
                },
                &AppSettings::holdAdvanceRate);
    expectReads(PreferenceKey::scrollPointsPerStep,
                {
                    {"149.5", 149.5, 150},
                    {"19.5", 19.5, 20},
                    {"100", 100, 100},
                },
                &AppSettings::scrollPointsPerStep);
}

TEST(AppSettings, ParameterPageReadsOnlyStoredIntegers) {
    const std::pair<DefaultsValue, ParameterPage> cases[] = {
        {9, ParameterPage::fromStoredValue(9)},
        {21, ParameterPage::curve(PointCurveChannel::red)},
        {15, ParameterPage::letter(ParameterLetterPage::basic)},
        {3.0, ParameterPage::letter(ParameterLetterPage::basic)},
        {true, ParameterPage::letter(ParameterLetterPage::basic)},
        {"21", ParameterPage::letter(ParameterLetterPage::basic)},
    };
    for (const auto& [stored, expected] : cases) {
        DefaultsStore store;
        AppSettings settings(store, 32 * GiB);
        EXPECT_EQ(settings.parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));
        store.set(PreferenceKey::parameterTab, stored);
        EXPECT_EQ(settings.parameterPage(), expected);
    }
}

TEST(AppSettings, ThePresetStoreWorksOnTheSameDefaults) {
    DefaultsStore store;
    AppSettings settings(store, 32 * GiB);
    settings.presetStore().save({{"one", PhotoParameters::zero(), true}});
    EXPECT_EQ(store.string(PreferenceKey::presets),
              ParameterPresetStore::jsonString({{"one", PhotoParameters::zero(), true}}));
}

TEST(AppSettings, IntegralNumberRefusesEverythingButStoredIntegers) {
    DefaultsStore store;
    AppSettings settings(store, 32 * GiB);
    store.setValues({{"int", 21}, {"float", 3.0}, {"bool", false}, {"text", "21"}});
    EXPECT_EQ(settings.integralNumber("int"), 21);
    EXPECT_EQ(settings.integralNumber("float"), std::nullopt);
    EXPECT_EQ(settings.integralNumber("bool"), std::nullopt);
    EXPECT_EQ(settings.integralNumber("text"), std::nullopt);
    EXPECT_EQ(settings.integralNumber("absent"), std::nullopt);
}

TEST(AppSettings, TextPreferencesReadTheSecondCaseOnlyForItsExactText) {
    struct Reader {
        std::string_view key;
        const char* second;
        std::function<bool(const AppSettings&)> readsSecond;
    };
    const Reader readers[] = {
        {PreferenceKey::sortKey, "name", [](auto& s) { return s.sortKey() == PhotoSortKey::name; }},
        {PreferenceKey::singleExportFormat, "heic",
         [](auto& s) { return s.singleExportFormat() == SingleExportFormat::heic; }},
        {PreferenceKey::exportFormatMode, "specify",
         [](auto& s) { return s.exportFormatMode() == ExportFormatMode::specify; }},
        {PreferenceKey::exportLongEdgeMode, "specify",
         [](auto& s) { return s.exportLongEdgeMode() == ExportLongEdgeMode::specify; }},
        {PreferenceKey::exportConflictMode, "overwrite",
         [](auto& s) { return s.exportConflictMode() == ExportConflictMode::overwrite; }},
    };
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.key);
        std::string capitalised = reader.second;
        capitalised[0] = static_cast<char>(std::toupper(capitalised[0]));
        DefaultsStore store;
        AppSettings settings(store, 32 * GiB);
        EXPECT_FALSE(reader.readsSecond(settings));
        store.set(reader.key, reader.second);
        EXPECT_TRUE(reader.readsSecond(settings));
        store.set(reader.key, capitalised);
        EXPECT_FALSE(reader.readsSecond(settings));
        store.set(reader.key, std::string(reader.second) + " ");
        EXPECT_FALSE(reader.readsSecond(settings));
        store.set(reader.key, 1);
        EXPECT_FALSE(reader.readsSecond(settings));
    }
}

TEST(AppSettings, ExifCopySelectionReadsKnownNamesAndWritesDeclarationOrder) {
    DefaultsStore store;
    AppSettings settings(store, 32 * GiB);
    store.set(PreferenceKey::exifCopySelection, DefaultsValue::List{"iso", "nonsense", "camera"});
    EXPECT_EQ(settings.exifCopySelection(), (ExifCopyFieldSet{ExifCopyField::iso, ExifCopyField::camera}));
    settings.setExifCopySelection(settings.exifCopySelection());
    EXPECT_EQ(store.stringArray(PreferenceKey::exifCopySelection),
              (std::vector<std::string>{"camera", "iso"}));

    settings.setExifCopySelection({ExifCopyField::rotation, ExifCopyField::lens, ExifCopyField::focal35});
    EXPECT_EQ(store.stringArray(PreferenceKey::exifCopySelection),
              (std::vector<std::string>{"lens", "focal35", "rotation"}));

    // An empty array, or a value of another kind, is an empty selection, not the default one.
    store.set(PreferenceKey::exifCopySelection, DefaultsValue::List{});
    EXPECT_TRUE(settings.exifCopySelection().empty());
    store.set(PreferenceKey::exifCopySelection, DefaultsValue::List{"iso", 1});
    EXPECT_TRUE(settings.exifCopySelection().empty());
    store.set(PreferenceKey::exifCopySelection, "iso");
    EXPECT_TRUE(settings.exifCopySelection().empty());
}

TEST(ExifCopyField, RawValuesAreTheCaseNamesAndMatchExactly) {
    EXPECT_EQ(kAllExifCopyFields.size(), 18u);
    for (const auto field : kAllExifCopyFields)
        EXPECT_EQ(exifCopyFieldFromRawValue(rawValue(field)), field);
    EXPECT_EQ(exifCopyFieldFromRawValue("lensSpec"), ExifCopyField::lensSpecification);
    EXPECT_EQ(exifCopyFieldFromRawValue("lensspec"), std::nullopt);
    EXPECT_EQ(exifCopyFieldFromRawValue("ISO"), std::nullopt);
    EXPECT_EQ(panelLabel(ExifCopyField::bodySerial), "ボディS/N");
    EXPECT_EQ(defaultExifCopySelection(),
              (ExifCopyFieldSet{ExifCopyField::camera, ExifCopyField::lens, ExifCopyField::lensSpecification,
                                ExifCopyField::focalLength, ExifCopyField::aperture, ExifCopyField::shutter,
                                ExifCopyField::iso, ExifCopyField::exposureComp}));
}

TEST(AppIdentity, QueueLabelsAndVersion) {
    EXPECT_EQ(AppIdentity::QueueName::imageLoader(), "app.sorvin.Sorvin.image-loader");
    EXPECT_EQ(AppIdentity::QueueName::fullResolutionLoader(), "app.sorvin.Sorvin.full-resolution-loader");
    EXPECT_EQ(AppIdentity::QueueName::parameters(), "app.sorvin.Sorvin.parameters");
    EXPECT_EQ(AppIdentity::versionFrom(nullptr), "0.0.0-dev");
    EXPECT_EQ(AppIdentity::versionFrom(""), "");
    EXPECT_FALSE(AppIdentity::version().empty());
}

} // namespace
} // namespace sorvin
