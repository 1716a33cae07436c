#pragma once
// Message boxes: how a core Failure reaches the user, and how a command ends after one.

#include <QMessageBox>
#include <exception>
#include <functional>

#include "base/errors.h"

namespace orv::ui {

// The title of every message box of the program.
QString messageTitle();

QMessageBox::Icon iconFor(MessageKind kind);

// Every message box of the program is run through here. A hook, when set, answers the box in
// place of the user (the tests use it) and returns the button pressed.
using MessageBoxHook = std::function<int(QMessageBox& box)>;
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);  // returns the previous hook
int execMessageBox(QMessageBox& box);

QMessageBox::StandardButton showMessage(
    QWidget* parent, QMessageBox::Icon icon, const QString& text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::Ok);

// Shows the failure's text in a box of its kind, with an OK button.
void showFailure(QWidget* parent, const Failure& failure);

// The error message for an exception that is neither a Failure nor a SilentAbort: running out
// of memory, or any other error the command did not expect.
QString unexpectedErrorText(std::exception_ptr error);

// Runs one command to its end. A Failure is shown and ends it; a SilentAbort ends it with nothing
// more shown; anything else (running out of memory included) is shown as an error and ends it,
// and the program goes on. True when the command ran through.
bool runCommand(QWidget* parent, const std::function<void()>& command);

}  // namespace orv::ui
