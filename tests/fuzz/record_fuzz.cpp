// The folder's record file, read as the store reads it. Whatever it reads must survive being
// saved: saving what was read and reading that again gives the same text on the next save (but for
// the note of when each photo changed, which every save by another copy writes anew).

#include "../support/selection_values.hpp"
#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "persistence/selection_store.hpp"

#include <map>
#include <stdexcept>

namespace {

using namespace sorvin;
namespace fs = std::filesystem;

// Files in memory, so the fuzzer never touches the disk. Every one is a regular file.
class MemoryFileManager final : public FileManager {
public:
    std::map<fs::path, std::string> files;
    mutable bool read = false;

    bool fileExists(const fs::path& path) const override { return files.contains(path); }
    bool isRegularFile(const fs::path& path) const override { return files.contains(path); }
    bool entryExists(const fs::path& path) const override { return files.contains(path); }
    std::optional<fs::file_time_type> modificationTime(const fs::path&) const override { return {}; }
    // Every file in memory is the same version of it, which never changes but by this store.
    std::optional<FileVersion> version(const fs::path& path) const override {
        return files.contains(path) ? std::optional(FileVersion{}) : std::nullopt;
    }
    std::string contents(const fs::path& path, std::size_t maxBytes, FileVersion* version) const override {
        if (version) *version = FileVersion{};
        const auto file = files.find(path);
        if (file == files.end())
            throw std::system_error(std::make_error_code(std::errc::no_such_file_or_directory));
        if (file->second.size() > maxBytes)
            throw std::system_error(std::make_error_code(std::errc::file_too_large));
        read = true;
        return file->second;
    }
    bool listed(const fs::path& path) const override { return files.contains(path); }
    AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                    const AtomicFile::Expected&) override {
        files[path] = bytes;
        return {FileVersion{}, std::nullopt};
    }
    void removeItem(const fs::path& path) override { files.erase(path); }
    void moveItem(const fs::path& from, const fs::path& to) override {
        files[to] = files.at(from);
        files.erase(from);
    }
    void createDirectories(const fs::path&) override {}
};

SelectionLoadResult loaded(MemoryFileManager& files) {
    return SelectionStore("/photos", "/support", "/legacy", files).load();
}

std::string saved(const SelectionLoadResult& record) {
    MemoryFileManager files;
    SelectionStore store("/photos", "/support", "/legacy", files);
    store.save(test::saveValuesOf(record), std::chrono::system_clock::time_point{});
    auto document = nlohmann::ordered_json::parse(files.files.at(store.primaryURL()));
    document.erase("stamps");
    return document.dump(2);
}

} // namespace

SORVIN_FUZZ_TARGET(record) {
    MemoryFileManager files;
    files.files["/photos/sorvin.json"] = std::string(fuzz::text(data));
    const SelectionLoadResult first = loaded(files);
    if (!files.read || first.warning) return;
    fuzz::reached();

    const std::string text = saved(first);
    MemoryFileManager again;
    again.files["/photos/sorvin.json"] = text;
    const SelectionLoadResult second = loaded(again);
    fuzz::require(!second.warning, "a saved record does not read back");
    fuzz::require(saved(second) == text, "a record changes between two saves");
}
