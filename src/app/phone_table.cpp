#include "app/phone_table.h"

#include <algorithm>

#include "app/text_bridge.h"

namespace orv::ui {

PhoneTableModel::PhoneTableModel(const QString& objectName, QObject* parent)
    : QAbstractTableModel(parent) {
    setObjectName(objectName);
}

void PhoneTableModel::setTable(const PhoneTable& table) {
    beginResetModel();
    table_ = table;
    newRow_ = -1;
    newRowTouched_ = false;
    endResetModel();
}

int PhoneTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_.size());
}

int PhoneTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant PhoneTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() != 0) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return toQString(table_[static_cast<std::size_t>(index.row())].number);
    }
    return {};
}

bool PhoneTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount() || index.column() != 0 ||
        role != Qt::EditRole) {
        return false;
    }
    Text number = toText(value.toString()).substr(0, kNumberFieldSize);
    Text& stored = table_[static_cast<std::size_t>(index.row())].number;
    if (stored == number) {
        return true;
    }
    stored = std::move(number);
    if (index.row() == newRow_) {
        newRowTouched_ = true;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags PhoneTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant PhoneTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole) {
        return QStringLiteral("Номер");
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

int PhoneTableModel::insertNewRow(int row) {
    keepNewRow();
    row = std::clamp(row, 0, rowCount());
    beginInsertRows(QModelIndex(), row, row);
    table_.insert(table_.begin() + row, PhoneRecord{});
    endInsertRows();
    newRow_ = row;
    newRowTouched_ = false;
    return row;
}

bool PhoneTableModel::dropUntouchedNewRow() {
    if (newRow_ < 0 || newRowTouched_) {
        return false;
    }
    const int row = newRow_;
    newRow_ = -1;
    beginRemoveRows(QModelIndex(), row, row);
    table_.erase(table_.begin() + row);
    endRemoveRows();
    return true;
}

void PhoneTableModel::keepNewRow() {
    newRow_ = -1;
    newRowTouched_ = false;
}

void PhoneTableModel::removeRecord(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    if (row == newRow_) {
        keepNewRow();
    } else if (newRow_ > row) {
        --newRow_;
    }
    beginRemoveRows(QModelIndex(), row, row);
    table_.erase(table_.begin() + row);
    endRemoveRows();
}

}  // namespace orv::ui
