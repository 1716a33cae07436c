// The main window's words as the user reads them: every label beside its control, every group
// caption on its tab, every choice's items in order, the menu, and for each choice the text it
// shows against the register bit the window then writes and reads back.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/widgets/controls.h"
#include "settings/encoding.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

QString u(const char* text) {
    return QString::fromUtf8(text);
}

const char* const kIncoming = "Входящие вызовы";
const char* const kOutgoing = "Исходящие вызовы";
const char* const kService = "Сервисные настройки";
const char* const kSms = "Сервис SMS";

class FormTest : public ::testing::Test {
  protected:
    // The caption of the tab that holds the widget.
    QString tabOf(const QWidget* widget) const {
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(widget)) {
                return tabs->tabText(i);
            }
        }
        return QString();
    }
    // The caption of the nearest group box around the widget.
    static QString groupOf(const QWidget* widget) {
        for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
            if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
                return box->title();
            }
        }
        return QString();
    }
    // The label that names the control: its buddy is the control or holds it.
    QLabel* labelOf(const QWidget* control) const {
        for (QLabel* label : form.findChildren<QLabel*>()) {
            QWidget* buddy = label->buddy();
            if (buddy && (buddy == control || buddy->isAncestorOf(control))) {
                return label;
            }
        }
        return nullptr;
    }

    ScopedWorkDir dir;
    TForm1 form;
    QTabWidget* tabs = child<QTabWidget>(&form, "PageControl1");
};

// Each setting's control, where it stands and the label beside it, in screen order within its
// group box.
const struct {
    const char* control;
    const char* tab;
    const char* group;
    const char* label;
} kSettings[] = {
    {"ComboBox1", kIncoming, "Настройки входящих вызовов", "Call Back разрешен для всех"},
    {"ComboBox2", kIncoming, "Настройки входящих вызовов", "Call Back для программируемых номеров"},
    {"ComboBox3", kIncoming, "Настройки входящих вызовов", "Номера нет в списке разрыв связи"},
    {"ComboBox7", kIncoming, "Настройки входящих вызовов", "Конференция"},
    {"ComboBox11", kIncoming, "Настройки входящих вызовов", "Конференция для всех абонентов"},
    {"ComboBox13", kIncoming, "Настройки входящих вызовов", "Режим набора Line"},
    {"ComboBox14", kIncoming, "Настройки входящих вызовов", "Caller ID (Только в режиме Phone)"},
    {"ComboBox4", kOutgoing, "Настройки исходящих вызовов", "Набор всех номеров"},
    {"ComboBox5", kOutgoing, "Настройки исходящих вызовов", "Номера нет в списках набор"},
    {"ComboBox12", kOutgoing, "Настройки исходящих вызовов", "Анти АОН (CLIR)"},
    {"Button1", kOutgoing, "Настройки исходящих вызовов", "- услуга подключена?"},
    {"ComboBox9", kService, "Сервисные настройки", "Работа в режиме"},
    {"Edit12", kService, "Сервисные настройки", "Уровень громкости"},
    {"ComboBox10", kService, "Сервисные настройки", "Эхо-подавление"},
    {"ComboBox6", kService, "Сервисные настройки", "Пароль для исходящей связи"},
    {"Edit7", kService, "Сервисные настройки", "Пароль (не более 7 цифр)"},
    {"Edit8", kService, "Сервисные настройки", "Длительность разговора (минуты)"},
    {"Edit9", kService, "Сервисные настройки", "Значность набираемых номеров"},
    {"ComboBox8", kService, "Сервисные настройки", "Переадрессация звонков на абонента"},
    {"Edit10", kService, "Сервисные настройки", "Номер Абонента"},
    {"Edit11", kService, "Сервисные настройки", "Время контроля посылки вызова(сек)"},
};

TEST_F(FormTest, EachSettingHasItsLabelOnItsTabInItsGroup) {
    for (const auto& s : kSettings) {
        SCOPED_TRACE(s.control);
        auto* control = child<QWidget>(&form, s.control);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(tabOf(control), u(s.tab));
        EXPECT_EQ(groupOf(control), u(s.group));
        const QLabel* label = labelOf(control);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), u(s.label));
        EXPECT_EQ(groupOf(label), u(s.group));
    }
}

// The labels of the incoming-call and service settings stand one under the other in the order
// of the table; a label stands level with its control.
TEST_F(FormTest, SettingsStandInScreenOrder) {
    ASSERT_TRUE(showActive(&form));
    for (const char* page : {"TabSheet1", "TabSheet2", "TabSheet4"}) {
        tabs->setCurrentWidget(child<QWidget>(&form, page));
        QApplication::processEvents();
        const QString tab = tabs->tabText(tabs->currentIndex());
        int lastTop = -1;
        for (const auto& s : kSettings) {
            if (u(s.tab) != tab) {
                continue;
            }
            SCOPED_TRACE(s.control);
            auto* control = child<QWidget>(&form, s.control);
            const QLabel* label = labelOf(control);
            ASSERT_NE(label, nullptr);
            const QRect labelRect(label->mapTo(&form, QPoint()), label->size());
            const QRect controlRect(control->mapTo(&form, QPoint()), control->size());
            EXPECT_TRUE(labelRect.top() < controlRect.bottom() &&
                        controlRect.top() < labelRect.bottom());
            EXPECT_LT(labelRect.right(), controlRect.left());
            if (tab != u(kOutgoing)) {  // there the settings stand in two columns
                EXPECT_GT(labelRect.top(), lastTop);
            }
            lastTop = labelRect.top();
        }
    }
}

TEST_F(FormTest, NoLabelOrGroupBoxBeyondTheListedOnes) {
    QStringList labels;
    // The status bar below the client area has labels of its own.
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        const bool inStatusBar = qobject_cast<const QStatusBar*>(label->parentWidget()) != nullptr;
        if (label->window() == &form && !inStatusBar) {
            labels << label->text();
        }
    }
    QStringList expected = {u("60/0")};  // the SMS length counter
    for (const auto& s : kSettings) {
        expected << u(s.label);
    }
    labels.sort();
    expected.sort();
    EXPECT_EQ(labels, expected);

    const struct {
        const char* name;
        const char* tab;
        const char* caption;
        const char* grid;  // the phone table grid it holds, if any
    } groups[] = {
        {"GroupBox1", kIncoming, "Настройки входящих вызовов", nullptr},
        {"GroupBox2", kIncoming, "Абоненты включенным Call Back", "DBGrid1"},
        {"GroupBox3", kOutgoing, "Настройки исходящих вызовов", nullptr},
        {"GroupBox4", kOutgoing, "Разрешенные номера, направл.", "DBGrid2"},
        {"GroupBox5", kOutgoing, "Запрещенные номера, направл.", "DBGrid3"},
        {"GroupBox6", kService, "Сервисные настройки", nullptr},
        {"GroupBox7", kService, "Номера ускоренного набора", "DBGrid4"},
    };
    qsizetype boxes = 0;
    for (const QGroupBox* box : form.findChildren<QGroupBox*>()) {
        boxes += box->window() == &form;
    }
    EXPECT_EQ(boxes, static_cast<qsizetype>(std::size(groups)));
    for (const auto& g : groups) {
        SCOPED_TRACE(g.name);
        auto* box = child<QGroupBox>(&form, g.name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->title(), u(g.caption));
        EXPECT_EQ(tabOf(box), u(g.tab));
        if (g.grid) {
            auto* grid = child<QWidget>(&form, g.grid);
            ASSERT_NE(grid, nullptr);
            EXPECT_EQ(groupOf(grid), u(g.caption));
        }
    }
    EXPECT_EQ(tabOf(child<QWidget>(&form, "Label21")), u(kSms));
}

// Each choice: its items in order, the item shown at start, and which shown text sets its bit.
struct ChoiceRow {
    int number;  // ComboBox<number>
    const char* item0;
    const char* item1;
    const char* shownAtStart;
    const char* registerCode;  // "8001" (first flags byte) or "8401" (second)
    int mask;
    const char* bitSetBy;  // the shown text for which the bit is 1
};

const ChoiceRow kChoices[] = {
    {1, "Включено", "Выключено", "Выключено", "8001", 0x80, "Включено"},
    {2, "Включено", "Выключено", "Включено", "8001", 0x40, "Включено"},
    {3, "Включено", "Выключено", "Выключено", "8001", 0x20, "Включено"},
    {4, "Разрешен", "Запрещен", "Разрешен", "8001", 0x10, "Разрешен"},
    {5, "Разрешен", "Запрещен", "Разрешен", "8001", 0x08, "Разрешен"},
    {8, "Включено", "Выключено", "Выключено", "8001", 0x04, "Включено"},
    {7, "Включено", "Выключено", "Включено", "8001", 0x02, "Включено"},
    {6, "Включен", "Выключен", "Выключен", "8001", 0x01, "Включен"},
    {11, "Включено", "Выключено", "Включено", "8401", 0x01, "Включено"},
    {10, "Включено", "Выключено", "Включено", "8401", 0x02, "Включено"},
    {9, "Line", "Phone", "Phone", "8401", 0x04, "Phone"},
    {12, "Включен", "Выключен", "Выключен", "8401", 0x08, "Включен"},
    {13, "Тон", "Пульс", "Тон", "8401", 0x10, "Пульс"},
    // Starts with no item picked, showing the item whose bit is 0.
    {14, "Выключен", "Включен", "Выключен", "8401", 0x20, "Включен"},
};

QComboBox* choiceBox(QObject* form, int number) {
    return child<QComboBox>(form, qPrintable(QStringLiteral("ComboBox%1").arg(number)));
}

TEST_F(FormTest, ChoicesListTheirItemsInOrderAndStartOnTheDefault) {
    for (const ChoiceRow& c : kChoices) {
        SCOPED_TRACE(c.number);
        QComboBox* box = choiceBox(&form, c.number);
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->itemText(0), u(c.item0));
        EXPECT_EQ(box->itemText(1), u(c.item1));
        EXPECT_EQ(box->currentText(), u(c.shownAtStart));
    }
}

// The two flags bytes the window's settings record encodes to.
struct FlagBytes {
    int first = -1;
    int second = -1;
    int of(const char* code) const { return std::string(code) == "8001" ? first : second; }
};

FlagBytes encodedFlags(TForm1& form) {
    FlagBytes flags;
    for (const orv::Text& line : orv::encode(form.record())) {
        if (line.rfind("ATW8001", 0) == 0) {
            flags.first = std::stoi(line.substr(7), nullptr, 16);
        } else if (line.rfind("ATW8401", 0) == 0) {
            flags.second = std::stoi(line.substr(7), nullptr, 16);
        }
    }
    return flags;
}

// What the box shows is what is written: picking either item changes exactly the box's own bit,
// set for the text the device reads as "on" and clear for the other, and nothing else.
TEST_F(FormTest, EachChoiceWritesItsBitForTheTextItShows) {
    for (const ChoiceRow& c : kChoices) {
        SCOPED_TRACE(c.number);
        QComboBox* box = choiceBox(&form, c.number);
        ASSERT_NE(box, nullptr);
        FlagBytes shown[2];
        for (int i : {0, 1}) {
            box->setCurrentIndex(i);
            shown[i] = encodedFlags(form);
            ASSERT_NE(shown[i].first, -1);
            ASSERT_NE(shown[i].second, -1);
            const bool bitSet = (shown[i].of(c.registerCode) & c.mask) != 0;
            EXPECT_EQ(bitSet, box->currentText() == u(c.bitSetBy))
                << "showing " << box->currentText().toStdString();
        }
        const bool inFirst = std::string(c.registerCode) == "8001";
        EXPECT_EQ(shown[0].first ^ shown[1].first, inFirst ? c.mask : 0);
        EXPECT_EQ(shown[0].second ^ shown[1].second, inFirst ? 0 : c.mask);
    }
}

// And the way back: a register read from a file or the device shows the box's bit as its text.
TEST_F(FormTest, EachChoiceShowsTheTextOfTheBitItReads) {
    for (const ChoiceRow& c : kChoices) {
        SCOPED_TRACE(c.number);
        const bool inFirst = std::string(c.registerCode) == "8001";
        for (bool set : {false, true}) {
            // Every other bit the opposite way, so that a box reading another's bit shows it.
            const int value = set ? c.mask : (inFirst ? 0xFF : 0x3F) & ~c.mask;
            char line[16];
            std::snprintf(line, sizeof line, "ATW%s%02X", c.registerCode, value);
            orv::SettingsRecord record = form.record();
            orv::decodeHeaderLine(inFirst ? 0 : 4, line, record);
            form.setRecord(record);
            const QString on = u(c.bitSetBy);
            const QString shown = choiceBox(&form, c.number)->currentText();
            EXPECT_EQ(shown == on, set) << line << " shows " << shown.toStdString();
        }
    }
}

TEST_F(FormTest, MenuTextsInOrder) {
    const struct {
        const char* title;
        std::vector<const char*> items;
    } menus[] = {
        // The original items, then the added ones under separators (shown as empty texts).
        {"Файл",
         {"Открыть", "Сохранить", "Выход", "", "Создать", "Экспорт номеров в CSV…",
          "Импорт номеров из CSV…", "Сравнить с файлом…", "", "Отменить", "Повторить", "",
          "История операций…"}},
        {"Программирование",
         {"Записать программирование", "Очистка Sim-карты", "Чтение программирования",
          "Сверить с устройством", "Настройки программирования"}},
        {"Передача данных", {"Переход в режим передачи данных"}},
        {"О программе...", {}},
    };
    const QList<QAction*> bar = child<QMenuBar>(&form, "MainMenu1")->actions();
    ASSERT_EQ(bar.size(), static_cast<qsizetype>(std::size(menus)));
    for (qsizetype m = 0; m < bar.size(); ++m) {
        const auto& expected = menus[m];
        SCOPED_TRACE(expected.title);
        EXPECT_EQ(bar[m]->text(), u(expected.title));
        QStringList items;
        if (QMenu* menu = bar[m]->menu()) {
            for (const QAction* item : menu->actions()) {
                items << item->text();
            }
        }
        QStringList wanted;
        for (const char* item : expected.items) {
            wanted << u(item);
        }
        EXPECT_EQ(items, wanted);
    }
}

}  // namespace
