// The species screen: its menu button and sub-screens, widening the selection, sort orders,
// name and signature look-ups, the picture count and showing a find.
#include <QtTest>

#include "content/FungiTestSupport.h"
#include "core/FRIniFile.h"
#include "core/unitDMServices.h"
#include "platform/UIServices.h"

class TestFungiScreen : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void screen_menuButtonAndSubScreens();
    void widen_data();
    void widen();
    void widen_keepsTheOldSetAndAddsTheSpecies();
    void widen_unknownKey_changesNothing();
    void sortOrder_data();
    void sortOrder();
    void sortOrder_sameOrder_keepsIndexButWritesSetting();
    void signature_findsOutsideSelection();
    void names_data();
    void names();
    void names_doNotMoveTheVisibleCursor();
    void picCount_keptWithoutFrameUpdate();
    void showFungiFind_outsideSelection();
    void subScreenButtons_showCounts();
};

void TestFungiScreen::screen_menuButtonAndSubScreens() {
    FungiFixture f;
    QCOMPARE(f.screen->MenuButton()->text(), QString("Artbeskrivningar"));
    QCOMPARE(f.screen->MenuButton()->toolTip(), QString("Sök och detaljstudera olika arters egenskaper och utseende"));
    QCOMPARE(f.screen->DataSet(), static_cast<TClientDataSet*>(f.Fungi()));
    QCOMPARE(f.screen->SortOrder(), quint8(0));
    QVERIFY(!f.screen->ShowSporeInfo());
    QVERIFY(f.screen->KeySelection.isEmpty());
    QVERIFY(!f.screen->KeySelectionFlag);
    QCOMPARE(FRFungiScreen.data(), f.screen);
    QCOMPARE(TFRFungiSubScreen::HostScreen(), static_cast<TFRMainScreen*>(f.screen));
    // The seven sub-screens in their order, with their tables and modes.
    const QList<QObject*> subs = f.screen->children();
    QList<TFRFungiSubScreen*> order;
    for (QObject* o : subs)
        if (auto* s = dynamic_cast<TFRFungiSubScreen*>(o)) order << s;
    QCOMPARE(order.size(), 7);
    const QList<TClientDataSet*> tables = {f.dm->cdsFungiPics,     f.dm->cdsFungiPics,   f.dm->cdsFungiFinds,
                                           f.dm->cdsFungiFinds,    f.dm->cdsFungiMixups, f.dm->cdsFungiMixups,
                                           f.dm->cdsFungiSubPlaces};
    const QList<int> modes = {0, 1, 0, 1, 0, 1, 0};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(order[i]->DataSet(), tables[i]);
        QCOMPARE(int(order[i]->SubMode()), modes[i]);
    }
    QCOMPARE(static_cast<TFRFungiSubScreen*>(f.screen->PicScreen), order[0]);
    QCOMPARE(static_cast<TFRFungiSubScreen*>(f.screen->FPlaceScreen), order[6]);
    // A species screen activated shows its frame; a sub-screen shows its base frame.
    f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.screen->Activate(QString());
    QVERIFY(f.Frame());
    f.Frame()->ShowSubScreen(1);
    QCOMPARE(f.Frame()->CurrentSubScreen(), static_cast<TFRFungiSubScreen*>(f.screen->FindScreen));
    QVERIFY(qobject_cast<TframeFungiSubBase*>(f.screen->FindScreen->Frame()));
    f.screen->FindDetailScreen->Activate(QString());
    QVERIFY(qobject_cast<TframeFungiDetailBase*>(f.screen->FindDetailScreen->Frame()));
    QCOMPARE(f.Frame()->ShownPageName(), QString("tabsExternalFrame"));
    QVERIFY(!f.screen->FindScreen->Frame());
}

void TestFungiScreen::widen_data() {
    QTest::addColumn<QStringList>("sel");
    QTest::newRow("empty selection") << QStringList();
    QTest::newRow("one line") << QStringList{"Str(SwedishName = \"Kantarell\")"};
    QTest::newRow("a group of lines") << QStringList{"(", "Str(FungiData = \"CPLD\")", "AND Str(SwedishName <> \"\")",
                                                     ")"};
}

void TestFungiScreen::widen() {
    QFETCH(QStringList, sel);
    FungiFixture f;
    f.AddSpecies("Kantarell", "Cantharellus cibarius");
    const QString other = f.AddSpecies("", "Boletus edulis");
    f.Select(sel);
    if (!sel.isEmpty()) QVERIFY(!f.VisibleKeys().contains(other));
    if (sel.isEmpty()) {
        // The visible records hold none of the species while the selection is empty.
        f.Select({"Str(LatinName = \"Ingen\")"});
        f.Fungi()->SetSel({});
    }
    const QStringList before = f.Fungi()->Sel();
    QVERIFY(f.screen->ShowFungiInSelection(other));
    const QStringList lines = f.Fungi()->Sel();
    const QString keyLine = QString("Str(UKey = \"%1\")").arg(other);
    if (before.isEmpty()) {
        QCOMPARE(lines, QStringList{keyLine});
    } else {
        QCOMPARE(lines.size(), before.size() + 2);
        QCOMPARE(lines[0], keyLine);
        QCOMPARE(lines[1], QString("OR"));
        QCOMPARE(lines.mid(2), before);
    }
    QCOMPARE(GetUKey(f.Fungi()), other);
}

void TestFungiScreen::widen_keepsTheOldSetAndAddsTheSpecies() {
    FungiFixture f;
    QStringList all;
    FieldValues incomplete = CapFungus("Flugsvamp", "Amanita muscaria");
    SetValues(incomplete, {{"FungiData", "UNCP"}});
    all << f.AddSpecies("Kantarell", "Cantharellus cibarius") << f.AddSpecies("", "Boletus badius")
        << f.AddSpecies(incomplete) << f.AddSpecies("Karljohan", "Boletus edulis");
    TQuickSelectionHandler handler;
    handler.Complete = true;
    handler.SwedishName = true;
    f.Select(TDMServices::QuickSelectionLines(handler));
    QStringList old = f.VisibleKeys();
    QCOMPARE(old, (QStringList{all[0], all[3]}));
    // Widened 50 times in a row the selection stays the old set and the chosen species.
    QVERIFY(f.screen->ShowFungiInSelection(all[1]));
    old << all[1];
    QVERIFY(f.screen->ShowFungiInSelection(all[2]));
    old << all[2];
    QStringList now = f.VisibleKeys();
    std::sort(now.begin(), now.end());
    std::sort(old.begin(), old.end());
    QCOMPARE(now, old);
    // A species already visible adds no line.
    const int lines = int(f.Fungi()->Sel().size());
    QVERIFY(f.screen->ShowFungiInSelection(all[0]));
    QCOMPARE(int(f.Fungi()->Sel().size()), lines);
    QCOMPARE(GetUKey(f.Fungi()), all[0]);
}

void TestFungiScreen::widen_unknownKey_changesNothing() {
    FungiFixture f;
    f.AddSpecies("Kantarell", "Cantharellus cibarius");
    const QString second = f.AddSpecies("Karljohan", "Boletus edulis");
    f.Select({"Str(LatinName <> \"\")"});
    QVERIFY(LocateUKey(f.Fungi(), second));
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    QVERIFY(!f.screen->ShowFungiInSelection("020AAAAAAAAAAAAAZZ"));
    QCOMPARE(f.Fungi()->Sel(), QStringList{"Str(LatinName <> \"\")"});
    QCOMPARE(GetUKey(f.Fungi()), second);
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, QString("Arten finns inte i artregistret."));
}

void TestFungiScreen::sortOrder_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("first");
    QTest::newRow("none") << 0 << "undef"
                          << "Kantarell";
    QTest::newRow("Swedish name") << 1 << "swedish"
                                  << "Björksopp";
    QTest::newRow("Latin name") << 2 << "latin"
                                << "Champinjon";
    QTest::newRow("group") << 3 << "group"
                           << "Champinjon";
}

void TestFungiScreen::sortOrder() {
    QFETCH(int, order);
    QFETCH(QString, index);
    QFETCH(QString, first);
    FungiFixture f;
    FieldValues a = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(a, {{"FungiGroup", "Kantareller"}});
    FieldValues b = CapFungus("Björksopp", "Leccinum scabrum");
    SetValues(b, {{"FungiGroup", "Soppar"}});
    FieldValues c = CapFungus("Champinjon", "Agaricus campestris");
    SetValues(c, {{"FungiGroup", "Champinjoner"}});
    f.AddSpecies(a);
    f.AddSpecies(b);
    f.AddSpecies(c);
    f.screen->SetSortOrder(order == 0 ? 1 : 0);
    f.screen->Activate(QString());
    f.screen->SetSortOrder(order);
    QCOMPARE(int(f.screen->SortOrder()), order);
    QCOMPARE(f.Fungi()->IndexName(), index);
    f.Fungi()->First();
    QCOMPARE(f.Fungi()->FieldByName("SwedishName")->AsString(), first);
    QCOMPARE(f.settings->ReadInteger("Fungi/SortOrder"), order);
    for (int i = 1; i <= 3; ++i) QCOMPARE(f.Frame()->SortButton(i)->isChecked(), i == order);
}

void TestFungiScreen::sortOrder_sameOrder_keepsIndexButWritesSetting() {
    FungiFixture f;
    f.screen->SetSortOrder(2);
    QCOMPARE(f.Fungi()->IndexName(), QString("latin"));
    // Another order set directly on the table is left alone by the same order.
    f.Fungi()->SetIndexName("group");
    f.settings->WriteInteger("Fungi/SortOrder", 0);
    f.screen->SetSortOrder(2);
    QCOMPARE(f.Fungi()->IndexName(), QString("group"));
    QCOMPARE(f.settings->ReadInteger("Fungi/SortOrder"), 2);
}

void TestFungiScreen::signature_findsOutsideSelection() {
    FungiFixture f;
    FieldValues a = CapFungus("Kantarell", "Cantharellus cibarius");
    SetValues(a, {{"Signature", "KAN-CIB"}});
    FieldValues b = CapFungus("Karljohan", "Boletus edulis");
    SetValues(b, {{"Signature", "BOL-EDU"}});
    const QString ka = f.AddSpecies(a);
    const QString kb = f.AddSpecies(b);
    f.Select({"Str(SwedishName = \"Kantarell\")"});
    QVERIFY(LocateUKey(f.Fungi(), ka));
    QCOMPARE(f.screen->FindUKeyBySignature("BOL-EDU"), kb);
    QCOMPARE(GetUKey(f.Fungi()), ka);
    QVERIFY(!f.Fungi()->ControlsDisabled());
    // The species being edited finds itself.
    f.Fungi()->Edit();
    QCOMPARE(f.screen->FindUKeyBySignature("KAN-CIB"), ka);
    f.Fungi()->Cancel();
    QCOMPARE(f.screen->FindUKeyBySignature("bol-edu"), QString());
    QCOMPARE(f.screen->FindUKeyBySignature(""), QString());
}

void TestFungiScreen::names_data() {
    QTest::addColumn<QString>("swedish");
    QTest::addColumn<bool>("current");
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("name");
    QTest::newRow("Swedish name, by key") << "Kantarell" << false << "Kantarell (Cantharellus cibarius)"
                                          << "Kantarell";
    QTest::newRow("no Swedish name, by key") << "" << false << "Cantharellus cibarius"
                                             << "Cantharellus cibarius";
    QTest::newRow("Swedish name, current") << "Kantarell" << true << "Kantarell (Cantharellus cibarius)"
                                           << "Kantarell";
    QTest::newRow("no Swedish name, current") << "" << true << "Cantharellus cibarius"
                                              << "Cantharellus cibarius";
}

void TestFungiScreen::names() {
    QFETCH(QString, swedish);
    QFETCH(bool, current);
    QFETCH(QString, full);
    QFETCH(QString, name);
    FungiFixture f;
    const QString key = f.AddSpecies(swedish, "Cantharellus cibarius");
    f.AddSpecies("Karljohan", "Boletus edulis");
    if (current)
        QVERIFY(LocateUKey(f.Fungi(), key));
    else
        f.Select({"Str(LatinName = \"Boletus edulis\")"});
    const QString ask = current ? "*" : key;
    QCOMPARE(f.screen->GetFungiFullName(ask), full);
    QCOMPARE(f.screen->GetFungiName(ask), name);
    QCOMPARE(f.screen->GetFungiFullName("020AAAAAAAAAAAAAZZ"), QString());
    QCOMPARE(f.screen->GetFungiName("020AAAAAAAAAAAAAZZ"), QString());
}

void TestFungiScreen::names_doNotMoveTheVisibleCursor() {
    FungiFixture f;
    const QString a = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    const QString b = f.AddSpecies("Karljohan", "Boletus edulis");
    QVERIFY(LocateUKey(f.Fungi(), a));
    int scrolls = 0;
    f.Fungi()->AddObserver(TDataSetEvent::AfterScroll, f.window.get(), [&](TClientDataSet*) { ++scrolls; });
    QCOMPARE(f.screen->GetFungiName(b), QString("Karljohan"));
    QVERIFY(f.screen->LocateLookup(b));
    QVERIFY(f.screen->LocateLookup("***"));
    QCOMPARE(f.Fungi()->InternalDataSet()->FieldByName("UKey")->AsString(), a);
    QCOMPARE(GetUKey(f.Fungi()), a);
    QCOMPARE(scrolls, 0);
}

void TestFungiScreen::picCount_keptWithoutFrameUpdate() {
    FungiFixture f;
    const QString key = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.screen->Activate(QString());
    QVERIFY(LocateUKey(f.Fungi(), key));
    f.Frame()->panelFrameHeader->setText("oförändrad");
    const QString stamp = f.Fungi()->FieldByName("Timestamp")->AsString();
    // Matching already: nothing is written.
    f.screen->UpdatePicCount();
    QCOMPARE(f.Fungi()->FieldByName("PicCount")->AsInteger(), 0);
    QCOMPARE(f.Fungi()->FieldByName("Timestamp")->AsString(), stamp);
    // A picture posted: the data module's hook writes the count, the frame is not updated.
    f.AddDetail(f.dm->cdsFungiPics, key, {{"PicIndex", 1}});
    QCOMPARE(f.Fungi()->FieldByName("PicCount")->AsInteger(), 1);
    QCOMPARE(UserFixture::FileValue(f.Folder() + "Data/Db/Fungi.dat", key, "PicCount").toInt(), 1);
    QCOMPARE(f.Frame()->panelFrameHeader->text(), QString("oförändrad"));
    QVERIFY(!f.screen->Locked);
}

void TestFungiScreen::showFungiFind_outsideSelection() {
    FungiFixture f;
    const QString a = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    const QString b = f.AddSpecies("Karljohan", "Boletus edulis");
    f.AddDetail(f.dm->cdsFungiFinds, a, {{"FindDate", QDate(2026, 8, 1)}});
    f.AddDetail(f.dm->cdsFungiFinds, b, {{"FindDate", QDate(2026, 9, 1)}});
    const QString find = f.AddDetail(f.dm->cdsFungiFinds, b, {{"FindDate", QDate(2026, 9, 2)}});
    f.Select({"Str(SwedishName = \"Kantarell\")"});
    f.screen->ShowFungiFind(b, find);
    QCOMPARE(ScreenHost()->CurrentScreen(), static_cast<TFRMainScreen*>(f.screen));
    QCOMPARE(GetUKey(f.Fungi()), b);
    QCOMPARE(f.Frame()->CurrentSubScreen(), static_cast<TFRFungiSubScreen*>(f.screen->FindScreen));
    QCOMPARE(f.Frame()->SubScreenIndex, 1);
    QCOMPARE(GetUKey(f.dm->cdsFungiFinds), find);
    // A species no record has leaves the table where it was.
    f.ui.AnswerBoxes(UIServices::TMsgResult::OK);
    f.screen->ShowFungiFind("020AAAAAAAAAAAAAZZ", find);
    QCOMPARE(GetUKey(f.Fungi()), b);
}

void TestFungiScreen::subScreenButtons_showCounts() {
    FungiFixture f;
    const QString a = f.AddSpecies("Kantarell", "Cantharellus cibarius");
    f.AddDetail(f.dm->cdsFungiFinds, a, {{"FindDate", QDate(2026, 8, 1)}});
    f.AddDetail(f.dm->cdsFungiFinds, a, {{"FindDate", QDate(2026, 8, 2)}});
    f.AddDetail(f.dm->cdsFungiMixups, a, {});
    f.screen->Activate(QString());
    QVERIFY(LocateUKey(f.Fungi(), a));
    f.screen->UpdateFrame();
    QCOMPARE(f.Frame()->SubScreenButton(1)->text(), QString("Fyndplatser (2 st)"));
    QCOMPARE(f.Frame()->SubScreenButton(2)->text(), QString("Förväxlingssvampar (1 st)"));
    QCOMPARE(f.Frame()->SubScreenButton(3)->text(), QString("Svampställen (0 st)"));
    QCOMPARE(f.Frame()->SubScreenButton(4)->text(), QString("Svampbilder (0 st)"));
}

QTEST_MAIN(TestFungiScreen)
#include "tst_fungiscreen.moc"
