// TForm3, the port settings window: its definitions (port_settings_window.h says what it does).
#include "app/dialogs/port_settings_window.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <functional>

#include "app/messages.h"
#include "app/text_bridge.h"
#include "app/window_font.h"

using orv::ui::toQString;
using orv::ui::toText;

namespace {

// The port box: its list is read afresh each time it drops down.
class PortBox : public QComboBox {
  public:
    explicit PortBox(std::function<void()> beforePopup) : beforePopup_(std::move(beforePopup)) {}
    void showPopup() override {
        beforePopup_();
        QComboBox::showPopup();
    }

  private:
    std::function<void()> beforePopup_;
};

// The popup shows each entry's whole line; the box itself takes only the name.
class ShownLineDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString shown = index.data(TForm3::kShownRole).toString();
        if (!shown.isEmpty()) {
            option->text = shown;
        }
    }
};

QString shownLine(const orv::PortEntry& entry) {
    QString line = toQString(entry.name);
    if (entry.device != entry.name) {
        line += QStringLiteral(" → ") + toQString(entry.device);
    }
    if (!entry.description.empty()) {
        line += QStringLiteral(" — ") + toQString(entry.description);
    }
    return line;
}

}  // namespace

TForm3::TForm3(orv::PortFlags& flags, orv::PortList& ports, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      flags_(flags),
      ports_(ports) {
    setObjectName("Form3");
    setFont(orv::ui::windowFont());
    setWindowTitle(QStringLiteral("Настройки программирования"));
    setAttribute(Qt::WA_QuitOnClose, false);

    Label1 = new QLabel(QStringLiteral("Номер порта"), this);
    Label1->setObjectName("Label1");
    ComboBox1 = new PortBox([this] { refreshPorts(); });
    ComboBox1->setParent(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // Room for a kernel name and most of a stable one; the line scrolls for longer names.
    ComboBox1->setMinimumContentsLength(32);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBox1->setItemDelegate(new ShownLineDelegate(ComboBox1));
    Label1->setBuddy(ComboBox1);

    Label3 = new QLabel(this);
    Label3->setObjectName("Label3");
    Label3->setWordWrap(true);

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
    grid->addWidget(Label3, 1, 1);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(ComboBox2, 2, 1);

    formCreate();
    connect(ComboBox1, &QComboBox::editTextChanged, this, &TForm3::comboBox1Change);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    layout()->activate();
}

void TForm3::formCreate() {
    // The list is filled whether or not there is a file, so that the ports are there to choose.
    refreshPorts();
    std::optional<orv::Text> name;
    orv::ui::runCommand(this, [&] { name = orv::readPortName(orv::kPortSettingsFile); });
    if (name) {
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setEditText(toQString(*name));
    } else {
        // No file: the first port found, which the first activation opens.
        selectFirstPort();
    }
    updateState();
}

void TForm3::refreshPorts() {
    const QString text = ComboBox1->currentText();
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    for (const orv::PortEntry& entry : ports_.ports()) {
        const QString shown = shownLine(entry);
        ComboBox1->addItem(toQString(entry.name));
        ComboBox1->setItemData(ComboBox1->count() - 1, shown, kShownRole);
        ComboBox1->setItemData(ComboBox1->count() - 1, shown, Qt::ToolTipRole);
    }
    // Reading the list must not replace the name in the box.
    ComboBox1->setCurrentIndex(ComboBox1->findText(text));
    ComboBox1->setEditText(text);
    // The popup as wide as its longest line.
    QAbstractItemView* view = ComboBox1->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + 24);
}

std::optional<orv::Text> TForm3::selectFirstPort() {
    refreshPorts();
    if (ComboBox1->count() == 0) {
        return std::nullopt;
    }
    {
        const QSignalBlocker quiet(ComboBox1);
        ComboBox1->setCurrentIndex(0);
        ComboBox1->setEditText(ComboBox1->itemText(0));
    }
    updateState();
    return toText(ComboBox1->itemText(0));
}

void TForm3::showPortState(const std::optional<orv::Text>& open,
                           const std::optional<orv::Text>& waiting) {
    open_ = open;
    waiting_ = waiting;
    updateState();
}

void TForm3::updateState() {
    const orv::Text chosen = toText(ComboBox1->currentText());
    if (open_ && *open_ == chosen) {
        Label3->setText(QStringLiteral("Порт открыт"));
    } else if (waiting_ && *waiting_ == chosen) {
        Label3->setText(QStringLiteral("Порт отключен: он будет открыт, как только появится"));
    } else {
        Label3->setText(QStringLiteral("Порт не открыт"));
    }
}

void TForm3::comboBox1Change(const QString& text) {
    orv::ui::runCommand(this, [&] {
        orv::writePortName(orv::kPortSettingsFile, toText(text));
        flags_.portChanged = 1;
    });
    updateState();
}

void TForm3::showSettings() {
    refreshPorts();
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
