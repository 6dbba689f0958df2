#include "platform/defaults_store.hpp"

#include "platform/atomic_file.hpp"
#include "platform/file_manager.hpp"
#include "platform/file_lock.hpp"
#include "platform/xdg_folders.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <new>
#include <nlohmann/json.hpp>
#include <system_error>
#include <thread>
#include <variant>

namespace sorvin {

namespace {

// Preferences are small; anything larger is not ours.
constexpr std::size_t maxFileBytes = 16u << 20;
// Deeper values are dropped rather than walked.
constexpr int maxDepth = 64;
// How often a file the system could not read is looked at, and the pauses between (a share that
// stalls for a moment, a file being renamed over through a FUSE mount).
constexpr int readAttempts = 4;
constexpr std::chrono::milliseconds readPause{20};

std::mutex fileStepHookMutex;
std::function<std::error_code(const std::filesystem::path&, DefaultsStore::FileStep)> fileStepHook;

void failForTesting(const std::filesystem::path& file, DefaultsStore::FileStep step) {
    std::error_code error;
    {
        std::lock_guard lock(fileStepHookMutex);
        if (fileStepHook) error = fileStepHook(file, step);
    }
    if (error) throw std::system_error(error, "read preferences");
}

std::optional<DefaultsValue> fromJson(const nlohmann::json& json, int depth) {
    using Type = nlohmann::json::value_t;
    switch (json.type()) {
    case Type::boolean:
        return DefaultsValue(json.get<bool>());
    case Type::number_integer:
        return DefaultsValue(json.get<std::int64_t>());
    case Type::number_unsigned:
        return DefaultsValue(json.get<std::uint64_t>());
    case Type::number_float:
        return DefaultsValue(json.get<double>());
    case Type::string:
        return DefaultsValue(json.get<std::string>());
    case Type::array: {
        if (depth >= maxDepth) return std::nullopt;
        DefaultsValue::List items;
        for (const auto& element : json)
            if (auto item = fromJson(element, depth + 1)) items.push_back(std::move(*item));
        return DefaultsValue(std::move(items));
    }
    case Type::object: {
        if (depth >= maxDepth) return std::nullopt;
        DefaultsValue::Dictionary entries;
        for (const auto& [key, element] : json.items())
            if (auto item = fromJson(element, depth + 1)) entries.emplace(key, std::move(*item));
        return DefaultsValue(std::move(entries));
    }
    default:
        return std::nullopt;
    }
}

nlohmann::json toJson(const DefaultsValue& value) {
    if (const auto* b = value.boolean()) return *b;
    if (const auto* i = value.integer()) return *i;
    if (const auto* d = value.floating()) return *d;
    if (const auto* t = value.text()) return *t;
    if (const auto* items = value.list()) {
        auto array = nlohmann::json::array();
        for (const auto& item : *items)
            array.push_back(toJson(item));
        return array;
    }
    auto object = nlohmann::json::object();
    for (const auto& [key, item] : *value.dictionary())
        object[key] = toJson(item);
    return object;
}

std::optional<double> parseDecimal(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double result = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

DefaultsStore::DefaultsStore(std::filesystem::path file, Access access)
    : file_(std::move(file)), access_(access) {
    load();
}

std::filesystem::path DefaultsStore::domainFile(std::string_view domain) {
    return XdgFolders::configHome() / std::filesystem::path(std::string(domain)) / "preferences.json";
}

void DefaultsStore::setFileStepHookForTesting(
    std::function<std::error_code(const std::filesystem::path&, FileStep)> hook) {
    std::lock_guard lock(fileStepHookMutex);
    fileStepHook = std::move(hook);
}

DefaultsStore::FileRead DefaultsStore::readFileOnceLocked(FileVersion& read) {
    std::string bytes;
    try {
        failForTesting(file_, FileStep::open);
        bytes = AtomicFile::read(file_, maxFileBytes, &read);
        failForTesting(file_, FileStep::read);
    } catch (const std::system_error& error) {
        const std::error_code code = error.code();
        try {
            // Nothing is there only when the folder's listing agrees: a name being renamed over
            // through a share reads ENOENT for a moment.
            if (code == std::errc::no_such_file_or_directory && !FileManager::standard().listed(file_)) {
                onDisk_.clear();
                seen_.reset();
                return FileRead::absent;
            }
            // What is no file, or far larger than preferences grow, is not ours. The same errors
            // may come from the system itself (a share answering EINVAL or EFBIG for a moment):
            // the file is set aside only when its status says so too.
            if (code == std::errc::invalid_argument || code == std::errc::file_too_large) {
                const auto there = FileVersion::at(file_);
                if (there && (!there->regular || there->size > maxFileBytes)) {
                    read = *there;
                    return FileRead::damaged;
                }
            }
            readError_ = code;
        } catch (const std::system_error& listing) {
            readError_ = listing.code();
        }
        return FileRead::unavailable;
    }
    const auto json = nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) return FileRead::damaged;
    auto values = fromJson(json, 0);
    onDisk_ = values ? std::move(*values->dictionary()) : Dictionary{};
    seen_ = read;
    return FileRead::read;
}

DefaultsStore::FileRead DefaultsStore::readFileLocked(Damage damage) {
    for (int attempt = 1;; ++attempt) {
        FileVersion read;
        FileRead result = readFileOnceLocked(read);
        if (result == FileRead::damaged && damage == Damage::setAside) {
            if (setAside(read)) {
                onDisk_.clear();
                seen_.reset();
            } else {
                // Another file has taken the name since: that one is read. One that keeps
                // changing is left alone.
                readError_ = std::make_error_code(std::errc::device_or_resource_busy);
                result = FileRead::unavailable;
            }
        }
        if (result != FileRead::unavailable) {
            readError_.reset();
            return result;
        }
        if (attempt >= readAttempts) return result;
        std::this_thread::sleep_for(readPause * attempt);
    }
}

void DefaultsStore::load() {
    const bool writes = access_ == Access::ReadWrite;
    // Until the file can be read, no write goes over it: said as a failed write.
    if (readFileLocked(writes ? Damage::setAside : Damage::keep) == FileRead::unavailable && writes)
        writeError_ = readError_;
    stored_ = onDisk_;
}

void DefaultsStore::refresh() {
    std::lock_guard lock(mutex_);
    if (file_.empty()) return;
    try {
        if (FileVersion::at(file_) == seen_) return;
    } catch (const std::system_error&) {
        return;
    }
    const FileRead read = readFileLocked(Damage::keep);
    if (read == FileRead::damaged || read == FileRead::unavailable) return;
    // A store opened while the file could not be read holds what the file holds from now on.
    if (unwritten_.empty()) writeError_.reset();
    rebuildLocked();
}

void DefaultsStore::rebuildLocked() {
    stored_ = onDisk_;
    for (const Edit& change : unwritten_)
        change(stored_);
}

bool DefaultsStore::setAside(const FileVersion& read) {
    std::error_code error;
    try {
        if (FileVersion::at(file_) != read) return false;
    } catch (const std::system_error&) {
        return false;
    }
    for (int attempt = 1; attempt < 1000; ++attempt) {
        auto aside = file_;
        aside += attempt == 1 ? ".damaged" : ".damaged-" + std::to_string(attempt);
        if (std::filesystem::exists(std::filesystem::symlink_status(aside, error))) continue;
        std::filesystem::rename(file_, aside, error);
        if (!error) setAside_ = aside;
        break;
    }
    return true;
}

// Held by the copy of the program that writes the file, from its reading of the file to the
// rename of the new one; waited for this long at most.
std::unique_ptr<FileLock> DefaultsStore::lockFileLocked() const {
    auto lockFile = file_;
    lockFile += ".lock";
    const auto deadline = std::chrono::steady_clock::now() + lockPatience;
    for (;;) {
        try {
            auto taken = FileLock::tryAcquire(lockFile, AtomicFile::writerTag());
            if (auto* lock = std::get_if<std::unique_ptr<FileLock>>(&taken)) return std::move(*lock);
        } catch (const std::system_error&) {
            // A folder without locks (some network file systems): the file is still read again
            // right before it is replaced.
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw std::system_error(std::make_error_code(std::errc::device_or_resource_busy), "lock preferences");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void DefaultsStore::persistLocked() {
    if (access_ == Access::ReadOnly || file_.empty()) {
        unwritten_.clear();
        return;
    }
    // The changes stay in memory; the next setting tries again.
    try {
        std::filesystem::create_directories(file_.parent_path());
        const auto lock = lockFileLocked();
        // Another copy may have written since this one last read: its values are the base. A file
        // that cannot be read now is never written over.
        if (readFileLocked(Damage::setAside) == FileRead::unavailable)
            throw std::system_error(*readError_, "read preferences");
        Dictionary merged = onDisk_;
        for (const Edit& change : unwritten_)
            change(merged);
        auto object = nlohmann::json::object();
        for (const auto& [key, value] : merged)
            object[key] = toJson(value);
        // A text that is not valid UTF-8 (a path of a foreign file system) is written with
        // replacement characters rather than not at all.
        std::string bytes = object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
        bytes += '\n';
        seen_ = AtomicFile::write(file_, bytes);
        onDisk_ = merged;
        stored_ = std::move(merged);
        unwritten_.clear();
        writeError_.reset();
        return;
    } catch (const std::system_error& error) {
        writeError_ = error.code();
    } catch (const std::bad_alloc&) {
        writeError_ = std::make_error_code(std::errc::not_enough_memory);
    } catch (const std::exception&) {
        writeError_ = std::make_error_code(std::errc::io_error);
    }
    // What the file holds now, with this copy's changes over it.
    rebuildLocked();
}

void DefaultsStore::persist(std::unique_lock<std::mutex>& lock) {
    persistLocked();
    const std::optional<std::error_code> error = writeError_;
    // The observers may read the store.
    lock.unlock();
    if (error) writeFailed.emit(*error);
}

std::optional<std::error_code> DefaultsStore::writeError() const {
    std::lock_guard lock(mutex_);
    return writeError_;
}

std::optional<std::error_code> DefaultsStore::readError() const {
    std::lock_guard lock(mutex_);
    return readError_;
}

void DefaultsStore::registerDefaults(const Dictionary& values) {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : values)
        registered_.insert_or_assign(key, value);
}

const DefaultsValue* DefaultsStore::findLocked(std::string_view key) const {
    if (auto it = stored_.find(key); it != stored_.end()) return &it->second;
    if (auto it = registered_.find(key); it != registered_.end()) return &it->second;
    return nullptr;
}

std::optional<DefaultsValue> DefaultsStore::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    if (const auto* value = findLocked(key)) return *value;
    return std::nullopt;
}

DefaultsStore::Dictionary DefaultsStore::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    Dictionary all = stored_;
    all.insert(registered_.begin(), registered_.end());
    return all;
}

void DefaultsStore::changeLocked(Edit change) {
    change(stored_);
    unwritten_.push_back(std::move(change));
}

// Setting a value the store already holds writes nothing (a step through the photos sets the
// panel's page every time), unless an earlier write failed.
void DefaultsStore::set(std::string_view key, DefaultsValue value) {
    setValues({{std::string(key), std::move(value)}});
}

void DefaultsStore::setValues(const Dictionary& values) {
    std::unique_lock lock(mutex_);
    Dictionary changed;
    for (const auto& [key, value] : values)
        if (const auto it = stored_.find(key); it == stored_.end() || !(it->second == value))
            changed.insert_or_assign(key, value);
    if (!changed.empty())
        changeLocked([changed = std::move(changed)](Dictionary& stored) {
            for (const auto& [key, value] : changed)
                stored.insert_or_assign(key, value);
        });
    if (!unwritten_.empty() || writeError_) persist(lock);
}

void DefaultsStore::remove(std::string_view key) {
    std::unique_lock lock(mutex_);
    if (!stored_.contains(key)) return;
    changeLocked([key = std::string(key)](Dictionary& stored) { stored.erase(key); });
    persist(lock);
}

void DefaultsStore::edit(Edit change) {
    std::unique_lock lock(mutex_);
    changeLocked(std::move(change));
    persist(lock);
}

bool DefaultsStore::boolValue(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const auto* value = findLocked(key);
    if (!value) return false;
    if (const auto* b = value->boolean()) return *b;
    if (auto n = value->number()) return *n != 0;
    if (const auto* t = value->text()) {
        if (equalsIgnoringCase(*t, "true") || equalsIgnoringCase(*t, "yes")) return true;
        auto n = parseDecimal(*t);
        return n && *n != 0;
    }
    return false;
}

double DefaultsStore::doubleValue(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const auto* value = findLocked(key);
    if (!value) return 0;
    if (const auto* b = value->boolean()) return *b ? 1 : 0;
    if (auto n = value->number()) return *n;
    if (const auto* t = value->text()) return parseDecimal(*t).value_or(0);
    return 0;
}

std::optional<std::string> DefaultsStore::string(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const auto* value = findLocked(key);
    if (!value || !value->text()) return std::nullopt;
    return *value->text();
}

std::optional<std::vector<std::string>> DefaultsStore::stringArray(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const auto* value = findLocked(key);
    if (!value) return std::nullopt;
    return value->textList();
}

} // namespace sorvin
