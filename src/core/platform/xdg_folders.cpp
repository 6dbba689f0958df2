#include "platform/xdg_folders.hpp"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace sorvin::XdgFolders {

namespace {

std::filesystem::path home() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/tmp";
}

std::filesystem::path fromVariable(const char* variable, const char* fallbackBelowHome) {
    if (const char* value = std::getenv(variable); value && *value) {
        std::filesystem::path path(value);
        if (path.is_absolute()) return path;
    }
    return home() / fallbackBelowHome;
}

} // namespace

std::filesystem::path configHome() { return fromVariable("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path dataHome() { return fromVariable("XDG_DATA_HOME", ".local/share"); }
std::filesystem::path cacheHome() { return fromVariable("XDG_CACHE_HOME", ".cache"); }

} // namespace sorvin::XdgFolders
