#include "export/export_cancellation_token.hpp"

namespace sorvin {

bool ExportCancellationToken::isCancelled() const {
    std::lock_guard guard(lock_);
    return cancelled_;
}

void ExportCancellationToken::cancel() {
    std::optional<std::filesystem::path> writing;
    {
        std::lock_guard guard(lock_);
        cancelled_ = true;
        writing = currentOutput_;
    }
    if (!writing) return;
    const auto remove = [file = std::move(*writing)] {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    };
    if (remover_)
        remover_->run(TaskPriority::userInitiated, remove);
    else
        remove();
}

bool ExportCancellationToken::beginWriting(const std::filesystem::path& file) {
    std::lock_guard guard(lock_);
    if (cancelled_) return false;
    currentOutput_ = file;
    return true;
}

bool ExportCancellationToken::completeWriting(const std::filesystem::path& file) {
    std::lock_guard guard(lock_);
    if (!currentOutput_ || *currentOutput_ != file) return false;
    currentOutput_.reset();
    return !cancelled_;
}

std::optional<std::filesystem::path> ExportCancellationToken::currentOutput() const {
    std::lock_guard guard(lock_);
    return currentOutput_;
}

} // namespace sorvin
