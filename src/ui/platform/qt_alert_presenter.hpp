#pragma once

#include "platform/alert_presenter.hpp"

#include <functional>

class QWidget;

namespace sorvin {

// Warnings as modal message boxes on the main window.
class QtAlertPresenter final : public AlertPresenter {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void showWarning(const std::string& message, const std::string& informativeText) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace sorvin
