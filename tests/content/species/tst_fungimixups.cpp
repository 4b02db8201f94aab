// The look-alikes of a species: the list, showing a look-alike species and the proposal of a
// new look-alike pair sent to the report service.
#include <QtTest>

#include "content/FungiTestSupport.h"
#include "content/species/unitFrameFungiMixupDetails.h"
#include "content/species/unitFrameFungiMixups.h"
#include "controls/FREdits.h"
#include "controls/FRMemos.h"
#include "controls/FRSearchPanel.h"
#include "shell/FRHistory.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

#include <QCheckBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QPushButton>

class TestFungiMixups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entryHeight_data();
    void entryHeight();
    void list_entriesAndButtons();
    void doubleClick_data();
    void doubleClick();
    void url_encodesEveryValue();
    void proposal_invalid_data();
    void proposal_invalid();
    void proposal_send_data();
    void proposal_send();
    void proposal_localServer_data();
    void proposal_localServer();
    void screenshot();
};

namespace {

const char* kNoSpecies = "Du måste ange förväxlingsart.";
const char* kNoDifference =
    "Du måste ange någon skillnad. Om det inte finns några synliga skillnader, skriv \"Mikroskopiska skillnader\".";

struct MixupFixture : FungiFixture {
    QString species, other;
    MixupFixture() {
        SelectCurrentUser(AddUser("Cecilia"));
        species = AddSpecies("Kantarell", "Cantharellus cibarius");
        other = AddSpecies("Falsk kantarell", "Hygrophoropsis aurantiaca");
        AddMixup(other, "Falsk kantarell", "Oätlig", "Tunnare kött, äkta skivor.");
        AddMixup("missing-key", "Okänd svamp", "", "Finns inte i artregistret.");
        TframeFungiMixupDetails::Sender() = nullptr;
    }
    ~MixupFixture() { TframeFungiMixupDetails::Sender() = nullptr; }
    void AddMixup(const QString& key, const QString& name, const QString& edible, const QString& difference) {
        AddDetail(dm->cdsFungiMixups, species,
                  {{"MixupUKey", key}, {"MixupName", name}, {"MixupEdible", edible}, {"DifferenceText", difference}});
    }
    TframeFungiMixups* Show() {
        screen->Activate(QString());
        static_cast<void>(LocateUKey(Fungi(), species));
        Frame()->ShowSubScreen(2);
        screen->UpdateFrame();
        return qobject_cast<TframeFungiMixups*>(screen->MixupScreen->Frame());
    }
    TframeFungiMixupDetails* NewProposal() {
        TframeFungiMixups* list = Show();
        if (!list) return nullptr;
        list->sbtnNew->click();
        return qobject_cast<TframeFungiMixupDetails*>(screen->MixupDetailScreen->Frame());
    }
};

// The query as a server splits and decodes it.
QList<QPair<QString, QString>> ServerQuery(const QUrl& url) {
    QList<QPair<QString, QString>> items;
    for (const QByteArray& part : url.query(QUrl::FullyEncoded).toLatin1().split('&')) {
        const int eq = part.indexOf('=');
        items.append({QString::fromUtf8(QByteArray::fromPercentEncoding(part.left(eq))),
                      QString::fromUtf8(QByteArray::fromPercentEncoding(part.mid(eq + 1)))});
    }
    return items;
}

}  // namespace

void TestFungiMixups::entryHeight_data() {
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("height");
    QTest::newRow("three lines") << 13 << 3 << 82;
    QTest::newRow("no text") << 13 << 0 << 40;
    QTest::newRow("one line, larger type") << 16 << 1 << 60;
}

void TestFungiMixups::entryHeight() {
    QFETCH(int, textHeight);
    QFETCH(int, lines);
    QFETCH(int, height);
    QCOMPARE(TframeFungiMixups::EntryHeight(textHeight, lines), height);
}

void TestFungiMixups::list_entriesAndButtons() {
    MixupFixture f;
    TframeFungiMixups* frame = f.Show();
    QVERIFY(frame);
    QCOMPARE(frame->panelFrameHeader->text(), QString("   Förväxlingssvampar"));
    QCOMPARE(frame->listEntries->count(), 2);
    QCOMPARE(f.Frame()->SubScreenButton(2)->text(), QString("Förväxlingssvampar (2 st)"));
    QCOMPARE(frame->sbtnNew->toolTip(), QString("Föreslå en ny förväxlingsart för denna svampart"));
    QVERIFY(frame->sbtnShow->isEnabled());
    // An entry is as high as its wrapped difference text asks.
    const QString text =
        QString("Ett ord två ord tre ord fyra ord fem ord sex ord sju ord åtta ord nio ord tio ord. ").repeated(4);
    QVERIFY(LocateUKey(f.dm->cdsFungiMixups, GetUKey(f.dm->cdsFungiMixups)));
    f.dm->cdsFungiMixups->SetRecNo(1);
    f.dm->cdsFungiMixups->Edit();
    f.dm->cdsFungiMixups->FieldByName("DifferenceText")->SetAsString(text);
    f.dm->cdsFungiMixups->Post();
    frame->UpdateFrame();
    // The list lays out again once it has its width.
    QCoreApplication::processEvents();
    const QFontMetrics metrics = frame->fontMetrics();
    const QString stored = f.dm->cdsFungiMixups->FieldByName("DifferenceText")->AsString();
    const int lines = int(TframeFungiMixups::WrapText(metrics, frame->TextWidth(), stored).size());
    QVERIFY(lines > 1);
    const int row = f.dm->cdsFungiMixups->RecNo() - 1;
    QCOMPARE(frame->listEntries->visualItemRect(frame->listEntries->item(row)).height(),
             TframeFungiMixups::EntryHeight(metrics.height(), lines));
    // A click positions the table.
    frame->listEntries->setCurrentRow(1 - row);
    QCOMPARE(f.dm->cdsFungiMixups->RecNo(), 2 - row);
    // No records: nothing to show.
    f.dm->cdsFungiMixups->First();
    while (!f.dm->cdsFungiMixups->IsEmpty()) f.dm->cdsFungiMixups->Delete();
    frame->UpdateFrame();
    QCOMPARE(frame->listEntries->count(), 0);
    QVERIFY(!frame->sbtnShow->isEnabled());
}

void TestFungiMixups::doubleClick_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("narrow");
    QTest::addColumn<bool>("shown");
    QTest::newRow("in the selection") << "Falsk kantarell" << false << true;
    QTest::newRow("outside the selection") << "Falsk kantarell" << true << true;
    QTest::newRow("missing from the register") << "Okänd svamp" << true << false;
}

void TestFungiMixups::doubleClick() {
    QFETCH(QString, name);
    QFETCH(bool, narrow);
    QFETCH(bool, shown);
    MixupFixture f;
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    if (narrow) f.Select({"Str(SwedishName = \"Kantarell\")"});
    TframeFungiMixups* frame = f.Show();
    QVERIFY(frame);
    int row = -1;
    for (int r = 0; r < 2; ++r) {
        f.dm->cdsFungiMixups->SetRecNo(r + 1);
        if (f.dm->cdsFungiMixups->FieldByName("MixupName")->AsString() == name) row = r;
    }
    QVERIFY(row >= 0);
    frame->UpdateFrame();
    const QStringList before = f.VisibleKeys();
    const int items = History()->Count();
    UIServices::ClearMessageLog();
    QListWidgetItem* item = frame->listEntries->item(row);
    Q_EMIT frame->listEntries->itemDoubleClicked(item);
    QCOMPARE(History()->Count(), items + 1);
    if (shown) {
        QCOMPARE(GetUKey(f.Fungi()), f.other);
        QVERIFY(UIServices::MessageLog().isEmpty());
    } else {
        // The species stays, its list too, and the user is told.
        QCOMPARE(GetUKey(f.Fungi()), f.species);
        QCOMPARE(f.VisibleKeys(), before);
        QCOMPARE(UIServices::MessageLog().size(), 1);
        QCOMPARE(UIServices::MessageLog().first().Text, QString("Arten finns inte i artregistret."));
    }
}

void TestFungiMixups::url_encodesEveryValue() {
    const QString difference = "Vit fot, ring. A&B";
    const QString mirror = "Rad ett: gul & röd\nrad två = å, ä, ö #1 + 50% ?x=y";
    const QUrl url =
        MixupReportUrl("rapport.exempel.se/", "Kantarell", difference, "Falsk kantarell", mirror, "Cecilia Åberg");
    QCOMPARE(url.scheme(), QString("http"));
    QCOMPARE(url.host(), QString("rapport.exempel.se"));
    QCOMPARE(url.path(), QString("/data/reportmixup.asp"));
    const QList<QPair<QString, QString>> expected = {{"fungi1", "Kantarell"},
                                                     {"difference1", difference},
                                                     {"fungi2", "Falsk kantarell"},
                                                     {"difference2", mirror},
                                                     {"user", "Cecilia Åberg"}};
    QCOMPARE(ServerQuery(url), expected);
    QVERIFY(!url.toEncoded().contains(' '));
}

void TestFungiMixups::proposal_invalid_data() {
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("difference");
    QTest::addColumn<bool>("mirror");
    QTest::addColumn<QString>("mirrorText");
    QTest::addColumn<QString>("message");
    QTest::newRow("no look-alike") << ""
                                   << "Tunnare kött" << false << "" << kNoSpecies;
    QTest::newRow("no difference") << "Falsk kantarell"
                                   << "" << false << "" << kNoDifference;
    QTest::newRow("blank difference") << "Falsk kantarell"
                                      << "  \n " << false << "" << kNoDifference;
    QTest::newRow("mirrored without text") << "Falsk kantarell"
                                           << "Tunnare kött" << true << "" << kNoDifference;
}

void TestFungiMixups::proposal_invalid() {
    QFETCH(QString, other);
    QFETCH(QString, difference);
    QFETCH(bool, mirror);
    QFETCH(QString, mirrorText);
    QFETCH(QString, message);
    MixupFixture f;
    f.settings->WriteString(MixupReportHostKey, "rapport.exempel.se");
    int sent = 0;
    TframeFungiMixupDetails::Sender() = [&](const QUrl&) { ++sent; };
    TframeFungiMixupDetails* form = f.NewProposal();
    QVERIFY(form);
    QVERIFY(!f.window->BackButton()->isEnabled() || !f.window->ForwardButton()->isEnabled());
    QCOMPARE(f.dm->cdsFungiMixups->State(), TDataSetState::dsInsert);
    form->searchMixup->Edit->setText(other);
    form->dbmemoDifference->setPlainText(difference);
    form->chkMirror->setChecked(mirror);
    form->memoMirror->setPlainText(mirrorText);
    QCOMPARE(testsupport::ExceptionText([&] { form->btnSaveClick(); }), message);
    QCOMPARE(sent, 0);
    QCOMPARE(f.dm->cdsFungiMixups->State(), TDataSetState::dsInsert);
    form->btnCancelClick();
    QCOMPARE(f.dm->cdsFungiMixups->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.dm->cdsFungiMixups->RecordCount(), 2);
}

void TestFungiMixups::proposal_send_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("mirror");
    QTest::addColumn<QString>("message");
    QTest::newRow("sent, mirrored")
        << "rapport.exempel.se"
        << "" << true << "Förslaget på förväxlingssvamp har skickats till Mykotekshallen-teamet. Tack för hjälpen!";
    QTest::newRow("sent, mirror unchecked")
        << "rapport.exempel.se"
        << "" << false << "Förslaget på förväxlingssvamp har skickats till Mykotekshallen-teamet. Tack för hjälpen!";
    QTest::newRow("failure")
        << "rapport.exempel.se"
        << "Tidsgränsen överskreds" << true
        << "Sändningen av förväxlingssvampen via Internet misslyckades. Meddelande: Tidsgränsen överskreds";
    QTest::newRow("no report address")
        << ""
        << "" << true
        << "Ingen adress för rapporter till Mykotekshallen-teamet är inställd, så förslaget kunde inte skickas.";
}

void TestFungiMixups::proposal_send() {
    QFETCH(QString, host);
    QFETCH(QString, failure);
    QFETCH(bool, mirror);
    QFETCH(QString, message);
    MixupFixture f;
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    f.settings->WriteString(MixupReportHostKey, host);
    QList<QUrl> sent;
    TframeFungiMixupDetails::Sender() = [&](const QUrl& url) {
        sent.append(url);
        if (!failure.isEmpty()) throw Exception(failure);
    };
    TframeFungiMixupDetails* form = f.NewProposal();
    QVERIFY(form);
    QVERIFY(form->panelFrameHeader->text().endsWith(
        "Kantarell (Cantharellus cibarius) - inmatning av ny förväxlingssvamp"));
    QVERIFY(form->searchMixup->isEnabled());
    form->searchMixup->Edit->setText("Falsk kantarell");
    form->dbmemoDifference->setPlainText("Vit fot, ring. A&B");
    // Checked, typed into and unchecked again: the mirror text goes.
    form->chkMirror->setChecked(true);
    QVERIFY(!form->memoMirror->isReadOnly());
    QCOMPARE(form->memoMirror->Color(), TColor(0xC4FFFF));
    form->memoMirror->setPlainText("Tjockare kött,\nåsar i stället för skivor");
    if (!mirror) {
        form->chkMirror->setChecked(false);
        QVERIFY(form->memoMirror->toPlainText().isEmpty());
        QVERIFY(form->memoMirror->isReadOnly());
    }
    UIServices::ClearMessageLog();
    form->btnSaveClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, message);
    if (host.isEmpty()) {
        QVERIFY(sent.isEmpty());
    } else {
        QCOMPARE(sent.size(), 1);
        const auto query = ServerQuery(sent.first());
        QCOMPARE(query.size(), 5);
        QCOMPARE(query[0], qMakePair(QString("fungi1"), QString("Kantarell")));
        QCOMPARE(query[1], qMakePair(QString("difference1"), QString("Vit fot, ring. A&B")));
        QCOMPARE(query[2], qMakePair(QString("fungi2"), QString("Falsk kantarell")));
        QCOMPARE(query[3],
                 qMakePair(QString("difference2"),
                           mirror ? QString("Tjockare kött,\nåsar i stället för skivor") : QString()));
        QCOMPARE(query[4], qMakePair(QString("user"), QString("Cecilia")));
    }
    // Nothing is stored, and the user may move again.
    QCOMPARE(f.dm->cdsFungiMixups->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.dm->cdsFungiMixups->RecordCount(), 2);
    QVERIFY(qobject_cast<TframeFungiMixups*>(f.screen->MixupScreen->Frame()));
}

void TestFungiMixups::proposal_localServer_data() {
    QTest::addColumn<bool>("listening");
    QTest::newRow("the server answers") << true;
    QTest::newRow("nobody listens") << false;
}

void TestFungiMixups::proposal_localServer() {
    QFETCH(bool, listening);
    MixupFixture f;
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    // A small web server that keeps the request line and answers "OK".
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    QByteArray requestLine, buffer;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
            buffer += socket->readAll();
            if (!buffer.contains("\r\n\r\n")) return;
            requestLine = buffer.left(buffer.indexOf("\r\n"));
            buffer.clear();
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK");
            socket->disconnectFromHost();
        });
    });
    if (!listening) server.close();
    f.settings->WriteString(MixupReportHostKey, QString("127.0.0.1:%1").arg(port));
    TframeFungiMixupDetails* form = f.NewProposal();
    QVERIFY(form);
    form->searchMixup->Edit->setText("Falsk kantarell");
    form->dbmemoDifference->setPlainText("Vit fot, ring. A&B");
    form->chkMirror->setChecked(true);
    form->memoMirror->setPlainText("Tjockare kött,\nåsar = 100% #1 + mer");
    UIServices::ClearMessageLog();
    form->btnSaveClick();
    QCOMPARE(UIServices::MessageLog().size(), 1);
    const QString shown = UIServices::MessageLog().first().Text;
    if (listening) {
        QCOMPARE(shown,
                 QString("Förslaget på förväxlingssvamp har skickats till Mykotekshallen-teamet. Tack för hjälpen!"));
        QVERIFY2(requestLine.startsWith("GET /data/reportmixup.asp?"), requestLine.constData());
        const QByteArray target = requestLine.split(' ').value(1);
        const QList<QPair<QString, QString>> expected = {{"fungi1", "Kantarell"},
                                                         {"difference1", "Vit fot, ring. A&B"},
                                                         {"fungi2", "Falsk kantarell"},
                                                         {"difference2", "Tjockare kött,\nåsar = 100% #1 + mer"},
                                                         {"user", "Cecilia"}};
        QCOMPARE(ServerQuery(QUrl::fromEncoded("http://x" + target)), expected);
    } else {
        QCOMPARE(shown,
                 QString("Sändningen av förväxlingssvampen via Internet misslyckades. Meddelande: "
                         "Servern tog inte emot anslutningen."));
    }
    QCOMPARE(f.dm->cdsFungiMixups->State(), TDataSetState::dsBrowse);
    QCOMPARE(f.dm->cdsFungiMixups->RecordCount(), 2);
}

void TestFungiMixups::screenshot() {
    MixupFixture f;
    f.AddMixup(f.other, "Grå kantarell", "Ätlig",
               "Grå till svart hatt, tunnare kött och lägre åsar. Växer i mossa "
               "under gran, ofta i stora mängder på hösten.");
    QVERIFY(f.Show());
    f.window->resize(800, 600);
    QCoreApplication::processEvents();
    QVERIFY(f.window->grab().save(testsupport::ArtefactDir() + "/fungi_mixups_800x600.png"));
    TframeFungiMixupDetails* form = f.NewProposal();
    QVERIFY(form);
    form->chkMirror->setChecked(true);
    QCoreApplication::processEvents();
    QVERIFY(f.window->grab().save(testsupport::ArtefactDir() + "/fungi_mixupdetails_800x600.png"));
}

QTEST_MAIN(TestFungiMixups)
#include "tst_fungimixups.moc"
