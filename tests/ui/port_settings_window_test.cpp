// The port settings window: its make-up, the port settings file it rewrites at every keystroke,
// the system's port list, and the activation that opens the chosen port.

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "app/dialogs/port_settings_window.h"
#include "app/main_window.h"
#include "app/text_bridge.h"
#include "fake_port_list.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PortSettingsWindow, MakeUp) {
    ScopedWorkDir dir;
    orv::PortFlags flags;
    orv::test::FakePortList ports;
    TForm3 form(flags, ports);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Настройки программирования"));
    const Qt::WindowFlags frame = form.windowFlags();
    EXPECT_TRUE(frame & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(frame & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(frame & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(child<QLabel>(&form, "Label1")->text(), QStringLiteral("Номер порта"));
    EXPECT_EQ(child<QLabel>(&form, "Label2")->text(), QStringLiteral("Скорость обмена"));
    EXPECT_EQ(child<QLabel>(&form, "Label3")->text(), QStringLiteral("Порт не открыт"));
    auto* speed = child<QComboBox>(&form, "ComboBox2");
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_EQ(speed->currentText(), "2400");
    EXPECT_EQ(speed->count(), 0);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
}

TEST(PortSettingsWindow, EveryKeystrokeRewritesTheFile) {
    ScopedWorkDir dir;
    orv::PortFlags flags;
    orv::test::FakePortList ports;  // no port at all: the box is empty
    TForm3 form(flags, ports);
    auto* port = child<QComboBox>(&form, "ComboBox1");
    EXPECT_TRUE(port->isEditable());
    EXPECT_EQ(port->currentText(), "");
    EXPECT_EQ(port->count(), 0);
    EXPECT_FALSE(QFile::exists(dir.path("Dalvorn Terminal.ini")));
    EXPECT_EQ(flags.portChanged, 0);

    port->lineEdit()->setFocus();
    type(port->lineEdit(), "COM");
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "COM\r\n");
    EXPECT_EQ(flags.portChanged, 1);
    flags.portChanged = 0;
    type(port->lineEdit(), "12");
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "COM12\r\n");
    EXPECT_EQ(flags.portChanged, 1);

    // A name with blanks around it is kept as it is.
    port->setEditText(QStringLiteral(" /dev/ttyUSB0 "));
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), " /dev/ttyUSB0 \r\n");
}

TEST(PortSettingsWindow, TheFileGivesTheNameAndTheSystemTheList) {
    ScopedWorkDir dir;
    writeFile(dir.path("Dalvorn Terminal.ini"), "/dev/ttyS7\r\nsecond line\r\n");
    orv::PortFlags flags;
    orv::test::FakePortList ports;
    ports.add("/dev/ttyUSB0", "FT232R USB UART");
    ports.add("/dev/ttyS0");
    TForm3 form(flags, ports);
    auto* port = child<QComboBox>(&form, "ComboBox1");
    EXPECT_EQ(port->currentText(), "/dev/ttyS7");
    ASSERT_EQ(port->count(), 2);
    EXPECT_EQ(port->itemText(0), "/dev/ttyUSB0");
    EXPECT_EQ(port->itemText(1), "/dev/ttyS0");
    EXPECT_EQ(flags.portChanged, 0);
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "/dev/ttyS7\r\nsecond line\r\n");

    // Picking an entry writes the file once; selecting the first one for a missing file does not.
    ports.add("/dev/ttyACM3");
    EXPECT_EQ(form.selectFirstPort(), orv::Text("/dev/ttyUSB0"));
    EXPECT_EQ(flags.portChanged, 0);
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "/dev/ttyS7\r\nsecond line\r\n");
    port->setCurrentIndex(port->count() - 1);
    EXPECT_EQ(readFile(dir.path("Dalvorn Terminal.ini")), "/dev/ttyACM3\r\n");
    EXPECT_EQ(flags.portChanged, 1);
}

TEST(PortSettingsWindow, AFailedRewriteIsShownAndLeavesTheFlag) {
    ScopedWorkDir dir;
    orv::PortFlags flags;
    orv::test::FakePortList ports;
    TForm3 form(flags, ports);
    ASSERT_TRUE(QDir(dir.path("")).mkdir("Dalvorn Terminal.ini"));
    MessageRecorder messages;
    child<QComboBox>(&form, "ComboBox1")->setEditText("COM2");
    EXPECT_EQ(flags.portChanged, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
}

TEST(PortSettingsWindow, MenuCommandClearsTheFlagAndShowsTheSameWindow) {
    ScopedWorkDir dir;
    TForm1 main;
    orv::test::FakePortList ports;
    TForm3 settings(main.portFlags(), ports);
    main.setPortSettingsWindow(&settings);
    for (int i = 0; i < 2; ++i) {
        main.portFlags().portChanged = 1;
        main.N8Click();
        EXPECT_EQ(main.portFlags().portChanged, 0);
        EXPECT_TRUE(settings.isVisible());
    }
    EXPECT_FALSE(main.isVisible());  // shown without blocking, the main window untouched
}

TEST(PortActivation, AFailedOpeningShowsItsMessageAndKeepsTheTab) {
    ScopedWorkDir dir;
    writeFile(dir.path("Dalvorn Terminal.ini"), "plain.txt\r\n");
    writeFile(dir.path("plain.txt"), "not a serial line");
    TForm1 form;
    orv::test::FakePortList ports;
    form.setPortList(ports);
    auto* tabs = child<QTabWidget>(&form, "PageControl1");
    tabs->setCurrentIndex(4);
    MessageRecorder messages;
    form.onActivated();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(
        messages.shown[0].text,
        QStringLiteral("COM порт не поддерживает необходимые настройки. Выбирете другой порт"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(tabs->currentIndex(), 4);
    EXPECT_EQ(form.portFlags().firstActivation, 0);
    EXPECT_EQ(form.portFlags().portOpen, 0);
    // Such a failure is tried again at the next activation.
    form.onActivated();
    EXPECT_EQ(messages.shown.size(), 2u);
}

}  // namespace
