#include "core/FRIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "platform/Windows1252.h"

namespace {

const char* const kErrorTexts[] = {
    "Filnamn måste anges",
    "Fönsterpekare är NIL",
    "Ingen aktiv sektion i INI-fil",
    "Sektion \"%s\" kunde ej hittas",
    "Läsning av heltalsvärde misslyckades",
    "Läsning av sträng misslyckades",
    "Läsning av booleskt värde misslyckades",
    "Sparning av fönsterposition misslyckades",
};

[[noreturn]] void raise(TFRIniError error) { throw Exception(FRIniErrorText(error)); }

bool isSectionStart(const QString& line) { return line.startsWith(QLatin1Char('[')); }

// The name inside a header line "[Name]".
QString headerName(const QString& line) {
    QString name = line.mid(1);
    const qsizetype close = name.lastIndexOf(QLatin1Char(']'));
    if (close >= 0) name.truncate(close);
    return name.trimmed();
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A line break inside a key or value would start a new line, or even a new section, in the
// file, and a NUL would make the file unreadable; each becomes a blank.
QString oneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : line)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0)) c = QLatin1Char(' ');
    return line;
}

bool isBlank(const QString& line) { return line.trimmed().isEmpty(); }

// The index of the header line of the first block named Name, or -1.
qsizetype findSection(const QStringList& lines, const QString& name) {
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (isSectionStart(lines[i]) && sameName(headerName(lines[i]), name)) return i;
    return -1;
}

// One past the last line of the block whose header stands at Start.
qsizetype blockEnd(const QStringList& lines, qsizetype start) {
    qsizetype end = start + 1;
    while (end < lines.size() && !isSectionStart(lines[end])) ++end;
    return end;
}

// The index of Key's line in a block (its header line is skipped), or -1.
qsizetype findKey(const QStringList& block, const QString& key) {
    for (qsizetype i = 1; i < block.size(); ++i) {
        const qsizetype eq = block[i].indexOf(QLatin1Char('='));
        if (eq >= 0 && sameName(block[i].left(eq).trimmed(), key)) return i;
    }
    return -1;
}

void endWithEmptyLine(QStringList& block) {
    if (block.isEmpty() || !isBlank(block.last())) block.append(QString());
}

// Keeps only the first block of each section name, in one pass.
void removeDuplicateSections(QStringList& lines) {
    QSet<QString> seen;
    QStringList kept;
    kept.reserve(lines.size());
    bool skipping = false;
    for (QString& line : lines) {
        if (isSectionStart(line)) {
            const QString name = headerName(line).toCaseFolded();
            skipping = seen.contains(name);
            if (!skipping) seen.insert(name);
        }
        if (!skipping) kept.append(std::move(line));
    }
    lines = std::move(kept);
}

// A line without the byte-order marks at its start. Marks are dropped where the file is read
// and where it is written, so a mark can never turn a line into a header line (or stop one
// being one) between two reads of the same file.
QString withoutMarks(const QString& line) {
    qsizetype marks = 0;
    while (marks < line.size() && line[marks] == QChar(0xFEFF)) ++marks;
    return marks ? line.mid(marks) : line;
}

// Reads a settings file: UTF-8, or Windows-1252 when the bytes are not valid UTF-8; any
// number of leading byte-order marks; line ends of CR LF, LF or CR alone. False when it
// exists but is not a text file.
bool readLines(const QString& fileName, QStringList& lines) {
    lines.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError()) text = Windows1252::Decode(bytes);  // as older versions and other tools wrote it
    if (text.contains(QChar(0))) return false;
    if (text.isEmpty()) return true;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\r') && text[i] != QLatin1Char('\n')) continue;
        lines.append(withoutMarks(text.mid(start, i - start)));
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.append(withoutMarks(text.mid(start)));
    return true;
}

// What a newly made file gets: read and write as the user's file mask allows.
QFileDevice::Permissions newFilePermissions() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = 0666 & ~mask;
    QFileDevice::Permissions permissions;
    if (mode & S_IRUSR) permissions |= QFileDevice::ReadOwner;
    if (mode & S_IWUSR) permissions |= QFileDevice::WriteOwner;
    if (mode & S_IRGRP) permissions |= QFileDevice::ReadGroup;
    if (mode & S_IWGRP) permissions |= QFileDevice::WriteGroup;
    if (mode & S_IROTH) permissions |= QFileDevice::ReadOther;
    if (mode & S_IWOTH) permissions |= QFileDevice::WriteOther;
    return permissions;
}

QString freeBackupName(const QString& fileName) {
    QString name = fileName + QStringLiteral(".bak");
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = fileName + QStringLiteral(".bak%1").arg(n);
    return name;
}

}  // namespace

const char* const FRIniUnreadableText =
    "Inställningsfilen \"%1\" kunde inte läsas. Standardinställningarna används, och den "
    "gamla filen sparas som \"%2\".";
const char* const FRIniSaveFailedText = "Inställningsfilen \"%1\" kunde inte sparas.";

QString FRIniErrorText(TFRIniError error) { return QString::fromUtf8(kErrorTexts[int(error)]); }

QStringList FRIniErrorTexts() {
    QStringList texts;
    for (const char* text : kErrorTexts) texts.append(QString::fromUtf8(text));
    return texts;
}

TFRIniFile::TFRIniFile(QObject* owner, const QString& name) : QObject(owner) { setObjectName(name); }

TFRIniFile::~TFRIniFile() = default;

QStringList TFRIniFile::ProgramDefaults() {
    struct Section {
        const char* name;
        const char* keys;  // "Key=Value" joined by '|'
    };
    static const Section sections[] = {
        {"Settings", "LastVisitedScreen=0|DatabaseIndex=0|FactError=0|CompleteButton=0"},
        {"Backup", "CreateBackup=1|SplitFile=0|SplitSize=650"},
        {"Fungi", "LastVisited=|SortOrder=1|SubScreenIndex=4"},
        {"Contacts", "ShowingAll=0"},
        {"Key", "Presentation=1|ColorTolerance=0"},
        {"Place", "SortOrder=1|SelProvince=|SelDistrict="},
        {"Maps",
         "Autozoom=1|Dragging=0|PlaceSelection=NONE|PlaceColor=255|PlaceSize=15|"
         "FindSelection=NONE|FindColor=255|FindSize=15"},
        {"Internet", "MasterUKey=|MixupReportHost="},
        {"QuickSelection",
         "Complete=1|CompleteLocked=1|SwedishName=0|SwedishNameLocked=0|Edible=0|"
         "HasPicture=0|CountryPart=00000000|Season=000000000000|"
         "Habitat=000000000000000|FungiGroup="},
        {"FungiFindPresets", "PositionLocked=1|RouteNoteLocked=0|NoteTextLocked=0"},
        {"FungiPicDetails", "RealSize=0"},
        {"Food", "GroupIndex=1"},
        {"PlacePresets", "PositionLocked=0|RouteNoteLocked=0|NoteTextLocked=0"},
        {"EFHandler", "Minimized=0"},
    };
    QStringList lines;
    for (const Section& s : sections) {
        lines.append(QStringLiteral("[%1]").arg(QLatin1String(s.name)));
        lines.append(QString::fromLatin1(s.keys).split(QLatin1Char('|')));
        lines.append(QString());
    }
    return lines;
}

void TFRIniFile::SetFilename(const QString& fileName) {
    if (fileName == m_filename) return;
    if (m_open) Flush();
    m_filename = fileName;
}

void TFRIniFile::resetSection() {
    m_section.clear();
    m_sectionDefaults.clear();
    m_sectionInFile = false;
    m_sectionWritten = false;
}

void TFRIniFile::Open() {
    if (m_filename.isEmpty()) raise(TFRIniError::FilenameRequired);
    if (m_open) {
        const QString name = m_filename;
        Flush();
        m_filename = name;
    }
    resetSection();
    m_lines.clear();
    const QFileInfo info(m_filename);
    if (!info.exists() && !info.isSymLink()) {
        m_open = true;
        return;
    }
    QStringList lines;
    if (!info.isFile() || !readLines(m_filename, lines)) {
        m_open = true;
        m_unreadableFile = m_filename;
        m_unreadableBackup = freeBackupName(m_filename);
        throw Exception(QString::fromUtf8(FRIniUnreadableText)
                            .arg(QDir::toNativeSeparators(m_filename), QDir::toNativeSeparators(m_unreadableBackup)));
    }
    removeDuplicateSections(lines);
    m_lines = lines;
    m_open = true;
}

void TFRIniFile::Flush() {
    if (!m_open) return;
    CloseSection();

    const QString fileName = m_filename;
    const QString failed = QString::fromUtf8(FRIniSaveFailedText).arg(QDir::toNativeSeparators(fileName));
    QByteArray bytes;
    for (const QString& line : std::as_const(m_lines)) {
        bytes += withoutMarks(line).toUtf8();
        bytes += '\n';
    }
    TAtomicFile file(fileName, QString::fromUtf8(FRIniSaveFailedText));
    const bool replacesUnreadable = !m_unreadableFile.isEmpty() && m_unreadableFile == fileName;
    // The new file gets the mode a new file gets, not that of the file that could not be
    // read (which may be why it could not be).
    if (replacesUnreadable) file.SetPermissions(newFilePermissions());
    file.Open();
    file.Write(bytes);
    file.Finish();
    // The file that could not be read is moved aside, not overwritten.
    if (replacesUnreadable) {
        const QFileInfo old(fileName);
        QString backup = m_unreadableBackup;
        if (backup.isEmpty() || QFileInfo::exists(backup) || QFileInfo(backup).isSymLink())
            backup = freeBackupName(fileName);
        if ((old.exists() || old.isSymLink()) && !QFile::rename(fileName, backup)) throw Exception(failed);
    }
    file.Rename();

    m_unreadableFile.clear();
    m_unreadableBackup.clear();
    m_lines.clear();
    m_filename.clear();
    m_open = false;
}

bool TFRIniFile::SelectSection(const QString& name) {
    CloseSection();
    const QString wanted = name.trimmed();
    const qsizetype inDefaults = findSection(m_defaults, wanted);
    if (inDefaults >= 0) m_sectionDefaults = m_defaults.mid(inDefaults, blockEnd(m_defaults, inDefaults) - inDefaults);

    const qsizetype inFile = findSection(m_lines, wanted);
    bool found = true;
    if (inFile >= 0) {
        const qsizetype end = blockEnd(m_lines, inFile);
        m_section = m_lines.mid(inFile, end - inFile);
        m_lines.remove(inFile, end - inFile);
        m_sectionInFile = true;
    } else if (inDefaults >= 0) {
        m_section = m_sectionDefaults;
    } else {
        m_section = QStringList{QStringLiteral("[%1]").arg(wanted)};
        found = false;
    }
    endWithEmptyLine(m_section);
    return found;
}

void TFRIniFile::CloseSection() {
    if (m_section.isEmpty()) return;
    // A block that came from the file goes back (to the end); one that the file never had
    // is added only once something was written to it, so that reading a default does not
    // freeze it into the file.
    if (m_sectionInFile || m_sectionWritten) m_lines.append(m_section);
    resetSection();
}

QString TFRIniFile::ActiveSection() const { return m_section.isEmpty() ? QString() : headerName(m_section.first()); }

QString TFRIniFile::valueOf(const QString& key) const {
    const QString wanted = key.trimmed();
    for (const QStringList* block : {&m_section, &m_sectionDefaults}) {
        const qsizetype i = findKey(*block, wanted);
        if (i >= 0) return block->at(i).mid(block->at(i).indexOf(QLatin1Char('=')) + 1);
    }
    raise(TFRIniError::ReadString);
}

void TFRIniFile::setValue(const QString& key, const QString& value) {
    const QString name = oneLine(key).trimmed();
    const QString text = oneLine(value);
    const QString line = QStringLiteral("%1=%2").arg(name, text);
    const qsizetype i = findKey(m_section, name);
    if (i >= 0) {
        m_section[i] = line;
    } else {
        // Before the block's closing empty line(s).
        qsizetype at = m_section.size();
        while (at > 1 && isBlank(m_section[at - 1])) --at;
        m_section.insert(at, line);
    }
    m_sectionWritten = true;
}

QString TFRIniFile::ReadString(const QString& key) {
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        if (m_section.isEmpty()) raise(TFRIniError::NoActiveSection);
        return valueOf(key);
    }
    const QString section = key.left(slash).trimmed();
    const bool found = SelectSection(section);
    // A path read leaves no section selected, also when it fails.
    const auto close = qScopeGuard([this] { CloseSection(); });
    if (!found) throw Exception(FRIniErrorText(TFRIniError::SectionNotFound).replace(QLatin1String("%s"), section));
    return valueOf(key.mid(slash + 1));
}

// A stored decimal number; false when the key is missing or holds no number.
static bool TryReadNumber(TFRIniFile& ini, const QString& key, int& value) {
    bool ok = false;
    try {
        value = ini.ReadString(key).toInt(&ok, 10);
    } catch (const Exception&) {
        ok = false;
    }
    return ok;
}

int TFRIniFile::ReadInteger(const QString& key) {
    int value = 0;
    if (!TryReadNumber(*this, key, value)) raise(TFRIniError::ReadInteger);
    return value;
}

bool TFRIniFile::ReadBool(const QString& key) {
    int value = 0;
    if (!TryReadNumber(*this, key, value)) raise(TFRIniError::ReadBool);
    return value != 0;
}

QString TFRIniFile::ReadString(const QString& key, const QString& fallback) {
    try {
        return ReadString(key);
    } catch (const Exception&) {
        return fallback;
    }
}

int TFRIniFile::ReadInteger(const QString& key, int fallback) {
    int value = 0;
    return TryReadNumber(*this, key, value) ? value : fallback;
}

bool TFRIniFile::ReadBool(const QString& key, bool fallback) {
    int value = 0;
    return TryReadNumber(*this, key, value) ? value != 0 : fallback;
}

void TFRIniFile::WriteString(const QString& key, const QString& value) {
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        if (m_section.isEmpty()) raise(TFRIniError::NoActiveSection);
        setValue(key, value);
        return;
    }
    // A section that exists nowhere is created by the write.
    SelectSection(key.left(slash));
    setValue(key.mid(slash + 1), value);
    CloseSection();
}

void TFRIniFile::WriteInteger(const QString& key, int value) { WriteString(key, QString::number(value)); }

void TFRIniFile::WriteBool(const QString& key, bool value) {
    WriteString(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
