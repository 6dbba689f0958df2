#pragma once

#include "platform/defaults_value.hpp"
#include "platform/signal.hpp"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace sorvin {

// The user's preferences of one domain, kept in one JSON file ($XDG_CONFIG_HOME/<domain>/
// preferences.json). Values keep the kind they were stored with. Registered values form a second
// layer that is read only while nothing is stored under a key; they are never written. Every change
// rewrites the file at once, atomically (setting a value already held is no change); a failed
// write leaves the file as it was and keeps the value in memory, so preferences never stop the
// program: the next change writes everything again, and the owner is told of each failed write
// through writeFailed.
//
// A file that cannot be read, is not JSON or does not hold an object is renamed aside (to
// "preferences.json.damaged", or with a number when that exists) and the store starts empty.
// Values of kinds it does not know (null) are dropped one by one.
//
// Reads may come from any thread.
class DefaultsStore {
public:
    using Dictionary = DefaultsValue::Dictionary;

    // ReadOnly stores neither write nor set a damaged file aside; changes stay in memory.
    enum class Access { ReadWrite, ReadOnly };

    // A store in memory only.
    DefaultsStore() = default;
    explicit DefaultsStore(std::filesystem::path file, Access access = Access::ReadWrite);
    DefaultsStore(const DefaultsStore&) = delete;
    DefaultsStore& operator=(const DefaultsStore&) = delete;

    // The file of a named domain below the XDG config folder.
    static std::filesystem::path domainFile(std::string_view domain);

    // Adds to the registration layer (a later registration of a key replaces the earlier one).
    void registerDefaults(const Dictionary& values);

    // The stored value, else the registered one, else none.
    std::optional<DefaultsValue> object(std::string_view key) const;
    // Every key with its value: the registered values overlaid by the stored ones.
    Dictionary dictionaryRepresentation() const;

    void set(std::string_view key, DefaultsValue value);
    // Stores several values with one write of the file.
    void setValues(const Dictionary& values);
    void remove(std::string_view key);

    // Plain reads. A Boolean is itself; a number is true when not 0; a text is true when it reads
    // "true", "yes" or a non-zero number (any letter case); anything else, or nothing, is false.
    bool boolValue(std::string_view key) const;
    // A number as it is, a Boolean as 0 or 1, a text holding a decimal number; otherwise 0.
    double doubleValue(std::string_view key) const;
    // A text value only; none for other kinds.
    std::optional<std::string> string(std::string_view key) const;
    // A list made only of texts; none for other kinds.
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;

    // Why the last write of the file failed: the file then lacks values the store holds. None
    // while the file holds every value.
    std::optional<std::error_code> writeError() const;
    // Told, on the thread that wrote, whenever a write fails: each such change is lost at the end
    // of the run.
    Signal<std::error_code> writeFailed;

    const std::filesystem::path& file() const { return file_; }
    // Where a damaged file was moved when the store was opened, if it was.
    const std::optional<std::filesystem::path>& setAsideFile() const { return setAside_; }

private:
    const DefaultsValue* findLocked(std::string_view key) const;
    void load();
    void setAside();
    // Stores the value; false when the store held it already.
    bool storeLocked(std::string_view key, const DefaultsValue& value);
    // Writes the file and tells of a failure once the lock is given up.
    void persist(std::unique_lock<std::mutex>& lock);
    void persistLocked();

    mutable std::mutex mutex_;
    std::filesystem::path file_;
    Access access_ = Access::ReadOnly;
    Dictionary stored_;
    Dictionary registered_;
    std::optional<std::filesystem::path> setAside_;
    std::optional<std::error_code> writeError_; // the last write failed
};

} // namespace sorvin
