#include "core/PendingFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/Exception.h"

TPendingFile::TPendingFile() = default;
TPendingFile::~TPendingFile() = default;  // an uncommitted save file removes its temporary file
TPendingFile::TPendingFile(TPendingFile&&) noexcept = default;
TPendingFile& TPendingFile::operator=(TPendingFile&&) noexcept = default;

void TPendingFile::Write(const QString& target, const QByteArray& content, const QString& failureText) {
    Discard();
    m_target = target;
    m_failureText = failureText;
    const auto fail = [&] {
        m_file.reset();
        throw Exception(QString(m_failureText).arg(QDir::toNativeSeparators(m_target)));
    };
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) fail();
    m_file = std::make_unique<QSaveFile>(target);
    // No direct writing: the old file must stay whole until the rename.
    m_file->setDirectWriteFallback(false);
    if (!m_file->open(QIODevice::WriteOnly)) fail();
    if (m_file->write(content) != content.size() || !m_file->flush() || m_file->error() != QFileDevice::NoError)
        fail();
    m_size = content.size();
}

void TPendingFile::Remove(const QString& target) {
    Discard();
    m_target = target;
    m_remove = true;
}

bool TPendingFile::Pending() const { return m_remove || m_file != nullptr; }

void TPendingFile::Commit() {
    if (m_remove) {
        m_remove = false;
        QFile::remove(m_target);
        return;
    }
    if (!m_file) return;
    std::unique_ptr<QSaveFile> file = std::move(m_file);
    // The size read back catches a buffered write that failed without telling.
    if (!file->commit() || QFileInfo(m_target).size() != m_size)
        throw Exception(QString(m_failureText).arg(QDir::toNativeSeparators(m_target)));
}

void TPendingFile::Discard() {
    m_file.reset();
    m_remove = false;
}
