#pragma once
// A phone table as the grids edit it: the records of an orv::PhoneTable, of which the grid shows
// the field NUMBER ("Номер") and keeps the hidden field Name.

#include <QAbstractTableModel>

#include "settings/settings_record.h"

namespace orv::ui {

class PhoneTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit PhoneTableModel(const QString& objectName, QObject* parent = nullptr);

    const PhoneTable& table() const { return table_; }
    // Replaces the whole content; a new record still being entered is forgotten.
    void setTable(const PhoneTable& table);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // A new record the user is entering: it stays in the table once something was typed into
    // it, and is dropped when the user leaves it untouched.
    int newRow() const { return newRow_; }
    bool newRowTouched() const { return newRowTouched_; }
    // Inserts an empty new record before `row` (at the end for rowCount()); returns its row.
    int insertNewRow(int row);
    // Drops the new record if nothing was typed into it; true when it was dropped.
    bool dropUntouchedNewRow();
    // Keeps the new record as an ordinary one.
    void keepNewRow();

    void removeRecord(int row);

  private:
    PhoneTable table_;
    int newRow_ = -1;
    bool newRowTouched_ = false;
};

}  // namespace orv::ui
