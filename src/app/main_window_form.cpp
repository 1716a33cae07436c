// MainForm, the main window's form (the controls of TForm1): its definitions (main_window_form.h
// says what it does).
#include "app/main_window_form.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>

#include "app/dialogs/file_dialog.h"
#include "app/phone_table.h"
#include "app/text_bridge.h"
#include "app/widgets/controls.h"
#include "app/widgets/phone_grid.h"
#include "app/widgets/sms_text_box.h"
#include "app/window_font.h"
#include "settings/settings_table.h"
#include "sms/counter.h"

namespace orv::ui {
namespace {

constexpr int kClientWidth = 502;
constexpr int kClientHeight = 321;
// Room around and between the group boxes of a page; the fixed box widths leave little.
constexpr int kPageSideMargin = 1;
constexpr int kPageMargin = 2;
constexpr int kRowSpacing = 4;
constexpr int kChoiceWidth = 90;
constexpr int kServiceFieldWidth = 100;
constexpr int kShortFieldWidth = 40;

// Narrows the space around the tab captions just enough for all visible tabs to fit the window's
// width, so that no caption is cut off or scrolled away when the terminal tab shows too.
class TabSpacingStyle : public QProxyStyle {
  public:
    TabSpacingStyle(const QString& baseStyle, int width) : QProxyStyle(baseStyle), width_(width) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int standard = QProxyStyle::pixelMetric(metric, option, widget);
        const auto* bar = qobject_cast<const QTabBar*>(widget);
        if (metric != PM_TabBarTabHSpace || !bar) {
            return standard;
        }
        int text = 0;
        int tabs = 0;
        for (int i = 0; i < bar->count(); ++i) {
            if (bar->isTabVisible(i)) {
                text += bar->fontMetrics().horizontalAdvance(bar->tabText(i));
                ++tabs;
            }
        }
        return tabs == 0 ? standard : std::clamp((width_ - text) / tabs, 4, standard);
    }

  private:
    int width_;
};

QGroupBox* groupBox(const char* name, const QString& title) {
    auto* box = new QGroupBox(title);
    box->setObjectName(name);
    return box;
}

// A box that fills the room its neighbour leaves. The style asks for more than the caption
// needs; the room is enough for the caption itself.
QGroupBox* fillingBox(const char* name, const QString& title) {
    QGroupBox* box = groupBox(name, title);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(title) + 6);
    return box;
}

QGridLayout* settingsGrid(QGroupBox* box) {
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(kRowSpacing);
    return grid;
}

// A label and its control. A label in a column that takes the room left may wrap, should a
// stand-in font be wider than the one the layout was made for.
void addRow(QGridLayout* grid, int row, const char* labelName, const QString& text,
            QWidget* control, int column = 0, bool wrap = true) {
    auto* label = new QLabel(text);
    label->setObjectName(labelName);
    label->setWordWrap(wrap);
    label->setBuddy(control);
    grid->addWidget(label, row, column);
    grid->addWidget(control, row, column + 1, Qt::AlignLeft);
    // The labels take the room the controls leave.
    grid->setColumnStretch(column, 1);
}

void fillWith(QGroupBox* box, QWidget* content) {
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->addWidget(content);
}

QHBoxLayout* pageRow(QWidget* page) {
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(kPageSideMargin, kPageMargin, kPageSideMargin, kPageMargin);
    row->setSpacing(kPageMargin);
    return row;
}

// A configuration file dialog: the open dialog or the save dialog.
QFileDialog* makeFileDialog(QMainWindow* window, const char* name, bool save) {
    auto* dialog = new ConfigFileDialog(window);
    dialog->setObjectName(name);
    // The platform's own dialog could move the process's current directory, where the
    // working-state file lies.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The open dialog does not itself require the file to exist: the loader reports it.
    dialog->setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {QStringLiteral("конфигурационные (*.cfg)"),
                                 QStringLiteral("все файлы (*.*)")};
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.first());
    dialog->setDefaultSuffix(QStringLiteral("cfg"));
    dialog->setDirectory(QDir::currentPath());
    return dialog;
}

}  // namespace

void MainForm::setupForm(QMainWindow* window) {
    window->setObjectName("Form1");
    window->setFont(windowFont());
    window->setWindowTitle(QStringLiteral("Программа программирования для GSM-ТАРКА Орвелин-9"));

    buildMenu(window);

    PageControl1 = new QTabWidget(window);
    PageControl1->setObjectName("PageControl1");
    auto* tabStyle = new TabSpacingStyle(window->style()->name(), kClientWidth - 2);
    tabStyle->setParent(PageControl1);
    PageControl1->tabBar()->setStyle(tabStyle);
    PageControl1->setUsesScrollButtons(false);
    PageControl1->addTab(buildIncomingPage(window), QStringLiteral("Входящие вызовы"));
    PageControl1->addTab(buildOutgoingPage(window), QStringLiteral("Исходящие вызовы"));
    PageControl1->addTab(buildServicePage(window), QStringLiteral("Сервисные настройки"));
    PageControl1->addTab(buildTerminalPage(), QStringLiteral("Дальворн-терминал"));
    PageControl1->addTab(buildSmsPage(), QStringLiteral("Сервис SMS"));
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), false);
    PageControl1->setCurrentWidget(TabSheet1);
    PageControl1->setFixedSize(kClientWidth, kClientHeight);
    window->setCentralWidget(PageControl1);
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    window->layout()->activate();

    ClientDataSet5 = new PhoneTableModel("ClientDataSet5", window);
    ClientDataSet5->setTable(orv::templateTable());

    OpenDialog1 = makeFileDialog(window, "OpenDialog1", false);
    SaveDialog1 = makeFileDialog(window, "SaveDialog1", true);
}

void MainForm::buildMenu(QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    bar->setObjectName("MainMenu1");
    auto menu = [bar](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto item = [](QMenu* m, const char* name, const QString& text, const QKeySequence& key) {
        QAction* action = m->addAction(text);
        action->setObjectName(name);
        action->setShortcut(key);
        return action;
    };

    N1 = menu("N1", QStringLiteral("Файл"));
    N4 = item(N1, "N4", QStringLiteral("Открыть"), QKeySequence(Qt::CTRL | Qt::Key_O));
    N5 = item(N1, "N5", QStringLiteral("Сохранить"), QKeySequence(Qt::CTRL | Qt::Key_S));
    N6 = item(N1, "N6", QStringLiteral("Выход"), QKeySequence());
    // Commands added after the original ones, under a separator.
    N1->addSeparator();
    NewSettings = item(N1, "NewSettings", QStringLiteral("Создать"), QKeySequence());
    ExportNumbers =
        item(N1, "ExportNumbers", QStringLiteral("Экспорт номеров в CSV…"), QKeySequence());
    ImportNumbers =
        item(N1, "ImportNumbers", QStringLiteral("Импорт номеров из CSV…"), QKeySequence());
    CompareWithFile =
        item(N1, "CompareWithFile", QStringLiteral("Сравнить с файлом…"), QKeySequence());
    N1->addSeparator();
    Undo = item(N1, "Undo", QStringLiteral("Отменить"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo = item(N1, "Redo", QStringLiteral("Повторить"), QKeySequence(Qt::CTRL | Qt::Key_Y));
    Redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    N1->addSeparator();
    OperationHistory =
        item(N1, "OperationHistory", QStringLiteral("История операций…"), QKeySequence());

    N3 = menu("N3", QStringLiteral("Программирование"));
    N7 = item(N3, "N7", QStringLiteral("Записать программирование"), QKeySequence(Qt::Key_F5));
    Sim1 = item(N3, "Sim1", QStringLiteral("Очистка Sim-карты"), QKeySequence(Qt::Key_F6));
    N2 = item(N3, "N2", QStringLiteral("Чтение программирования"), QKeySequence(Qt::Key_F7));
    N12 = item(N3, "N12", QStringLiteral("Сверить с устройством"), QKeySequence(Qt::Key_F8));
    N8 = item(N3, "N8", QStringLiteral("Настройки программирования"), QKeySequence());

    N9 = menu("N9", QStringLiteral("Передача данных"));
    N11 = item(N9, "N11", QStringLiteral("Переход в режим передачи данных"), QKeySequence());

    N10 = bar->addAction(QStringLiteral("О программе..."));
    N10->setObjectName("N10");
}

ChoiceBox* MainForm::makeChoice(const orv::ChoiceSetting& row) {
    auto* box = new ChoiceBox(QStringLiteral("ComboBox%1").arg(row.combo),
                              toQString(row.itemText(0)), toQString(row.itemText(1)));
    choices_[static_cast<std::size_t>(row.combo - 1)] = box;
    return box;
}

void MainForm::addChoiceRow(QGridLayout* grid, const orv::ChoiceSetting& row, int width) {
    ChoiceBox* box = makeChoice(row);
    box->setFixedWidth(width);
    const bool wrap = row.page != orv::Page::Outgoing;
    addRow(grid, row.row, row.label, toQString(row.labelText()), box, row.column, wrap);
}

LimitedEdit* MainForm::makeField(const orv::TextSetting& row) {
    auto* edit = new LimitedEdit(row.control, row.limit);
    // Each field takes only what the device can hold: digits, and a number's "+".
    edit->setAllowedCharacters(row.kind == orv::FieldKind::Number ? kNumberCharacters
                                                                  : kDigitCharacters);
    const bool wide = row.kind == orv::FieldKind::Password || row.kind == orv::FieldKind::Number;
    edit->setFixedWidth(wide ? kServiceFieldWidth : kShortFieldWidth);
    fields_[static_cast<std::size_t>(&row - std::begin(orv::kTextSettings))] = edit;
    return edit;
}

// The control of a text field as its kind needs it: the volume with its up-down beside it, the
// password hidden.
QWidget* MainForm::serviceField(const orv::TextSetting& row) {
    LimitedEdit* edit = makeField(row);
    switch (row.kind) {
        case orv::FieldKind::Volume: {
            Edit12 = edit;
            Edit12->setToolTip(
                QStringLiteral("Высокие значения громкости снижают эффективность Эхо-подавления"));
            // The volume holds 0 to 99, the range of its up-down: two digits.
            UpDown7 = new UpDown("UpDown7", Edit12, 0, 99);
            UpDown7->setFixedSize(16, Edit12->sizeHint().height());
            auto* volume = new QWidget;
            auto* volumeRow = new QHBoxLayout(volume);
            volumeRow->setContentsMargins(0, 0, 0, 0);
            volumeRow->setSpacing(0);
            volumeRow->addWidget(Edit12);
            volumeRow->addWidget(UpDown7);
            return volume;
        }
        case orv::FieldKind::Password:
            Edit7 = edit;
            Edit7->setEchoMode(QLineEdit::Password);
            Edit7->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
            return edit;
        case orv::FieldKind::TwoDigits:
        case orv::FieldKind::Number:
            break;
    }
    return edit;
}

// A phone table's group box with its caption; a box beside a fixed one takes the room left.
QGroupBox* MainForm::tableBox(orv::TableId table, bool filling) {
    const orv::TableSetting& row = orv::tableSetting(table);
    const QString caption = toQString(orv::cp1251::fromUtf8(row.caption));
    return filling ? fillingBox(row.box, caption) : groupBox(row.box, caption);
}

PhoneGrid* MainForm::makeGrid(QMainWindow* window, int number) {
    auto* model = new PhoneTableModel(QStringLiteral("ClientDataSet%1").arg(number), window);
    auto* grid = new PhoneGrid(QStringLiteral("DBGrid%1").arg(number));
    grid->setPhoneModel(model);
    grid->setTableId(static_cast<orv::TableId>(number - 1));
    tables_[static_cast<std::size_t>(number - 1)] = model;
    grids_[static_cast<std::size_t>(number - 1)] = grid;
    return grid;
}

QWidget* MainForm::buildIncomingPage(QMainWindow* window) {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    QHBoxLayout* row = pageRow(TabSheet1);

    GroupBox1 = groupBox("GroupBox1", QStringLiteral("Настройки входящих вызовов"));
    GroupBox1->setFixedWidth(320);
    QGridLayout* grid = settingsGrid(GroupBox1);
    int rows = 0;
    for (const orv::ChoiceSetting& setting : orv::kChoiceSettings) {
        if (setting.page == orv::Page::Incoming) {
            addChoiceRow(grid, setting, kChoiceWidth);
            rows = std::max(rows, setting.row + 1);
        }
    }
    grid->setRowStretch(rows, 1);
    row->addWidget(GroupBox1);

    GroupBox2 = tableBox(orv::kCallBackTable, true);
    fillWith(GroupBox2, makeGrid(window, 1));
    row->addWidget(GroupBox2, 1);
    return TabSheet1;
}

QWidget* MainForm::buildOutgoingPage(QMainWindow* window) {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    auto* column = new QVBoxLayout(TabSheet2);
    column->setContentsMargins(kPageSideMargin, kPageMargin, kPageSideMargin, kPageMargin);
    column->setSpacing(kPageMargin);

    GroupBox3 = groupBox("GroupBox3", QStringLiteral("Настройки исходящих вызовов"));
    GroupBox3->setFixedHeight(81);
    QGridLayout* grid = settingsGrid(GroupBox3);
    grid->setColumnMinimumWidth(2, 12);
    for (const orv::ChoiceSetting& setting : orv::kChoiceSettings) {
        if (setting.page == orv::Page::Outgoing) {
            addChoiceRow(grid, setting, kChoiceWidth);
        }
    }
    choices_[3]->setToolTip(
        QStringLiteral("Без проверки таблиц разрешенных/запрещенных номеров/направлений"));
    choices_[11]->setToolTip(
        QStringLiteral("Функцию должен поддерживать оператор предоставляющий услуги связи"));
    Button1 = new QPushButton(QStringLiteral("Проверить"));
    Button1->setObjectName("Button1");
    Button1->setFixedWidth(kChoiceWidth);
    addRow(grid, 1, "Label22", QStringLiteral("- услуга подключена?"), Button1, 3, false);
    // The two halves keep their natural widths; the room left goes between them.
    grid->setColumnStretch(0, 0);
    grid->setColumnStretch(3, 0);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 1);
    column->addWidget(GroupBox3);

    auto* lists = new QHBoxLayout;
    lists->setSpacing(kPageMargin);
    GroupBox4 = tableBox(orv::kAllowedTable, false);
    GroupBox4->setFixedWidth(177);
    fillWith(GroupBox4, makeGrid(window, 2));
    GroupBox5 = tableBox(orv::kForbiddenTable, false);
    GroupBox5->setFixedWidth(182);
    fillWith(GroupBox5, makeGrid(window, 3));
    lists->addWidget(GroupBox4);
    lists->addStretch(1);
    lists->addWidget(GroupBox5);
    column->addLayout(lists, 1);
    return TabSheet2;
}

QWidget* MainForm::buildServicePage(QMainWindow* window) {
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    QHBoxLayout* row = pageRow(TabSheet4);

    GroupBox6 = groupBox("GroupBox6", QStringLiteral("Сервисные настройки"));
    GroupBox6->setFixedWidth(340);
    QGridLayout* grid = settingsGrid(GroupBox6);

    // The rows top to bottom, each a choice or a text field of the service page.
    int rows = 0;
    for (int r = 0;; ++r, rows = r) {
        const auto* choice =
            std::find_if(std::begin(orv::kChoiceSettings), std::end(orv::kChoiceSettings),
                         [r](const orv::ChoiceSetting& c) {
                             return c.page == orv::Page::Service && c.row == r;
                         });
        const auto* field =
            std::find_if(std::begin(orv::kTextSettings), std::end(orv::kTextSettings),
                         [r](const orv::TextSetting& f) { return f.row == r; });
        if (choice != std::end(orv::kChoiceSettings)) {
            addChoiceRow(grid, *choice, kServiceFieldWidth);
        } else if (field != std::end(orv::kTextSettings)) {
            addRow(grid, r, field->label, toQString(field->labelText()), serviceField(*field));
        } else {
            break;
        }
    }
    grid->setRowStretch(rows, 1);
    row->addWidget(GroupBox6);

    GroupBox7 = tableBox(orv::kSpeedDialTable, true);
    PhoneGrid* grid4 = makeGrid(window, 4);
    const QString hint = QStringLiteral(
        "Занести номера ускоренного набора и со значностью меньше/больше запрограммированной");
    grid4->setToolTip(hint);
    grid4->viewport()->setToolTip(hint);
    fillWith(GroupBox7, grid4);
    row->addWidget(GroupBox7, 1);
    return TabSheet4;
}

QWidget* MainForm::buildTerminalPage() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    auto* layout = new QVBoxLayout(TabSheet3);
    layout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName("Memo1");
    Memo1->setTabChangesFocus(true);
    layout->addWidget(Memo1);
    return TabSheet3;
}

QWidget* MainForm::buildSmsPage() {
    TabSheet5 = new QWidget;
    TabSheet5->setObjectName("TabSheet5");
    Label21 = new QLabel(QString::fromUtf8(orv::kCounterInitialLabel), TabSheet5);
    Label21->setObjectName("Label21");
    Label21->setGeometry(8, 6, 120, 16);
    Memo2 = new SmsTextBox(TabSheet5);
    Memo2->setObjectName("Memo2");
    Memo2->setGeometry(8, 24, 305, 113);
    Memo2->setTabChangesFocus(true);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Button2 = new QPushButton(QStringLiteral("Разослать абонентам"), TabSheet5);
    Button2->setObjectName("Button2");
    Button2->setGeometry(330, 24, 145, 33);
    Button3 = new QPushButton(QStringLiteral("Загрузить файл абонентов"), TabSheet5);
    Button3->setObjectName("Button3");
    Button3->setGeometry(330, 64, 145, 33);
    return TabSheet5;
}

}  // namespace orv::ui
