#include "export/export_manifest_store.hpp"

#include "export/export_long_edge.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_path.hpp"
#include "platform/json_text.hpp"
#include "platform/sha256.hpp"
#include "platform/xdg_folders.hpp"

#include <cmath>
#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace sorvin {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// A manifest is small; anything larger than this is not ours.
constexpr std::size_t kMaximumManifestBytes = std::size_t{64} << 20;
// A manifest nests five levels deep and a journal line four; anything deeper is not ours, and is
// refused before the parser builds it.
constexpr int kMaximumNesting = 8;
// A journal line is about 400 bytes: a folder, a key and up to three files. Five paths of the
// longest the system allows fit in this with room to spare; a longer line is not ours.
constexpr std::size_t kMaximumJournalLineBytes = std::size_t{64} << 10;

// The JSON value of a text of ours; a discarded value for anything else, however deep.
json parsedJson(std::string_view text) {
    if (JsonText::nestingDepth(text) > kMaximumNesting) return json::value_t::discarded;
    return json::parse(text, nullptr, false);
}

std::optional<std::int64_t> exactInteger(const json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(INT64_MAX)) return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
}

std::optional<ExportManifestFileRecord> fileRecord(const json& value) {
    if (!value.is_object()) return std::nullopt;
    const auto file = value.find("file");
    const auto size = value.find("size");
    const auto mtime = value.find("mtime");
    if (file == value.end() || !file->is_string()) return std::nullopt;
    const auto& path = file->get_ref<const std::string&>();
    if (!ExportManifestStore::validRelativePath(path)) return std::nullopt;
    if (size == value.end() || mtime == value.end()) return std::nullopt;
    const auto sizeValue = exactInteger(*size);
    const auto mtimeValue = exactInteger(*mtime);
    if (!sizeValue || *sizeValue < 0 || !mtimeValue) return std::nullopt;
    ExportManifestFileRecord record{path, *sizeValue, *mtimeValue, std::nullopt};
    const auto srcSize = value.find("srcSize");
    const auto srcMtime = value.find("srcMtime");
    if (srcSize != value.end() || srcMtime != value.end()) {
        if (srcSize == value.end() || srcMtime == value.end()) return std::nullopt;
        const auto sourceSize = exactInteger(*srcSize);
        const auto sourceMtime = exactInteger(*srcMtime);
        if (!sourceSize || *sourceSize < 0 || !sourceMtime) return std::nullopt;
        record.source = FileIdentity{*sourceSize, *sourceMtime};
    }
    return record;
}

bool isLowerHexDigest(const json& value) {
    if (!value.is_string()) return false;
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() != 64) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::optional<ExportManifestEntry> entry(const json& value) {
    if (!value.is_object()) return std::nullopt;
    ExportManifestEntry result;
    const auto srcSize = value.find("srcSize");
    const auto srcMtime = value.find("srcMtime");
    const auto params = value.find("params");
    const auto outputs = value.find("outputs");
    if (srcSize == value.end() || srcMtime == value.end() || params == value.end() || outputs == value.end())
        return std::nullopt;
    const auto size = exactInteger(*srcSize);
    const auto mtime = exactInteger(*srcMtime);
    if (!size || *size < 0 || !mtime || !isLowerHexDigest(*params) || !outputs->is_object())
        return std::nullopt;
    result.srcSize = *size;
    result.srcMtime = *mtime;
    result.params = params->get<std::string>();
    for (const auto& [key, record] : outputs->items()) {
        if (key != "jpeg" && key != "heic") continue;
        auto parsed = fileRecord(record);
        if (!parsed) return std::nullopt;
        result.outputs.emplace(key, std::move(*parsed));
    }
    for (const auto& [name, record] : {std::pair{"original", &result.original}, {"companion", &result.companion}})
        if (const auto found = value.find(name); found != value.end()) {
            auto parsed = fileRecord(*found);
            if (!parsed) return std::nullopt;
            *record = std::move(*parsed);
        }
    return result;
}

void readEntries(ExportManifest& manifest, const fs::path& file) {
    json root;
    try {
        root = parsedJson(AtomicFile::read(file, kMaximumManifestBytes));
    } catch (...) {
        return;
    }
    if (!root.is_object()) return;
    const auto version = root.find("version");
    const auto folder = root.find("folder");
    const auto entries = root.find("entries");
    if (version == root.end() || exactInteger(*version) != ExportManifest::kVersion) return;
    if (folder == root.end() || !folder->is_string() ||
        folder->get_ref<const std::string&>() != manifest.folder)
        return;
    if (entries == root.end() || !entries->is_object()) return;
    for (const auto& [key, value] : entries->items()) {
        if (key.empty() || key.front() != '/') continue;
        if (auto parsed = entry(value)) manifest.entries.emplace(key, std::move(*parsed));
    }
}

// Each whole line of the journal sets the entry of its key, later lines winning; a line without
// its line break is one a kill cut short.
void applyJournal(ExportManifest& manifest, const fs::path& file) {
    std::string text;
    try {
        text = AtomicFile::read(file, kMaximumManifestBytes);
    } catch (...) {
        return;
    }
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        if (end - start > kMaximumJournalLineBytes) continue;
        const json line = parsedJson(std::string_view(text).substr(start, end - start));
        if (!line.is_object()) continue;
        const auto folder = line.find("folder");
        const auto key = line.find("key");
        const auto value = line.find("entry");
        if (folder == line.end() || key == line.end() || value == line.end()) continue;
        if (!folder->is_string() || folder->get_ref<const std::string&>() != manifest.folder) continue;
        if (!key->is_string() || !key->get_ref<const std::string&>().starts_with('/')) continue;
        if (auto parsed = entry(*value)) manifest.entries[key->get<std::string>()] = std::move(*parsed);
    }
}

void appendRecord(std::string& out, const ExportManifestFileRecord& record) {
    out += "{\"file\":";
    JsonText::appendQuoted(out, record.file);
    out += fmt::format(",\"mtime\":{},\"size\":{}", record.mtime, record.size);
    if (record.source)
        out += fmt::format(",\"srcMtime\":{},\"srcSize\":{}", record.source->mtime, record.source->size);
    out += '}';
}

void appendEntry(std::string& out, const ExportManifestEntry& entry) {
    out += '{';
    for (const auto& [name, record] : {std::pair{"companion", &entry.companion}, {"original", &entry.original}})
        if (*record) {
            JsonText::appendQuoted(out, name);
            out += ':';
            appendRecord(out, **record);
            out += ',';
        }
    out += "\"outputs\":{";
    bool firstOutput = true;
    for (const auto& [outputKey, record] : entry.outputs) {
        if (!firstOutput) out += ',';
        firstOutput = false;
        JsonText::appendQuoted(out, outputKey);
        out += ':';
        appendRecord(out, record);
    }
    out += "},\"params\":";
    JsonText::appendQuoted(out, entry.params);
    out += fmt::format(",\"srcMtime\":{},\"srcSize\":{}}}", entry.srcMtime, entry.srcSize);
}

// The length of the well-formed UTF-8 sequence at the start of the text; 0 when there is none
// (a stray continuation byte, a sequence cut short, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else
        return 0;
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

// Rotation of the fingerprint: half degrees, 0 for anything outside the stored range.
double hashRotation(double rotation) {
    if (!std::isfinite(rotation)) return 0;
    const double rounded = std::round(rotation * 2) / 2;
    if (rotation < -180 || rotation > 179.5 || std::fabs(rounded) < 0.01) return 0;
    return rounded;
}

} // namespace

fs::path ExportManifestStore::defaultApplicationSupportRoot() {
    return XdgFolders::dataHome() / "Sorvin";
}

fs::path ExportManifestStore::manifestURL(const fs::path& destination,
                                          const fs::path& applicationSupportRoot) {
    const auto digest = Sha256::digest(FilePath::standardized(destination).string());
    std::string name = "export-";
    for (std::size_t i = 0; i < 8; ++i)
        name += fmt::format("{:02x}", digest[i]);
    return applicationSupportRoot / (name + ".json");
}

std::string ExportManifestStore::pathText(const fs::path& path) {
    const std::string bytes = FilePath::standardized(path).string();
    std::string text;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = utf8SequenceLength(std::string_view(bytes).substr(at));
        if (length == 0) {
            text += fmt::format("%{:02X}", static_cast<unsigned char>(bytes[at]));
            ++at;
        } else {
            text.append(bytes, at, length);
            at += length;
        }
    }
    return text;
}

fs::path ExportManifestStore::journalURL(const fs::path& destination,
                                         const fs::path& applicationSupportRoot) {
    fs::path journal = manifestURL(destination, applicationSupportRoot);
    journal.replace_extension(".journal");
    return journal;
}

ExportManifest ExportManifestStore::load(const fs::path& destination,
                                         const fs::path& applicationSupportRoot) {
    ExportManifest manifest;
    manifest.folder = pathText(destination);
    readEntries(manifest, manifestURL(destination, applicationSupportRoot));
    applyJournal(manifest, journalURL(destination, applicationSupportRoot));
    return manifest;
}

std::string ExportManifestStore::encoded(const ExportManifest& manifest) {
    std::string out = "{\"entries\":{";
    bool firstEntry = true;
    for (const auto& [key, entry] : manifest.entries) {
        if (!firstEntry) out += ',';
        firstEntry = false;
        JsonText::appendQuoted(out, key);
        out += ':';
        appendEntry(out, entry);
    }
    out += "},\"folder\":";
    JsonText::appendQuoted(out, manifest.folder);
    out += fmt::format(",\"version\":{}}}", manifest.version);
    return out;
}

std::string ExportManifestStore::journalLine(const std::string& folder, const std::string& key,
                                             const ExportManifestEntry& entry) {
    std::string out = "{\"entry\":";
    appendEntry(out, entry);
    out += ",\"folder\":";
    JsonText::appendQuoted(out, folder);
    out += ",\"key\":";
    JsonText::appendQuoted(out, key);
    out += "}\n";
    return out;
}

bool ExportManifestStore::write(const ExportManifest& manifest, const fs::path& destination,
                                const fs::path& applicationSupportRoot) {
    try {
        fs::create_directories(applicationSupportRoot);
        AtomicFile::write(manifestURL(destination, applicationSupportRoot), encoded(manifest));
        return true;
    } catch (...) {
        // The old manifest stays; the next export re-exports what no longer matches.
        return false;
    }
}

std::optional<FileIdentity> ExportManifestStore::fileIdentity(const fs::path& url) {
    struct stat info {};
    if (::lstat(url.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    // Whole milliseconds, truncated toward zero, computed exactly in nanoseconds.
    const std::int64_t nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return FileIdentity{static_cast<std::int64_t>(info.st_size), nanoseconds / 1'000'000};
}

bool ExportManifestStore::validRelativePath(std::string_view path) {
    if (path.empty() || path.front() == '/') return false;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('/', start);
        const auto piece =
            path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (piece.empty() || piece == "." || piece == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::optional<std::string> ExportManifestStore::relativePath(const fs::path& url, const fs::path& root) {
    std::string prefix = FilePath::standardized(root).string();
    if (prefix.empty() || prefix.back() != '/') prefix += '/';
    const std::string path = FilePath::standardized(url).string();
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    std::string remainder = path.substr(prefix.size());
    if (!validRelativePath(remainder)) return std::nullopt;
    return remainder;
}

bool ExportManifestStore::recordMatches(const ExportManifestFileRecord& record, const fs::path& destination) {
    if (!validRelativePath(record.file)) return false;
    const fs::path url = FilePath::standardized(destination / record.file);
    if (relativePath(url, destination) != record.file) return false;
    const auto identity = fileIdentity(url);
    return identity && identity->size == record.size && identity->mtime == record.mtime;
}

std::string ExportManifestStore::parameterHashInput(PhotoSource source, double rotation,
                                                    const ManualCrop& crop, const PhotoParameters& parameters,
                                                    bool burnInOrientation,
                                                    std::optional<int> maximumLongEdge) {
    const bool isRaw = source == PhotoSource::raw;
    std::string text = isRaw ? "raw" : "jpeg";
    text += fmt::format("|{:.1f}|", hashRotation(rotation));
    text += fmt::format("{},{},{},{}|", crop.aspect.storageText(), crop.sizeP, crop.xM, crop.yM);
    bool first = true;
    for (const auto& kind : parameters.maskKinds()) {
        if (!first) text += ',';
        first = false;
        text += kind.rawValue;
    }
    text += '|';
    first = true;
    for (const auto& entry : parameters.storageEntries(isRaw, MaskKindCatalog::current())) {
        if (!first) text += ',';
        first = false;
        text += fmt::format("{}={}", entry.key, entry.value);
    }
    text += burnInOrientation ? "|1" : "|0";
    if (maximumLongEdge) text += fmt::format("|L{}", ExportLongEdge::clampedLimit(*maximumLongEdge));
    return text;
}

std::string ExportManifestStore::parameterHash(PhotoSource source, double rotation, const ManualCrop& crop,
                                               const PhotoParameters& parameters, bool burnInOrientation,
                                               std::optional<int> maximumLongEdge) {
    return Sha256::hex(
        parameterHashInput(source, rotation, crop, parameters, burnInOrientation, maximumLongEdge));
}

} // namespace sorvin
