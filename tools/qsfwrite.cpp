// Turns a readable script (the text part of a .qsf, UTF-8, one object block after another) and
// its pictures into a script file. A picture block may name its embedded bitmap with a line
// "@Bitmap=<file>" (relative to the text file); any image format is stored as a bitmap.
// The result is read back by the engine before it is written, so a faulty script is refused.
//   qsfwrite <script.txt> <out.qsf>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QSaveFile>

#include <cstdio>
#include <functional>

#include "core/MyUtils.h"
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

QByteArray Block(const QByteArray& data) { return Str("BOFFILE") + Le32(qint32(data.size())) + Le32(0) + data + Str("EOFFILE"); }

int Fail(const QString& message) {
    std::fprintf(stderr, "qsfwrite: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    // A fixed stamp on the blocks, so the same sources give the same file.
    Clock::SetFixedNow(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    const QStringList args = app.arguments();
    if (args.size() != 3) return Fail(QStringLiteral("usage: qsfwrite <script.txt> <out.qsf>"));
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly)) return Fail(QStringLiteral("cannot read %1").arg(args[1]));
    const QString base = QFileInfo(args[1]).absolutePath();

    QStringList lines;
    QList<QString> bitmaps;  // per picture block, in file order
    for (QString line : QString::fromUtf8(in.readAll()).split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        if (line == QLatin1String("[TQSPicture]")) bitmaps.append(QString());
        if (line.startsWith(QLatin1String("@Bitmap="))) {
            if (bitmaps.isEmpty()) return Fail(QStringLiteral("@Bitmap outside a picture block"));
            bitmaps.last() = line.mid(8);
            continue;
        }
        lines.append(line);
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
            const QString path = QFileInfo(bitmaps[i]).isAbsolute() ? bitmaps[i] : base + u'/' + bitmaps[i];
            QImage image(path);
            if (image.isNull()) return Fail(QStringLiteral("cannot read picture %1").arg(path));
            QBuffer bmp;
            bmp.open(QIODevice::WriteOnly);
            if (!image.save(&bmp, "BMP")) return Fail(QStringLiteral("cannot convert picture %1").arg(path));
            objects[i]->Bitmap = bmp.data();
        }
        QSaveFile out(args[2]);
        if (!out.open(QIODevice::WriteOnly)) return Fail(QStringLiteral("cannot write %1").arg(args[2]));
        script.SaveToStream(out);
        if (!out.commit()) return Fail(QStringLiteral("cannot write %1").arg(args[2]));
    } catch (const Exception& e) {
        return Fail(e.Message());
    }
    return 0;
}
