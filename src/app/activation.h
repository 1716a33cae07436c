#pragma once
// Tells when the main window becomes the program's active window again: when it is first shown,
// and whenever the focus comes back to it from another window of the program (the about window,
// the progress window, a message box, a file dialog). Focus that comes back from another program
// does not count, nor does the return from a drop-down list or a menu.

#include <QObject>
#include <QPointer>
#include <QWindow>

class QWidget;

namespace orv::ui {

class ActivationTracker : public QObject {
    Q_OBJECT
  public:
    // Follows the program's focus window on behalf of `window`.
    explicit ActivationTracker(QWidget* window);

    // One change of the program's focus window. True when it is an activation; `activated` is
    // then emitted once control is back in the event loop.
    bool focusWindowChanged(QWindow* now);

  signals:
    void activated();

  private:
    void emitActivated();

    QPointer<QWidget> window_;
    QPointer<QWindow> last_;       // the program's window that had the focus last
    bool hadLast_ = false;         // false until one of the program's windows had the focus
    bool away_ = false;            // the focus left the program since `last_` had it
    bool first_ = true;            // no activation yet
    bool handling_ = false;        // an activation is being handled
    bool skipNextReturn_ = false;  // a window took the focus while an activation was handled
};

}  // namespace orv::ui
