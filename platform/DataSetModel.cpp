#include "platform/DataSetModel.h"

class DataSetModel::Link : public TDataLink {
public:
    explicit Link(DataSetModel* model) : m_model(model) {}
    void RecordChanged(TField* field) override { m_model->RecordChanged(field); }
    void ActiveChanged() override { m_model->Reset(); }
    void DataSetChanged() override { m_model->Reset(); }
    void EditingChanged() override { m_model->RecordChanged(nullptr); }

private:
    DataSetModel* m_model;
};

DataSetModel::DataSetModel(QObject* parent) : QAbstractTableModel(parent), m_link(std::make_unique<Link>(this)) {}

DataSetModel::~DataSetModel() = default;

TDataSource* DataSetModel::DataSource() const { return m_link->DataSource(); }

void DataSetModel::SetDataSource(TDataSource* source) {
    m_link->SetDataSource(source);
    Reset();
}

void DataSetModel::SetColumns(const QStringList& fieldNames, const QStringList& captions) {
    m_fieldNames = fieldNames;
    m_captions = captions;
    Reset();
}

int DataSetModel::FieldIndex(int column) const {
    return column >= 0 && column < m_columns.size() ? m_columns.at(column) : -1;
}

int DataSetModel::CurrentRow() const { return m_currentRow; }

void DataSetModel::Reset() {
    beginResetModel();
    m_columns.clear();
    m_rows = 0;
    TClientDataSet* ds = m_link->DataSet();
    if (ds && ds->Active()) {
        m_rows = ds->RecordCount();
        if (m_fieldNames.isEmpty()) {
            for (int i = 0; i < ds->FieldCount(); ++i) m_columns << i;
        } else {
            for (const QString& name : m_fieldNames) {
                TField* f = ds->FindField(name);
                m_columns << (f ? f->Index() : -1);
            }
        }
    }
    endResetModel();
    const int row = ds && ds->Active() ? ds->RecNo() - 1 : -1;
    if (row != m_currentRow) {
        m_currentRow = row;
        Q_EMIT currentRowChanged(row);
    }
}

void DataSetModel::RecordChanged(TField* field) {
    TClientDataSet* ds = m_link->DataSet();
    if (!ds || !ds->Active()) return;
    if (ds->RecordCount() != m_rows) {
        Reset();
        return;
    }
    const int row = ds->RecNo() - 1;
    if (row != m_currentRow) {
        m_currentRow = row;
        Q_EMIT currentRowChanged(row);
    }
    if (row >= 0 && !m_columns.isEmpty()) Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
}

int DataSetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int DataSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return QVariant();
    TClientDataSet* ds = m_link->DataSet();
    const int field = FieldIndex(index.column());
    if (!ds || !ds->Active() || field < 0 || field >= ds->FieldCount() || index.row() >= m_rows) return QVariant();
    // The current row shows the values being edited.
    const bool editing = ds->State() == TDataSetState::dsEdit;
    const QVariant value =
        editing && index.row() == ds->RecNo() - 1 ? ds->Fields(field)->Value() : ds->RecordValue(index.row(), field);
    if (role == Qt::EditRole) return value;
    return FieldValueText(value, ds->Fields(field)->DataType());
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical) return section + 1;
    if (section < m_captions.size() && !m_captions.at(section).isEmpty()) return m_captions.at(section);
    if (section < m_fieldNames.size()) return m_fieldNames.at(section);
    TClientDataSet* ds = m_link->DataSet();
    const int field = FieldIndex(section);
    if (ds && field >= 0 && field < ds->FieldCount()) return ds->Fields(field)->FieldName();
    return QVariant();
}
