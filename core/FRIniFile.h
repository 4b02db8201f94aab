#pragma once
// The settings store: a text file of "[Section]" blocks and "Key=Value" lines, held in
// memory while open and written back as a whole when flushed. Values are read and written
// by a path "Section/Key" or, once a section is selected, by bare keys; a key missing from
// the file falls back to the store's default lines.
//
// Section and key names compare without regard to case; keys are trimmed, values kept as
// written. The file is written as UTF-8 and always replaced atomically (TAtomicFile); a file
// that is not valid UTF-8 (older versions, other tools) is read as Windows-1252, byte-order
// marks at line starts are dropped and CR, LF and CR LF all end a line. A window's placement
// is kept through FRFormPlacement.
#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/Exception.h"

// The store's failure texts, in their fixed order.
enum class TFRIniError {
    FilenameRequired,  // "Filnamn måste anges"
    FormIsNil,  // "Fönsterpekare är NIL"
    NoActiveSection,  // "Ingen aktiv sektion i INI-fil"
    SectionNotFound,  // "Sektion "%s" kunde ej hittas"
    ReadInteger,  // "Läsning av heltalsvärde misslyckades"
    ReadString,  // "Läsning av sträng misslyckades"
    ReadBool,  // "Läsning av booleskt värde misslyckades"
    SaveFormPlacement,  // "Sparning av fönsterposition misslyckades"
};
// The text of a failure; "%s" (section name) is left in place for SectionNotFound.
QString FRIniErrorText(TFRIniError error);
// All eight texts in their fixed order.
QStringList FRIniErrorTexts();

// Raised when an existing settings file cannot be read (the store is then open and empty,
// and the unreadable file is kept as a backup copy before it is first overwritten).
extern const char* const FRIniUnreadableText;  // "%1" = file name, "%2" = the backup's name
// Raised when a flush cannot write the file; the store stays open with its lines.
extern const char* const FRIniSaveFailedText;  // "%1" = file name

// A component of its form (owner and name); it has no signals or slots of its own.
class TFRIniFile : public QObject {
public:
    explicit TFRIniFile(QObject* owner = nullptr, const QString& name = QString());
    // Frees the store without flushing.
    ~TFRIniFile() override;

    // The default lines the program carries for its settings (every section ends with
    // an empty line).
    static QStringList ProgramDefaults();

    QString Filename() const { return m_filename; }
    // A different name flushes an open store first.
    void SetFilename(const QString& fileName);
    const QStringList& Defaults() const { return m_defaults; }
    void SetDefaults(const QStringList& lines) { m_defaults = lines; }
    bool IsOpen() const { return m_open; }

    // Loads Filename (an open store is flushed first and keeps its name). A missing file
    // gives an empty open store; an unreadable one raises FRIniUnreadableText after the
    // store has opened empty.
    void Open();
    // When open: closes the active section, writes the lines to Filename (creating its
    // folder), clears Filename and closes the store.
    void Flush();

    // Makes Name the active section; True when the file or the defaults hold it.
    bool SelectSection(const QString& name);
    void CloseSection();
    // The active section's name, empty when none is active.
    QString ActiveSection() const;

    QString ReadString(const QString& key);
    int ReadInteger(const QString& key);
    bool ReadBool(const QString& key);
    // The same reads for a value the caller can do without: any failure of the read (no
    // section, no key, no number) gives the fallback instead of raising.
    QString ReadString(const QString& key, const QString& fallback);
    int ReadInteger(const QString& key, int fallback);
    bool ReadBool(const QString& key, bool fallback);
    void WriteString(const QString& key, const QString& value);
    void WriteInteger(const QString& key, int value);
    void WriteBool(const QString& key, bool value);

    // The file's lines as held in memory (the active section excluded).
    const QStringList& Lines() const { return m_lines; }

private:
    void resetSection();
    // The key's value in the active section, else in its defaults.
    QString valueOf(const QString& key) const;
    void setValue(const QString& key, const QString& value);

    QString m_filename;
    QStringList m_defaults;
    QStringList m_lines;
    QStringList m_section;  // active section, header line first; empty when none
    QStringList m_sectionDefaults;  // the same section of the defaults
    bool m_sectionInFile = false;  // the active section was taken out of the file
    bool m_sectionWritten = false;
    bool m_open = false;
    QString m_unreadableFile;  // kept as a backup before it is first overwritten
    QString m_unreadableBackup;  // the name it is kept under, told when it could not be read
};
