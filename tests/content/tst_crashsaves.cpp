// The program killed at random moments while it saves visits and pictures, round after
// round, on one program folder. After each kill the next start must find on file exactly what
// the last acknowledged save left, or, when the save in flight got through, exactly that
// one: every row as it was entered, no visit with only some of its rows, no picture record
// without its files, and no temporary file left once the start is over.
//
// A round is one child process (this executable again) that saves until it is killed. Before
// each save it writes down what the files are to hold afterwards (the intent), after it the
// same as acknowledged (the ack); both with the checked writer, so a kill leaves one whole.
// After each acknowledged save the child reads the table files afresh and compares them,
// row by row, with the intent: a save that says it is done must have stored what was
// entered, not only what the program then holds in memory.
//
// The number of rounds: MYKO_CRASH_VISIT_ROUNDS and MYKO_CRASH_PICTURE_ROUNDS (500 and 200
// make the full run; CTest's default is smaller so that the suite stays quick). The full run
// takes longer than QtTest's five minutes a test function: give it QTEST_FUNCTION_TIMEOUT too.
#include <QtTest>

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QToolButton>
#include <csignal>
#include <memory>

#include "content/species/pictures/FungiPicImages.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/pictures/unitFrameFungiPicDetails.h"
#include "content/species/pictures/unitFrameFungiPics.h"
#include "content/places/unitFramePlaces.h"
#include "content/species/unitFungiScreen.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FREdits.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "shell/ScreenTestHost.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/AtomicFile.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"
#include "shell/UserTestSupport.h"

namespace {

const char* const kChildMode = "MYKO_CRASH_CHILD";
const char* const kChildFolder = "MYKO_CRASH_FOLDER";
const char* const kChildSeed = "MYKO_CRASH_SEED";

const QStringList kSpecies = {"Kantarell", "Karljohan",           "Trattkantarell",     "Fårticka",         "Blodriska",
                              "Smörsopp",  "Rödgul trumpetsvamp", "Svart trumpetsvamp", "Fjällig bläckhatt"};
const QStringList kNames = {"Kalle", "Lisa", "Mats", "Nils", "Olle", "Pia"};

QString IntentFile(const QString& folder) { return folder + "/crash-intent.txt"; }
QString AckFile(const QString& folder) { return folder + "/crash-ack.txt"; }
QString ReadyFile(const QString& folder) { return folder + "/crash-ready.txt"; }

void WriteLines(const QString& file, QStringList lines) {
    lines.sort();
    WriteFileAtomically(file, lines.join('\n').toUtf8() + '\n');
}

// The lines of a state file; a line "#" and a number counts the saves acknowledged.
QStringList ReadLines(const QString& file, int* saves = nullptr) {
    const QByteArray bytes = testsupport::ReadBytes(file);
    QStringList lines;
    for (const QString& line : QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith('#')) {
            if (saves) *saves = line.mid(1).toInt();
            continue;
        }
        lines << line;
    }
    lines.sort();
    return lines;
}

QString Str(TClientDataSet* t, int row, const char* field) {
    return t->RecordValue(row, t->FieldByName(QLatin1String(field))->Index()).toString();
}

// What the visit tables hold, one line per visit, participant and find, and the uses of the
// two contacts that the visits count.
QStringList VisitStateOf(TClientDataSet* visits, TClientDataSet* people, TClientDataSet* finds,
                         TClientDataSet* contacts, const QString& anna, const QString& cecilia) {
    QStringList lines;
    for (int r = 0; r < visits->RecordCount(); ++r)
        lines << QStringLiteral("V|%1|%2|%3")
                     .arg(Str(visits, r, "UKey"), Str(visits, r, "VisitDate"), Str(visits, r, "Weather"));
    for (int r = 0; r < people->RecordCount(); ++r)
        lines << QStringLiteral("P|%1|%2|%3")
                     .arg(Str(people, r, "MasterUKey"), Str(people, r, "UKey"), Str(people, r, "Individual"));
    for (int r = 0; r < finds->RecordCount(); ++r)
        lines << QStringLiteral("F|%1|%2|%3|%4|%5|%6")
                     .arg(Str(finds, r, "MasterUKey"), Str(finds, r, "UKey"), Str(finds, r, "FungiUKey"),
                          Str(finds, r, "FungiName"), Str(finds, r, "BodyCount"), Str(finds, r, "BodyAge"));
    for (int r = 0; r < contacts->RecordCount(); ++r) {
        const QString key = Str(contacts, r, "UKey");
        if (key == anna || key == cecilia) lines << QStringLiteral("C|%1|%2").arg(key, Str(contacts, r, "RefCount"));
    }
    lines.sort();
    return lines;
}

// As the program holds them.
QStringList VisitState(TDM& dm, const QString& anna, const QString& cecilia) {
    for (TExtClientDataSet* table : {dm.cdsPlaceVisits, dm.cdsPlacePeople, dm.cdsPlaceFinds, dm.cdsContacts})
        table->OpenInternal();
    return VisitStateOf(dm.cdsPlaceVisits->InternalDataSet(), dm.cdsPlacePeople->InternalDataSet(),
                        dm.cdsPlaceFinds->InternalDataSet(), dm.cdsContacts->InternalDataSet(), anna, cecilia);
}

// As the table files hold them, read afresh.
QStringList VisitStateOnFile(const QString& folder, const QString& anna, const QString& cecilia) {
    TClientDataSet visits, people, finds, contacts;
    visits.LoadFromFile(folder + "/Data/Db/PlaceVisits.dat");
    people.LoadFromFile(folder + "/Data/Db/PlacePeople.dat");
    finds.LoadFromFile(folder + "/Data/Db/PlaceFinds.dat");
    contacts.LoadFromFile(folder + "/Data/Db/Contacts.dat");
    return VisitStateOf(&visits, &people, &finds, &contacts, anna, cecilia);
}

// What the picture tables hold: the pictures of the species, its count and main picture.
QStringList PictureStateOf(TClientDataSet* pics, TClientDataSet* fungi) {
    QStringList lines;
    for (int r = 0; r < pics->RecordCount(); ++r) {
        lines << QStringLiteral("P|%1|%2").arg(Str(pics, r, "MasterUKey"), Str(pics, r, "UKey"));
        if (pics->RecordValue(r, pics->FieldByName("IsMainPic")->Index()).toBool())
            lines << QStringLiteral("M|%1").arg(Str(pics, r, "UKey"));
    }
    for (int r = 0; r < fungi->RecordCount(); ++r)
        lines << QStringLiteral("S|%1|%2|%3")
                     .arg(Str(fungi, r, "UKey"), Str(fungi, r, "PicCount"), Str(fungi, r, "HasPic"));
    lines.sort();
    return lines;
}

QStringList PictureState(TDM& dm) {
    dm.cdsFungiPics->OpenInternal();
    dm.cdsFungi->OpenInternal();
    return PictureStateOf(dm.cdsFungiPics->InternalDataSet(), dm.cdsFungi->InternalDataSet());
}

QStringList PictureStateOnFile(const QString& folder) {
    TClientDataSet pics, fungi;
    pics.LoadFromFile(folder + "/Data/Db/FungiPics.dat");
    fungi.LoadFromFile(folder + "/Data/Db/Fungi.dat");
    return PictureStateOf(&pics, &fungi);
}

// The records of a picture state whose files are missing: a picture without its picture or
// thumbnail, a species marked with a main picture that has none.
QStringList PicturesWithoutFiles(const QStringList& state, const QString& folder) {
    QStringList missing;
    for (const QString& line : state) {
        const QStringList parts = line.split('|');
        bool whole = true;
        if (parts.first() == "P")
            whole = QFileInfo::exists(KeyFilePath(folder + "/", TKeyFile::FungiPic, parts.at(2))) &&
                QFileInfo::exists(KeyFilePath(folder + "/", TKeyFile::FungiPicThumb, parts.at(2)));
        if (parts.first() == "S" && parts.at(3) == "true")
            whole = QFileInfo::exists(KeyFilePath(folder + "/", TKeyFile::MainPic, parts.at(1)));
        if (!whole) missing << line;
    }
    return missing;
}

// Written by a child whose acknowledged save did not leave on file what was entered; the
// child then ends with kBrokenExit.
QString BrokenFile(const QString& folder) { return folder + "/crash-broken.txt"; }
constexpr int kBrokenExit = 10;

// After each acknowledged save the files hold, row by row, what was entered: else the
// difference is written down and the child ends.
void CheckAcknowledged(const QString& folder, int save, const QStringList& intent, const QStringList& onFile,
                       const QStringList& withoutFiles = {}) {
    if (onFile == intent && withoutFiles.isEmpty()) return;
    QStringList lines;
    int lost = 0;
    for (const QString& line : intent)
        if (!onFile.contains(line)) {
            lines << "missing: " + line;
            if (!line.startsWith("C|") && !line.startsWith("S|")) ++lost;
        }
    for (const QString& line : onFile)
        if (!intent.contains(line)) lines << "not entered: " + line;
    for (const QString& line : withoutFiles) lines << "no file for: " + line;
    lines.prepend(QStringLiteral("#%1 %2 %3").arg(save).arg(lost).arg(withoutFiles.size()));
    WriteFileAtomically(BrokenFile(folder), lines.join('\n').toUtf8() + '\n');
    std::_Exit(kBrokenExit);
}

// The program's own temporary files and journals left anywhere in the program folder.
QStringList LeftOvers(const QString& folder) {
    QStringList found;
    QDirIterator it(folder + "/Data", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    static const QRegularExpression pattern("(\\.[A-Za-z0-9]{6}\\.(tmp|new)|\\.journal[^/]*|-journal)$");
    while (it.hasNext()) {
        const QString path = it.next();
        if (pattern.match(path).hasMatch()) found << path.mid(folder.size());
    }
    return found;
}

// ---- The child: saves until it is killed ----

struct ChildEnvironment {
    testsupport::UIServicesGuard ui;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TFRIniFile> settings;
    QString folder;
    QString anna, annaContact, cecilia;

    explicit ChildEnvironment(const QString& programFolder) : folder(programFolder) {
        UIServices::SetMessageHook([](const UIServices::TShownMessage& m) {
            // Nothing the saves show may pass unnoticed: it ends the child with the text.
            std::fprintf(stderr, "box: %s\n", qPrintable(m.Text));
            std::_Exit(3);
            return UIServices::TMsgResult::OK;
        });
        SetProgramFolder(folder);
        dm = std::make_unique<TDM>(folder);
        if (!dm->StartupErrors().isEmpty()) {
            std::fprintf(stderr, "start-up: %s\n", qPrintable(dm->StartupErrors().join('\n')));
            std::_Exit(4);
        }
        settings = UseDataModule(dm.get());
        TExtClientDataSet* users = dm->cdsUsers;
        TExtClientDataSet* contacts = dm->cdsContacts;
        if (users->IsEmpty()) {
            annaContact = Add(contacts, {{"UserName", "Anna Andersson"}});
            cecilia = Add(contacts, {{"UserName", "Cecilia Ek"}});
            anna = Add(users, {{"UserName", "Anna Andersson"}, {"ContactUKey", annaContact}});
        } else {
            users->First();
            anna = GetUKey(users);
            annaContact = users->FieldByName("ContactUKey")->AsString();
            for (contacts->First(); !contacts->Eof(); contacts->Next())
                if (contacts->FieldByName("UserName")->AsString() == "Cecilia Ek") cecilia = GetUKey(contacts);
        }
        SelectCurrentUser(anna);
    }
    static QString Add(TExtClientDataSet* table, const QList<QPair<const char*, QString>>& values) {
        table->Append();
        for (const auto& [field, value] : values) table->FieldByName(field)->SetAsString(value);
        table->Post();
        return GetUKey(table);
    }
    ~ChildEnvironment() {
        SetUserEnvironment({});
        SetProgramFolder(QString());
    }
};

int RunVisitChild(const QString& folder, quint32 seed) {
    ChildEnvironment env(folder);
    TDM& dm = *env.dm;
    QRandomGenerator random(seed);
    QMap<QString, QString> species;  // name -> key
    for (dm.cdsFungi->First(); !dm.cdsFungi->Eof(); dm.cdsFungi->Next())
        species.insert(dm.cdsFungi->FieldByName("SwedishName")->AsString(), GetUKey(dm.cdsFungi));
    for (const QString& name : kSpecies)
        if (!species.contains(name)) species.insert(name, ChildEnvironment::Add(dm.cdsFungi, {{"SwedishName", name}}));
    if (dm.cdsPlaces->IsEmpty())
        ChildEnvironment::Add(dm.cdsPlaces,
                              {{"PlaceName", "Storskogen"}, {"Province", "Skåne län"}, {"CreatedBy", env.annaContact}});

    if (!QFileInfo::exists(folder + "/Data/Res/Districts.dat")) {
        QDir().mkpath(folder + "/Data/Res");
        QFile::copy(testsupport::ProgramDir() + "/Data/Res/Districts.dat", folder + "/Data/Res/Districts.dat");
    }
    auto main = std::make_unique<TformFRMain>();
    main->SetDataModule(&dm);
    main->BuildContactNameList();
    main->resize(800, 600);
    main->show();
    TformFRMain::ClearScreenFactories();
    RegisterPlaceScreen();
    main->CreateScreens();
    auto* screen = qobject_cast<TFRPlaceScreen*>(main->Screen(ssPlace));
    screen->Activate(QString());
    TframePlaces* f = screen->PlacesFrame();
    for (auto it = species.cbegin(); it != species.cend(); ++it)
        f->searchFungi->SearchList.AddUKey(it.key(), it.value());

    // What the files hold when the child starts is the acknowledged state of this round.
    const QStringList start = VisitState(dm, env.annaContact, env.cecilia);
    WriteLines(AckFile(folder), start);
    QFile::remove(IntentFile(folder));
    // Anna's uses other than her visits (the place, say) stay as they are.
    int annaOthers = 0;
    for (const QString& line : start) {
        if (line.startsWith("C|" + env.annaContact + "|")) annaOthers += line.section('|', 2).toInt();
        if (line.startsWith("V|")) --annaOthers;
    }
    WriteFileAtomically(ReadyFile(folder), "ready");

    TExtClientDataSet* visits = dm.cdsPlaceVisits;
    for (int save = 0;; ++save) {
        const bool isNew = visits->IsEmpty() || random.bounded(10) < 6;
        if (!isNew) visits->SetRecNo(int(random.bounded(quint32(visits->RecordCount()))) + 1);
        f->UpdateFrame();
        f->VisitStart(isNew);
        if (!f->EditingVisit()) return 5;
        f->editVisitDate->setText(QDate(2024, 8, 1).addDays(int(random.bounded(60))).toString("yyyy-MM-dd"));
        visits->FieldByName("Weather")->SetAsString(QStringLiteral("väder %1").arg(save));
        TClientDataSet* workPeople = screen->WorkPeople();
        TClientDataSet* workFinds = screen->WorkFinds();
        // Some rows go, some come.
        for (TClientDataSet* work : {workPeople, workFinds}) {
            const int drop = work->RecordCount() > 0 ? int(random.bounded(quint32(work->RecordCount() + 1))) : 0;
            for (int i = 0; i < drop && work->RecordCount() > 0; ++i) {
                QListWidget* list = work == workPeople ? f->listPeople : f->listFinds;
                list->setCurrentRow(int(random.bounded(quint32(work->RecordCount()))));
                if (work == workPeople)
                    f->btnPeopleDeleteClick();
                else
                    f->btnFindDeleteClick();
            }
        }
        const int newPeople = int(random.bounded(3));
        for (int i = 0; i < newPeople; ++i) {
            f->btnPeopleNewClick();
            if (random.bounded(3) == 0) {
                f->searchPeople->Edit->setText("Cecilia");
                f->searchPeople->Search();
            } else {
                f->searchPeople->Edit->setText(kNames.at(int(random.bounded(quint32(kNames.size())))));
            }
            f->btnPeopleSaveClick();
        }
        const int newFinds = 1 + int(random.bounded(4));
        for (int i = 0; i < newFinds; ++i) {
            f->btnFindNewClick();
            const QString& name = kSpecies.at(int(random.bounded(quint32(kSpecies.size()))));
            f->searchFungi->Edit->setText(name);
            f->FindChosen(species.value(name));
            workFinds->FieldByName("BodyCount")->SetAsInteger(int(random.bounded(10)));
            workFinds->FieldByName("BodyAge")->SetAsInteger(1 + int(random.bounded(3)));
            // Now and then the last one is left for the visit's save to keep.
            if (i + 1 < newFinds || random.bounded(2) == 0) f->btnFindSaveClick();
        }

        // The intent: the state after this save, worked out from the state and the rows in hand.
        const QString visitKey = GetUKey(visits);
        QStringList intent;
        for (const QString& line : VisitState(dm, env.annaContact, env.cecilia)) {
            if (line.startsWith("V|" + visitKey + "|") || line.startsWith("P|" + visitKey + "|") ||
                line.startsWith("F|" + visitKey + "|") || line.startsWith("C|"))
                continue;
            intent << line;
        }
        intent << QStringLiteral("V|%1|%2|%3")
                      .arg(visitKey, f->editVisitDate->text(), visits->FieldByName("Weather")->AsString());
        int ceciliaUses = 0;
        for (int r = 0; r < workPeople->RecordCount(); ++r) {
            const QString who = Str(workPeople, r, "Individual");
            intent << QStringLiteral("P|%1|%2|%3").arg(visitKey, Str(workPeople, r, "UKey"), who);
        }
        auto addFind = [&](TClientDataSet* t, int r, bool pending) {
            const auto v = [&](const char* field) {
                return pending ? t->FieldByName(QLatin1String(field))->AsString() : Str(t, r, field);
            };
            intent << QStringLiteral("F|%1|%2|%3|%4|%5|%6")
                          .arg(visitKey, v("UKey"), v("FungiUKey"), v("FungiName"), v("BodyCount"), v("BodyAge"));
        };
        for (int r = 0; r < workFinds->RecordCount(); ++r) addFind(workFinds, r, false);
        if (workFinds->State() == TDataSetState::dsInsert) addFind(workFinds, -1, true);
        int visitCount = 0;
        for (const QString& line : intent) {
            if (line.startsWith("V|")) ++visitCount;
            if (line.startsWith("P|") && line.endsWith("| UKEY=" + env.cecilia)) ++ceciliaUses;
        }
        // Anna's uses: her others, and each visit she made.
        intent << QStringLiteral("C|%1|%2").arg(env.annaContact).arg(annaOthers + visitCount)
               << QStringLiteral("C|%1|%2").arg(env.cecilia).arg(ceciliaUses);
        WriteLines(IntentFile(folder), intent);
        f->btnVisitSaveClick();
        if (f->EditingVisit()) return 6;
        intent.sort();
        CheckAcknowledged(folder, save + 1, intent, VisitStateOnFile(folder, env.annaContact, env.cecilia));
        WriteLines(AckFile(folder),
                   VisitState(dm, env.annaContact, env.cecilia) << QStringLiteral("#%1").arg(save + 1));
    }
}

int RunPictureChild(const QString& folder, quint32 seed) {
    ChildEnvironment env(folder);
    TDM& dm = *env.dm;
    QRandomGenerator random(seed);
    QDir().mkpath(folder + "/Data/Pics");
    for (const QString& name : QDir(testsupport::ProgramDir() + "/Data/Pics").entryList({"_*.bmp"}, QDir::Files))
        if (!QFileInfo::exists(folder + "/Data/Pics/" + name))
            QFile::copy(testsupport::ProgramDir() + "/Data/Pics/" + name, folder + "/Data/Pics/" + name);
    QString species;
    if (dm.cdsFungi->IsEmpty())
        species = ChildEnvironment::Add(dm.cdsFungi,
                                        {{"SwedishName", "Kantarell"},
                                         {"LatinName", "Cantharellus cibarius"},
                                         {"HasPic", "False"},
                                         {"PicCount", "0"}});
    else
        species = GetUKey(dm.cdsFungi);
    // The contact of the user is the photographer and creator of the pictures.
    if (!LocateUKey(dm.cdsUsers, env.anna)) return 7;
    const QString source = folder + "/svamp.jpg";
    if (!QFileInfo::exists(source)) {
        QImage image(160, 120, QImage::Format_RGB32);
        image.fill(QColor(200, 150, 60));
        image.save(source, "JPG");
    }

    if (!QFileInfo::exists(folder + "/Data/Res/Texts.dat")) {
        QDir().mkpath(folder + "/Data/Res");
        QFile::copy(testsupport::SourceDir() + "/data/Res/Texts.dat", folder + "/Data/Res/Texts.dat");
    }
    auto window = std::make_unique<TestMainWindow>();
    window->show();
    auto* screen = static_cast<TFRFungiScreen*>(CreateFungiScreen(window.get()));
    screen->Activate(QString());
    static_cast<void>(LocateUKey(dm.cdsFungi, species));
    screen->FungiFrame()->ShowSubScreen(4);
    screen->UpdateFrame();

    WriteLines(AckFile(folder), PictureState(dm));
    QFile::remove(IntentFile(folder));
    WriteFileAtomically(ReadyFile(folder), "ready");

    for (int save = 0;; ++save) {
        static_cast<void>(LocateUKey(dm.cdsFungi, species));
        screen->PicDetailScreen->NewFromFile(source);
        auto* d = qobject_cast<TframeFungiPicDetails*>(screen->PicDetailScreen->Frame());
        if (!d || dm.cdsFungiPics->State() != TDataSetState::dsInsert) return 8;
        const bool main = random.bounded(3) == 0;
        if (main) d->sbtnMarker->click();
        const QString key = GetUKey(dm.cdsFungiPics);
        QStringList intent;
        int count = 1;
        bool hasPic = main;
        for (const QString& line : PictureState(dm)) {
            if (line.startsWith("S|")) {
                hasPic = hasPic || line.endsWith("|true");
                continue;
            }
            if (main && line.startsWith("M|")) continue;
            if (line.startsWith("P|")) ++count;
            intent << line;
        }
        intent << QStringLiteral("P|%1|%2").arg(species, key)
               << QStringLiteral("S|%1|%2|%3").arg(species).arg(count).arg(hasPic ? "true" : "false");
        if (main) intent << QStringLiteral("M|%1").arg(key);
        WriteLines(IntentFile(folder), intent);
        d->btnSaveClick();
        if (dm.cdsFungiPics->State() != TDataSetState::dsBrowse) return 9;
        intent.sort();
        const QStringList onFile = PictureStateOnFile(folder);
        CheckAcknowledged(folder, save + 1, intent, onFile, PicturesWithoutFiles(onFile, folder));
        WriteLines(AckFile(folder), PictureState(dm) << QStringLiteral("#%1").arg(save + 1));
        screen->FungiFrame()->ShowSubScreen(4);
    }
}

int RoundsFrom(const char* variable, int fallback) {
    bool ok = false;
    const int rounds = qEnvironmentVariableIntValue(variable, &ok);
    return ok && rounds > 0 ? rounds : fallback;
}

}  // namespace

class TestCrashSaves : public QObject {
    Q_OBJECT

    struct TTally {
        int Rounds = 0;
        int Acknowledged = 0;  // saves acknowledged before the kills, summed over the rounds
        int InFlightLanded = 0;  // rounds whose save in flight was found whole after the kill
        int Mismatches = 0;  // rounds whose files matched neither the ack nor the intent
        int RowsLost = 0;  // acknowledged rows missing from the files
        int LeftOvers = 0;  // temporary files found after the next start
        int PicturesWithoutFiles = 0;
        int PartialVisits = 0;
        QStringList Details;
    };

    // Runs the rounds of one mode and checks each one's files after the next start.
    TTally RunRounds(const QString& mode, int rounds, int maxDelayMs,
                     const std::function<QStringList(TDM&, const QString&, TTally&)>& stateOf) {
        TTally tally;
        QTemporaryDir dir;
        const QString folder = dir.path();
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < rounds; ++round) {
            QFile::remove(ReadyFile(folder));
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(kChildMode, mode);
            env.insert(kChildFolder, folder);
            env.insert(kChildSeed, QString::number(round * 7919 + 13));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(), {});
            if (!child.waitForStarted(20000)) {
                tally.Details << "child did not start";
                break;
            }
            // Killed at a random moment once it saves.
            QElapsedTimer waiting;
            waiting.start();
            while (!QFileInfo::exists(ReadyFile(folder)) && child.state() == QProcess::Running &&
                   waiting.elapsed() < 60000)
                QThread::msleep(2);
            QThread::msleep(QRandomGenerator::global()->bounded(quint32(maxDelayMs)));
            if (child.state() == QProcess::Running) ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished(20000);
            if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == kBrokenExit) {
                // An acknowledged save that left on file something else than was entered.
                const QStringList lines = QString::fromUtf8(testsupport::ReadBytes(BrokenFile(folder))).split('\n');
                const QStringList counts = lines.value(0).mid(1).split(' ');
                tally.RowsLost += counts.value(1).toInt();
                tally.PicturesWithoutFiles += counts.value(2).toInt();
                ++tally.Mismatches;
                tally.Details << QStringLiteral("round %1, acknowledged save %2 not as entered: %3")
                                     .arg(round)
                                     .arg(counts.value(0), lines.mid(1).join("; "));
                break;
            }
            if (child.exitStatus() != QProcess::CrashExit) {
                tally.Details
                    << QStringLiteral("round %1: the child ended by itself (%2)").arg(round).arg(child.exitCode());
                ++tally.Mismatches;
                break;
            }
            ++tally.Rounds;

            // The next start: what the files hold then.
            int saves = 0;
            const QStringList ack = ReadLines(AckFile(folder), &saves);
            tally.Acknowledged += saves;
            const QStringList intent = ReadLines(IntentFile(folder));
            QStringList state;
            {
                TDM dm(folder);
                if (!dm.StartupErrors().isEmpty()) tally.Details << dm.StartupErrors();
                state = stateOf(dm, folder, tally);
            }
            const QStringList left = LeftOvers(folder);
            tally.LeftOvers += int(left.size());
            if (!left.isEmpty()) tally.Details << QStringLiteral("round %1 left: %2").arg(round).arg(left.join(", "));
            if (state == intent && !intent.isEmpty() && intent != ack) ++tally.InFlightLanded;
            if (state != ack && state != intent) {
                ++tally.Mismatches;
                int lost = 0;
                for (const QString& line : ack)
                    if (!line.startsWith("C|") && !line.startsWith("S|") && !state.contains(line)) ++lost;
                tally.RowsLost += lost;
                QStringList extra, missing;
                for (const QString& line : state)
                    if (!ack.contains(line) && !intent.contains(line)) extra << line;
                for (const QString& line : intent)
                    if (!state.contains(line)) missing << line;
                tally.Details << QStringLiteral("round %1: %2 acknowledged rows lost; not as entered: %3; missing: %4")
                                     .arg(round)
                                     .arg(lost)
                                     .arg(extra.join("; "), missing.join("; "));
            }
            // A visit whose rows are neither those acknowledged nor those in flight.
            QSet<QString> visits;
            for (const QString& line : state)
                if (line.startsWith("V|")) visits.insert(line.section('|', 1, 1));
            for (const QString& visit : std::as_const(visits)) {
                const auto rowsOf = [&](const QStringList& lines) {
                    QStringList rows;
                    for (const QString& line : lines)
                        if ((line.startsWith("P|") || line.startsWith("F|")) && line.section('|', 1, 1) == visit)
                            rows << line;
                    return rows;
                };
                const QStringList rows = rowsOf(state);
                if (rows != rowsOf(ack) && rows != rowsOf(intent)) ++tally.PartialVisits;
            }
        }
        qInfo(
            "%s: %d rounds in %.1f s, %d saves acknowledged, %d with the save in flight found whole, %d mismatches, "
            "%d acknowledged rows lost, %d visits with a partial set of rows, %d left-over files, %d pictures "
            "without files",
            qPrintable(mode), tally.Rounds, clock.elapsed() / 1000.0, tally.Acknowledged, tally.InFlightLanded,
            tally.Mismatches, tally.RowsLost, tally.PartialVisits, tally.LeftOvers, tally.PicturesWithoutFiles);
        return tally;
    }

private Q_SLOTS:
    void visitSavesKilledLoseNothing() {
        const int rounds = RoundsFrom("MYKO_CRASH_VISIT_ROUNDS", 40);
        const TTally tally = RunRounds("visit", rounds, 250, [](TDM& dm, const QString&, TTally&) {
            QString anna, cecilia;
            dm.cdsContacts->OpenInternal();
            TClientDataSet* contacts = dm.cdsContacts->InternalDataSet();
            for (int r = 0; r < contacts->RecordCount(); ++r) {
                const QString name = Str(contacts, r, "UserName");
                if (name == "Anna Andersson") anna = Str(contacts, r, "UKey");
                if (name == "Cecilia Ek") cecilia = Str(contacts, r, "UKey");
            }
            return VisitState(dm, anna, cecilia);
        });
        QVERIFY2(tally.Details.isEmpty(), qPrintable(tally.Details.join('\n')));
        QCOMPARE(tally.Rounds, rounds);
        QCOMPARE(tally.Mismatches, 0);
        QCOMPARE(tally.RowsLost, 0);
        QCOMPARE(tally.PartialVisits, 0);
        QCOMPARE(tally.LeftOvers, 0);
        QVERIFY(tally.Acknowledged > 0);
    }

    void pictureSavesKilledLoseNothing() {
        const int rounds = RoundsFrom("MYKO_CRASH_PICTURE_ROUNDS", 20);
        const TTally tally = RunRounds("picture", rounds, 250, [](TDM& dm, const QString& folder, TTally& tally) {
            const QStringList state = PictureState(dm);
            // Every picture record has its picture and thumbnail, a species with a main
            // picture its main picture's file.
            for (const QString& line : PicturesWithoutFiles(state, folder)) {
                ++tally.PicturesWithoutFiles;
                tally.Details << QStringLiteral("no file for %1").arg(line);
            }
            return state;
        });
        QVERIFY2(tally.Details.isEmpty(), qPrintable(tally.Details.join('\n')));
        QCOMPARE(tally.Rounds, rounds);
        QCOMPARE(tally.Mismatches, 0);
        QCOMPARE(tally.RowsLost, 0);
        QCOMPARE(tally.PicturesWithoutFiles, 0);
        QCOMPARE(tally.LeftOvers, 0);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString mode = qEnvironmentVariable(kChildMode);
    if (!mode.isEmpty()) {
        const QString folder = qEnvironmentVariable(kChildFolder);
        const quint32 seed = quint32(qEnvironmentVariableIntValue(kChildSeed));
        return mode == "visit" ? RunVisitChild(folder, seed) : RunPictureChild(folder, seed);
    }
    TestCrashSaves test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsaves.moc"
