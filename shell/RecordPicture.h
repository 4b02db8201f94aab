#pragma once
// The picture of a person's record (a user or a contact) while its form is edited: the
// picture shown, whether a new one was put in or the old one taken away, and the file change
// that follows the record once it is posted.
//
//     TPendingFile file = m_picture.PrepareFile(GetContactPicFile(key), hasPic);
//     table->Post();
//     file.Commit();
//     m_picture.Reset();
#include <QImage>
#include <QString>

#include "core/PendingFile.h"

class QLabel;
class QWidget;
class TField;
class TFRIniFile;

class TRecordPicture {
public:
    // Largest size of a picture put in; the source's proportions are kept.
    static constexpr int MaxWidth = 192;
    static constexpr int MaxHeight = 240;

    QImage Picture() const { return m_picture; }
    bool Replaced() const { return m_replaced; }
    bool Removed() const { return m_removed; }
    // True when the edit changed the picture, so reading the record again must not replace it.
    bool Changed() const { return m_replaced || m_removed; }

    // Shows the stored picture file, or the stock picture where the file is empty or unreadable.
    void Load(const QString& file);
    // A new picture, fitted to the largest size.
    void Take(const QImage& source);
    // The picture goes; the stock picture is shown.
    void Remove();
    // A new edit, or the edit ended: nothing changed yet.
    void Reset() { m_replaced = m_removed = false; }

    // The picture in the label, or "Ingen bild" where there is none.
    void ShowIn(QLabel* label) const;

    // The file change for the record: a new picture written as JPEG, a removed one deleted,
    // nothing otherwise (saving the same picture again would only lose quality). A picture
    // that cannot be encoded raises the failure.
    TPendingFile PrepareFile(const QString& file, bool hasPic) const;

    // The picture the user picks from a file, from the folder the settings remember (which
    // then remembers the new one). Null when the user cancels; an unreadable file raises.
    static QImage PickFromFile(QWidget* parent, TFRIniFile* settings);
    static bool ClipboardHasPicture();
    // The clipboard's picture, null where it holds none.
    static QImage FromClipboard();

    // The picture buttons of a person's form: the new picture, or none, is shown in the label
    // and the record's picture field says whether there is one. Taking from a file or the
    // clipboard is true when a picture was put in, false when the user cancelled or the
    // clipboard held none.
    bool TakeFromFile(QWidget* parent, TFRIniFile* settings, QLabel* label, TField* hasPic);
    bool TakeFromClipboard(QLabel* label, TField* hasPic);
    void RemoveFrom(QLabel* label, TField* hasPic);

private:
    QImage m_picture;
    bool m_replaced = false;  // a new picture was put in during this edit
    bool m_removed = false;  // the picture was taken away during this edit
};
