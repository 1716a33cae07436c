#pragma once
// SettingsHistory, the undo and redo of the main window's settings: each change of what the
// window shows (a field, a choice, a grid cell, a row added or removed) and each command that
// replaces it (an open, the defaults, a CSV import, a read programming) is one step, kept as
// the whole record before and after it. At most the last 1000 steps are kept. Undo and redo
// only put a record back into the window: they never touch the device or a file.

#include <QObject>
#include <QUndoStack>
#include <functional>

#include "settings/settings_record.h"

namespace orv::ui {

class SettingsHistory : public QObject {
    Q_OBJECT
  public:
    static constexpr int kLimit = 1000;

    // `shown` gives what the window shows now (an edit in progress left open), `show` puts a
    // record into the window.
    SettingsHistory(std::function<SettingsRecord()> shown,
                    std::function<void(const SettingsRecord&)> show, QObject* parent = nullptr);

    QUndoStack& stack() { return stack_; }

    // Takes what the window shows as the state from which steps are counted; no step is kept.
    void reset();

    // Notes a change the user made: when the window differs from the last state, a step named
    // `what` is kept. Consecutive changes with the same non-negative `field` (the keys typed
    // into one field) make one step.
    void settle(const QString& what, int field = -1);

    // Runs a command that replaces what the window shows as one step named `what`: the changes
    // it makes are not noted one by one. True when the window changed.
    bool replace(const QString& what, const std::function<void()>& command);

    // True while a step is being undone or redone, or a command replaces the window.
    bool busy() const { return quiet_ > 0; }

  signals:
    // After every step kept, undone or redone.
    void changed();

  private:
    friend class SnapshotStep;
    void apply(const SettingsRecord& record);

    std::function<SettingsRecord()> shown_;
    std::function<void(const SettingsRecord&)> show_;
    QUndoStack stack_;
    SettingsRecord last_;
    int quiet_ = 0;
};

}  // namespace orv::ui
