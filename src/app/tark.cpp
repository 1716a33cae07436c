#include "app/tark.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "app/activation.h"
#include "app/controls.h"
#include "app/file_dialog.h"
#include "app/messages.h"
#include "app/phone_grid.h"
#include "app/phone_table.h"
#include "app/port_keeper.h"
#include "app/sms_text_box.h"
#include "app/tark2.h"
#include "app/tark3.h"
#include "app/tark4.h"
#include "app/terminal.h"
#include "app/text_bridge.h"
#include "app/window_font.h"
#include "link/link.h"
#include "settings/config_file.h"
#include "settings/regular_file.h"
#include "sms/counter.h"

using orv::ui::ChoiceBox;
using orv::ui::LimitedEdit;
using orv::ui::PhoneGrid;
using orv::ui::PhoneTableModel;
using orv::ui::toQString;
using orv::ui::toText;

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

// The lengths of the lines the box shows: each wrapped line separately, without line breaks.
std::vector<int> visualLineLengths(const QPlainTextEdit& memo) {
    std::vector<int> lengths;
    QTextDocument* document = memo.document();
    QAbstractTextDocumentLayout* documentLayout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        documentLayout->blockBoundingRect(block);  // lays the block out when it is not yet
        const QTextLayout* layout = block.layout();
        if (!layout || layout->lineCount() == 0) {
            lengths.push_back(block.length() - 1);
            continue;
        }
        for (int i = 0; i < layout->lineCount(); ++i) {
            lengths.push_back(layout->lineAt(i).textLength());
        }
    }
    return lengths;
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
    setObjectName("Form1");
    if (!link_) {
        ownLink_ = std::make_unique<orv::Link>(std::make_unique<orv::SystemClock>());
        link_ = ownLink_.get();
    }
    if (!runner_) {
        ownRunner_ = std::make_unique<orv::ui::OperationRunner>(*link_);
        runner_ = ownRunner_.get();
    }
    runner_->setMainWindow(this);
    setFont(orv::ui::windowFont());
    setWindowTitle(QStringLiteral("Программа программирования для GSM-ТАРКА Орвелин-9"));

    buildMenu();

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    auto* tabStyle = new TabSpacingStyle(style()->name(), kClientWidth - 2);
    tabStyle->setParent(PageControl1);
    PageControl1->tabBar()->setStyle(tabStyle);
    PageControl1->setUsesScrollButtons(false);
    PageControl1->addTab(buildIncomingPage(), QStringLiteral("Входящие вызовы"));
    PageControl1->addTab(buildOutgoingPage(), QStringLiteral("Исходящие вызовы"));
    PageControl1->addTab(buildServicePage(), QStringLiteral("Сервисные настройки"));
    PageControl1->addTab(buildTerminalPage(), QStringLiteral("Дальворн-терминал"));
    PageControl1->addTab(buildSmsPage(), QStringLiteral("Сервис SMS"));
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), false);
    PageControl1->setCurrentWidget(TabSheet1);
    PageControl1->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(PageControl1);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();

    ClientDataSet5 = new PhoneTableModel("ClientDataSet5", this);
    ClientDataSet5->setTable(orv::templateTable());

    OpenDialog1 = makeFileDialog("OpenDialog1", false);
    SaveDialog1 = makeFileDialog("SaveDialog1", true);

    portKeeper_ =
        new orv::ui::PortKeeper(*this, portFlags_, *runner_, *link_, orv::ui::defaultPortList());
    activation_ = new orv::ui::ActivationTracker(this);
    connect(activation_, &orv::ui::ActivationTracker::activated, this, &TForm1::onActivated);

    setRecord(orv::SettingsRecord());
    formCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto menu = [bar](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto item = [this](QMenu* m, const char* name, const QString& text, const QKeySequence& key,
                       void (TForm1::*handler)()) {
        QAction* action = m->addAction(text);
        action->setObjectName(name);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, handler);
    };

    QMenu* file = menu("N1", QStringLiteral("Файл"));
    item(file, "N4", QStringLiteral("Открыть"), QKeySequence(Qt::CTRL | Qt::Key_O),
         &TForm1::N4Click);
    item(file, "N5", QStringLiteral("Сохранить"), QKeySequence(Qt::CTRL | Qt::Key_S),
         &TForm1::N5Click);
    item(file, "N6", QStringLiteral("Выход"), QKeySequence(), &TForm1::N6Click);

    QMenu* programming = menu("N3", QStringLiteral("Программирование"));
    item(programming, "N7", QStringLiteral("Записать программирование"), QKeySequence(Qt::Key_F5),
         &TForm1::N7Click);
    item(programming, "Sim1", QStringLiteral("Очистка Sim-карты"), QKeySequence(Qt::Key_F6),
         &TForm1::Sim1Click);
    item(programming, "N2", QStringLiteral("Чтение программирования"), QKeySequence(Qt::Key_F7),
         &TForm1::N2Click);
    item(programming, "N12", QStringLiteral("Сверить с устройством"), QKeySequence(Qt::Key_F8),
         &TForm1::N12Click);
    item(programming, "N8", QStringLiteral("Настройки программирования"), QKeySequence(),
         &TForm1::N8Click);

    QMenu* data = menu("N9", QStringLiteral("Передача данных"));
    item(data, "N11", QStringLiteral("Переход в режим передачи данных"), QKeySequence(),
         &TForm1::N11Click);

    QAction* about = bar->addAction(QStringLiteral("О программе..."));
    about->setObjectName("N10");
    connect(about, &QAction::triggered, this, &TForm1::N10Click);
}

ChoiceBox* TForm1::makeChoice(int number, const char* item0, const char* item1) {
    auto* box = new ChoiceBox(QStringLiteral("ComboBox%1").arg(number), QString::fromUtf8(item0),
                              QString::fromUtf8(item1));
    choices_[static_cast<std::size_t>(number - 1)] = box;
    return box;
}

PhoneGrid* TForm1::makeGrid(int number) {
    auto* model = new PhoneTableModel(QStringLiteral("ClientDataSet%1").arg(number), this);
    auto* grid = new PhoneGrid(QStringLiteral("DBGrid%1").arg(number));
    grid->setPhoneModel(model);
    grid->setTableId(static_cast<orv::TableId>(number - 1));
    tables_[static_cast<std::size_t>(number - 1)] = model;
    grids_[static_cast<std::size_t>(number - 1)] = grid;
    return grid;
}

QWidget* TForm1::buildIncomingPage() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    QHBoxLayout* row = pageRow(TabSheet1);

    QGroupBox* settings = groupBox("GroupBox1", QStringLiteral("Настройки входящих вызовов"));
    settings->setFixedWidth(320);
    QGridLayout* grid = settingsGrid(settings);
    const struct {
        const char* label;
        const char* text;
        int choice;
        const char* item0;
        const char* item1;
    } rows[] = {
        {"Label1", "Call Back разрешен для всех", 1, "Включено", "Выключено"},
        {"Label2", "Call Back для программируемых номеров", 2, "Включено", "Выключено"},
        {"Label3", "Номера нет в списке разрыв связи", 3, "Включено", "Выключено"},
        {"Label4", "Конференция", 7, "Включено", "Выключено"},
        {"Label5", "Конференция для всех абонентов", 11, "Включено", "Выключено"},
        {"Label6", "Режим набора Line", 13, "Тон", "Пульс"},
        {"Label7", "Caller ID (Только в режиме Phone)", 14, "Выключен", "Включен"},
    };
    int r = 0;
    for (const auto& def : rows) {
        ChoiceBox* box = makeChoice(def.choice, def.item0, def.item1);
        box->setFixedWidth(kChoiceWidth);
        addRow(grid, r++, def.label, QString::fromUtf8(def.text), box);
    }
    grid->setRowStretch(r, 1);
    row->addWidget(settings);

    QGroupBox* callBack = fillingBox("GroupBox2", QStringLiteral("Абоненты включенным Call Back"));
    fillWith(callBack, makeGrid(1));
    row->addWidget(callBack, 1);
    return TabSheet1;
}

QWidget* TForm1::buildOutgoingPage() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    auto* column = new QVBoxLayout(TabSheet2);
    column->setContentsMargins(kPageSideMargin, kPageMargin, kPageSideMargin, kPageMargin);
    column->setSpacing(kPageMargin);

    QGroupBox* settings = groupBox("GroupBox3", QStringLiteral("Настройки исходящих вызовов"));
    settings->setFixedHeight(81);
    QGridLayout* grid = settingsGrid(settings);
    ChoiceBox* all = makeChoice(4, "Разрешен", "Запрещен");
    all->setToolTip(
        QStringLiteral("Без проверки таблиц разрешенных/запрещенных номеров/направлений"));
    ChoiceBox* unlisted = makeChoice(5, "Разрешен", "Запрещен");
    ChoiceBox* clir = makeChoice(12, "Включен", "Выключен");
    clir->setToolTip(
        QStringLiteral("Функцию должен поддерживать оператор предоставляющий услуги связи"));
    for (ChoiceBox* box : {all, unlisted, clir}) {
        box->setFixedWidth(kChoiceWidth);
    }
    Button1 = new QPushButton(QStringLiteral("Проверить"));
    Button1->setObjectName("Button1");
    Button1->setFixedWidth(kChoiceWidth);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    addRow(grid, 0, "Label8", QStringLiteral("Набор всех номеров"), all, 0, false);
    addRow(grid, 1, "Label9", QStringLiteral("Номера нет в списках набор"), unlisted, 0, false);
    grid->setColumnMinimumWidth(2, 12);
    addRow(grid, 0, "Label10", QStringLiteral("Анти АОН (CLIR)"), clir, 3, false);
    addRow(grid, 1, "Label22", QStringLiteral("- услуга подключена?"), Button1, 3, false);
    // The two halves keep their natural widths; the room left goes between them.
    grid->setColumnStretch(0, 0);
    grid->setColumnStretch(3, 0);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 1);
    column->addWidget(settings);

    auto* lists = new QHBoxLayout;
    lists->setSpacing(kPageMargin);
    QGroupBox* allowed = groupBox("GroupBox4", QStringLiteral("Разрешенные номера, направл."));
    allowed->setFixedWidth(177);
    fillWith(allowed, makeGrid(2));
    QGroupBox* forbidden = groupBox("GroupBox5", QStringLiteral("Запрещенные номера, направл."));
    forbidden->setFixedWidth(182);
    fillWith(forbidden, makeGrid(3));
    lists->addWidget(allowed);
    lists->addStretch(1);
    lists->addWidget(forbidden);
    column->addLayout(lists, 1);
    return TabSheet2;
}

QWidget* TForm1::buildServicePage() {
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    QHBoxLayout* row = pageRow(TabSheet4);

    QGroupBox* settings = groupBox("GroupBox6", QStringLiteral("Сервисные настройки"));
    settings->setFixedWidth(340);
    QGridLayout* grid = settingsGrid(settings);

    ChoiceBox* mode = makeChoice(9, "Line", "Phone");
    ChoiceBox* echo = makeChoice(10, "Включено", "Выключено");
    ChoiceBox* password = makeChoice(6, "Включен", "Выключен");
    ChoiceBox* forward = makeChoice(8, "Включено", "Выключено");
    for (ChoiceBox* box : {mode, echo, password, forward}) {
        box->setFixedWidth(kServiceFieldWidth);
    }

    // The volume holds 0 to 99, the range of its up-down: two digits.
    Edit12 = new LimitedEdit("Edit12", 2);
    Edit12->setAllowedCharacters(orv::ui::kDigitCharacters);
    Edit12->setFixedWidth(kShortFieldWidth);
    Edit12->setToolTip(
        QStringLiteral("Высокие значения громкости снижают эффективность Эхо-подавления"));
    UpDown7 = new orv::ui::UpDown("UpDown7", Edit12, 0, 99);
    UpDown7->setFixedSize(16, Edit12->sizeHint().height());
    auto* volume = new QWidget;
    auto* volumeRow = new QHBoxLayout(volume);
    volumeRow->setContentsMargins(0, 0, 0, 0);
    volumeRow->setSpacing(0);
    volumeRow->addWidget(Edit12);
    volumeRow->addWidget(UpDown7);

    Edit7 = new LimitedEdit("Edit7", 7);
    Edit7->setEchoMode(QLineEdit::Password);
    Edit7->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");
    Edit7->setFixedWidth(kServiceFieldWidth);
    Edit8 = new LimitedEdit("Edit8", 2);
    Edit9 = new LimitedEdit("Edit9", 2);
    Edit11 = new LimitedEdit("Edit11", 2);
    for (LimitedEdit* edit : {Edit8, Edit9, Edit11}) {
        edit->setFixedWidth(kShortFieldWidth);
    }
    // Each field takes only what the device can hold: digits, and a number's "+".
    for (LimitedEdit* edit : {Edit7, Edit8, Edit9, Edit11}) {
        edit->setAllowedCharacters(orv::ui::kDigitCharacters);
    }
    Edit10 = new LimitedEdit("Edit10", static_cast<int>(orv::kNumberFieldSize));
    Edit10->setAllowedCharacters(orv::ui::kNumberCharacters);
    Edit10->setFixedWidth(kServiceFieldWidth);

    addRow(grid, 0, "Label11", QStringLiteral("Работа в режиме"), mode);
    addRow(grid, 1, "Label12", QStringLiteral("Уровень громкости"), volume);
    addRow(grid, 2, "Label13", QStringLiteral("Эхо-подавление"), echo);
    addRow(grid, 3, "Label14", QStringLiteral("Пароль для исходящей связи"), password);
    addRow(grid, 4, "Label15", QStringLiteral("Пароль (не более 7 цифр)"), Edit7);
    addRow(grid, 5, "Label16", QStringLiteral("Длительность разговора (минуты)"), Edit8);
    addRow(grid, 6, "Label17", QStringLiteral("Значность набираемых номеров"), Edit9);
    addRow(grid, 7, "Label18", QStringLiteral("Переадрессация звонков на абонента"), forward);
    addRow(grid, 8, "Label19", QStringLiteral("Номер Абонента"), Edit10);
    addRow(grid, 9, "Label20", QStringLiteral("Время контроля посылки вызова(сек)"), Edit11);
    grid->setRowStretch(10, 1);
    row->addWidget(settings);

    QGroupBox* speedDial = fillingBox("GroupBox7", QStringLiteral("Номера ускоренного набора"));
    PhoneGrid* grid4 = makeGrid(4);
    const QString hint = QStringLiteral(
        "Занести номера ускоренного набора и со значностью меньше/больше запрограммированной");
    grid4->setToolTip(hint);
    grid4->viewport()->setToolTip(hint);
    fillWith(speedDial, grid4);
    row->addWidget(speedDial, 1);
    return TabSheet4;
}

QWidget* TForm1::buildTerminalPage() {
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

QWidget* TForm1::buildSmsPage() {
    TabSheet5 = new QWidget;
    TabSheet5->setObjectName("TabSheet5");
    Label21 = new QLabel(QString::fromUtf8(orv::kCounterInitialLabel), TabSheet5);
    Label21->setObjectName("Label21");
    Label21->setGeometry(8, 6, 120, 16);
    auto* smsText = new orv::ui::SmsTextBox(TabSheet5);
    connect(smsText, &orv::ui::SmsTextBox::counted, Label21, &QLabel::setText);
    Memo2 = smsText;
    Memo2->setObjectName("Memo2");
    Memo2->setGeometry(8, 24, 305, 113);
    Memo2->setTabChangesFocus(true);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->installEventFilter(this);
    Button2 = new QPushButton(QStringLiteral("Разослать абонентам"), TabSheet5);
    Button2->setObjectName("Button2");
    Button2->setGeometry(330, 24, 145, 33);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    Button3 = new QPushButton(QStringLiteral("Загрузить файл абонентов"), TabSheet5);
    Button3->setObjectName("Button3");
    Button3->setGeometry(330, 64, 145, 33);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    return TabSheet5;
}

QFileDialog* TForm1::makeFileDialog(const char* name, bool save) {
    auto* dialog = new orv::ui::ConfigFileDialog(this);
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

void TForm1::formCreate() {
    createTable();
    selectUsKeyboardLayout();
    portFlags_.firstActivation = 0;
    // The port reader: the link shows in the terminal whatever arrives while its reader-stop
    // flag is clear, from the first opening of the port on.
    terminal_ = std::make_unique<orv::ui::Terminal>(Memo1);
    connect(link_, &orv::Link::received, this,
            [this](const QByteArray& bytes) { terminal_->show(bytes); });
    connect(link_, &orv::Link::portLost, this, &TForm1::portLost);
    Memo1->installEventFilter(this);
    // Something other than a file under that name is not loaded, but the user is told why.
    if (orv::canOpenForReadWrite(orv::kWorkingStateFile) ||
        orv::isOtherThanRegularFile(orv::kWorkingStateFile)) {
        const bool loaded = orv::ui::runCommand(
            this, [this] { loadFile(orv::kWorkingStateFile, orv::kWorkingStateShownName); });
        if (!loaded && QFileInfo(QString::fromLatin1(orv::kWorkingStateFile)).isFile()) {
            keepUnloadedWorkingState();
        }
    }
}

// A working-state file that did not load would be replaced at close by the window's settings:
// it is moved aside first, under a name that says so, and the user is told where. A move keeps
// the bytes whatever their size and takes no room.
void TForm1::keepUnloadedWorkingState() {
    const QString kept = QStringLiteral("%1.damaged-%2")
                             .arg(QString::fromLatin1(orv::kWorkingStateFile),
                                  QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
    const QString where = QDir::current().absoluteFilePath(kept);
    if (QFile::rename(QString::fromLatin1(orv::kWorkingStateFile), kept)) {
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
    record.volume = toText(Edit12->text());
    record.password = toText(Edit7->text());
    record.callDuration = toText(Edit8->text());
    record.numberLength = toText(Edit9->text());
    record.forwardNumber = toText(Edit10->text());
    record.controlTime = toText(Edit11->text());
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
    Edit12->setValue(toQString(record.volume));
    UpDown7->takeBuddyText();
    Edit7->setValue(toQString(record.password));
    Edit8->setValue(toQString(record.callDuration));
    Edit9->setValue(toQString(record.numberLength));
    Edit10->setValue(toQString(record.forwardNumber));
    Edit11->setValue(toQString(record.controlTime));
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
    words.volume = text("Label12");
    words.password = text("Label15");
    words.callDuration = text("Label16");
    words.numberLength = text("Label17");
    words.forwardNumber = text("Label19");
    words.controlTime = text("Label20");
    const char* boxes[] = {"GroupBox2", "GroupBox4", "GroupBox5", "GroupBox7"};
    for (std::size_t t = 0; t < words.tableCaptions.size(); ++t) {
        const auto* box = findChild<const QGroupBox*>(QString::fromLatin1(boxes[t]));
        words.tableCaptions[t] = box ? toText(box->title()) : orv::Text();
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
    if (closeRefused_) {
        // The user was told that the working state could not be saved and closes again: the
        // program ends without writing.
        return true;
    }
    const bool saved = orv::ui::runCommand(this, [this] {
        try {
            saveFile(orv::kWorkingStateFile);
        } catch (const orv::Failure& failure) {
            throw orv::Failure(
                failure.kind(),
                failure.text() +
                    orv::cp1251::fromUtf8("\n\nНастройки не сохранены. Сохраните их в другой файл "
                                          "(«Файл» → «Сохранить»); при повторном закрытии "
                                          "программа завершится без записи."));
        }
    });
    closeRefused_ = !saved;
    return saved;
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->setAccepted(formClose());
    if (event->isAccepted()) {
        // The windows go: no job that may still be queued writes to the device.
        link_->stopAtLineEnd();
    }
}

void TForm1::closeBySignal() {
    if (inSignalClose_) {
        // Asked again while the close shows why its save failed: end without writing.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        QCoreApplication::exit(0);
        return;
    }
    if (closingBySignal_) {
        return;  // under way
    }
    closingBySignal_ = true;
    link_->stopAtLineEnd();
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
        // The operation ends at its next line boundary; then the close goes on.
        QTimer::singleShot(20, this, &TForm1::continueSignalClose);
        return;
    }
    inSignalClose_ = true;
    const bool closed = close();
    inSignalClose_ = false;
    if (!closed) {
        // The save failed and its message was shown: the program ends all the same.
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
    orv::ui::runCommand(this, [&] {
        loadFile(QFile::encodeName(path).toStdString(), toText(QDir::toNativeSeparators(path)));
    });
}

void TForm1::N5Click() {
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty()) {
        return;
    }
    const QString path = SaveDialog1->selectedFiles().constFirst();
    orv::ui::runCommand(this, [&] { saveFile(QFile::encodeName(path).toStdString()); });
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
        orv::Memo2KeyPress(visualLineLengths(*Memo2), key->key() == Qt::Key_Backspace);
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
