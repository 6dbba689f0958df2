#pragma once

#include "platform/background_executor.hpp"

#include <filesystem>
#include <mutex>
#include <optional>

namespace sorvin {

// Cancellation of a running export, shared by the sheet (or the application quitting) and the
// export thread. It also knows the file being written at the moment, so that a cancel removes a
// half-written file at once, and a write that finishes after a cancel is never kept. The lock
// guards only the two fields; files are removed outside it.
class ExportCancellationToken {
public:
    // The removal of a cancel runs on `remover` when one is given: a disk that holds the write
    // holds the removal as long, and the main thread must not wait for it. Without one it runs on
    // the cancelling thread.
    explicit ExportCancellationToken(BackgroundExecutor* remover = nullptr) : remover_(remover) {}
    ExportCancellationToken(const ExportCancellationToken&) = delete;
    ExportCancellationToken& operator=(const ExportCancellationToken&) = delete;

    bool isCancelled() const;

    // Sets the flag (for good) and removes the file being written, if any; errors are ignored.
    void cancel();

    // Records the file the export has just created and is writing; false, recording nothing, when
    // already cancelled (the writer then removes it). Only a file the export created itself is
    // ever recorded, so a cancel never removes anybody else's file of that name.
    bool beginWriting(const std::filesystem::path& file);

    // Hands a written file back. False when it is not the recorded file (nothing changes) or when
    // the export was cancelled during the write: cancel() has then removed the file and the
    // caller must discard the write. Clears the record otherwise.
    bool completeWriting(const std::filesystem::path& file);

    std::optional<std::filesystem::path> currentOutput() const;

private:
    BackgroundExecutor* remover_;
    mutable std::mutex lock_;
    bool cancelled_ = false;
    std::optional<std::filesystem::path> currentOutput_;
};

} // namespace sorvin
