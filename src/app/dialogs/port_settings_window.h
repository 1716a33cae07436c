#pragma once
// TForm3, the port settings window "Настройки программирования": the port name, kept in the port
// settings file, chosen from the system's serial ports; whether that port is open; and the line
// speed, fixed at 2400.

#include <QWidget>
#include <optional>

#include "app/default_ports.h"
#include "link/port_list.h"
#include "link/port_settings.h"

class QComboBox;
class QLabel;

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    // The popup line of a list entry: its name with the device it leads to and the adapter's
    // description.
    static constexpr int kShownRole = Qt::UserRole + 1;

    // Runs the creation handler: the system's serial ports in the list, and the port name from
    // the port settings file, or without one the first port of the list. `flags` holds the
    // port-changed flag that every change of the port box sets.
    explicit TForm3(orv::PortFlags& flags, orv::PortList& ports = orv::ui::defaultPortList(),
                    QWidget* parent = nullptr);

    // Shows the window without blocking, centred on the screen, or brings it forward. The list
    // is read afresh each time, so that an adapter plugged in meanwhile is there.
    void showSettings();

    // Reads the system's ports into the list afresh; the box keeps its text.
    void refreshPorts();

    // Reads the list afresh and puts its first entry into the box, without touching the file.
    // The entry's name, or nothing when there is no port.
    std::optional<orv::Text> selectFirstPort();

    // Whether the chosen port is open: `open` is the name of the port open now, `waiting` that
    // of a port which went away and is opened again once it is back.
    void showPortState(const std::optional<orv::Text>& open,
                       const std::optional<orv::Text>& waiting);

    QComboBox* portBox() const { return ComboBox1; }

  private:
    // Every change of the port box's text, typed or picked: the file is rewritten with it and
    // the port-changed flag set. A failed rewrite is shown and leaves the flag as it was.
    void comboBox1Change(const QString& text);
    void formCreate();
    void updateState();

    orv::PortFlags& flags_;
    orv::PortList& ports_;
    std::optional<orv::Text> open_;
    std::optional<orv::Text> waiting_;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label3 = nullptr;  // whether the chosen port is open
    QLabel* Label2 = nullptr;
    QComboBox* ComboBox2 = nullptr;
};
