#pragma once

#include <filesystem>

namespace sorvin::XdgFolders {

// The XDG base folders: the variable when it holds an absolute path, otherwise the default
// below $HOME (~/.config, ~/.local/share, ~/.cache).
std::filesystem::path configHome();
std::filesystem::path dataHome();
std::filesystem::path cacheHome();

} // namespace sorvin::XdgFolders
