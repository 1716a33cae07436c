#pragma once
// MainForm, the main window's form: every control of TForm1 under its own name, listed in the order
// the window shows them, and the one function that builds them. Only what the user sees is made
// here; what the controls do is connected by the window itself (main_window.cpp).

#include <array>

#include "settings/settings_record.h"
#include "settings/settings_table.h"

class QAction;
class QFileDialog;
class QGridLayout;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace orv::ui {

class ChoiceBox;
class LimitedEdit;
class PhoneGrid;
class PhoneTableModel;
class SmsTextBox;
class UpDown;

struct MainForm {
    // Builds the window's controls into `window`: its caption and font, the menu bar, the tabs
    // with their group boxes, settings, grids and buttons, the phone tables and the
    // configuration file dialogs. The terminal's tab is hidden; the first tab is selected.
    void setupForm(QMainWindow* window);

    // Menu bar MainMenu1.
    QMenu* N1 = nullptr;    // "Файл"
    QAction* N4 = nullptr;  // "Открыть"
    QAction* N5 = nullptr;  // "Сохранить"
    QAction* N6 = nullptr;  // "Выход"
    // After a separator: the settings as a whole.
    QAction* NewSettings = nullptr;      // "Создать": the defaults
    QAction* ExportNumbers = nullptr;    // "Экспорт номеров в CSV…"
    QAction* ImportNumbers = nullptr;    // "Импорт номеров из CSV…"
    QAction* CompareWithFile = nullptr;  // "Сравнить с файлом…"
    QAction* Undo = nullptr;             // "Отменить", Ctrl+Z
    QAction* Redo = nullptr;             // "Повторить", Ctrl+Y and Ctrl+Shift+Z
    // After a separator: the records the device operations left.
    QAction* OperationHistory = nullptr;  // "История операций…"
    QMenu* N3 = nullptr;                  // "Программирование"
    QAction* N7 = nullptr;                // "Записать программирование"
    QAction* Sim1 = nullptr;              // "Очистка Sim-карты"
    QAction* N2 = nullptr;                // "Чтение программирования"
    QAction* N12 = nullptr;               // "Сверить с устройством"
    QAction* N8 = nullptr;                // "Настройки программирования"
    QMenu* N9 = nullptr;                  // "Передача данных"
    QAction* N11 = nullptr;  // "Переход в режим передачи данных"
    QAction* N10 = nullptr;  // "О программе..."

    QTabWidget* PageControl1 = nullptr;

    // "Входящие вызовы": the incoming-call settings, ComboBox1, 2, 3, 7, 11, 13 and 14 with
    // Label1 to Label7, beside the call-back table.
    QWidget* TabSheet1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;  // "Настройки входящих вызовов"
    QGroupBox* GroupBox2 = nullptr;  // the call-back numbers, DBGrid1

    // "Исходящие вызовы": ComboBox4 (Label8), ComboBox5 (Label9), ComboBox12 (Label10) and
    // Button1 (Label22) above the allowed and forbidden tables.
    QWidget* TabSheet2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;  // "Настройки исходящих вызовов"
    QPushButton* Button1 = nullptr;  // "Проверить"
    QGroupBox* GroupBox4 = nullptr;  // the allowed numbers and directions, DBGrid2
    QGroupBox* GroupBox5 = nullptr;  // the forbidden numbers and directions, DBGrid3

    // "Сервисные настройки": Label11 to Label20, each beside its control, top to bottom:
    // ComboBox9, Edit12 with UpDown7, ComboBox10, ComboBox6, Edit7, Edit8, Edit9, ComboBox8,
    // Edit10, Edit11; beside them the speed-dial table.
    QWidget* TabSheet4 = nullptr;
    QGroupBox* GroupBox6 = nullptr;  // "Сервисные настройки"
    LimitedEdit* Edit12 = nullptr;   // the volume
    UpDown* UpDown7 = nullptr;
    LimitedEdit* Edit7 = nullptr;    // the password
    QGroupBox* GroupBox7 = nullptr;  // the speed-dial numbers, DBGrid4

    // "Дальворн-терминал", hidden until revealed.
    QWidget* TabSheet3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;  // the terminal

    // "Сервис SMS".
    QWidget* TabSheet5 = nullptr;
    QLabel* Label21 = nullptr;       // the SMS length counter
    SmsTextBox* Memo2 = nullptr;     // the SMS text
    QPushButton* Button2 = nullptr;  // "Разослать абонентам"
    QPushButton* Button3 = nullptr;  // "Загрузить файл абонентов"

    // The fourteen choices, ComboBox<n> at n - 1, and the four phone tables with their grids,
    // ClientDataSet<n> and DBGrid<n> at n - 1.
    std::array<ChoiceBox*, kChoiceCount> choices_{};
    // The text fields (Edit12, Edit7, Edit8 ...), in the rows' order of kTextSettings.
    std::array<LimitedEdit*, std::size(kTextSettings)> fields_{};
    std::array<PhoneTableModel*, kTableCount> tables_{};
    std::array<PhoneGrid*, kTableCount> grids_{};

    PhoneTableModel* ClientDataSet5 = nullptr;  // the template, never shown

    QFileDialog* OpenDialog1 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;

  private:
    void buildMenu(QMainWindow* window);
    QWidget* buildIncomingPage(QMainWindow* window);
    QWidget* buildOutgoingPage(QMainWindow* window);
    QWidget* buildServicePage(QMainWindow* window);
    QWidget* buildTerminalPage();
    QWidget* buildSmsPage();
    ChoiceBox* makeChoice(const ChoiceSetting& row);
    void addChoiceRow(QGridLayout* grid, const ChoiceSetting& row, int width);
    LimitedEdit* makeField(const TextSetting& row);
    QWidget* serviceField(const TextSetting& row);
    QGroupBox* tableBox(TableId table, bool filling);
    PhoneGrid* makeGrid(QMainWindow* window, int number);
};

}  // namespace orv::ui
