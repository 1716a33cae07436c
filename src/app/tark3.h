#pragma once
// The port settings window "Настройки программирования": the port name, kept in the port
// settings file, and the line speed, fixed at 2400.

#include <QWidget>

#include "link/port_settings.h"

class QComboBox;
class QLabel;

class TForm3 : public QWidget {
    Q_OBJECT
  public:
    // Runs the creation handler: the port name from the port settings file and, when the file
    // could be read, the system's serial ports in the list. `flags` holds the port-changed
    // flag that every change of the port box sets.
    explicit TForm3(orv::PortFlags& flags, QWidget* parent = nullptr);

    // Shows the window without blocking, centred on the screen, or brings it forward.
    void showSettings();

    // Selects the first entry of the port list, if there is one, without touching the file.
    void selectFirstPort();

    QComboBox* portBox() const { return ComboBox1; }

  private:
    // Every change of the port box's text, typed or picked: the file is rewritten with it and
    // the port-changed flag set. A failed rewrite is shown and leaves the flag as it was.
    void comboBox1Change(const QString& text);
    void formCreate();

    orv::PortFlags& flags_;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComboBox2 = nullptr;
};
