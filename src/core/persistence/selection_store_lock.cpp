#include "persistence/selection_store_lock.hpp"

#include <charconv>
#include <filesystem>
#include <system_error>
#include <map>
#include <mutex>
#include <unistd.h>

namespace sorvin::SelectionStoreLock {

namespace {

std::string hostName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}

// The lock files of copies that were killed while they held a folder: each is taken over for a
// moment, which removes it. One held by a running copy, or by this one, stays.
void removeAbandoned(const std::filesystem::path& folder,
                     const std::map<std::filesystem::path, std::weak_ptr<FileLock>>& heldHere) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with("record-") || !name.ends_with(".lock") || heldHere.contains(it->path())) continue;
        try {
            (void)FileLock::tryAcquire(it->path(), holderText());
        } catch (const std::system_error&) {
        }
    }
}

} // namespace

std::string holderText() {
    return std::to_string(::getpid()) + " " + hostName() + "\n";
}

SelectionRecordHolder holderOf(const std::string& text) {
    SelectionRecordHolder holder;
    const char* const end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, holder.process);
    if (error != std::errc() || holder.process < 0) return {};
    if (next != end && *next == ' ') holder.host = std::string(next + 1, end);
    while (!holder.host.empty() && (holder.host.back() == '\n' || holder.host.back() == '\r'))
        holder.host.pop_back();
    if (holder.host == hostName()) holder.host.clear();
    return holder;
}

std::variant<std::shared_ptr<FileLock>, SelectionRecordHolder>
acquire(const std::filesystem::path& lockFile) {
    // A store may end on the thread of its last save.
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::weak_ptr<FileLock>> held;
    const std::lock_guard guard(mutex);
    std::erase_if(held, [](const auto& entry) { return entry.second.expired(); });
    if (const auto found = held.find(lockFile); found != held.end())
        if (auto shared = found->second.lock()) return shared;
    auto taken = FileLock::tryAcquire(lockFile, holderText());
    if (auto* heldBy = std::get_if<FileLock::HeldBy>(&taken)) return holderOf(heldBy->text);
    std::shared_ptr<FileLock> shared = std::move(std::get<std::unique_ptr<FileLock>>(taken));
    held[lockFile] = shared;
    removeAbandoned(lockFile.parent_path(), held);
    return shared;
}

} // namespace sorvin::SelectionStoreLock
