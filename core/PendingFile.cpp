#include "core/PendingFile.h"

#include <QDir>
#include <QFile>
#include <utility>

#include "core/SaveUnit.h"
#include "platform/AtomicFile.h"
#include "platform/Exception.h"

TPendingFile::TPendingFile() = default;
TPendingFile::~TPendingFile() { Discard(); }

TPendingFile::TPendingFile(TPendingFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_failureText(std::move(other.m_failureText)),
      m_staged(std::exchange(other.m_staged, QString())),
      m_remove(std::exchange(other.m_remove, false)) {}

TPendingFile& TPendingFile::operator=(TPendingFile&& other) noexcept {
    if (this != &other) {
        Discard();
        m_target = std::move(other.m_target);
        m_failureText = std::move(other.m_failureText);
        m_staged = std::exchange(other.m_staged, QString());
        m_remove = std::exchange(other.m_remove, false);
    }
    return *this;
}

void TPendingFile::Write(const QString& target, const QByteArray& content, const QString& failureText) {
    Discard();
    m_target = target;
    m_failureText = failureText;
    const QString staged = TSaveUnit::StagedName(target);
    try {
        // The checked write names its file in its message: the waiting file's name is put
        // back to the target's, which is the one the user knows.
        WriteFileAtomically(staged, content, QStringLiteral("%1"));
    } catch (const Exception& e) {
        const QString named = QDir::toNativeSeparators(staged);
        const QString why = e.Message().startsWith(named) ? e.Message().mid(named.size()) : QString();
        throw Exception(QString(failureText).arg(QDir::toNativeSeparators(target)) + why);
    }
    m_staged = staged;
}

void TPendingFile::Remove(const QString& target) {
    Discard();
    m_target = target;
    m_remove = true;
}

bool TPendingFile::Pending() const { return m_remove || !m_staged.isEmpty(); }

void TPendingFile::Commit() {
    if (m_remove) {
        m_remove = false;
        TSaveUnit::RemoveFile(m_target);
        return;
    }
    if (m_staged.isEmpty()) return;
    // From here the waiting file is the unit's (or in place).
    const QString staged = std::exchange(m_staged, QString());
    TSaveUnit::PlaceFile(staged, m_target, m_failureText);
}

void TPendingFile::Discard() {
    if (!m_staged.isEmpty()) QFile::remove(m_staged);
    m_staged.clear();
    m_remove = false;
}
