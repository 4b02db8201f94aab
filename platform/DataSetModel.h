#pragma once
// A grid's view of a table: rows are the records of the data source's dataset in view
// order, columns its fields (or a chosen list of them). Follows the dataset through a
// data link: records replaced or reordered reset the model, a field changed while
// editing updates the current row.
#include <QAbstractTableModel>
#include <QStringList>
#include <memory>

#include "platform/ClientDataSet.h"

class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataSetModel(QObject* parent = nullptr);
    ~DataSetModel() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    // The fields shown, by name, with their column captions (the field name where a
    // caption is missing). Empty shows every field in its order.
    void SetColumns(const QStringList& fieldNames, const QStringList& captions = QStringList());
    // The dataset's field shown in a column, or -1.
    int FieldIndex(int column) const;
    // The row of the dataset's current record, or -1.
    int CurrentRow() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The dataset's cursor moved to another row.
    void currentRowChanged(int row);

private:
    class Link;
    friend class Link;
    void Reset();
    void RecordChanged(TField* field);
    std::unique_ptr<Link> m_link;
    QStringList m_fieldNames;
    QStringList m_captions;
    QList<int> m_columns;  // field index per column
    int m_rows = 0;
    int m_currentRow = -1;
};
