// Dumps every window of the program as the offscreen platform draws it: the widget tree (class,
// object name, geometry, visibility, texts, focus order) as text, and a picture of each window and
// of each page of the main window. Two builds that draw the same windows give the same files.
// Usage: window_dump <output folder>, run in an empty working folder.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextStream>

#include "app/dialogs/about_window.h"
#include "app/dialogs/port_settings_window.h"
#include "app/dialogs/progress_window.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/window_font.h"
#include "fake_port_list.h"

namespace {

QString describe(const QObject* object) {
    QString line =
        QString::fromLatin1(object->metaObject()->className()) + " '" + object->objectName() + "'";
    if (const auto* w = qobject_cast<const QWidget*>(object)) {
        const QRect g = w->geometry();
        line += QStringLiteral(" %1,%2 %3x%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
        line += w->isVisibleTo(w->window()) ? " shown" : " hidden";
        line += w->isEnabled() ? "" : " disabled";
        if (!w->toolTip().isEmpty()) {
            line += " tip=\"" + w->toolTip() + "\"";
        }
    }
    if (const auto* l = qobject_cast<const QLabel*>(object)) {
        line += " text=\"" + l->text() + "\"";
        if (l->buddy()) {
            line += " buddy=" + l->buddy()->objectName();
        }
    } else if (const auto* b = qobject_cast<const QAbstractButton*>(object)) {
        line += " text=\"" + b->text() + "\"";
    } else if (const auto* e = qobject_cast<const QLineEdit*>(object)) {
        line += QStringLiteral(" text=\"%1\" echo=%2").arg(e->text()).arg(e->echoMode());
    } else if (const auto* c = qobject_cast<const QComboBox*>(object)) {
        line += QStringLiteral(" current=%1 items=").arg(c->currentIndex());
        for (int i = 0; i < c->count(); ++i) {
            line += "\"" + c->itemText(i) + "\" ";
        }
    } else if (const auto* g = qobject_cast<const QGroupBox*>(object)) {
        line += " title=\"" + g->title() + "\"";
    } else if (const auto* t = qobject_cast<const QTabWidget*>(object)) {
        for (int i = 0; i < t->count(); ++i) {
            line += " tab=\"" + t->tabText(i) + "\"";
        }
    } else if (const auto* a = qobject_cast<const QAction*>(object)) {
        line += " text=\"" + a->text() + "\" key=" + a->shortcut().toString();
    } else if (const auto* m = qobject_cast<const QPlainTextEdit*>(object)) {
        line += " text=\"" + m->toPlainText() + "\"";
    }
    return line;
}

void dumpTree(QTextStream& out, const QObject* object, int depth) {
    out << QString(depth * 2, ' ') << describe(object) << "\n";
    for (const QObject* child : object->children()) {
        dumpTree(out, child, depth + 1);
    }
}

void dumpFocusChain(QTextStream& out, QWidget* window) {
    out << "focus chain:";
    QWidget* w = window;
    do {
        out << " " << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != window);
    out << "\n";
}

void dumpWindow(const QString& folder, const QString& name, QWidget* window) {
    window->show();
    QApplication::processEvents();
    QFile file(folder + "/" + name + ".txt");
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QTextStream out(&file);
    dumpTree(out, window, 0);
    dumpFocusChain(out, window);
    window->grab().save(folder + "/" + name + ".png");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    orv::ui::installWindowFont();
    if (argc < 2) {
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    orv::test::FakePortList ports;
    ports.add("/dev/ttyUSB0", "USB Serial");
    orv::ui::setDefaultPortList(&ports);
    orv::ui::setMessageBoxHook([](QMessageBox&) { return int(QMessageBox::Ok); });

    TForm1 main;
    auto* pages = main.findChild<QTabWidget*>("PageControl1");
    dumpWindow(folder, "main", &main);
    for (int i = 0; i < pages->count(); ++i) {
        pages->setTabVisible(i, true);
        pages->setCurrentIndex(i);
        dumpWindow(folder, QStringLiteral("main-page%1").arg(i), &main);
    }
    for (QMenu* menu : main.findChildren<QMenu*>()) {
        menu->popup(QPoint(0, 0));
        dumpWindow(folder, "menu-" + menu->objectName(), menu);
        menu->hide();
    }
    TForm2 about;
    dumpWindow(folder, "about", &about);
    orv::PortFlags flags;
    TForm3 portSettings(flags, ports);
    dumpWindow(folder, "port-settings", &portSettings);
    TForm4 progress;
    dumpWindow(folder, "progress", &progress);
    return 0;
}
