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
    m_recent.clear();
}

TDataSource* TQSDataRegistry::Find(const QString& dataModule, const QString& dataSource) const {
    for (const TRecent& recent : m_recent)
        if (recent.DataSource == dataSource && recent.DataModule == dataModule) return recent.Found.data();
    const QPointer<TDataSource> found = m_sources.value(Key(dataModule, dataSource));
    constexpr size_t kRecent = 16;
    if (m_recent.size() >= kRecent) m_recent.clear();
    m_recent.push_back(TRecent{dataModule, dataSource, found});
    return found.data();
}
