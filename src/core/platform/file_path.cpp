#include "platform/file_path.hpp"

namespace sorvin::FilePath {

std::filesystem::path standardized(const std::filesystem::path& path) {
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code error;
    auto canonical = std::filesystem::weakly_canonical(path, error);
    if (error) return standardized(path);
    return standardized(canonical);
}

bool isInside(const std::filesystem::path& file, const std::filesystem::path& root) {
    std::string prefix = standardized(root).string();
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    const std::string text = standardized(file).string();
    return text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace sorvin::FilePath
