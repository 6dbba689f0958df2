#pragma once

#include <stdexcept>

namespace sorvin {

// A save refused because the folder's record file was written by a version of the program that
// this one cannot read; the file is left as it is. Record decoding raises it for a version
// other than 1 and 2.
class SelectionStoreError : public std::runtime_error {
public:
    SelectionStoreError() : std::runtime_error("記録ファイルはこのバージョンでは書き込めません") {}
};

} // namespace sorvin
