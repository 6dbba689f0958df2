#include "ui/platform/qt_alert_presenter.hpp"

#include <QMessageBox>

namespace sorvin {

void QtAlertPresenter::showWarning(const std::string& message, const std::string& informativeText) {
    QMessageBox alert(parent_);
    alert.setIcon(QMessageBox::Warning);
    alert.setTextFormat(Qt::PlainText);
    alert.setText(QString::fromStdString(message));
    alert.setInformativeText(QString::fromStdString(informativeText));
    alert.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    alert.exec();
}

} // namespace sorvin
