#pragma once

#include <string>

namespace sorvin {

// Warnings that need the user's acknowledgement (one "OK" button); the UI implements it on the
// main window, or application-modal when that window already shows a sheet.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual void showWarning(const std::string& message, const std::string& informativeText) = 0;
};

} // namespace sorvin
