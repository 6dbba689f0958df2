#include "ui/platform/qt_single_export_panel.hpp"

#include "app/app_state.hpp"
#include "export/single_export_accessory_state.hpp"
#include "export/single_export_file_name.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>
#include <memory>
#include <thread>
#include <utility>

namespace sorvin {
namespace {

const char* const jpegButtonName = "singleExportJpeg";
const char* const heifButtonName = "singleExportHeif";

const char* const nameProblemName = "singleExportNameProblem";

QString nameFilter(SingleExportFormat format) {
    return format == SingleExportFormat::heic ? QStringLiteral("HEIF (*.heic)")
                                              : QStringLiteral("JPEG (*.jpg)");
}

// Qt's save dialog, asked before it accepts: a typed folder is opened, and the name of a file is
// settled first, so that the dialog's own question about replacing a file is asked of the file
// that will be written.
class SaveDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    std::function<void()> beforeAccepting; // calls acceptNow() when the dialog may close
    void accept() override {
        if (beforeAccepting)
            beforeAccepting();
        else
            acceptNow();
    }
    void acceptNow() { QFileDialog::accept(); }
};

// The disk is asked on a thread of its own, which a share that stopped answering may hold for
// good; the answer, or none once the wait has passed, comes on the main thread.
void askInTheBackground(const std::filesystem::path& path, std::function<void(std::optional<bool>)> answered) {
    auto once = std::make_shared<std::function<void(std::optional<bool>)>>(std::move(answered));
    const auto answer = [once](std::optional<bool> isFolder) {
        if (auto told = std::exchange(*once, nullptr)) told(isFolder);
    };
    QTimer::singleShot(static_cast<int>(AppState::kFolderCheckWait * 1000), qApp, [answer] { answer(std::nullopt); });
    std::thread([path, answer, application = QPointer<QCoreApplication>(qApp)] {
        std::error_code ignored;
        const bool isFolder = std::filesystem::is_directory(path, ignored);
        if (application)
            QMetaObject::invokeMethod(application, [answer, isFolder] { answer(isFolder); }, Qt::QueuedConnection);
    }).detach();
}

// Remembers the typed name when the user turns to the dialog's list of file types: choosing in
// it, the dialog puts the filter's extension in place of whatever follows the name's last dot,
// before anyone hears of the choice.
class NameBeforeFilterChoice final : public QObject {
public:
    NameBeforeFilterChoice(QComboBox* types, QLineEdit* name) : QObject(types), name_(name) {
        types->installEventFilter(this);
    }
    QString typed() const { return typed_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::KeyPress || type == QEvent::Wheel)
            typed_ = name_->text();
        return false;
    }

private:
    QLineEdit* name_;
    QString typed_;
};

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
    auto* dialog = new SaveDialog(parent_, QString::fromStdString(options.message));
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

    auto* problem = new QLabel(accessory);
    problem->setObjectName(QLatin1String(nameProblemName));
    problem->setStyleSheet(QStringLiteral("color: %1;").arg(SorvinColor::accent().name()));
    problem->hide();
    row->insertWidget(row->count() - 1, problem);

    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    // The dialog swaps whatever follows the last dot of the name for the new filter's suffix
    // ("trip.v2" would become "trip.jpg"): the name as typed is kept and given the format's.
    const auto showFormatOf = [dialog, name](const QString& typed, SingleExportFormat format) {
        dialog->setNameFilter(nameFilter(format));
        if (name)
            name->setText(QString::fromStdString(
                SingleExportFileName::replacingExportExtension(typed.toStdString(), format)));
    };
    state->onFormatChanged = [name, showFormatOf,
                              formatChanged = std::move(formatChanged)](SingleExportFormat format) {
        showFormatOf(name ? name->text() : QString(), format);
        if (formatChanged) formatChanged(format);
    };
    for (auto [button, format] :
         {std::pair{jpeg, SingleExportFormat::jpeg}, std::pair{heif, SingleExportFormat::heic}})
        QObject::connect(button, &QRadioButton::clicked, dialog, [state, showFormat, format = format] {
            state->select(format);
            showFormat();
        });
    if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")); types && name) {
        auto* keeper = new NameBeforeFilterChoice(types, name);
        QObject::connect(types, &QComboBox::activated, dialog,
                         [state, keeper, showFormatOf] { showFormatOf(keeper->typed(), state->format()); });
    }
    if (name) QObject::connect(name, &QLineEdit::textEdited, problem, &QLabel::hide);

    // The name and the data agree before the dialog closes: a name ending in a format's extension
    // keeps it and takes that format, any other gets the chosen format's; an empty name is refused
    // under the field. A typed folder is opened instead, as Qt's dialog does, but the disk is asked
    // off the main thread.
    const auto refuse = [name, problem](std::string_view message) {
        problem->setText(QString::fromUtf8(message.data(), static_cast<int>(message.size())));
        problem->show();
        name->setFocus();
    };
    auto checking = std::make_shared<bool>(false);
    dialog->beforeAccepting = [dialog, name, refuse, state, checking, ask = folderCheck_,
                               proposed = options.proposedName] {
        if (!name) {
            dialog->acceptNow();
            return;
        }
        if (*checking) return;
        const std::string typed = name->text().toStdString();
        const auto settle = [dialog, name, refuse, state, typed] {
            const auto chosen = SingleExportFileName::chosenFile(typed, state->format());
            if (!chosen) {
                refuse(SingleExportFileName::emptyNameMessage);
                return;
            }
            name->setText(QString::fromStdString(chosen->file.string()));
            dialog->acceptNow();
        };
        if (typed.empty()) {
            settle();
            return;
        }
        const std::filesystem::path path = SingleExportFileName::typedPath(
            typed, dialog->directory().absolutePath().toStdString(), QDir::homePath().toStdString());
        *checking = true;
        (ask ? ask : askInTheBackground)(
            path, [alive = QPointer<SaveDialog>(dialog), name, refuse, state, checking, settle, proposed,
                   path](std::optional<bool> isFolder) {
                *checking = false;
                if (!alive) return;
                if (!isFolder) {
                    refuse(SingleExportFileName::unansweredFolderMessage);
                } else if (*isFolder) {
                    alive->setDirectory(QString::fromStdString(path.string()));
                    name->setText(QString::fromStdString(
                        SingleExportFileName::replacingExportExtension(proposed, state->format())));
                    name->selectAll();
                } else {
                    settle();
                }
            });
    };

    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, state, completion = std::move(completion)](int result) {
                         std::optional<std::filesystem::path> file;
                         SingleExportFormat format = state->format();
                         if (result == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
                             file = std::filesystem::path(dialog->selectedFiles().first().toStdString());
                             if (const auto chosen = SingleExportFileName::chosenFile(*file, format))
                                 format = chosen->format;
                         }
                         dialog->deleteLater();
                         if (completion) completion(std::move(file), format);
                     });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

} // namespace sorvin
