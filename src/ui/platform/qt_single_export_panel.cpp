#include "ui/platform/qt_single_export_panel.hpp"

#include "export/single_export_accessory_state.hpp"
#include "export/single_export_file_name.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <memory>

namespace sorvin {
namespace {

const char* const jpegButtonName = "singleExportJpeg";
const char* const heifButtonName = "singleExportHeif";

QString nameFilter(SingleExportFormat format) {
    return format == SingleExportFormat::heic ? QStringLiteral("HEIF (*.heic)")
                                              : QStringLiteral("JPEG (*.jpg)");
}

} // namespace

QFileDialog* QtSingleExportPanel::activeDialog() const {
    return dialog_;
}

QRadioButton* QtSingleExportPanel::formatButton(SingleExportFormat format) const {
    if (!dialog_) return nullptr;
    return dialog_->findChild<QRadioButton*>(
        QLatin1String(format == SingleExportFormat::heic ? heifButtonName : jpegButtonName));
}

void QtSingleExportPanel::present(const SingleExportPanelOptions& options, FormatChanged formatChanged,
                                  Completion completion) {
    auto* dialog = new QFileDialog(parent_, QString::fromStdString(options.message));
    dialog_ = dialog;
    // Qt's own dialog, so that the format choice can sit in it.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setLabelText(QFileDialog::Accept, QString::fromStdString(options.prompt));
    dialog->setLabelText(QFileDialog::FileName, QString::fromStdString(options.nameFieldLabel));
    if (options.startFolder) dialog->setDirectory(QString::fromStdString(options.startFolder->string()));
    dialog->setNameFilter(nameFilter(options.format));
    dialog->selectFile(QString::fromStdString(options.proposedName));

    auto state = std::make_shared<SingleExportAccessoryState>(options.format);
    auto* accessory = new QWidget(dialog);
    auto* row = new QHBoxLayout(accessory);
    row->setContentsMargins(20, 0, 20, 0);
    row->setSpacing(12);
    auto* label = new QLabel(QStringLiteral("保存形式:"), accessory);
    label->setFont(SorvinLook::font(13));
    auto* jpeg = new QRadioButton(QStringLiteral("JPEG"), accessory);
    auto* heif = new QRadioButton(QStringLiteral("HEIF"), accessory);
    jpeg->setObjectName(QLatin1String(jpegButtonName));
    heif->setObjectName(QLatin1String(heifButtonName));
    // The two buttons are kept exclusive by hand, from the chosen format.
    jpeg->setAutoExclusive(false);
    heif->setAutoExclusive(false);
    row->addWidget(label);
    row->addWidget(jpeg);
    row->addWidget(heif);
    row->addStretch(1);
    const auto showFormat = [state, jpeg, heif] {
        jpeg->setChecked(state->isSelected(SingleExportFormat::jpeg));
        heif->setChecked(state->isSelected(SingleExportFormat::heic));
    };
    showFormat();
    if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
        grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
    else if (dialog->layout())
        dialog->layout()->addWidget(accessory);

    state->onFormatChanged = [dialog, formatChanged = std::move(formatChanged)](SingleExportFormat format) {
        // The dialog swaps whatever follows the last dot of the name for the new filter's suffix
        // ("trip.v2" would become "trip.jpg"): the name as typed is read first and set after.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const std::string typed = name ? name->text().toStdString() : std::string();
        dialog->setNameFilter(nameFilter(format));
        if (name)
            name->setText(
                QString::fromStdString(SingleExportFileName::replacingExportExtension(typed, format)));
        if (formatChanged) formatChanged(format);
    };
    for (auto [button, format] :
         {std::pair{jpeg, SingleExportFormat::jpeg}, std::pair{heif, SingleExportFormat::heic}})
        QObject::connect(button, &QRadioButton::clicked, dialog, [state, showFormat, format = format] {
            state->select(format);
            showFormat();
        });

    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, state, completion = std::move(completion)](int result) {
                         std::optional<std::filesystem::path> file;
                         if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
                             file = std::filesystem::path(dialog->selectedFiles().first().toStdString());
                         dialog->deleteLater();
                         if (completion) completion(std::move(file), state->format());
                     });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

} // namespace sorvin
