// Turns a readable script (UTF-8) and its pictures into a script file.
//   qsfwrite <script.txt> <out.qsf>
//
// The readable script is the object tree as the file's text part has it: "[Class]" opens an
// object inside the one open, "[End]" closes it, "Key=Value" is a property of the open object.
// Unlike the file itself it may be written for people:
//   - lines may be indented; empty lines and lines beginning with "#" are left out;
//   - an object's properties may stand anywhere in its block, before or after its children;
//   - a property left out takes its class's default (a named object must have its Name);
//   - a list property (the settings' Params) is written as one "Key=Item" line per item;
//   - "@Include=<file>" stands for the lines of that file (relative to the file naming it);
//   - in a picture block, "@Bitmap=<file>" names the embedded picture (any image format, stored
//     as a bitmap).
// An unknown class or key stops the run with the file and line. The result is read back by the
// engine before it is written, so a faulty script is refused.
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "core/MyUtils.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "script/QSAnsi.h"
#include "script/QSScript.h"

namespace {

QByteArray Le32(qint32 v) {
    QByteArray b(4, 0);
    for (int i = 0; i < 4; ++i) b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}

QByteArray Str(const QByteArray& s) { return Le32(qint32(s.size())) + s; }

QByteArray Block(const QByteArray& data) {
    return Str("BOFFILE") + Le32(qint32(data.size())) + Le32(0) + data + Str("EOFFILE");
}

int Fail(const QString& message) {
    std::fprintf(stderr, "qsfwrite: %s\n", qPrintable(message));
    return 1;
}

struct Fault {
    QString Message;
};

// One line of the readable script with where it stands.
struct Line {
    QString Text;
    QString Where;  // "file:line"
};

// The lines of a file with its includes in place.
void ReadLines(const QString& path, std::vector<Line>& out, int depth = 0) {
    if (depth > 8) throw Fault{QStringLiteral("%1: includes nested too deep").arg(path)};
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) throw Fault{QStringLiteral("cannot read %1").arg(path)};
    const QString base = QFileInfo(path).absolutePath();
    int number = 0;
    for (QString text : QString::fromUtf8(in.readAll()).split(u'\n')) {
        ++number;
        text = text.trimmed();
        if (text.isEmpty() || text.startsWith(u'#')) continue;
        const QString where = QStringLiteral("%1:%2").arg(QFileInfo(path).fileName()).arg(number);
        if (text.startsWith(QLatin1String("@Include="))) {
            const QString name = text.mid(9).trimmed();
            ReadLines(QFileInfo(name).isAbsolute() ? name : base + u'/' + name, out, depth + 1);
            continue;
        }
        if (text.startsWith(QLatin1String("@Bitmap="))) {
            const QString name = text.mid(8).trimmed();
            text = QStringLiteral("@Bitmap=") + (QFileInfo(name).isAbsolute() ? name : base + u'/' + name);
        }
        out.push_back({text, where});
    }
}

// One object of the readable script.
struct Node {
    const TQSRegisteredObject* Record = nullptr;  // none for the root
    QString Where;
    std::vector<std::unique_ptr<Node>> Children;
    QHash<QString, QString> Values;
    QHash<QString, QStringList> Lists;
    QString Bitmap;
};

const TQSKey* FindKey(const TQSRegisteredObject& record, const QString& name) {
    for (const TQSKey& key : record.Keys)
        if (key.Name == name) return &key;
    return nullptr;
}

std::unique_ptr<Node> Parse(const std::vector<Line>& lines) {
    auto root = std::make_unique<Node>();
    std::vector<Node*> open{root.get()};
    for (const Line& line : lines) {
        Node* current = open.back();
        auto fail = [&line](const QString& message) { return Fault{line.Where + QStringLiteral(": ") + message}; };
        if (line.Text == QLatin1String("[End]")) {
            if (open.size() == 1) throw fail(QStringLiteral("[End] without an open object"));
            open.pop_back();
        } else if (line.Text.startsWith(u'[') && line.Text.endsWith(u']')) {
            const QString className = line.Text.mid(1, line.Text.size() - 2);
            const TQSRegisteredObject* record = FindRegisteredClass(className);
            if (!record) throw fail(QStringLiteral("Invalid class (%1) found in scriptfile!").arg(className));
            auto node = std::make_unique<Node>();
            node->Record = record;
            node->Where = line.Where;
            open.push_back(node.get());
            current->Children.push_back(std::move(node));
        } else if (line.Text.startsWith(QLatin1String("@Bitmap="))) {
            if (!current->Record || current->Record->ClassName != QLatin1String("TQSPicture"))
                throw fail(QStringLiteral("@Bitmap outside a picture block"));
            current->Bitmap = line.Text.mid(8);
        } else {
            const qsizetype eq = line.Text.indexOf(u'=');
            if (eq <= 0) throw fail(QStringLiteral("neither an object nor a property: %1").arg(line.Text));
            if (!current->Record) throw fail(QStringLiteral("a property outside every object"));
            const QString name = line.Text.left(eq).trimmed();
            const QString value = line.Text.mid(eq + 1);
            const TQSKey* key = FindKey(*current->Record, name);
            if (!key) throw fail(QStringLiteral("%1 has no key %2").arg(current->Record->ClassName, name));
            if (key->Kind == TQSKeyKind::List) {
                current->Lists[name].append(value);
            } else {
                if (current->Values.contains(name)) throw fail(QStringLiteral("%1 given twice").arg(name));
                current->Values.insert(name, value);
            }
        }
    }
    if (open.size() > 1)
        throw Fault{open.back()->Where + QStringLiteral(": [%1] is never closed").arg(open.back()->Record->ClassName)};
    return root;
}

// The file's text part: each object's children first, then every one of its keys.
void Write(const Node& node, QStringList& out, QStringList& bitmaps) {
    for (const auto& child : node.Children) {
        out.append(u'[' + child->Record->ClassName + u']');
        if (child->Record->ClassName == QLatin1String("TQSPicture")) bitmaps.append(child->Bitmap);
        Write(*child, out, bitmaps);
        out.append(QStringLiteral("[End]"));
    }
    if (!node.Record) return;
    if (!node.Record->NameStem.isEmpty() && node.Values.value(QStringLiteral("Name")).trimmed().isEmpty())
        throw Fault{node.Where + QStringLiteral(": [%1] needs a Name").arg(node.Record->ClassName)};
    for (const TQSKey& key : node.Record->Keys) {
        if (key.Kind == TQSKeyKind::List) {
            const QStringList items = node.Lists.value(key.Name);
            for (qsizetype i = 0; i < items.size(); ++i)
                out.append(key.Name + QString::number(i).rightJustified(3, u'0') + u'=' + items[i]);
        } else {
            out.append(key.Name + u'=' + node.Values.value(key.Name, key.Default));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    // A fixed stamp on the blocks, so the same sources give the same file.
    Clock::SetFixedNow(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    const QStringList args = app.arguments();
    if (args.size() != 3) return Fail(QStringLiteral("usage: qsfwrite <script.txt> <out.qsf>"));

    QStringList lines;
    QStringList bitmaps;  // per picture block, in file order
    try {
        std::vector<Line> readable;
        ReadLines(args[1], readable);
        Write(*Parse(readable), lines, bitmaps);
    } catch (const Fault& f) {
        return Fail(f.Message);
    }
    const QString text = lines.join("\r\n") + "\r\n";
    // The file holds eight-bit text: refuse what would not come back.
    if (AnsiToString(StringToAnsi(text)) != text) return Fail(QStringLiteral("text outside Windows-1252"));
    QByteArray pictures;
    for (qsizetype i = 0; i < bitmaps.size(); ++i) pictures += Le32(0);
    const QString header = QStringLiteral("***** ZADUZORURER scriptfile, DO NOT ALTER MANUALLY! *****");
    QBuffer raw;
    raw.setData(Str(header.toLatin1()) + Block(StringToAnsi(text)) + Block(pictures));
    raw.open(QIODevice::ReadOnly);

    try {
        TQSScript script;
        script.LoadFromStream(raw);
        QList<TQSPicture*> objects;
        std::function<void(TQSScriptObject&)> collect = [&](TQSScriptObject& o) {
            if (auto* p = dynamic_cast<TQSPicture*>(&o)) objects.append(p);
            if (auto* c = dynamic_cast<TQSContainer*>(&o))
                for (const auto& child : c->Children()) collect(*child);
        };
        collect(*script.Root());
        for (qsizetype i = 0; i < objects.size() && i < bitmaps.size(); ++i) {
            if (bitmaps[i].isEmpty()) continue;
            QImage image(bitmaps[i]);
            if (image.isNull()) return Fail(QStringLiteral("cannot read picture %1").arg(bitmaps[i]));
            QBuffer bmp;
            bmp.open(QIODevice::WriteOnly);
            if (!image.save(&bmp, "BMP")) return Fail(QStringLiteral("cannot convert picture %1").arg(bitmaps[i]));
            objects[i]->Bitmap = bmp.data();
        }
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        script.SaveToStream(out);
        WriteFileAtomically(args[2], out.data());
    } catch (const Exception& e) {
        return Fail(e.Message());
    }
    return 0;
}
