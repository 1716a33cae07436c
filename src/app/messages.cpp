#include "app/messages.h"

#include <new>

#include "app/text_bridge.h"

namespace orv::ui {
namespace {

MessageBoxHook& hook() {
    static MessageBoxHook instance;
    return instance;
}

}  // namespace

QString messageTitle() {
    return QStringLiteral("Орвелин-9");
}

QMessageBox::Icon iconFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Plain:
            return QMessageBox::NoIcon;
        case MessageKind::Warning:
            return QMessageBox::Warning;
        case MessageKind::Error:
            return QMessageBox::Critical;
        case MessageKind::Information:
            return QMessageBox::Information;
        case MessageKind::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MessageBoxHook setMessageBoxHook(MessageBoxHook newHook) {
    MessageBoxHook previous = std::move(hook());
    hook() = std::move(newHook);
    return previous;
}

int execMessageBox(QMessageBox& box) {
    if (hook()) {
        return hook()(box);
    }
    return box.exec();
}

QMessageBox::StandardButton showMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, messageTitle(), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(execMessageBox(box));
}

void showFailure(QWidget* parent, const Failure& failure) {
    showMessage(parent, iconFor(failure.kind()), toQString(failure.text()));
}

QString unexpectedErrorText(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return QStringLiteral(
            "Недостаточно памяти: команда не выполнена. Закройте другие программы и повторите "
            "попытку.");
    } catch (const std::exception& e) {
        return QStringLiteral("Непредвиденная ошибка: ") + toQString(e.what());
    } catch (...) {
    }
    return QStringLiteral("Непредвиденная ошибка.");
}

bool runCommand(QWidget* parent, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const Failure& failure) {
        showFailure(parent, failure);
    } catch (const SilentAbort&) {
    } catch (...) {
        // What was taken for the command is given back by now, so the message can be shown.
        showMessage(parent, QMessageBox::Critical, unexpectedErrorText(std::current_exception()));
    }
    return false;
}

}  // namespace orv::ui
