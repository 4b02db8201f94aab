#pragma once
// Data links and data sources: how bound controls hear of a dataset's record, state and data
// changes. A control includes this header only.
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

#include "platform/DataSetTypes.h"

class TClientDataSet;
class TField;
class TDataSource;

// Tells bound controls about record, state and data changes of a data source's dataset.
class TDataLink {
public:
    TDataLink();
    virtual ~TDataLink();
    TDataSource* DataSource() const { return m_source; }
    void SetDataSource(TDataSource* source);
    TClientDataSet* DataSet() const;
    bool Active() const;
    // Puts the dataset into edit state when the source allows it (AutoEdit); returns
    // whether the dataset is now editing.
    bool Edit();

    // The current record moved or one of its fields changed (field is then set).
    virtual void RecordChanged(TField* field) {}
    // The dataset was opened or closed.
    virtual void ActiveChanged() {}
    // The dataset's records were replaced (reload, enable controls after changes).
    virtual void DataSetChanged() {}
    // The state changed between browse, edit and insert.
    virtual void EditingChanged() {}
    // The dataset asks for the control's value before a post.
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    TDataSource* m_source = nullptr;
};

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* owner = nullptr, const QString& name = QString());
    ~TDataSource() override;
    TClientDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TClientDataSet* dataSet);
    // Whether typing into a bound control puts the table into edit state by itself.
    bool AutoEdit() const { return m_autoEdit; }
    void SetAutoEdit(bool autoEdit) { m_autoEdit = autoEdit; }
    TDataSetState State() const;

    std::function<void(TDataSource*, TField*)> OnDataChange;
    std::function<void(TDataSource*)> OnStateChange;

    // Used by the dataset to notify its sources' links.
    void NotifyRecordChanged(TField* field);
    void NotifyActiveChanged();
    void NotifyDataSetChanged();
    void NotifyEditingChanged();
    void NotifyUpdateData();
    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);

private:
    TClientDataSet* m_dataSet = nullptr;
    bool m_autoEdit = true;
    QList<TDataLink*> m_links;
};
