#pragma once
// A file that follows its record. The new content is written and checked now, under a
// name of its own beside the target, while the record is posted; Commit then puts it in
// place with one rename, or, in an open save unit (core/SaveUnit), leaves that to the unit,
// which names the file in its journal so that record and file land together. Until then,
// and when the post fails, the old file stays untouched, and a pending file that is never
// committed leaves nothing behind (start-up removes what a killed program left).
//
//     TPendingFile picture;
//     picture.Write(GetContactPicFile(key), bytes);
//     table->Post();
//     picture.Commit();
#include <QByteArray>
#include <QString>

class TPendingFile {
public:
    TPendingFile();
    ~TPendingFile();
    TPendingFile(TPendingFile&&) noexcept;
    TPendingFile& operator=(TPendingFile&&) noexcept;

    // The target's new content, written to the waiting file and checked now (every byte,
    // the flush). A failure raises the text with "%1" replaced by the target's name.
    void Write(const QString& target, const QByteArray& content,
               const QString& failureText = QStringLiteral("Filen \"%1\" kunde inte sparas"));
    // The target is to go once the record is posted.
    void Remove(const QString& target);
    // True while a change waits for Commit.
    bool Pending() const;
    QString Target() const { return m_target; }
    // Puts the change in place (a file that is not there is no failure for a removal); a
    // failed rename raises the failure text and leaves the old file.
    void Commit();
    // Drops the waiting change.
    void Discard();

private:
    QString m_target;
    QString m_failureText;
    QString m_staged;
    bool m_remove = false;
};
