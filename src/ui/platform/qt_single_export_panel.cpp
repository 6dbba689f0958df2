#include "ui/platform/qt_single_export_panel.hpp"

#include "export/export_validation_error.hpp"
#include "export/exporter_destination.hpp"
#include "export/single_export_accessory_state.hpp"
#include "export/single_export_file_name.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_mount_watch.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QCompleter>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>
#include <chrono>
#include <memory>
#include <utility>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

const char* const jpegButtonName = "singleExportJpeg";
const char* const heifButtonName = "singleExportHeif";
const char* const nameFieldName = "singleExportName";
const char* const nameProblemName = "singleExportNameProblem";

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// What accepting the panel asks of the disk, one question at a time: whether the typed path is a
// folder to open, and whether the file to be written is there already. Each waits for a share that
// answers late as long as the export's check of its destination does.
struct SaveCheck {
    FolderProbe::Question question;
    std::optional<fs::path> chosen; // the file, once the panel may close
};

} // namespace

FolderChooserDialog* QtSingleExportPanel::activeDialog() const {
    return dialog_;
}

QLineEdit* QtSingleExportPanel::nameField() const {
    return dialog_ ? dialog_->findChild<QLineEdit*>(QLatin1String(nameFieldName)) : nullptr;
}

QLabel* QtSingleExportPanel::problemLabel() const {
    return dialog_ ? dialog_->findChild<QLabel*>(QLatin1String(nameProblemName)) : nullptr;
}

QRadioButton* QtSingleExportPanel::formatButton(SingleExportFormat format) const {
    if (!dialog_) return nullptr;
    return dialog_->findChild<QRadioButton*>(
        QLatin1String(format == SingleExportFormat::heic ? heifButtonName : jpegButtonName));
}

void QtSingleExportPanel::present(const SingleExportPanelOptions& options, FormatChanged formatChanged,
                                  Completion completion) {
    QtMountWatch* systemMounts = mounts_ ? nullptr : new QtMountWatch();
    FolderChooserOptions chooser;
    chooser.title = qText(options.message);
    chooser.acceptLabel = qText(options.prompt);
    chooser.listsFiles = true;
    const fs::path home = QDir::homePath().toStdString();
    auto* dialog = new FolderChooserDialog(parent_, probe_, mounts_ ? mounts_ : systemMounts, home,
                                           options.startFolder.value_or(home), chooser);
    if (systemMounts) systemMounts->setParent(dialog);
    dialog_ = dialog;

    // The name row: "名前:", the field, and the line that says why a name is refused.
    auto* nameRow = new QWidget(dialog);
    auto* nameLayout = new QHBoxLayout(nameRow);
    nameLayout->setContentsMargins(0, 0, 0, 0);
    auto* nameLabel = new QLabel(qText(options.nameFieldLabel), nameRow);
    auto* name = new QLineEdit(qText(options.proposedName), nameRow);
    name->setObjectName(QLatin1String(nameFieldName));
    nameLabel->setBuddy(name);
    auto* problem = new QLabel(nameRow);
    problem->setObjectName(QLatin1String(nameProblemName));
    problem->setStyleSheet(QStringLiteral("color: %1;").arg(SorvinColor::accent().name()));
    problem->hide();
    nameLayout->addWidget(nameLabel);
    nameLayout->addWidget(name, 1);
    nameLayout->addWidget(problem);
    dialog->addRow(nameRow);

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
    dialog->addRow(accessory);
    const auto showFormat = [state, jpeg, heif] {
        jpeg->setChecked(state->isSelected(SingleExportFormat::jpeg));
        heif->setChecked(state->isSelected(SingleExportFormat::heic));
    };
    showFormat();

    // The name as typed is kept and given the format's extension ("trip.v2" becomes "trip.v2.jpg").
    state->onFormatChanged = [name, formatChanged = std::move(formatChanged)](SingleExportFormat format) {
        name->setText(qText(SingleExportFileName::replacingExportExtension(name->text().toStdString(), format)));
        if (formatChanged) formatChanged(format);
    };
    for (auto [button, format] :
         {std::pair{jpeg, SingleExportFormat::jpeg}, std::pair{heif, SingleExportFormat::heic}})
        QObject::connect(button, &QRadioButton::clicked, dialog, [state, showFormat, format = format] {
            state->select(format);
            showFormat();
        });
    QObject::connect(name, &QLineEdit::textEdited, problem, &QLabel::hide);

    // The names of the folder shown, as far as they answered: completing asks the disk nothing.
    auto* names = new QStringListModel(name);
    auto* completer = new QCompleter(names, name);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    name->setCompleter(completer);
    QObject::connect(name, &QLineEdit::textEdited, names, [dialog, names] {
        QStringList shown;
        for (const FolderChooserModel::Row& entry : dialog->model().rows()) shown << QString::fromStdString(entry.name);
        if (shown != names->stringList()) names->setStringList(shown);
    });
    dialog->setFileChosen([name, problem](const std::string& file) {
        name->setText(QString::fromStdString(file));
        problem->hide();
    });

    const auto refuse = [name, problem](std::string_view message) {
        problem->setText(qText(message));
        problem->show();
        name->setFocus();
    };
    // The questions below hold the check weakly: the dialog holds it, and when the dialog closes
    // they end with it, so that an answer that comes after changes nothing.
    auto check = std::make_shared<SaveCheck>();
    const std::weak_ptr<SaveCheck> checking = check;
    // Asks what is at a path; the first word (an answer, or none once the wait is over) settles it.
    const auto askKind = [checking, &probe = probe_](const fs::path& path,
                                                      std::function<void(std::optional<FolderProbePathKind>)> then) {
        const auto asking = checking.lock();
        if (!asking) return;
        const double wait = std::chrono::duration<double>(Exporter::kFolderAnswerWait).count();
        asking->question = probe.kindOf(path, wait, [checking, then](auto kind) {
            const auto answered = checking.lock();
            if (!answered) return;
            answered->question.cancel(); // a late answer after the wait is not wanted
            then(kind);
        });
    };
    // A file that is there already is written over only when the user says so.
    const auto writeTo = [dialog, name, checking](const fs::path& file, FolderProbePathKind kind) {
        if (kind != FolderProbePathKind::other) {
            if (const auto chosen = checking.lock()) chosen->chosen = file;
            dialog->accept();
            return;
        }
        auto* ask = new QMessageBox(
            QMessageBox::Warning, dialog->windowTitle(),
            QStringLiteral("「%1」はすでにあります。置き換えますか？").arg(QString::fromStdString(file.filename().string())),
            QMessageBox::NoButton, dialog);
        ask->setAttribute(Qt::WA_DeleteOnClose);
        QPushButton* replace = ask->addButton(QStringLiteral("置き換える"), QMessageBox::AcceptRole);
        ask->setDefaultButton(ask->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole));
        QObject::connect(ask, &QMessageBox::finished, dialog, [dialog, name, checking, ask, replace, file] {
            const auto chosen = checking.lock();
            if (!chosen || ask->clickedButton() != replace) {
                name->setFocus();
                return;
            }
            chosen->chosen = file;
            dialog->accept();
        });
        ask->open();
    };
    const auto openTyped = [dialog, name, state, proposed = options.proposedName](const fs::path& folder) {
        dialog->model().openFolder(folder);
        name->setText(qText(SingleExportFileName::replacingExportExtension(proposed, state->format())));
        name->selectAll();
        name->setFocus();
    };
    // A new file is written only into a folder that is there: the panel stays open otherwise.
    const auto writeNew = [askKind, writeTo, refuse](const fs::path& file) {
        askKind(file.parent_path(), [writeTo, refuse, file](std::optional<FolderProbePathKind> folder) {
            if (!folder) refuse(SingleExportFileName::unansweredFolderMessage);
            else if (*folder != FolderProbePathKind::folder)
                refuse(errorDescription(SingleExportValidationError::destinationMissing));
            else writeTo(file, FolderProbePathKind::missing);
        });
    };
    // The name and the data agree before the dialog closes: a name ending in a format's extension
    // keeps it and takes that format, any other gets the chosen format's; an empty name is refused
    // under the field. A typed folder is opened instead, and the file is looked for before it is
    // written over; a path that does not answer in time, or a folder that is not there, keeps the
    // panel open, saying so.
    const auto accept = [dialog, name, refuse, state, check, askKind, writeTo, writeNew, openTyped, home] {
        if (check->question.isOut()) return;
        const std::string typed = name->text().toStdString();
        if (typed.empty()) {
            refuse(SingleExportFileName::emptyNameMessage);
            return;
        }
        const fs::path path = SingleExportFileName::typedPath(typed, dialog->model().folder(), home);
        // "trip/" names a folder alone: it is opened when it is one, and is no name otherwise.
        const auto chosen = SingleExportFileName::chosenFile(path, state->format());
        const fs::path file = chosen ? chosen->file : path;
        const auto settle = [refuse, writeTo, writeNew, openTyped, named = chosen.has_value()](
                                const fs::path& asked, const fs::path& file, std::optional<FolderProbePathKind> kind) {
            if (!kind) refuse(SingleExportFileName::unansweredFolderMessage);
            else if (*kind == FolderProbePathKind::folder) openTyped(asked);
            else if (!named) refuse(SingleExportFileName::emptyNameMessage);
            else if (*kind == FolderProbePathKind::missing) writeNew(file);
            else writeTo(file, *kind);
        };
        // The typed path first, then the file with its extension, when that is another.
        askKind(path, [askKind, settle, path, file](std::optional<FolderProbePathKind> kind) {
            if (file == path || !kind || *kind == FolderProbePathKind::folder) settle(path, file, kind);
            else askKind(file, [settle, file](std::optional<FolderProbePathKind> fileKind) { settle(file, file, fileKind); });
        });
    };
    dialog->setAcceptAction(accept);
    QObject::connect(name, &QLineEdit::returnPressed, dialog, accept);
    // A name changed while the last one is checked (typed, chosen, given another extension) is no
    // longer the one asked about.
    QObject::connect(name, &QLineEdit::textChanged, dialog, [check] { check->question.cancel(); });

    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, state, check, completion = std::move(completion)](int result) {
                         check->question.cancel();
                         std::optional<fs::path> file;
                         SingleExportFormat format = state->format();
                         if (result == QDialog::Accepted && check->chosen) {
                             file = check->chosen;
                             if (const auto chosen = SingleExportFileName::chosenFile(*file, format))
                                 format = chosen->format;
                         }
                         dialog->deleteLater();
                         if (completion) completion(std::move(file), format);
                     });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
    name->setFocus();
    // The name without its extension is selected, ready to be typed over.
    const QString proposedName = name->text();
    const qsizetype dot = proposedName.lastIndexOf(u'.');
    name->setSelection(0, dot > 0 ? dot : proposedName.size());
}

} // namespace sorvin
