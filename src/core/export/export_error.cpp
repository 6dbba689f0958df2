#include "export/export_error.hpp"

#include <algorithm>
#include <cerrno>
#include <fmt/format.h>
#include <new>

namespace sorvin {

namespace {

constexpr const char* kOutOfSpace = "空き容量が足りません";
constexpr const char* kRefusedCharacters = "書き出し先のディスクでは、ファイル名に \\ : * ? \" < > | を使えません";
constexpr const char* kRefusedName = "書き出し先のディスクがこのファイル名を受け付けません";

// Whether the name holds a character that FAT, exFAT and NTFS never take.
bool hasRefusedCharacter(std::string_view name) {
    return std::ranges::any_of(name, [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos;
    });
}

class ExportErrorCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "sorvin.export"; }
    std::string message(int code) const override {
        switch (static_cast<ExportErrc>(code)) {
        case ExportErrc::featureUnsupported:
            return "この形式では書き出せません";
        case ExportErrc::fileReadCorruptFile:
            return "ファイルを読み込めませんでした（壊れているか、対応していない形式です）";
        case ExportErrc::fileReadTooLarge:
            return "ファイルが大きすぎるため、このプログラムでは読み込めません";
        case ExportErrc::fileWriteUnknown:
            return "ファイルを書き込めませんでした";
        case ExportErrc::fileWriteFileExists:
            return "同じ名前のファイルがすでにあります";
        case ExportErrc::fileWriteOutOfSpace:
            return kOutOfSpace;
        }
        return "書き出しに失敗しました";
    }
};

const char* posixDescription(int code) {
    switch (code) {
    case ENOENT:
        return "ファイルまたはフォルダが見つかりません";
    case EACCES:
    case EPERM:
        return "アクセス権がありません";
    case EROFS:
        return "読み出し専用の場所には書き込めません";
    case EEXIST:
        return "同じ名前のファイルがすでにあります";
    case EIO:
        return "読み書きの途中でエラーが起きました（ディスクまたは接続を確かめてください）";
    case ENOTDIR:
        return "フォルダではありません";
    case EISDIR:
        return "同じ名前のフォルダがあります";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます";
    case EDQUOT:
        return "ディスクの使用量が上限に達しました";
    case ENOMEM:
        return "メモリが足りません";
    case EFBIG:
        return "ファイルが大きすぎます";
    case EXDEV:
        return "別のボリュームへは移動できません";
    // A mount or a share that went away while it was used.
    case ENOTCONN:
    case ESTALE:
    case ECONNABORTED:
    case ECONNRESET:
    case ENOLINK:
        return "フォルダとの接続が切れました";
    case EREMOTEIO:
        return "フォルダのある機器でエラーが起きました";
    case ETIMEDOUT:
        return "フォルダとの接続が時間切れになりました";
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN:
        return "フォルダのある機器に接続できません";
    default:
        return nullptr;
    }
}

} // namespace

const std::error_category& exportErrorCategory() {
    static const ExportErrorCategory category;
    return category;
}

namespace ExportError {

std::string localizedDescription(std::error_code error) {
    if (error.category() == exportErrorCategory()) return error.message();
    if (error.category() == std::generic_category() || error.category() == std::system_category())
        if (const char* text = posixDescription(error.value())) return text;
    return fmt::format("エラーが起きました（コード {}）", error.value());
}

std::string describe(const std::exception& error) {
    if (const auto* system = dynamic_cast<const std::system_error*>(&error))
        return failureReason(system->code());
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return localizedDescription(std::make_error_code(std::errc::not_enough_memory));
    return "予期しないエラーが起きました";
}

std::string failureReason(std::error_code error) {
    if (error == ExportErrc::fileWriteOutOfSpace || error == std::errc::no_space_on_device)
        return kOutOfSpace;
    return localizedDescription(error);
}

std::string failureReason(std::error_code error, std::string_view name) {
    const bool refusesNames = error == std::errc::invalid_argument || error == std::errc::illegal_byte_sequence;
    const bool refusesCharacters = refusesNames || error == std::errc::no_such_file_or_directory ||
                                   error == std::errc::permission_denied ||
                                   error == std::errc::operation_not_permitted;
    if (refusesCharacters && hasRefusedCharacter(name)) return kRefusedCharacters;
    if (refusesNames) return kRefusedName;
    return failureReason(error);
}

} // namespace ExportError

} // namespace sorvin
