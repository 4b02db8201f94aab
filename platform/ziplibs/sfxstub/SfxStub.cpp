// The self-extractor stub: the program in front of a self-extracting archive. Run, it reads
// its own file, finds the zip data and the settings header in front of it, and unpacks the
// archive into the header's default folder (asking where, in a small window when there is a
// display or on the terminal, unless the header says to run without questions). It unpacks
// through the same job as the unpacking module, so it refuses the same unsafe names. The
// header's command runs only as its options allow, only for a program inside the unpacked
// folder, and without a shell.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "platform/ziplibs/sfxstub/SfxStubDialog.h"
#include "platform/ziplibs/unzlib/UnzJob.h"

using namespace ziplibs;

namespace {

enum TOption : quint16 { AskCommand = 1, AskFiles = 2, HideOverwrite = 4, RunWithoutQuestions = 8, NoSuccessNote = 16 };

struct TRun {
    zipcommon::TSfxSettings Settings;
    QString Caption;
    bool Window = false;  // questions in message boxes
    bool Terminal = false;  // questions on the terminal
    bool Quiet = false;  // no questions at all
    int OverwriteMode = 2;  // 0 always, 1 never, 2 ask; "all"/"none" answers change it
    QStringList Errors;
    int Kept = 0;  // files not overwritten
};

void Say(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void SayError(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

bool Interactive(const TRun& run) { return !run.Quiet && (run.Window || run.Terminal); }

// A line from the terminal; empty at its end.
QString ReadLine() {
    std::string line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line.push_back(char(c));
    return QString::fromLocal8Bit(line.c_str()).trimmed();
}

// A yes/no question on the terminal; the first letter counts ("j" yes).
bool AskTerminal(const QString& question) {
    std::fputs((question + QStringLiteral(" (j/n) ")).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return ReadLine().startsWith(QLatin1Char('j'), Qt::CaseInsensitive);
}

bool Confirm(const TRun& run, const QString& text, bool okCancel = false) {
    if (run.Window) return sfxui::Confirm(run.Caption, text, okCancel);
    if (run.Terminal) return AskTerminal(text);
    return false;
}

void Tell(const TRun& run, const QString& text, bool error = false) {
    if (run.Window) sfxui::Tell(run.Caption, text, error);
    if (error)
        SayError(text);
    else
        Say(text);
}

// The header's folder as a path here: "\" is "/", a drive prefix is dropped and a relative
// folder lies below the current one; empty means the current folder.
QString ResolveFolder(QString folder) {
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (folder.size() >= 2 && folder[1] == QLatin1Char(':') && folder[0].isLetter()) {
        folder.remove(0, 2);
        while (folder.startsWith(QLatin1Char('/'))) folder.remove(0, 1);
    }
    if (folder.startsWith(QStringLiteral("~/"))) folder = QDir::homePath() + folder.mid(1);
    return QDir::cleanPath(QDir::current().absoluteFilePath(folder));
}

// Splits a command line into words; double quotes keep blanks inside a word.
QStringList SplitCommand(const QString& line) {
    QStringList words;
    QString word;
    bool quoted = false, inWord = false;
    for (QChar c : line) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inWord = true;
        } else if (c.isSpace() && !quoted) {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words << word;
    return words;
}

// The callback through which the unpacking job asks and reports.
int32_t Callback(CallbackRec* rec) {
    auto* run = static_cast<TRun*>(rec->Component);
    const QString text = QString::fromUtf8(rec->Text);
    switch (rec->Action) {
        case ActMessage:
            if (rec->FirstValue != 0) run->Errors << text;
            break;
        case ActOverwrite: {
            int answer = run->OverwriteMode == 0 ? 1 : 0;
            if (run->OverwriteMode == 2) {
                if (Interactive(*run)) {
                    int choice = 0;
                    if (run->Window) {
                        choice = sfxui::AskOverwrite(run->Caption, text);
                    } else {
                        std::fputs(
                            QStringLiteral(
                                "Filen \"%1\" finns redan. Skriva över? (j/n, a = ja till alla, i = nej till alla) ")
                                .arg(text)
                                .toLocal8Bit()
                                .constData(),
                            stdout);
                        std::fflush(stdout);
                        const QString reply = ReadLine().toLower();
                        choice = reply.startsWith(QLatin1Char('j')) ? 1
                            : reply.startsWith(QLatin1Char('a'))    ? 2
                            : reply.startsWith(QLatin1Char('i'))    ? 3
                                                                    : 0;
                    }
                    if (choice == 2) run->OverwriteMode = 0;
                    if (choice == 3) run->OverwriteMode = 1;
                    answer = choice == 1 || choice == 2 ? 1 : 0;
                }
            }
            if (answer == 0) ++run->Kept;
            rec->SecondValue = answer;
            break;
        }
        case ActPassword: {
            rec->FirstValue = 0;
            rec->SecondValue = 0;
            if (!Interactive(*run)) break;
            bool ok = false;
            QString password;
            if (run->Window) {
                password = sfxui::AskPassword(run->Caption, text, &ok);
            } else {
                std::fputs(QStringLiteral("Lösenord för \"%1\": ").arg(text).toLocal8Bit().constData(), stdout);
                std::fflush(stdout);
                password = ReadLine();
                ok = !password.isEmpty();
            }
            if (ok && !password.isEmpty()) {
                const QByteArray b = password.toUtf8().left(MaxPasswordLength);
                std::memcpy(rec->Text, b.constData(), size_t(b.size()));
                rec->Text[b.size()] = '\0';
                rec->FirstValue = 1;
                rec->SecondValue = 1;
            }
            break;
        }
        case ActCRCError:
            rec->FirstValue = 0;  // never keep a damaged file
            break;
        default:
            break;
    }
    return 0;
}

// Runs the header's command after the unpacking: only a program inside the folder, with
// the folder as its working folder and "><" in its words standing for the folder.
void RunCommand(TRun& run, const QString& folder) {
    QString line = run.Settings.CommandLine;
    if (line.trimmed().isEmpty()) return;
    const bool withoutQuestion = (run.Settings.Options & RunWithoutQuestions) && !(run.Settings.Options & AskCommand);
    if (!withoutQuestion && !(Interactive(run) && Confirm(run, QStringLiteral("Köra \"%1\"?").arg(line)))) {
        Say(QStringLiteral("Kommandot kördes inte: %1").arg(line));
        return;
    }
    QStringList words = SplitCommand(line);
    for (QString& w : words) {
        w.replace(QStringLiteral("><"), folder + QLatin1Char('/'));
        w.replace(QLatin1Char('\\'), QLatin1Char('/'));
        w.replace(QStringLiteral("//"), QStringLiteral("/"));
    }
    if (words.isEmpty()) return;
    const QString program = QDir(folder).absoluteFilePath(words.takeFirst());
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QFileInfo target(program);
    const QString canonical = target.canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(canonicalFolder + QLatin1Char('/')) || !target.isFile() ||
        !target.isExecutable()) {
        Tell(run, QStringLiteral("Kommandot kördes inte: \"%1\" är inget program i den uppackade mappen.").arg(line),
             true);
        return;
    }
    if (!QProcess::startDetached(canonical, words, folder))
        Tell(run, QStringLiteral("Programmet \"%1\" kunde inte startas.").arg(canonical), true);
}

int Main(TRun& run) {
    const QString self = QCoreApplication::applicationFilePath();
    QFile file(self);
    if (!file.open(QIODevice::ReadOnly)) {
        SayError(QStringLiteral("Filen \"%1\" kunde inte läsas.").arg(self));
        return 2;
    }
    const zipcommon::TEndOfCentral end = zipcommon::FindEndOfCentral(file);
    const qint64 start = end.Found ? zipcommon::ZipDataStart(file, end) : -1;
    if (start < 0) {
        SayError(QStringLiteral("Det finns inget arkiv i \"%1\".").arg(self));
        return 2;
    }
    const qint64 headAt = qMax<qint64>(0, start - 8 - 65536);
    file.seek(headAt);
    const QByteArray head = file.read(start - headAt);
    zipcommon::TSfxSettings::FromBytes(head, head.size(), run.Settings);
    QList<zipcommon::TCentralEntry> central;
    zipcommon::ReadCentralDirectory(file, end, central);
    file.close();
    const zipcommon::TSfxSettings& s = run.Settings;
    run.Caption = s.Caption.isEmpty() ? QStringLiteral("Självuppackande arkiv") : s.Caption;
    run.OverwriteMode = s.OverwriteMode <= 2 ? s.OverwriteMode : 2;
    run.Quiet = s.Options & RunWithoutQuestions;
    if (!run.Window) Say(run.Caption);

    if (!s.Message.isEmpty()) {
        if (s.MessageType == 36 || s.MessageType == 65) {
            if (!run.Quiet && !Interactive(run)) {
                SayError(QStringLiteral("%1\nFrågan kan inte ställas utan fönster eller terminal; inget packades upp.")
                             .arg(s.Message));
                return 1;
            }
            if (!run.Quiet && !Confirm(run, s.Message, s.MessageType == 65)) return 1;
        } else if (!run.Quiet) {
            Tell(run, s.Message);
        }
    }

    QString folder = ResolveFolder(s.DefaultDir);
    int files = 0;
    for (const zipcommon::TCentralEntry& c : central) files += c.RawName.endsWith('/') ? 0 : 1;
    if (Interactive(run)) {
        if (run.Window) {
            TSfxFolderDialog dialog(run.Caption, QDir::toNativeSeparators(folder), files);
            if (dialog.exec() != QDialog::Accepted || dialog.Folder().isEmpty()) return 1;
            folder = ResolveFolder(dialog.Folder());
        } else {
            std::fputs(QStringLiteral("Packa upp %1 filer till mappen [%2]: ")
                           .arg(files)
                           .arg(folder)
                           .toLocal8Bit()
                           .constData(),
                       stdout);
            std::fflush(stdout);
            const QString answer = ReadLine();
            if (!answer.isEmpty()) folder = ResolveFolder(answer);
        }
        if ((s.Options & AskFiles) && files > 0) {
            QStringList names;
            for (const zipcommon::TCentralEntry& c : central)
                if (!c.RawName.endsWith('/'))
                    names << zipcommon::DecodeName(c.RawName, c.Flags, c.HostSystem, c.VersionMadeBy);
            if (!Confirm(
                    run,
                    QStringLiteral("Filerna som packas upp:\n%1\n\nPacka upp dem?").arg(names.join(QLatin1Char('\n')))))
                return 1;
        }
    }

    // The job of the unpacking module, on our own file.
    const QByteArray archive = self.toUtf8(), base = folder.toUtf8(), none;
    UnzipCommandRec rec;
    std::memset(&rec, 0, sizeof rec);
    rec.Component = &run;
    rec.Version = LibVersion;
    rec.Callback = Callback;
    rec.Password = none.constData();
    rec.Quiet = -1;
    rec.RecreateFolders = -1;
    rec.Overwrite = run.OverwriteMode == 0 ? -1 : 0;
    rec.ZipFileName = archive.constData();
    UnzipFileSpecRec spec;
    std::memset(&spec, 0, sizeof spec);
    rec.FileSpecs = &spec;
    rec.PasswordReqCount = Interactive(run) ? 3 : 0;
    rec.ExtrBaseDir = base.constData();
    rec.CheckValue = RecordCheckValue;
    const int written = unzlib::RunUnzipJob(&rec);

    if (!run.Errors.isEmpty()) {
        Tell(run, QStringLiteral("Alla filer kunde inte packas upp:\n%1").arg(run.Errors.join(QLatin1Char('\n'))),
             true);
        return 1;
    }
    if (!(s.Options & NoSuccessNote)) {
        QString note = QStringLiteral("%1 filer packades upp i %2.").arg(written).arg(QDir::toNativeSeparators(folder));
        if (run.Kept > 0) note += QStringLiteral(" %1 filer som redan fanns lämnades orörda.").arg(run.Kept);
        if (run.Quiet || !run.Window)
            Say(note);
        else
            Tell(run, note);
    }
    RunCommand(run, folder);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    TRun run;
    run.Terminal = ::isatty(0) && ::isatty(1);
    if (display) {
        QApplication app(argc, argv);
        run.Window = true;
        return Main(run);
    }
    QCoreApplication app(argc, argv);
    return Main(run);
}
