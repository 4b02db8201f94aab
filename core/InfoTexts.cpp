#include "core/InfoTexts.h"

#include <QFile>

#include "core/ProgramFolders.h"
#include "platform/Exception.h"

namespace {

const char* const kLabelMissing = "Etikett \"%1\" kunde inte hittas vid SetInfoText";

// The info texts, read once per file.
struct TInfoTexts {
    QString FileName;
    QStringList Lines;
    bool Loaded = false;
};
TInfoTexts& InfoTexts() {
    static TInfoTexts texts;
    return texts;
}

}  // namespace

void SetInfoText(const QString& label, QStringList& lines) {
    TInfoTexts& texts = InfoTexts();
    const QString file = GetResFile(QStringLiteral("Texts.dat"));
    if (!texts.Loaded || texts.FileName != file) {
        texts = TInfoTexts();
        QFile in(file);
        if (in.open(QIODevice::ReadOnly)) {
            QString text = QString::fromUtf8(in.readAll());
            if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            texts.Lines = text.split(QLatin1Char('\n'));
            // A final line break does not start another line.
            if (!texts.Lines.isEmpty() && texts.Lines.last().isEmpty()) texts.Lines.removeLast();
            texts.FileName = file;
            texts.Loaded = true;
        }
    }
    const QString wanted = QLatin1Char('[') + label + QLatin1Char(']');
    qsizetype i = 0;
    while (i < texts.Lines.size() && texts.Lines.at(i).compare(wanted, Qt::CaseInsensitive) != 0) ++i;
    if (i >= texts.Lines.size()) throw Exception(QString::fromUtf8(kLabelMissing).arg(label));
    ++i;
    while (i < texts.Lines.size() && texts.Lines.at(i).startsWith(QLatin1Char('['))) ++i;
    lines.clear();
    while (i < texts.Lines.size() && !texts.Lines.at(i).startsWith(QLatin1Char('['))) lines.append(texts.Lines.at(i++));
}
