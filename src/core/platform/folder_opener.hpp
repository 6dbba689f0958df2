#pragma once

#include <filesystem>
#include <functional>

namespace sorvin {

// The desktop's file manager, which the UI reaches; main thread only.
class FolderOpener {
public:
    virtual ~FolderOpener() = default;
    // Asks for the folder to be shown. `done` runs on the main thread, at once or later, with false
    // when no program could show it.
    virtual void open(const std::filesystem::path& folder, std::function<void(bool shown)> done) = 0;
};

} // namespace sorvin
