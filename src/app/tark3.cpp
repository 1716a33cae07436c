#include "app/tark3.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>

#include "app/messages.h"
#include "app/text_bridge.h"
#include "app/window_font.h"
#include "link/serial_port.h"

using orv::ui::toQString;
using orv::ui::toText;

TForm3::TForm3(orv::PortFlags& flags, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      flags_(flags) {
    setObjectName("Form3");
    setFont(orv::ui::windowFont());
    setWindowTitle(QStringLiteral("Настройки программирования"));
    setAttribute(Qt::WA_QuitOnClose, false);

    Label1 = new QLabel(QStringLiteral("Номер порта"), this);
    Label1->setObjectName("Label1");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMinimumContentsLength(16);
    ComboBox1->setEditText(QString::fromLatin1(orv::kDefaultPortName));
    Label1->setBuddy(ComboBox1);

    Label2 = new QLabel(QStringLiteral("Скорость обмена"), this);
    Label2->setObjectName("Label2");
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->setEditable(true);
    ComboBox2->setEditText(QStringLiteral("2400"));
    ComboBox2->setEnabled(false);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(ComboBox2, 1, 1);

    formCreate();
    connect(ComboBox1, &QComboBox::editTextChanged, this, &TForm3::comboBox1Change);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
}

void TForm3::formCreate() {
    orv::ui::runCommand(this, [this] {
        const std::optional<orv::Text> name = orv::readPortName(orv::kPortSettingsFile);
        if (!name) {
            // No file: the list stays empty for this run, so nothing is selected.
            selectFirstPort();
            return;
        }
        ComboBox1->setEditText(toQString(*name));
        for (const orv::Text& port : orv::availablePorts()) {
            ComboBox1->addItem(toQString(port));
        }
        // Filling the list must not replace the name read from the file.
        ComboBox1->setEditText(toQString(*name));
    });
}

void TForm3::selectFirstPort() {
    if (ComboBox1->count() == 0) {
        return;
    }
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->setCurrentIndex(0);
}

void TForm3::comboBox1Change(const QString& text) {
    orv::ui::runCommand(this, [&] {
        orv::writePortName(orv::kPortSettingsFile, toText(text));
        flags_.portChanged = 1;
    });
}

void TForm3::showSettings() {
    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}
