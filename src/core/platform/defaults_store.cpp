#include "platform/defaults_store.hpp"

#include "platform/atomic_file.hpp"
#include "platform/file_lock.hpp"
#include "platform/file_manager.hpp"
#include "platform/main_queue.hpp"
#include "platform/opened_folder.hpp"
#include "platform/thread_priority.hpp"
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

// The file's folder, opened once for a look at the file or a write of it: each call then asks the
// folder's disk about the file's own names only, not again about every folder on the way to them (a
// home on a far share answers each such question late). None where it cannot be opened.
std::optional<OpenedFolder> openFolderOf(const std::filesystem::path& file) {
    std::error_code ignored;
    return OpenedFolder::open(file.parent_path(), OpenedFolder::askAtOnce, ignored);
}

// The file through its folder opened, or its path where the folder could not be.
std::filesystem::path through(const std::optional<OpenedFolder>& folder, const std::filesystem::path& file) {
    return folder ? folder->handlePath() / file.filename() : file;
}

} // namespace

DefaultsStore::DefaultsStore(std::filesystem::path file, Access access)
    : file_(std::move(file)), access_(access) {
    load();
}

DefaultsStore::~DefaultsStore() {
    std::unique_lock lock(mutex_);
    // What is still posted to the report queue finds the store gone.
    alive_.reset();
    reportQueue_ = nullptr;
    ending_ = true;
    wake_.notify_all();
    if (thread_.joinable()) {
        lock.unlock();
        thread_.join();
    } else {
        // No thread could be started: what was asked is done here.
        while (done_ < asked_)
            turnLocked(lock);
    }
}

std::filesystem::path DefaultsStore::domainFile(std::string_view domain) {
    return XdgFolders::configHome() / std::filesystem::path(std::string(domain)) / "preferences.json";
}

void DefaultsStore::setFileStepHookForTesting(
    std::function<std::error_code(const std::filesystem::path&, FileStep)> hook) {
    std::lock_guard lock(fileStepHookMutex);
    fileStepHook = std::move(hook);
}

DefaultsStore::Look DefaultsStore::readFileOnce(const std::filesystem::path& at, FileVersion& read) const {
    Look look;
    std::string bytes;
    try {
        failForTesting(file_, FileStep::open);
        bytes = AtomicFile::read(at, maxFileBytes, &read);
        failForTesting(file_, FileStep::read);
    } catch (const std::system_error& error) {
        const std::error_code code = error.code();
        try {
            // Nothing is there only when the folder's listing agrees: a name being renamed over
            // through a share reads ENOENT for a moment.
            if (code == std::errc::no_such_file_or_directory && !FileManager::standard().listed(at)) {
                look.result = FileRead::absent;
                return look;
            }
            // What is no file, or far larger than preferences grow, is not ours. The same errors
            // may come from the system itself (a share answering EINVAL or EFBIG for a moment):
            // the file is set aside only when its status says so too.
            if (code == std::errc::invalid_argument || code == std::errc::file_too_large) {
                const auto there = FileVersion::at(at);
                if (there && (!there->regular || there->size > maxFileBytes)) {
                    read = *there;
                    look.result = FileRead::damaged;
                    return look;
                }
            }
            look.error = code;
        } catch (const std::system_error& listing) {
            look.error = listing.code();
        }
        return look;
    }
    const auto json = nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (!json.is_object()) {
        look.result = FileRead::damaged;
        return look;
    }
    if (auto values = fromJson(json, 0)) look.values = std::move(*values->dictionary());
    look.result = FileRead::read;
    look.version = read;
    return look;
}

DefaultsStore::Look DefaultsStore::readFile(const std::filesystem::path& at, Damage damage) const {
    for (int attempt = 1;; ++attempt) {
        FileVersion read;
        Look look = readFileOnce(at, read);
        if (look.result == FileRead::damaged && damage == Damage::setAside) {
            if (setAside(read, look.setAside)) {
                look.result = FileRead::absent;
            } else {
                // Another file has taken the name since: that one is read. One that keeps
                // changing is left alone.
                look.result = FileRead::unavailable;
                look.error = std::make_error_code(std::errc::device_or_resource_busy);
            }
        }
        if (look.result != FileRead::unavailable || attempt >= readAttempts) return look;
        std::this_thread::sleep_for(readPause * attempt);
    }
}

void DefaultsStore::takeInLocked(const Look& look) {
    switch (look.result) {
    case FileRead::read:
        onDisk_ = look.values;
        seen_ = look.version;
        break;
    case FileRead::absent:
        if (look.setAside) setAside_ = look.setAside;
        onDisk_.clear();
        seen_.reset();
        break;
    case FileRead::damaged: // kept, and read as nothing new
        break;
    case FileRead::unavailable:
        readError_ = look.error;
        return;
    }
    readError_.reset();
}

void DefaultsStore::load() {
    const bool writes = access_ == Access::ReadWrite;
    const auto folder = openFolderOf(file_);
    const Look look = readFile(through(folder, file_), writes ? Damage::setAside : Damage::keep);
    takeInLocked(look);
    // Until the file can be read, no write goes over it: said as a failed write.
    if (look.result == FileRead::unavailable && writes) writeError_ = readError_;
    stored_ = onDisk_;
}

void DefaultsStore::refresh() {
    std::lock_guard lock(mutex_);
    if (file_.empty()) return;
    askLocked(false);
}

DefaultsStore::Outcome DefaultsStore::refreshFile(const std::optional<FileVersion>& seen) const {
    const auto folder = openFolderOf(file_);
    const std::filesystem::path at = through(folder, file_);
    try {
        failForTesting(file_, FileStep::open);
        if (FileVersion::at(at) == seen) return {};
    } catch (const std::system_error&) {
        return {};
    }
    return {readFile(at, Damage::keep), std::nullopt, std::nullopt, std::nullopt};
}

void DefaultsStore::rebuildLocked() {
    stored_ = onDisk_;
    for (const Edit& change : unwritten_)
        change(stored_);
}

bool DefaultsStore::setAside(const FileVersion& read, std::optional<std::filesystem::path>& movedTo) const {
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
        if (!error) movedTo = aside;
        break;
    }
    return true;
}

// Held by the copy of the program that writes the file, from its reading of the file to the
// rename of the new one. The lock names no holder: nobody shows it, and its file stays for the next
// write.
std::unique_ptr<FileLock> DefaultsStore::lockFile(std::optional<OpenedFolder>& folder) const {
    const auto started = std::chrono::steady_clock::now();
    // Another writer is waited for lockPatience, and on a disk slow on every call as long as a write
    // takes there, timed by the slowest try for the lock (a write makes some eight times its calls).
    std::chrono::steady_clock::duration patience = lockPatience;
    bool folderMade = false;
    for (;;) {
        const auto tried = std::chrono::steady_clock::now();
        try {
            auto lockFile = through(folder, file_);
            lockFile += ".lock";
            auto taken = FileLock::tryAcquire(lockFile, {}, FileLock::File::kept);
            if (auto* lock = std::get_if<std::unique_ptr<FileLock>>(&taken)) return std::move(*lock);
        } catch (const std::system_error& error) {
            // The folder is made at the first write, and again should it go.
            if (error.code() == std::errc::no_such_file_or_directory && !std::exchange(folderMade, true)) {
                std::filesystem::create_directories(file_.parent_path());
                folder = openFolderOf(file_);
                continue;
            }
            // A folder without locks (some network file systems): the file is still read again
            // right before it is replaced.
            return nullptr;
        }
        const auto now = std::chrono::steady_clock::now();
        patience = std::max(patience, writeInLockTries * (now - tried));
        if (now - started >= patience)
            throw std::system_error(std::make_error_code(std::errc::device_or_resource_busy), "lock preferences");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

DefaultsStore::Outcome DefaultsStore::writeFile(const std::vector<Edit>& changes,
                                                const std::optional<FileVersion>& seen,
                                                const Dictionary& onDisk) const {
    Outcome outcome;
    try {
        auto folder = openFolderOf(file_);
        const auto lock = lockFile(folder);
        const std::filesystem::path at = through(folder, file_);
        // Another copy may have written since this one last read: its values are the base. A file
        // that cannot be read now is never written over. The file this copy read or wrote last,
        // still there, is not read again.
        bool unchanged = false;
        try {
            if (seen) {
                failForTesting(file_, FileStep::open);
                unchanged = FileVersion::at(at) == seen;
            }
        } catch (const std::system_error&) {
            // Read, and looked at again, as any file the system cannot tell of.
        }
        outcome.look =
            unchanged ? Look{FileRead::read, onDisk, seen, {}, {}} : readFile(at, Damage::setAside);
        if (outcome.look->result == FileRead::unavailable)
            throw std::system_error(outcome.look->error, "read preferences");
        // Nothing of this copy's to write (a write asked again after a failed one, with the file
        // readable again): the file holds every value already.
        if (changes.empty()) return outcome;
        Dictionary merged = outcome.look->result == FileRead::read ? outcome.look->values : Dictionary{};
        for (const Edit& change : changes)
            change(merged);
        auto object = nlohmann::json::object();
        for (const auto& [key, value] : merged)
            object[key] = toJson(value);
        // A text that is not valid UTF-8 (a path of a foreign file system) is written with
        // replacement characters rather than not at all.
        std::string bytes = object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
        bytes += '\n';
        // Preferences are not worth flushing the folder for: after a power loss the file is the
        // last one or the one before, whole either way.
        outcome.version =
            AtomicFile::write(at, bytes, AtomicFile::TemporaryName::hidden, AtomicFile::FolderFlush::skipped);
        outcome.written = std::move(merged);
    } catch (const std::system_error& error) {
        outcome.writeError = error.code();
    } catch (const std::bad_alloc&) {
        outcome.writeError = std::make_error_code(std::errc::not_enough_memory);
    } catch (const std::exception&) {
        outcome.writeError = std::make_error_code(std::errc::io_error);
    }
    return outcome;
}

void DefaultsStore::askLocked(bool write) {
    ++asked_;
    (write ? writeAsked_ : refreshAsked_) = true;
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // Asked again at the next change, and done at the end where it never starts.
            return;
        }
    }
    wake_.notify_one();
}

void DefaultsStore::work() {
    runBelowMainThread();
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || done_ < asked_; });
        if (done_ == asked_) return;
        turnLocked(lock);
    }
}

void DefaultsStore::turnLocked(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t upTo = asked_;
    const bool writes = std::exchange(writeAsked_, false);
    // A write reads the file too.
    const bool refreshes = std::exchange(refreshAsked_, false) && !writes;
    const std::vector<Edit> changes = unwritten_;
    const std::optional<FileVersion> seen = seen_;
    const Dictionary onDisk = writes ? onDisk_ : Dictionary{};
    lock.unlock();
    const Outcome outcome = writes      ? writeFile(changes, seen, onDisk)
                            : refreshes ? refreshFile(seen)
                                        : Outcome{};
    lock.lock();
    if (outcome.look) {
        takeInLocked(*outcome.look);
        // A store opened while the file could not be read holds what the file holds from now on.
        const FileRead read = outcome.look->result;
        if ((read == FileRead::read || read == FileRead::absent) && unwritten_.empty()) writeError_.reset();
    }
    if (outcome.writeError) {
        writeError_ = outcome.writeError;
    } else if (writes) {
        if (outcome.written) {
            onDisk_ = *outcome.written;
            seen_ = outcome.version;
        }
        unwritten_.erase(unwritten_.begin(),
                         unwritten_.begin() + static_cast<std::ptrdiff_t>(changes.size()));
        writeError_.reset();
    }
    // What the file holds now, with this copy's changes (those made meanwhile, or those that
    // failed) over it.
    if (outcome.look) rebuildLocked();
    done_ = upTo;
    reportLocked(outcome.writeError);
    idle_.notify_all();
}

void DefaultsStore::reportLocked(std::optional<std::error_code> writeError) {
    std::vector<std::function<void(std::optional<std::error_code>)>> done;
    std::erase_if(waiting_, [&](Waiting& waiting) {
        if (waiting.after > done_) return false;
        done.push_back(std::move(waiting.done));
        return true;
    });
    if (!reportQueue_ || (!writeError && done.empty())) return;
    reportQueue_->post([alive = std::weak_ptr<DefaultsStore*>(alive_), writeError, done = std::move(done)] {
        const auto store = alive.lock();
        if (!store) return;
        if (writeError) (*store)->writeFailed.emit(*writeError);
        for (const auto& tell : done)
            tell(writeError);
    });
}

void DefaultsStore::reportOn(MainQueue* queue) {
    std::lock_guard lock(mutex_);
    reportQueue_ = queue;
}

void DefaultsStore::whenWritten(std::function<void(std::optional<std::error_code>)> done) {
    std::lock_guard lock(mutex_);
    waiting_.push_back({asked_, std::move(done)});
    // Nothing is asked (a store that never writes): told at once.
    if (done_ == asked_) reportLocked(std::nullopt);
}

void DefaultsStore::waitUntilWritten() {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) {
        while (done_ < asked_)
            turnLocked(lock);
        return;
    }
    idle_.wait(lock, [this] { return done_ == asked_; });
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
    if (access_ == Access::ReadOnly || file_.empty()) return;
    unwritten_.push_back(std::move(change));
    askLocked(true);
}

// Setting a value the store already holds writes nothing (a step through the photos sets the
// panel's page every time), unless an earlier write failed.
void DefaultsStore::set(std::string_view key, DefaultsValue value) {
    setValues({{std::string(key), std::move(value)}});
}

void DefaultsStore::setValues(const Dictionary& values) {
    std::lock_guard lock(mutex_);
    Dictionary changed;
    for (const auto& [key, value] : values)
        if (const auto it = stored_.find(key); it == stored_.end() || !(it->second == value))
            changed.insert_or_assign(key, value);
    if (!changed.empty())
        changeLocked([changed = std::move(changed)](Dictionary& stored) {
            for (const auto& [key, value] : changed)
                stored.insert_or_assign(key, value);
        });
    else if (writeError_ && access_ == Access::ReadWrite && !file_.empty())
        askLocked(true);
}

void DefaultsStore::remove(std::string_view key) {
    std::lock_guard lock(mutex_);
    if (!stored_.contains(key)) return;
    changeLocked([key = std::string(key)](Dictionary& stored) { stored.erase(key); });
}

void DefaultsStore::edit(Edit change) {
    std::lock_guard lock(mutex_);
    changeLocked(std::move(change));
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
