#include "script/QSScript.h"

#include <QBuffer>
#include <QFile>

#include "platform/Clock.h"
#include "platform/StreamRecords.h"
#include "script/QSAnsi.h"
#include "script/QSHandler.h"

namespace {

const QString kHeader = QStringLiteral("***** ZADUZORURER scriptfile, DO NOT ALTER MANUALLY! *****");
const QString kDamaged = QStringLiteral("Invalid or damaged ZaduzOrurer scriptfile!");
const QString kInvalidClass = QStringLiteral("Invalid class (%1) found in scriptfile!");
const QString kNoMarker = QStringLiteral("Error in StreamLoadFile. \"BOFFILE\" / \"EOFFILE\" not found!");
const QString kEnd = QStringLiteral("[End]");

// Deeper nesting than any script needs is refused before it is built.
constexpr int kMaxNesting = 64;
constexpr qint64 kMaxFileSize = qint64(256) << 20;

[[noreturn]] void Damaged() { throw Exception(kDamaged); }

// One object's block of the text part: its children's blocks, then its own property lines.
struct Block {
    QString className;
    QStringList properties;
    std::vector<Block> children;
};

// Reads the lines of one block up to (not including) its "[End]" or the end of the text.
void ParseBlock(const QStringList& lines, qsizetype& i, Block& block, int depth) {
    while (i < lines.size()) {
        const QString& line = lines[i];
        if (line == kEnd) return;
        if (line.isEmpty()) {
            ++i;
            continue;
        }
        if (line.startsWith(u'[')) {
            if (!block.properties.isEmpty() || !line.endsWith(u']') || line.size() < 3 || depth >= kMaxNesting)
                Damaged();
            Block child;
            child.className = line.mid(1, line.size() - 2);
            ++i;
            ParseBlock(lines, i, child, depth + 1);
            if (i >= lines.size()) Damaged();  // no "[End]"
            ++i;
            block.children.push_back(std::move(child));
            continue;
        }
        block.properties.append(line);
        ++i;
    }
}

// Every class must be registered and allowed in the container that holds it.
void Build(TQSContainer& container, const Block& block, TQSScript& script) {
    for (const Block& childBlock : block.children) {
        const TQSRegisteredObject* record = FindRegisteredClass(childBlock.className);
        if (!record || !record->AcceptsParent(container)) throw Exception(kInvalidClass.arg(childBlock.className));
        if (record->ClassName == QLatin1String("TQSDummy")) {
            // A written placeholder stands for no children; one is added below if needed.
            if (!childBlock.children.empty()) throw Exception(kInvalidClass.arg(childBlock.children.front().className));
            continue;
        }
        TQSScriptObject* child = container.CreateChild(*record);
        auto* childContainer = dynamic_cast<TQSContainer*>(child);
        if (childContainer) {
            Build(*childContainer, childBlock, script);
        } else if (!childBlock.children.empty()) {
            throw Exception(kInvalidClass.arg(childBlock.children.front().className));
        }
        child->LoadProperties(childBlock.properties);
        script.Fire(qeObjectRead, child);
    }
    container.EnsurePlaceholder();
}

void CollectPictures(TQSScriptObject& object, QList<TQSPicture*>& pictures) {
    if (auto* picture = dynamic_cast<TQSPicture*>(&object)) pictures.append(picture);
    if (auto* container = dynamic_cast<TQSContainer*>(&object))
        for (const auto& child : container->Children()) CollectPictures(*child, pictures);
}

// A file block read into memory; its size must lie within the stream.
QByteArray ReadBlock(QIODevice& stream) {
    auto marker = [&](const char* expected) {
        QString text;
        try {
            text = StreamLoadString(stream);
        } catch (const Exception&) {
            throw Exception(kNoMarker);
        }
        if (text != QLatin1String(expected)) throw Exception(kNoMarker);
    };
    marker("BOFFILE");
    qint32 size = 0;
    try {
        size = StreamReadInteger(stream);
        StreamReadInteger(stream);  // date-time stamp
    } catch (const Exception&) {
        throw Exception(kNoMarker);
    }
    if (size < 0 || size > stream.bytesAvailable()) throw Exception(kNoMarker);
    const QByteArray data = stream.read(size);
    if (data.size() != size) throw Exception(kNoMarker);
    marker("EOFFILE");
    return data;
}

void WriteBlock(QIODevice& stream, const QByteArray& data) {
    StreamSaveString(stream, QStringLiteral("BOFFILE"));
    StreamWriteInteger(stream, qint32(data.size()));
    StreamWriteInteger(stream, DateTimeToFileDate(Clock::Now()));
    if (stream.write(data) != data.size()) throw Exception(QStringLiteral("Skriptfilen kunde inte skrivas."));
    StreamSaveString(stream, QStringLiteral("EOFFILE"));
}

quint32 Le32(const QByteArray& bytes, qsizetype at) {
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

// The picture part: per picture object a 32-bit flag, and the BMP file when its low byte is
// set. Every length is checked against the bytes that remain.
void ReadPictures(const QByteArray& part, const QList<TQSPicture*>& pictures) {
    qsizetype at = 0;
    for (TQSPicture* picture : pictures) {
        if (part.size() - at < 4) Damaged();
        const quint32 flag = Le32(part, at);
        at += 4;
        if ((flag & 0xFF) == 0) continue;
        // BITMAPFILEHEADER: "BM", the file's size, then at least a 12-byte info header.
        if (part.size() - at < 14 || part.at(at) != 'B' || part.at(at + 1) != 'M') Damaged();
        const quint32 size = Le32(part, at + 2);
        if (size < 26 || size > quint64(part.size() - at)) Damaged();
        picture->Bitmap = part.mid(at, qsizetype(size));
        at += qsizetype(size);
    }
}

void WriteObject(const TQSScriptObject& object, QStringList& lines) {
    if (const auto* container = dynamic_cast<const TQSContainer*>(&object)) {
        for (const auto& child : container->Children()) {
            if (dynamic_cast<const TQSDummy*>(child.get())) continue;
            lines.append(u'[' + child->ClassName() + u']');
            WriteObject(*child, lines);
            lines.append(kEnd);
        }
    }
    object.SaveProperties(lines);
}

}  // namespace

TQSScript::TQSScript(TQSHandler* handler) : m_handler(handler), m_exec(std::make_unique<TQSExecData>(*this)) {
    // Announced before its tree is built, so the objects' own events follow it.
    Fire(qeScriptCreated, nullptr);
    m_root = TQSBaseContainer::Create(this);
}

TQSScript::~TQSScript() {
    Fire(qeScriptFreed, nullptr);
    m_root.reset();
}

TFSHandlerMode TQSScript::Mode() const { return m_handler ? m_handler->Mode() : hmDebug; }

void TQSScript::SetModified() {
    m_modified = true;
    Fire(qeModified, nullptr);
}

TQSScriptObject* TQSScript::FindNamedObject(const QString& name) const {
    return m_names.byName.value(name.toLower(), nullptr);
}

void TQSScript::TakeName(TQSScriptObject* object, const QString& name) {
    m_names.byName.insert(name.toLower(), object);
}

void TQSScript::ReleaseName(TQSScriptObject* object, const QString& name) {
    const QString lower = name.toLower();
    const auto it = m_names.byName.constFind(lower);
    if (it == m_names.byName.constEnd() || *it != object) return;
    m_names.byName.erase(it);
    // A default name that becomes free is the next one given again.
    const QString stem = object->Record().NameStem;
    if (lower.startsWith(stem)) {
        bool ok = false;
        const int n = lower.mid(stem.size()).toInt(&ok, 10);
        if (ok && n > 0 && QString::number(n) == lower.mid(stem.size()) && n < m_names.nextFree.value(stem, 1))
            m_names.nextFree.insert(stem, n);
    }
}

QString TQSScript::FreeName(const QString& stem) {
    int n = m_names.nextFree.value(stem, 1);
    while (m_names.byName.contains(stem + QString::number(n))) ++n;
    m_names.nextFree.insert(stem, n + 1);
    return stem + QString::number(n);
}

TQSScriptObject* TQSScript::FindVariable(const QString& name) const {
    auto* section = dynamic_cast<TQSDataContainer*>(m_root->Section(1));
    return section ? section->FindByName(name) : nullptr;
}

TQSScriptObject* TQSScript::FindExternalFunction(const QString& name) const {
    auto* section = dynamic_cast<TQSDataContainer*>(m_root->Section(6));
    return section ? section->FindByName(name) : nullptr;
}

void TQSScript::Fire(int eventType, TQSScriptObject* object) const {
    if (m_handler && m_handler->OnEvent)
        m_handler->OnEvent(eventType, const_cast<TQSScript*>(this), object, QVariant());
}

void TQSScript::Reset() {
    m_exec->ResetRun();
    // The values the program gave for a run go; the file's initial values hold again.
    if (const TQSContainer* variables = m_root->Section(1))
        for (const auto& child : variables->Children())
            if (auto* variable = dynamic_cast<TQSVariable*>(child.get())) variable->Preset.reset();
    Fire(qeReset, nullptr);
}

TQuillCalc& TQSScript::Calc() const {
    if (m_handler) return m_handler->Calc();
    if (!m_ownCalc) m_ownCalc = std::make_unique<TQuillCalc>();
    return *m_ownCalc;
}

void TQSScript::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Skriptfilen \"%1\" kunde inte öppnas.").arg(fileName));
    // The whole file is read at once: every block is checked against what is really there.
    // No script comes near this size; a larger file is no script file.
    if (file.size() > kMaxFileSize) Damaged();
    QBuffer buffer;
    buffer.setData(file.readAll());
    buffer.open(QIODevice::ReadOnly);
    LoadFromStream(buffer);
    m_fileName = fileName;
}

void TQSScript::LoadFromStream(QIODevice& stream) {
    QString header;
    try {
        header = StreamLoadString(stream);
    } catch (const Exception&) {
        Damaged();
    }
    if (header != kHeader) Damaged();
    const QByteArray text = ReadBlock(stream);
    const QByteArray pictures = ReadBlock(stream);

    QStringList lines = AnsiToString(text).split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r')) line.chop(1);
    Block root;
    qsizetype i = 0;
    ParseBlock(lines, i, root, 0);
    if (i < lines.size()) ++i;  // the root's own "[End]"
    for (; i < lines.size(); ++i)
        if (!lines[i].isEmpty()) Damaged();

    // Built beside the current tree, which stays until the new one is whole.
    std::unique_ptr<TQSBaseContainer> oldRoot = std::move(m_root);
    NameIndex oldNames = std::move(m_names);
    m_names = NameIndex();
    try {
        // Sections the file does not hold keep what a new script has.
        m_root = TQSBaseContainer::Create(this);
        m_loading = true;
        Build(*m_root, root, *this);
        m_root->LoadProperties(root.properties);
        QList<TQSPicture*> pictureObjects;
        CollectPictures(*m_root, pictureObjects);
        ReadPictures(pictures, pictureObjects);
    } catch (...) {
        m_root.reset();
        m_root = std::move(oldRoot);
        m_names = std::move(oldNames);
        m_loading = false;
        throw;
    }
    m_loading = false;
    m_modified = false;
    // The old objects are not in the new name list.
    oldRoot.reset();
}

void TQSScript::SaveToStream(QIODevice& stream) const {
    QStringList lines;
    WriteObject(*m_root, lines);
    QString text;
    for (const QString& line : lines) text += line + QLatin1String("\r\n");

    QByteArray pictures;
    QList<TQSPicture*> pictureObjects;
    CollectPictures(*m_root, pictureObjects);
    for (const TQSPicture* picture : pictureObjects) {
        const qint32 flag = picture->Bitmap.isEmpty() ? 0 : 1;
        for (int k = 0; k < 4; ++k) pictures.append(char((quint32(flag) >> (8 * k)) & 0xFF));
        pictures.append(picture->Bitmap);
    }
    StreamSaveString(stream, kHeader);
    WriteBlock(stream, StringToAnsi(text));
    WriteBlock(stream, pictures);
}
