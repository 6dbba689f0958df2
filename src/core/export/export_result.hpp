#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// One failed output (or photo), as listed to the user.
struct ExportFailure {
    std::string
        fileName; // the output's name; the photo's for a photo without formats; "" for a refused destination
    std::string reason; // Japanese text

    bool operator==(const ExportFailure&) const = default;
};

// The outcome of a batch export. Each finished item counts in exactly one of copiedCount,
// skippedCount and failures; items left by a cancellation count in none of them.
struct ExportResult {
    int copiedCount = 0;      // items that wrote at least one output and did not fail
    int skippedCount = 0;     // items all of whose outputs were unchanged since the last export
    int overwrittenCount = 0; // items that replaced at least one file (output or original)
    int outputFileCount = 0;  // image files written
    int renamedCount = 0;     // items written under a numbered name
    std::optional<std::string> firstRenamedFileName;
    std::vector<ExportFailure> failures; // at most one per item, in order
    int originalCopiedCount = 0;         // items whose originals were all copied (at least one file)
    int originalFailureCount = 0;        // items with an original that could not be copied
    bool savedOriginals = false;
    bool cancelled = false; // cancelled before every item was finished
    // Why the files written could not be noted for the next export (neither the journal nor the
    // manifest could be written): it will not know them and writes them once more.
    std::optional<std::string> recordFailure;
    std::filesystem::path destination;

    bool operator==(const ExportResult&) const = default;
};

} // namespace sorvin
