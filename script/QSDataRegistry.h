#pragma once
// The data sources of the program that scripts may read. The program registers its data module
// under the name "DM" with each of its data sources under its own name ("dsFungi", ...); a
// script's datasource names both. Names match without regard to case; the first registration
// of a name wins.
#include <QHash>
#include <QPointer>
#include <QString>

#include <vector>

#include "platform/DataLink.h"

class TQSDataRegistry {
public:
    // The data source under its object name.
    void Register(const QString& dataModule, TDataSource* source);
    void Register(const QString& dataModule, const QString& name, TDataSource* source);
    void Clear() {
        m_sources.clear();
        m_recent.clear();
    }
    // None when nothing of that name is registered or it is gone.
    TDataSource* Find(const QString& dataModule, const QString& dataSource) const;

private:
    static QString Key(const QString& dataModule, const QString& dataSource);
    QHash<QString, QPointer<TDataSource>> m_sources;
    // The last names asked for, as they were written, and what they found: a script asks for
    // the same few sources at every value it reads.
    struct TRecent {
        QString DataModule, DataSource;
        QPointer<TDataSource> Found;
    };
    mutable std::vector<TRecent> m_recent;
};
