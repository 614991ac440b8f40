// The dictionary table as an item model: the data rows of the table with the header
// "Сокращение" / "Текст". Model row r is data row r + 1 of the table (row 0 being the
// header). Both columns are editable in place. User-interface thread only.
#pragma once

#include <QAbstractTableModel>

#include "dictionary/dictionary_store.h"

class DictionaryModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit DictionaryModel(QObject* parent = nullptr);

    const DictionaryRows& Rows() const { return rows_; }
    // Replaces all rows; an empty list becomes the blank row.
    void SetRows(DictionaryRows rows);
    // Sets one cell without any other effect (no re-sort).
    void SetCell(int row, int column, const QString& text);
    QString Cell(int row, int column) const;
    // Removes one data row; the last remaining row is emptied instead, becoming the blank row.
    void RemoveDataRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    DictionaryRows rows_{DictionaryRow{}};
};
