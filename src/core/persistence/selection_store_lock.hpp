#pragma once

#include "platform/file_lock.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <variant>

namespace sorvin {

// Another copy of the program that holds a folder's record.
struct SelectionRecordHolder {
    long process = 0; // 0 when it has not named itself yet
    std::string host; // the machine's name; this machine's when empty

    bool operator==(const SelectionRecordHolder&) const = default;
};

// The lock that makes one copy of the program the one writer of a folder's record: held from
// opening the folder until it is left and its last save has ended. The stores of one process
// that hold a record's lock share it, since one process orders its own saves.
namespace SelectionStoreLock {

// The lock of the lock file, shared with every holder of it in this process; the other process
// that holds it when one does. Throws std::system_error when no lock can be made there.
std::variant<std::shared_ptr<FileLock>, SelectionRecordHolder> acquire(const std::filesystem::path& lockFile);

// What a holder writes into the lock file, and reads of another's.
std::string holderText();
SelectionRecordHolder holderOf(const std::string& text);

} // namespace SelectionStoreLock

} // namespace sorvin
