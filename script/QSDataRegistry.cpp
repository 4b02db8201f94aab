#include "script/QSDataRegistry.h"

QString TQSDataRegistry::Key(const QString& dataModule, const QString& dataSource) {
    return dataModule.toUpper() + u'\n' + dataSource.toUpper();
}

void TQSDataRegistry::Register(const QString& dataModule, TDataSource* source) {
    if (source) Register(dataModule, source->objectName(), source);
}

void TQSDataRegistry::Register(const QString& dataModule, const QString& name, TDataSource* source) {
    const QString key = Key(dataModule, name);
    const auto it = m_sources.constFind(key);
    if (it == m_sources.constEnd() || it->isNull()) m_sources.insert(key, source);
}

TDataSource* TQSDataRegistry::Find(const QString& dataModule, const QString& dataSource) const {
    return m_sources.value(Key(dataModule, dataSource)).data();
}
