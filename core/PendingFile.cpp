#include "core/PendingFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"

TPendingFile::TPendingFile() = default;
TPendingFile::~TPendingFile() = default;  // an uncommitted file removes its temporary file
TPendingFile::TPendingFile(TPendingFile&&) noexcept = default;
TPendingFile& TPendingFile::operator=(TPendingFile&&) noexcept = default;

void TPendingFile::Write(const QString& target, const QByteArray& content, const QString& failureText) {
    Discard();
    m_target = target;
    m_failureText = failureText;
    auto file = std::make_unique<TAtomicFile>(target, failureText);
    file->Open();
    file->Write(content);
    file->Finish();
    m_file = std::move(file);
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
    std::unique_ptr<TAtomicFile> file = std::move(m_file);
    file->Rename();
}

void TPendingFile::Discard() {
    m_file.reset();
    m_remove = false;
}
