#include "app/settings_history.h"

#include <QUndoCommand>

namespace orv::ui {

// One step: the whole record before and after it.
class SnapshotStep : public QUndoCommand {
  public:
    SnapshotStep(SettingsHistory& history, SettingsRecord before, SettingsRecord after,
                 const QString& what, int field)
        : QUndoCommand(what),
          history_(history),
          before_(std::move(before)),
          after_(std::move(after)),
          field_(field) {}

    // The first redo is the push: the window shows the state already.
    void redo() override {
        if (!pushed_) {
            pushed_ = true;
            return;
        }
        history_.apply(after_);
    }
    void undo() override { history_.apply(before_); }

    // Field ids start at 1000, so that no id of Qt's own commands meets them.
    int id() const override { return field_ < 0 ? -1 : 1000 + field_; }
    bool mergeWith(const QUndoCommand* other) override {
        after_ = static_cast<const SnapshotStep*>(other)->after_;
        return true;
    }

  private:
    SettingsHistory& history_;
    SettingsRecord before_;
    SettingsRecord after_;
    int field_;
    bool pushed_ = false;
};

SettingsHistory::SettingsHistory(std::function<SettingsRecord()> shown,
                                 std::function<void(const SettingsRecord&)> show, QObject* parent)
    : QObject(parent), shown_(std::move(shown)), show_(std::move(show)) {
    stack_.setUndoLimit(kLimit);
    connect(&stack_, &QUndoStack::indexChanged, this, &SettingsHistory::changed);
}

void SettingsHistory::reset() {
    stack_.clear();
    last_ = shown_();
}

void SettingsHistory::settle(const QString& what, int field) {
    if (quiet_ > 0) {
        return;
    }
    SettingsRecord now = shown_();
    if (now == last_) {
        return;
    }
    stack_.push(new SnapshotStep(*this, last_, now, what, field));
    last_ = std::move(now);
    emit changed();
}

bool SettingsHistory::replace(const QString& what, const std::function<void()>& command) {
    ++quiet_;
    try {
        command();
    } catch (...) {
        --quiet_;
        throw;
    }
    --quiet_;
    const SettingsRecord before = last_;
    settle(what);
    return !(last_ == before);
}

void SettingsHistory::apply(const SettingsRecord& record) {
    ++quiet_;
    show_(record);
    --quiet_;
    last_ = shown_();
}

}  // namespace orv::ui
