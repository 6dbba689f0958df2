#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace sorvin::FolderTree {

// Asked of a folder that may be the one looked for.
using FolderTest = std::function<bool(const std::filesystem::path& folder)>;

// Where `folder`, a folder of another tree, may show among some places (the folders a mount shows
// it in, if any): each place itself, and below it each path made of the last names of `folder`'s
// path whose first name the place holds, for a mount that shows a folder above `folder` shows it
// there under those names. The first of them, in the order of the places, that passes the test;
// none when none does. One listing per place and one test per path tried, however deep the trees:
// folders made after the places were listed, or shown under other names, are not found.
std::optional<std::filesystem::path> findShown(const std::vector<std::filesystem::path>& places,
                                               const std::filesystem::path& folder, const FolderTest& test);

} // namespace sorvin::FolderTree
