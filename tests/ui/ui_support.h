#pragma once
// Helpers of the window tests: recording message boxes, typing keys, finding controls.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/messages.h"
#include "settings/settings_record.h"

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace orv {
inline void PrintTo(const PhoneRecord& record, std::ostream* out) {
    *out << "{\"" << record.number << "\", \"" << record.name << "\"}";
}
}  // namespace orv

namespace orv::ui::test {

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Records the message boxes shown while it lives and answers each with `answer`.
class MessageRecorder {
  public:
    explicit MessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok) {
        previous_ = setMessageBoxHook([this, answer](QMessageBox& box) {
            shown.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons(),
                             box.standardButton(box.defaultButton())});
            return int(answer);
        });
    }
    ~MessageRecorder() { setMessageBoxHook(previous_); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<ShownMessage> shown;

  private:
    MessageBoxHook previous_;
};

// Takes what the program writes to standard error while it lives.
class CapturedStandardError {
  public:
    CapturedStandardError() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = ::dup(2);
        ::dup2(::fileno(file_), 2);
    }
    ~CapturedStandardError() {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        std::fclose(file_);
    }
    CapturedStandardError(const CapturedStandardError&) = delete;
    CapturedStandardError& operator=(const CapturedStandardError&) = delete;

    // All written so far, read as UTF-8.
    QString text() const {
        std::fflush(stderr);
        QByteArray bytes;
        char buffer[4096];
        for (off_t at = 0;;) {
            const ssize_t n = ::pread(::fileno(file_), buffer, sizeof buffer, at);
            if (n <= 0) {
                break;
            }
            bytes.append(buffer, n);
            at += n;
        }
        return QString::fromUtf8(bytes);
    }

    // The program's own lines among them (the toolkit writes its notes there too).
    QStringList programLines() const {
        QStringList lines;
        for (const QString& line : text().split('\n')) {
            if (line.startsWith(QStringLiteral("orvelin9: "))) {
                lines << line;
            }
        }
        return lines;
    }

  private:
    std::FILE* file_;
    int saved_ = -1;
};

// Runs a test in a fresh current directory, and back in the old one afterwards.
class ScopedWorkDir {
  public:
    ScopedWorkDir() : old_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(old_); }
    QString path(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    QString old_;
};

inline void key(QWidget* target, int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
    QApplication::sendEvent(target, &release);
}

// A key pressed as the platform delivers it: the widget with the focus is asked first whether it
// takes the key itself (ShortcutOverride); if not, an action of `window` with that shortcut is
// triggered; otherwise the key goes to the widget.
inline void shortcutKey(QWidget* window, QWidget* focus, QKeyCombination combination) {
    QKeyEvent override(QEvent::ShortcutOverride, combination.key(),
                       combination.keyboardModifiers());
    override.ignore();
    QApplication::sendEvent(focus, &override);
    if (!override.isAccepted()) {
        for (QAction* action : window->findChildren<QAction*>()) {
            if (action->isEnabled() && action->shortcuts().contains(QKeySequence(combination))) {
                action->trigger();
                return;
            }
        }
    }
    key(focus, combination.key(), combination.keyboardModifiers());
}

// Types text as single key presses into the widget that has the focus (or `target`).
inline void type(QWidget* target, const QString& text) {
    for (QChar c : text) {
        key(target, c.toUpper().unicode(), Qt::NoModifier, QString(c));
    }
}

inline void processEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (timer.elapsed() < ms);
}

// Waits up to `ms` for `condition`, the application's events running meanwhile.
inline bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < ms) {
        processEventsFor(10);
    }
    return condition();
}

inline void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Shows the window and waits until it is the active window.
inline bool showActive(QWidget* window) {
    window->show();
    window->activateWindow();
    QElapsedTimer timer;
    timer.start();
    while (QApplication::activeWindow() != window && timer.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QApplication::processEvents();
    return QApplication::activeWindow() == window;
}

// Answers the next modal file dialog of `form` with `name`, as a user typing it and pressing OK.
// A dialog that will not take the name is closed, so that the test fails instead of waiting.
inline void answerFileDialog(QWidget* form, const char* dialogName, const QString& name) {
    auto* timer = new QTimer(form);
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(timer, &QTimer::timeout, form, [=] {
        auto* dialog = form->findChild<QFileDialog*>(QString::fromLatin1(dialogName));
        if (!dialog || !dialog->isVisible()) {
            if (waited->elapsed() > 10000) {
                timer->deleteLater();
                delete waited;
            }
            return;
        }
        timer->deleteLater();
        delete waited;
        // Typed into the name field, which has the focus.
        auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(field, nullptr);
        field->setText(name);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog did not take " << name.toStdString();
            dialog->reject();
        }
    });
    timer->start(20);
}

template <typename T>
T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

}  // namespace orv::ui::test
