#pragma once

#include "platform/file_node.hpp"

#include <filesystem>
#include <functional>
#include <optional>

namespace sorvin::FolderTree {

// Asked of each folder of a tree with its path and its node.
using FolderTest = std::function<bool(const std::filesystem::path& folder, const FileNode& node)>;

// The first folder of the tree under `root` (the root itself first, then level by level, hidden
// folders too, links not followed) that passes the test; none when none does. A folder the tree
// shows twice (a mount inside it of a folder of its own) is asked once, and folders that cannot
// be read are passed over.
std::optional<std::filesystem::path> find(const std::filesystem::path& root, const FolderTest& test);

} // namespace sorvin::FolderTree
