// TForm1, the main window: its definitions (main_window.h says what it does).
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <vector>

#include "app/activation.h"
#include "app/dialogs/about_window.h"
#include "app/dialogs/port_settings_window.h"
#include "app/dialogs/progress_window.h"
#include "app/messages.h"
#include "app/phone_table.h"
#include "app/port_keeper.h"
#include "app/settings_history.h"
#include "app/terminal_session.h"
#include "app/text_bridge.h"
#include "app/widgets/controls.h"
#include "app/widgets/phone_grid.h"
#include "app/widgets/sms_text_box.h"
#include "app/widgets/status_line.h"
#include "app/widgets/terminal.h"
#include "base/regular_file.h"
#include "link/link.h"
#include "settings/config_file.h"
#include "sms/counter.h"

using orv::ui::toQString;
using orv::ui::toText;

namespace {

// A key press that gives the text box a character: Enter and Backspace included; Tab moves the
// focus and Delete gives none.
bool producesCharacter(const QKeyEvent* key) {
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab ||
        key->key() == Qt::Key_Delete) {
        return false;
    }
    const QString text = key->text();
    return !text.isEmpty() && text != QChar(0x7F);
}

}  // namespace

TForm1::TForm1(orv::Link& link, orv::ui::OperationRunner& runner, QWidget* parent)
    : TForm1(&link, &runner, parent) {}

TForm1::TForm1(QWidget* parent) : TForm1(nullptr, nullptr, parent) {}

TForm1::TForm1(orv::Link* link, orv::ui::OperationRunner* runner, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      link_(link),
      runner_(runner) {
    if (!link_) {
        ownLink_ = std::make_unique<orv::Link>(std::make_unique<orv::SystemClock>());
        link_ = ownLink_.get();
    }
    if (!runner_) {
        ownRunner_ = std::make_unique<orv::ui::OperationRunner>(*link_);
        runner_ = ownRunner_.get();
    }
    runner_->setMainWindow(this);
    setupForm(this);
    connectForm();

    portKeeper_ =
        new orv::ui::PortKeeper(*this, portFlags_, *runner_, *link_, orv::ui::defaultPortList());
    runner_->setPortKeeper(portKeeper_);
    activation_ = new orv::ui::ActivationTracker(this);
    connect(activation_, &orv::ui::ActivationTracker::activated, this, &TForm1::onActivated);

    setRecord(orv::SettingsRecord());
    formCreate();
    setUpHistory(workingStateLoaded_);
}

TForm1::~TForm1() {
    // The history goes while the controls are whole; their last signals then note no change.
    delete history_;
    history_ = nullptr;
}

void TForm1::connectForm() {
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);
    connect(N5, &QAction::triggered, this, &TForm1::N5Click);
    connect(N6, &QAction::triggered, this, &TForm1::N6Click);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
    connect(Sim1, &QAction::triggered, this, &TForm1::Sim1Click);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(N12, &QAction::triggered, this, &TForm1::CompareWithDeviceClick);
    connect(N8, &QAction::triggered, this, &TForm1::N8Click);
    connect(N11, &QAction::triggered, this, &TForm1::N11Click);
    connect(N10, &QAction::triggered, this, &TForm1::N10Click);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Memo2, &orv::ui::SmsTextBox::counted, Label21, &QLabel::setText);
    Memo2->installEventFilter(this);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
}

void TForm1::formCreate() {
    createTable();
    selectUsKeyboardLayout();
    portFlags_.firstActivation = 0;
    // The port reader: the link shows in the terminal whatever arrives while its reader-stop
    // flag is clear, from the first opening of the port on.
    terminal_ = std::make_unique<orv::ui::Terminal>(Memo1);
    // Out of memory, or any other error, while the terminal takes the bytes is told as a
    // command's would be; the program goes on.
    connect(link_, &orv::Link::received, this, [this](const QByteArray& bytes) {
        orv::ui::runCommand(this, [&] { terminal_->receive(bytes); });
    });
    connect(link_, &orv::Link::portLost, this, &TForm1::portLost);
    Memo1->installEventFilter(this);
    // Something other than a file under that name is not loaded, but the user is told why. A
    // file that may be read but not written is loaded all the same: the window shows the
    // user's settings, and the user is told that the close cannot save them there.
    const QFileInfo file(QString::fromLatin1(orv::kWorkingStateFile));
    const bool writable = orv::canOpenForReadWrite(orv::kWorkingStateFile);
    const bool readOnly = !writable && file.isFile() && file.isReadable();
    if (writable || readOnly || orv::isOtherThanRegularFile(orv::kWorkingStateFile)) {
        const bool loaded = orv::ui::runCommand(
            this, [this] { loadFile(orv::kWorkingStateFile, orv::kWorkingStateShownName); });
        workingStateLoaded_ = loaded;
        if (!loaded && file.isFile()) {
            keepUnloadedWorkingState();
        } else if (loaded && readOnly) {
            orv::ui::showMessage(
                this, QMessageBox::Warning,
                QStringLiteral("Файл Config.bak доступен только для чтения. Настройки из него "
                               "загружены, но при закрытии программы сохранены в него не будут, "
                               "пока он не станет доступен для записи. Чтобы не потерять "
                               "изменения, сохраните настройки в другой файл (меню «Файл», пункт "
                               "«Сохранить»)."));
        }
    }
}

// A working-state file that did not load would be replaced at close by the window's settings:
// it is moved aside first, under a name that says so, and the user is told where. A move keeps
// the bytes whatever their size and takes no room. A name already taken (an earlier damaged
// file kept in the same second) gets a counter: no kept file is ever overwritten.
void TForm1::keepUnloadedWorkingState() {
    const QString base = QStringLiteral("%1.damaged-%2")
                             .arg(QString::fromLatin1(orv::kWorkingStateFile),
                                  QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
    QString kept = base;
    bool moved = false;
    for (int counter = 2; counter <= 1000; ++counter) {
        // The move refuses a name that is taken, whatever lies there.
        if (QFile::rename(QString::fromLatin1(orv::kWorkingStateFile), kept)) {
            moved = true;
            break;
        }
        if (!QFileInfo::exists(kept) && !QFileInfo(kept).isSymLink()) {
            break;  // the move failed for another reason
        }
        kept = QStringLiteral("%1-%2").arg(base).arg(counter);
    }
    const QString where = QDir::current().absoluteFilePath(kept);
    if (moved) {
        orv::ui::showMessage(
            this, QMessageBox::Information,
            QStringLiteral("Настройки из файла Config.bak не загружены, окно показывает "
                           "настройки по умолчанию. Содержимое файла сохранено как «%1».")
                .arg(QDir::toNativeSeparators(where)));
    } else {
        orv::ui::showMessage(
            this, QMessageBox::Warning,
            QStringLiteral("Настройки из файла Config.bak не загружены, и сохранить его копию "
                           "как «%1» не удалось. Сохраните файл Config.bak сами до закрытия "
                           "программы: при закрытии он будет перезаписан.")
                .arg(QDir::toNativeSeparators(where)));
    }
}

// The program starts in the US English keyboard layout where the system switches layouts per
// program. The desktops this runs on leave the input layout to the user, so nothing is done.
void TForm1::selectUsKeyboardLayout() {}

void TForm1::createTable() {
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        grids_[t]->cancelEditing();
        tables_[t]->setTable(ClientDataSet5->table());
    }
}

orv::SettingsRecord TForm1::record() {
    orv::SettingsRecord record;
    for (int n = 1; n <= orv::kChoiceCount; ++n) {
        record.choice(n) = choices_[static_cast<std::size_t>(n - 1)]->choice();
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        record.*orv::kTextSettings[i].member = toText(fields_[i]->text());
    }
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        grids_[t]->finishEditing();
        record.tables[t] = tables_[t]->table();
    }
    return record;
}

void TForm1::setRecord(const orv::SettingsRecord& record) {
    for (int n = 1; n <= orv::kChoiceCount; ++n) {
        choices_[static_cast<std::size_t>(n - 1)]->setChoice(record.choice(n));
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setValue(toQString(record.*orv::kTextSettings[i].member));
    }
    UpDown7->takeBuddyText();
    for (std::size_t t = 0; t < tables_.size(); ++t) {
        grids_[t]->cancelEditing();
        tables_[t]->setTable(record.tables[t]);
    }
}

orv::WindowWords TForm1::windowWords() const {
    orv::WindowWords words;
    auto text = [this](const char* name) {
        const auto* label = findChild<const QLabel*>(QString::fromLatin1(name));
        return label ? toText(label->text()) : orv::Text();
    };
    for (const QLabel* label : findChildren<const QLabel*>()) {
        for (std::size_t n = 0; n < choices_.size(); ++n) {
            if (label->buddy() == choices_[n]) {
                words.choiceLabels[n] = toText(label->text());
            }
        }
    }
    for (std::size_t n = 0; n < choices_.size(); ++n) {
        words.choiceItems[n] = {toText(choices_[n]->itemText(0)), toText(choices_[n]->itemText(1))};
    }
    for (std::size_t i = 0; i < words.fieldLabels.size(); ++i) {
        words.fieldLabels[i] = text(orv::kTextSettings[i].label);
    }
    for (const orv::TableSetting& table : orv::kTableSettings) {
        const auto* box = findChild<const QGroupBox*>(QString::fromLatin1(table.box));
        words.tableCaptions[table.id] = box ? toText(box->title()) : orv::Text();
    }
    return words;
}

void TForm1::loadFile(const std::string& path, const orv::Text& shownName) {
    orv::SettingsRecord loaded = record();
    orv::LoadFromFile(path, loaded, shownName);
    setRecord(loaded);
}

void TForm1::saveFile(const std::string& path) {
    orv::SaveData(path, record());
}

bool TForm1::formClose() {
    closePortAndWait();
    // A close after one whose save failed tries the save once more, as the cause may have been
    // mended meanwhile, and ends the program whether or not it succeeds. So does a close that
    // no one may be at the window for.
    const bool lastTry = closeRefused_ || runner_->reportingOnStandardError();
    const bool saved = runCloseStep([this, lastTry] {
        try {
            saveFile(orv::kWorkingStateFile);
        } catch (const orv::Failure& failure) {
            throw orv::Failure(failure.kind(), failure.text() + closeRefusedNote(lastTry));
        }
    });
    closeRefused_ = !saved;
    return saved || lastTry;
}

// Every character is one of the code page's, so that the message shows no stand-in.
orv::Text TForm1::closeRefusedNote(bool lastTry) {
    if (lastTry) {
        return orv::cp1251::fromUtf8(
            "\n\nНастройки не сохранены в файл Config.bak. Программа завершается без их "
            "сохранения.");
    }
    return orv::cp1251::fromUtf8(
        "\n\nНастройки не сохранены в файл Config.bak. Сохраните их в другой файл (меню "
        "«Файл», пункт «Сохранить») или устраните причину и закройте программу снова: она ещё "
        "раз попробует сохранить настройки и завершится в любом случае.");
}

bool TForm1::runCloseStep(const std::function<void()>& step) {
    if (!runner_->reportingOnStandardError()) {
        return orv::ui::runCommand(this, step);
    }
    try {
        step();
        return true;
    } catch (...) {
        runner_->reportOutcome(std::current_exception());
    }
    return false;
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->setAccepted(formClose());
    if (event->isAccepted()) {
        // The windows go: no job that may still be queued writes to the device.
        link_->refuseLines();
    }
}

void TForm1::closeBySignal() {
    if (inSignalClose_) {
        // Asked again while the close runs: end now.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        link_->refuseLines();
        QCoreApplication::exit(0);
        return;
    }
    if (closingBySignal_) {
        return;  // under way
    }
    closingBySignal_ = true;
    // No one may be at the windows: how the running operation ends, and the close itself, are
    // told on standard error.
    runner_->reportOnStandardError();
    // The running operation stops exactly as Escape stops it: at its next line boundary, with
    // its closing line and its message about the state it leaves.
    runner_->requestStop();
    continueSignalClose();
}

void TForm1::continueSignalClose() {
    if (inSignalClose_) {
        return;
    }
    // Dialogs and message boxes are closed as their close box would: a question is answered
    // No, a message is taken as read.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
    }
    if (runner_->busy() || portKeeper_->activating() || QApplication::activeModalWidget()) {
        // The operation ends at its stop point; then the close goes on.
        QTimer::singleShot(20, this, &TForm1::continueSignalClose);
        return;
    }
    inSignalClose_ = true;
    const bool closed = close();
    inSignalClose_ = false;
    link_->refuseLines();
    if (!closed) {
        QCoreApplication::exit(0);
    }
}

void TForm1::setAboutWindow(TForm2* about) {
    if (about_) {
        disconnect(about_, nullptr, this, nullptr);
    }
    about_ = about;
    runner_->addProgramWindow(about);
    if (about_) {
        connect(about_, &TForm2::terminalRequested, this, &TForm1::revealTerminal);
    }
}

void TForm1::setProgressWindow(TForm4* progress) {
    progress_ = progress;
    runner_->setProgressWindow(progress);
}

bool TForm1::terminalRevealed() const {
    return PageControl1->isTabVisible(PageControl1->indexOf(TabSheet3));
}

void TForm1::revealTerminal() {
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), true);
    if (terminalSession_) {
        return;
    }
    terminal_->beginSession();
    terminalSession_ =
        std::make_unique<orv::ui::TerminalSession>(*link_, *runner_, runner_->history());
    if (terminalSession_->keeping()) {
        terminal_->setJournalSave([this] { SaveTerminalJournalClick(); });
    }
    // A history that cannot be written is told once in the run, as after an operation.
    if (!terminalSession_->problem().empty()) {
        status_->setOutcome(QString::fromStdString(terminalSession_->problem()));
    }
}

void TForm1::SaveTerminalJournalClick() {
    if (!terminalSession_ || !terminalSession_->keeping()) {
        return;
    }
    QFileDialog dialog(this);
    dialog.setObjectName("SaveJournalDialog");
    // The platform's own dialog could move the process's current directory.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({QStringLiteral("Журнал (*.txt)"), QStringLiteral("Все файлы (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().constFirst().toUtf8().toStdString();
    orv::ui::runCommand(this, [&] { terminalSession_->saveTo(path); });
}

void TForm1::closePortAndWait() {
    // The link is idle whenever the windows take input; the bound only guards against a job
    // that never ends.
    link_->await([](orv::LinkContext& link) { link.closePort(); }, orv::Link::WhileWaiting::Block,
                 10'000);
    // A window that stays open (its save failed) opens the port again at its next activation.
    portKeeper_->closed();
}

void TForm1::portLost() {
    portKeeper_->lost();
}

void TForm1::setPortSettingsWindow(TForm3* settings) {
    portSettings_ = settings;
    runner_->addProgramWindow(settings);
    portKeeper_->setSettingsWindow(settings);
}

void TForm1::setPortList(orv::PortList& ports) {
    portKeeper_->setPortList(ports);
}

void TForm1::N8Click() {
    portFlags_.portChanged = 0;
    if (portSettings_) {
        portSettings_->showSettings();
    }
}

void TForm1::onActivated() {
    if (closingBySignal_ || !portKeeper_->activate()) {
        return;
    }
    for (QWidget* page : {TabSheet4, TabSheet3, TabSheet2, TabSheet1}) {
        PageControl1->setCurrentWidget(page);
    }
}

void TForm1::N4Click() {
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) {
        return;
    }
    const QString path = OpenDialog1->selectedFiles().constFirst();
    openConfiguration(path, QFileInfo(path).fileName());
}

bool TForm1::openConfiguration(const QString& path, const QString& shownName) {
    // Paths go to the core in UTF-8 on every system (base/platform.h).
    // One step of undo; a load that fails changes nothing and keeps none.
    if (!orv::ui::runCommand(this, [&] {
            history_->replace(QStringLiteral("Открыть"), [&] {
                loadFile(path.toUtf8().toStdString(), toText(QDir::toNativeSeparators(path)));
            });
        })) {
        return false;
    }
    setSource(shownName);
    status_->setOutcome(QStringLiteral("Открыт файл %1").arg(shownName));
    return true;
}

void TForm1::N5Click() {
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) {
        return;
    }
    const QString path = SaveDialog1->selectedFiles().constFirst();
    if (orv::ui::runCommand(this, [&] { saveFile(path.toUtf8().toStdString()); })) {
        setSource(QFileInfo(path).fileName());
        status_->setOutcome(QStringLiteral("Сохранено в %1").arg(QFileInfo(path).fileName()));
    }
}

void TForm1::N6Click() {
    close();
}

void TForm1::N10Click() {
    if (about_) {
        about_->showAbout();
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo1 && event->type() == QEvent::KeyPress) {
        return memo1KeyPress(static_cast<QKeyEvent*>(event));
    }
    if (watched == Memo1 && event->type() == QEvent::InputMethod) {
        // Text from an input method (dead keys, compose, a layout engine) goes to the device
        // like typed keys, never into the text; what is still being composed is not shown.
        sendTyped(
            orv::ui::Terminal::typedBytes(static_cast<QInputMethodEvent*>(event)->commitString()));
        return true;
    }
    if (watched == Memo2 && event->type() == QEvent::KeyPress) {
        return memo2KeyPress(static_cast<QKeyEvent*>(event));
    }
    return QMainWindow::eventFilter(watched, event);
}

// The SMS length counter: runs before the character reaches the text and may keep it out.
bool TForm1::memo2KeyPress(QKeyEvent* key) {
    // The paste key is no character: the box counts what it pastes.
    if (!producesCharacter(key) || key->matches(QKeySequence::Paste)) {
        return false;
    }
    const orv::CounterResult result =
        orv::Memo2KeyPress(orv::ui::shownLineLengths(*Memo2), key->key() == Qt::Key_Backspace);
    Label21->setText(QString::fromStdString(result.label()));
    return result.swallow;
}

// Each character typed into the terminal goes to the device at once as one byte, with the
// reader stopped around the write; only the device's echo appears in the text.
bool TForm1::memo1KeyPress(QKeyEvent* key) {
    const std::optional<unsigned char> byte = orv::ui::Terminal::typedByte(*key);
    if (!byte) {
        return false;
    }
    sendTyped({*byte});
    return true;
}

void TForm1::sendTyped(const std::vector<unsigned char>& bytes) {
    for (unsigned char b : bytes) {
        link_->type(b);
    }
}
