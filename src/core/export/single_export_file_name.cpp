#include "export/single_export_file_name.hpp"

#include <array>
#include <utility>

namespace sorvin::SingleExportFileName {

namespace {

using F = SingleExportFormat;

// The extensions of the formats, the longest of a common ending first.
constexpr std::array<std::pair<std::string_view, F>, 5> kExtensions{{
    {".jpeg", F::jpeg},
    {".heic", F::heic},
    {".heif", F::heic},
    {".jpg", F::jpeg},
    {".hif", F::heic},
}};

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
        if (c != suffix[i]) return false;
    }
    return true;
}

// The format the name's extension belongs to, and the extension's length with its dot.
std::optional<std::pair<F, std::size_t>> typedFormat(std::string_view name) {
    for (const auto& [extension, format] : kExtensions)
        if (endsWithIgnoringCase(name, extension)) return std::pair{format, extension.size()};
    return std::nullopt;
}

// A name that ends in "." keeps the dot as its separator.
std::string withExtension(std::string base, F format) {
    if (base.empty() || base.back() != '.') base += '.';
    base += fileExtension(format);
    return base;
}

} // namespace

std::string initialName(const Photo& photo, SingleExportFormat format, RetouchSlot slot) {
    std::string name = photo.url.stem().string();
    if (slot == RetouchSlot::b) name += "-B";
    name += '.';
    name += fileExtension(format);
    return name;
}

std::string replacingExportExtension(const std::string& name, SingleExportFormat format) {
    if (name.empty()) return name;
    const auto typed = typedFormat(name);
    return withExtension(typed ? name.substr(0, name.size() - typed->second) : name, format);
}

std::optional<ChosenFile> chosenFile(const std::filesystem::path& file, SingleExportFormat format) {
    const std::string name = file.filename().string();
    const auto typed = typedFormat(name);
    if (name.size() == (typed ? typed->second : 0)) return std::nullopt;
    if (typed) return ChosenFile{file, typed->first};
    return ChosenFile{file.parent_path() / withExtension(name, format), format};
}

std::filesystem::path typedPath(const std::string& typed, const std::filesystem::path& folder,
                                const std::filesystem::path& home) {
    if (typed == "~") return home;
    if (typed.starts_with("~/")) return home / typed.substr(2);
    const std::filesystem::path path(typed);
    return path.is_absolute() ? path : folder / path;
}

} // namespace sorvin::SingleExportFileName
