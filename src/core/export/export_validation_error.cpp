#include "export/export_validation_error.hpp"

#include "export/single_export_file_name.hpp"

namespace sorvin {

std::string ExportValidationError::errorDescription() const {
    switch (kind) {
    case Kind::formatFolderIsFile:
        return "書き出し先に " + folderName +
               " という名前のファイルがあるため、形式ごとにフォルダを分けられません";
    case Kind::destinationMissing:
        return "書き出し先のフォルダが見つかりません";
    case Kind::destinationNotWritable:
        return "書き出し先のフォルダに書き込めません";
    case Kind::destinationIsSource:
        return "書き出し先に元のフォルダは指定できません";
    case Kind::destinationInsideSource:
        return "書き出し先に元のフォルダの中は指定できません";
    case Kind::originalsIsFile:
        return "書き出し先に originals という名前のファイルがあるため、元データを保存できません";
    case Kind::destinationNotAnswering:
        return "書き出し先のフォルダが応答しません";
    case Kind::sourceNotAnswering:
        return unansweredSourceDescription("元のフォルダ");
    }
    return {};
}

std::string errorDescription(SingleExportValidationError error) {
    switch (error) {
    case SingleExportValidationError::destinationInsideSource:
        return "元の写真フォルダの中には書き出せません";
    case SingleExportValidationError::destinationMissing:
        return "書き出し先のフォルダが見つかりません";
    case SingleExportValidationError::destinationNotWritable:
        return "書き出し先のフォルダに書き込めません";
    case SingleExportValidationError::destinationNotAnswering:
        return std::string(SingleExportFileName::unansweredFolderMessage);
    case SingleExportValidationError::sourceNotAnswering:
        return unansweredSourceDescription("元の写真フォルダ");
    }
    return {};
}

std::string unansweredSourceDescription(const std::string& subject) {
    return subject + "が応答しないため、書き出し先がその中でないことを確かめられませんでした";
}

} // namespace sorvin
