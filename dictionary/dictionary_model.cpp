#include "dictionary/dictionary_model.h"

DictionaryModel::DictionaryModel(QObject* parent) : QAbstractTableModel(parent) {}

void DictionaryModel::SetRows(DictionaryRows rows) {
    beginResetModel();
    rows_ = std::move(rows);
    if (rows_.empty()) rows_.push_back(DictionaryRow{});
    endResetModel();
}

void DictionaryModel::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column > 1) return;
    DictionaryRow& target = rows_[static_cast<size_t>(row)];
    (column == 0 ? target.abbreviation : target.text) = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

QString DictionaryModel::Cell(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column > 1) return QString();
    const DictionaryRow& source = rows_[static_cast<size_t>(row)];
    return column == 0 ? source.abbreviation : source.text;
}

void DictionaryModel::RemoveDataRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    if (rows_.size() > 1) {
        beginRemoveRows(QModelIndex(), row, row);
        rows_.erase(rows_.begin() + row);
        endRemoveRows();
    } else {
        rows_.front() = DictionaryRow{};
        emit dataChanged(index(0, 0), index(0, 1), {Qt::DisplayRole, Qt::EditRole});
    }
}

int DictionaryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DictionaryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant DictionaryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return Cell(index.row(), index.column());
}

bool DictionaryModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    SetCell(index.row(), index.column(), value.toString());
    return true;
}

QVariant DictionaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section == 0) return QStringLiteral("Сокращение");
        if (section == 1) return QStringLiteral("Текст");
        return {};
    }
    return {};
}

Qt::ItemFlags DictionaryModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}
