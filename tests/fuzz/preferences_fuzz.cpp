// A preferences file. Every value read is kept through a write and a second read.

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "platform/defaults_store.hpp"

SORVIN_FUZZ_TARGET(preferences) {
    using namespace sorvin;
    const fuzz::MemoryFile file(data);
    const DefaultsStore store(file.path(), DefaultsStore::Access::ReadOnly);
    const auto values = store.dictionaryRepresentation();
    if (!values.empty()) fuzz::reached();
    for (const char* key : {"a", "sorvin.presets", ""}) {
        store.boolValue(key);
        store.doubleValue(key);
        store.string(key);
        store.stringArray(key);
    }

    // Written by the store itself, into a folder of this process.
    static const fuzz::TemporaryFolder folder("preferences");
    const auto written = folder.path() / "preferences.json";
    std::filesystem::remove(written);
    {
        DefaultsStore writer(written);
        writer.setValues(values);
    }
    const DefaultsStore reread(written, DefaultsStore::Access::ReadOnly);
    fuzz::require(reread.dictionaryRepresentation() == values, "preferences change when written");
}
