#include <QtTest>

#include <QProcess>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QToolButton>
#include <memory>

#include "content/maps/unitFrameMaps.h"
#include "content/places/unitFramePlaces.h"
#include "content/maps/unitMapScreen.h"
#include "content/maps/unitMapSelection.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FREdits.h"
#include "controls/FRMapGeometry.h"
#include "controls/FRMapPanel.h"
#include "controls/FRRIKMap.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"
#include "support/TestSupport.h"
#include "support/VisualTestSupport.h"
#include "tools/rik/RikWriter.h"
#include "shell/UserTestSupport.h"

using UIServices::TMsgResult;

namespace {

const QString kAlreadyImported = QStringLiteral("Den valda kartan är redan importerad!");
const QString kNoFinerMap = QStringLiteral("Den visade kartan är den mest detaljerade över det valda området!");
const QString kNoMapAtPoint = QStringLiteral("Det finns ingen karta som täcker punkten Du klickade på!");

// A sheet of 8 x 8 tiles of 50 pixels at s metres per pixel, its south-west corner at
// (1 500 000, 6 500 000), every tile one colour.
rikwriter::Sheet SmallSheet(int scale, float s, const QByteArray& title = "PROV") {
    rikwriter::Sheet sheet;
    sheet.Title = title;
    sheet.XMin = 1500000;
    sheet.YMin = 6500000;
    sheet.YMax = 6500000 + 400 * double(s);
    sheet.XMax = sheet.XMin + 400 * double(s);
    sheet.ScaleDenominator = scale;
    sheet.ScaleValue = s;
    sheet.BlockWidth = sheet.BlockHeight = 50;
    sheet.TileColumns = sheet.TileRows = 8;
    for (int i = 0; i < 256; ++i) {
        sheet.Palette[size_t(3) * size_t(i)] = uint8_t(200);
        sheet.Palette[size_t(3) * size_t(i) + 1] = uint8_t(230 - i / 4);
        sheet.Palette[size_t(3) * size_t(i) + 2] = uint8_t(180);
    }
    std::vector<uint8_t> px(2500);
    for (int i = 0; i < 64; ++i) {
        std::fill(px.begin(), px.end(), uint8_t(i));
        sheet.Tiles.push_back(rikwriter::EncodeRLE(px.data(), 50, 50));
    }
    return sheet;
}

// The worked example: 40 columns of 500-pixel tiles at 2.5 metres per pixel, 1:50 000.
rikwriter::Sheet ExampleSheet(double yMax) {
    rikwriter::Sheet sheet;
    sheet.Title = "UPPSALA 11H SV";
    sheet.XMin = 1500000;
    sheet.YMin = 6550000;
    sheet.YMax = yMax;
    sheet.XMax = 1500000;
    sheet.ScaleDenominator = 50000;
    sheet.ScaleValue = 2.5f;
    sheet.BlockWidth = sheet.BlockHeight = 500;
    sheet.TileColumns = 40;
    sheet.TileRows = 40;
    sheet.Tiles.assign(1600, QByteArray(1, '\0'));
    return sheet;
}

// The maps and places screens in the main window over a data module in its own folder.
struct MapFixture {
    testsupport::UIServicesGuard ui;
    QTemporaryDir tmp;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TFRIniFile> settings;
    std::unique_ptr<TformFRMain> main;
    TFRMapScreen* screen = nullptr;
    TFRPlaceScreen* places = nullptr;
    QStringList answers;  // files the open dialog answers, in turn

    MapFixture() {
        ui.AnswerBoxes(TMsgResult::OK);
        SetProgramFolder(tmp.path());
        dm = std::make_unique<TDM>(tmp.path());
        settings = UseDataModule(dm.get());
        TExtClientDataSet* contacts = dm->cdsContacts;
        contacts->Append();
        contacts->FieldByName("UserName")->SetAsString("Anna Andersson");
        contacts->Post();
        const QString contact = GetUKey(contacts);
        dm->cdsUsers->Append();
        dm->cdsUsers->FieldByName("UserName")->SetAsString("Anna Andersson");
        dm->cdsUsers->FieldByName("ContactUKey")->SetAsString(contact);
        dm->cdsUsers->Post();
        SelectCurrentUser(GetUKey(dm->cdsUsers));
        main = std::make_unique<TformFRMain>();
        main->SetDataModule(dm.get());
        main->resize(800, 600);
        main->show();
        TformFRMain::ClearScreenFactories();
        RegisterMapScreen();
        RegisterPlaceScreen();
        main->CreateScreens();
        screen = qobject_cast<TFRMapScreen*>(main->Screen(ssMap));
        places = qobject_cast<TFRPlaceScreen*>(main->Screen(ssPlace));
        screen->Activate(QString());
        ui.Choosers([this](const UIServices::TChooserRequest&) {
            UIServices::TChooserAnswer a;
            if (!answers.isEmpty()) {
                a.Accepted = true;
                a.Files << answers.takeFirst();
            }
            return a;
        });
        UIServices::ClearMessageLog();
    }
    ~MapFixture() {
        main.reset();
        TformFRMain::ClearScreenFactories();
        SetUserEnvironment({});
        SetProgramFolder(QString());
    }

    TframeMaps* Frame() const { return screen->MapsFrame(); }
    TExtClientDataSet* Maps() const { return dm->cdsMaps; }
    QString WriteSheet(const rikwriter::Sheet& sheet, const QString& name) {
        const QString path = tmp.filePath(name);
        if (!testsupport::WriteBytes(path, rikwriter::Write(sheet))) qFatal("cannot write fixture");
        return path;
    }
    // Imports through the open dialog and saves the record under the name.
    QString Import(const QString& path, const QString& name = QString()) {
        answers << path;
        Frame()->sbtnNewMap->click();
        if (!name.isEmpty()) TypeName(name);
        Frame()->btnSave->click();
        return GetUKey(Maps());
    }
    // Types the name into the name field as a user would.
    void TypeName(const QString& name) {
        Frame()->dbeditMapName->selectAll();
        QTest::keyClick(Frame()->dbeditMapName, Qt::Key_Delete);
        QTest::keyClicks(Frame()->dbeditMapName, name);
    }
    QStringList Messages() const {
        QStringList out;
        for (const auto& m : UIServices::MessageLog()) out << m.Text;
        return out;
    }
    QString AddPreset(const QString& normal, const QString& pieces, const QString& name) {
        TExtClientDataSet* p = dm->cdsMapNamePresets;
        p->Append();
        p->FieldByName("NormalFilename")->SetAsString(normal);
        p->FieldByName("MatchStrings")->SetAsString(pieces);
        p->FieldByName("PresetName")->SetAsString(name);
        p->Post();
        return GetUKey(p);
    }
    // A map record stored straight into the table.
    QString AddMapRecord(const QString& name, int scale, int ulx, int uly, int lrx, int lry) {
        Maps()->Append();
        Maps()->FieldByName("MapName")->SetAsString(name);
        Maps()->FieldByName("Filename")->SetAsString(tmp.filePath(name + ".rik"));
        Maps()->FieldByName("Scale")->SetAsInteger(scale);
        Maps()->FieldByName("CoordULX")->SetAsInteger(ulx);
        Maps()->FieldByName("CoordULY")->SetAsInteger(uly);
        Maps()->FieldByName("CoordLRX")->SetAsInteger(lrx);
        Maps()->FieldByName("CoordLRY")->SetAsInteger(lry);
        Maps()->FieldByName("MapArea")->SetAsInteger(MapImport::MapArea(ulx, lry, lrx, uly));
        Maps()->Post();
        return GetUKey(Maps());
    }
    // A press, a move and a release on the map view's surface.
    void Drag(QPoint from, QPoint to) {
        QWidget* s = Frame()->panelMap->Surface();
        QTest::mousePress(s, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), s->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(s, &move);
        QTest::mouseRelease(s, Qt::LeftButton, {}, to);
    }
};

}  // namespace

class TestMaps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importFillsRecordFromHeader_data();
    void importFillsRecordFromHeader();
    void importRefusesTheSameFileTwice();
    void importOfDamagedFileLeavesTableAlone();
    void presetNaming_data();
    void presetNaming();
    void findMapForPoint_data();
    void findMapForPoint();
    void inAndUpWalkTheScales();
    void areaMarkFromDrag();
    void overviewRectangles();
    void drawingOrderByArea();
    void overviewOfHugeSheet();
    void mapThatFailsToOpenIsOpenedAgainLater();
    void historyRestoresDetail();
    void selectionSettingsRoundTrip();
    void selectionDialog();
    void markPlaceOnSampleSheet();
    void findMarkingLimitAndNavigation();
    void sampleSheetIsListed();
    void sheetStoredRelativeFollowsTheProgramFolder();
    void deleteAsksAndKeepsTheFile();
    void doubleClickOnPlaceOpensIt();
};

void TestMaps::importFillsRecordFromHeader_data() {
    QTest::addColumn<double>("yMax");
    QTest::addColumn<int>("area");
    QTest::newRow("whole kilometres") << 6600000.0 << 2500;
    QTest::newRow("side truncated") << 6599999.0 << 2450;
}

void TestMaps::importFillsRecordFromHeader() {
    QFETCH(double, yMax);
    QFETCH(int, area);
    MapFixture f;
    const QString path = f.WriteSheet(ExampleSheet(yMax), QStringLiteral("uppsala.rik"));
    f.answers << path;
    f.Frame()->sbtnNewMap->click();
    QCOMPARE(UIServices::ChooserLog().size(), 1);
    QCOMPARE(UIServices::ChooserLog().first().Filter,
             QStringLiteral("Lantmäteriets kartfiler (*.rik *.RIK);;Alla filer (*)"));
    QCOMPARE(f.settings->ReadString("Settings/MapFolder"), QFileInfo(path).absolutePath());
    TExtClientDataSet* maps = f.Maps();
    QCOMPARE(maps->State(), TDataSetState::dsInsert);
    QVERIFY(!ScreenHost()->NavigationEnabled());
    QVERIFY(f.Frame()->panelDetails->isVisible());
    QCOMPARE(maps->FieldByName("Filename")->AsString(), QFileInfo(path).absoluteFilePath());
    QCOMPARE(maps->FieldByName("Scale")->AsInteger(), 50000);
    QCOMPARE(maps->FieldByName("CoordULX")->AsInteger(), 1500000);
    QCOMPARE(maps->FieldByName("CoordULY")->AsInteger(), int(yMax));
    QCOMPARE(maps->FieldByName("CoordLRX")->AsInteger(), 1550000);
    QCOMPARE(maps->FieldByName("CoordLRY")->AsInteger(), 6550000);
    QCOMPARE(maps->FieldByName("MapArea")->AsInteger(), area);
    QCOMPARE(maps->FieldByName("MeterPerPixelX")->AsFloat(), 2.5);
    QCOMPARE(maps->FieldByName("MeterPerPixelY")->AsFloat(), 2.5);
    if (area == 2500) QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/maps_import_800x600.png"));

    // No preset gives the name: Save asks for one and the record stays in insert.
    f.Frame()->btnSave->click();
    QCOMPARE(f.Messages().last(), QStringLiteral("Kartnamn saknas!"));
    QCOMPARE(maps->State(), TDataSetState::dsInsert);
    f.TypeName(QStringLiteral("Uppsala SV"));
    f.Frame()->btnSave->click();
    QCOMPARE(maps->State(), TDataSetState::dsBrowse);
    QVERIFY(ScreenHost()->NavigationEnabled());
    QCOMPARE(f.Frame()->listboxMaps->item(0)->text(), QStringLiteral("Uppsala SV (1:50000)"));

    // Editing locks navigation again until cancelled.
    f.Frame()->sbtnEditMap->click();
    QCOMPARE(maps->State(), TDataSetState::dsEdit);
    QVERIFY(!ScreenHost()->NavigationEnabled());
    f.Frame()->btnCancel->click();
    QCOMPARE(maps->State(), TDataSetState::dsBrowse);
    QVERIFY(ScreenHost()->NavigationEnabled());
}

void TestMaps::importRefusesTheSameFileTwice() {
    MapFixture f;
    const QString path = f.WriteSheet(SmallSheet(10000, 1), QStringLiteral("prov.rik"));
    f.Import(path, QStringLiteral("Prov"));
    QCOMPARE(f.Maps()->RecordCount(), 1);
    // The same text, another spelling of the same path, and a link to the file.
    const QString link = f.tmp.filePath(QStringLiteral("länk.rik"));
    QVERIFY(QFile::link(path, link));
    for (const QString& again : {path, f.tmp.path() + QStringLiteral("/./prov.rik"), link}) {
        UIServices::ClearMessageLog();
        f.answers << again;
        f.Frame()->sbtnNewMap->click();
        QCOMPARE(f.Messages(), QStringList{kAlreadyImported});
        QCOMPARE(f.Maps()->State(), TDataSetState::dsBrowse);
        QVERIFY(ScreenHost()->NavigationEnabled());
    }
    QCOMPARE(f.Maps()->RecordCount(), 1);
}

void TestMaps::importOfDamagedFileLeavesTableAlone() {
    MapFixture f;
    QByteArray bytes = rikwriter::Write(SmallSheet(10000, 1));
    bytes.truncate(60);
    const QString path = f.tmp.filePath(QStringLiteral("trasig.rik"));
    QVERIFY(testsupport::WriteBytes(path, bytes));
    f.answers << path;
    f.Frame()->sbtnNewMap->click();
    QCOMPARE(f.Messages().size(), 1);
    QVERIFY2(f.Messages().first().startsWith(QStringLiteral("Invalid mapfile. Message: ")),
             qPrintable(f.Messages().first()));
    QCOMPARE(f.Maps()->State(), TDataSetState::dsBrowse);
    QVERIFY(f.Maps()->IsEmpty());
    QVERIFY(ScreenHost()->NavigationEnabled());
}

void TestMaps::presetNaming_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::newRow("file name first") << "/kartor/11h_sv.rik"
                                     << "UPPSALA 11H SV"
                                     << "Filnamnet";
    QTest::newRow("pieces in the title") << "/kartor/annan.rik"
                                         << "UPPSALA 11H SV"
                                         << "Uppsala sydväst";
    QTest::newRow("title search keeps case") << "/kartor/annan.rik"
                                             << "Uppsala 11H SV"
                                             << "";
    QTest::newRow("quote in name is only text") << "/kartor/a\").rik"
                                                << "INGET"
                                                << "";
}

void TestMaps::presetNaming() {
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    QFETCH(QString, expected);
    MapFixture f;
    f.AddPreset(QString(), QString(), QStringLiteral("Tom"));  // empty pieces never match
    f.AddPreset(QStringLiteral("ANNAT.RIK"), QStringLiteral("uppsala;sv"), QStringLiteral("Uppsala sydväst"));
    f.AddPreset(QStringLiteral("11H_SV.RIK"), QStringLiteral("nothing"), QStringLiteral("Filnamnet"));
    QCOMPARE(MapImport::PresetName(f.dm->cdsMapNamePresets, fileName, title), expected);
}

void TestMaps::findMapForPoint_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("expected");
    QTest::newRow("most detailed") << 0 << 1500500 << "B";
    QTest::newRow("coarsest") << 1 << 1500500 << "C";
    QTest::newRow("tie keeps earlier record") << 0 << 1510500 << "D";
    QTest::newRow("east edge is outside") << 0 << 1520000 << "C";
    QTest::newRow("no sheet") << 1 << 1700000 << "";
}

void TestMaps::findMapForPoint() {
    QFETCH(int, mode);
    QFETCH(int, x);
    QFETCH(QString, expected);
    MapFixture f;
    QHash<QString, QString> keys;
    keys[f.AddMapRecord("A", 50000, 1500000, 6510000, 1510000, 6500000)] = "A";
    keys[f.AddMapRecord("B", 10000, 1500000, 6510000, 1510000, 6500000)] = "B";
    keys[f.AddMapRecord("C", 250000, 1400000, 6600000, 1600000, 6400000)] = "C";
    keys[f.AddMapRecord("D", 20000, 1510000, 6510000, 1520000, 6500000)] = "D";
    keys[f.AddMapRecord("E", 20000, 1510000, 6510000, 1520000, 6500000)] = "E";
    f.Maps()->First();
    const int recNo = f.Maps()->RecNo();
    QString found;
    f.screen->FindMapForPoint(x, 6505000, found, mode);
    QCOMPARE(keys.value(found), expected);
    QCOMPARE(f.Maps()->RecNo(), recNo);
}

void TestMaps::inAndUpWalkTheScales() {
    MapFixture f;
    const QString fine = f.Import(f.WriteSheet(SmallSheet(10000, 1), "fin.rik"), "Fin");
    const QString middle = f.Import(f.WriteSheet(SmallSheet(50000, 2.5f), "mellan.rik"), "Mellan");
    const QString coarse = f.Import(f.WriteSheet(SmallSheet(250000, 10), "grov.rik"), "Grov");
    TframeMaps* frame = f.Frame();
    UIServices::ClearMessageLog();

    // On the overview a point outside every sheet, then one inside all three: the coarsest.
    frame->ChooseMapAt(1400000, 6400000, true);
    QCOMPARE(f.Messages(), QStringList{kNoMapAtPoint});
    QVERIFY(!frame->ShowingDetail());
    frame->ChooseMapAt(1500200, 6500200, true);
    QVERIFY(frame->ShowingDetail());
    QCOMPARE(frame->CurrentMapUKey(), coarse);
    frame->ChooseMapAt(1500200, 6500200, true);
    QCOMPARE(frame->CurrentMapUKey(), middle);
    frame->ChooseMapAt(1500200, 6500200, true);
    QCOMPARE(frame->CurrentMapUKey(), fine);
    QVERIFY(UIServices::MessageLog().size() == 1);
    frame->ChooseMapAt(1500200, 6500200, true);
    QCOMPARE(f.Messages().last(), kNoFinerMap);
    QCOMPARE(frame->CurrentMapUKey(), fine);

    // "Uppåt" at the view centre climbs, and off the coarsest goes back to the overview.
    frame->sbtnPrevMap->click();
    QCOMPARE(frame->CurrentMapUKey(), middle);
    frame->sbtnPrevMap->click();
    QCOMPARE(frame->CurrentMapUKey(), coarse);
    frame->sbtnPrevMap->click();
    QVERIFY(!frame->ShowingDetail());
    QCOMPARE(f.Messages().size(), 2);
}

void TestMaps::areaMarkFromDrag() {
    TMapSheet sheet;
    sheet.XMin = 1400000;
    sheet.YMin = 6500000;
    sheet.XMax = 1600000;
    sheet.YMax = 6700000;
    sheet.CentreX = 1500000;
    sheet.CentreY = 6600000;
    sheet.BlockWidth = sheet.BlockHeight = 500;
    sheet.TileColumns = sheet.TileRows = 160;
    sheet.TileWidthM = sheet.TileHeightM = 1250;
    sheet.MetresPerPixel = 2.5;
    TMapViewGeometry g;
    g.SetSheet(sheet);
    g.SetSurfaceSize(400, 300);
    g.SetCenter(1500000, 6600000);
    const TFRMapObj mark = AreaMarkFromDrag(g, QPoint(100, 100), QPoint(110, 96));
    QCOMPARE(mark.Kind, quint8(1));
    QCOMPARE(mark.X, 1499750);
    QCOMPARE(mark.Y, 6600122);
    QCOMPARE(mark.HalfH, 25);
    QCOMPARE(mark.HalfV, 10);
    const TFRMapObj still = AreaMarkFromDrag(g, QPoint(100, 100), QPoint(100, 100));
    QCOMPARE(still.HalfH, 0);
    QCOMPARE(still.HalfV, 0);
}

void TestMaps::overviewRectangles() {
    // The example sheet's rectangle: across Round(94.94) to Round(107.98), down Round(302.22)
    // to Round(315.25).
    const QRect r = OverviewPixelRect(1500000, 6600000, 1550000, 6550000);
    QCOMPARE(r.left(), 95);
    QCOMPARE(r.right(), 108);
    QCOMPARE(r.top(), 302);
    QCOMPARE(r.bottom(), 315);

    MapFixture f;
    const QString a = f.AddMapRecord("A", 50000, 1500000, 6600000, 1550000, 6550000);
    f.AddMapRecord("B", 50000, 1600000, 6700000, 1650000, 6650000);
    f.AddMapRecord("Utanför", 50000, 900000, 7900000, 1000000, 7800000);  // beyond the picture
    QVERIFY(LocateUKey(f.Maps(), a));
    f.Frame()->RebuildList();
    f.Frame()->UpdateFrame();
    const QImage base = SwedenOverviewPicture().convertToFormat(QImage::Format_RGB888);
    const QImage layer = f.Frame()->imageLayer->Image();
    QCOMPARE(layer.size(), base.size());
    // The current sheet: a red border and a half-way blend inside.
    QCOMPARE(layer.pixelColor(95, 302), QColor(255, 0, 0));
    QCOMPARE(layer.pixelColor(108, 315), QColor(255, 0, 0));
    const QColor b = base.pixelColor(100, 310);
    auto half = [](int base, int c) { return base + int(std::nearbyint((c - base) * 0.5)); };
    QCOMPARE(layer.pixelColor(100, 310), QColor(half(b.red(), 255), half(b.green(), 0), half(b.blue(), 0)));
    // Another sheet: a navy border, the inside untouched.
    const QRect rb = OverviewPixelRect(1600000, 6700000, 1650000, 6650000);
    QCOMPARE(layer.pixelColor(rb.left(), rb.top()), QColor(0, 0, 128));
    QCOMPARE(layer.pixelColor(rb.center()), base.pixelColor(rb.center()));

    // A click selects the sheet whose centre is nearest.
    f.Frame()->SelectNearestMap(rb.center());
    QCOMPARE(f.Maps()->FieldByName("MapName")->AsString(), QStringLiteral("B"));
    QCOMPARE(f.Frame()->listboxMaps->currentRow(), f.Maps()->RecNo() - 1);
}

void TestMaps::overviewOfHugeSheet() {
    // Edges far beyond the picture: only the picture's pixels are painted, all of them inside.
    MapFixture f;
    f.AddMapRecord("Jätte", 1000000, -2000000000, 2000000000, 2000000000, -2000000000);
    f.Frame()->RebuildList();
    f.Frame()->UpdateFrame();
    const QImage base = SwedenOverviewPicture().convertToFormat(QImage::Format_RGB888);
    const QImage layer = f.Frame()->imageLayer->Image();
    for (const QPoint p : {QPoint(0, 0), QPoint(base.width() - 1, base.height() - 1)}) {
        const QColor b = base.pixelColor(p);
        QCOMPARE(layer.pixelColor(p).red(), b.red() + int(std::nearbyint((255 - b.red()) * 0.5)));
    }
}

void TestMaps::drawingOrderByArea() {
    MapFixture f;
    // More than a hundred sheets all take part, larger first, equal areas in table order.
    for (int i = 0; i < 130; ++i) {
        const int side = i % 3 == 0 ? 50000 : 10000;
        f.AddMapRecord(QStringLiteral("K%1").arg(i, 3, 10, QLatin1Char('0')), 50000, 1400000, 6500000 + side,
                       1400000 + side, 6500000);
    }
    f.Frame()->RebuildList();
    const QList<int> order = f.Frame()->DrawingOrder();
    QCOMPARE(order.size(), 130);
    QCOMPARE(f.Frame()->listboxMaps->count(), 130);
    int lastArea = INT_MAX, lastRec = 0;
    for (int rec : order) {
        const int area = f.Maps()->RecordValue(rec - 1, f.Maps()->FieldByName("MapArea")->Index()).toInt();
        QVERIFY(area <= lastArea);
        if (area == lastArea) QVERIFY(rec > lastRec);
        lastArea = area;
        lastRec = rec;
    }
}

void TestMaps::mapThatFailsToOpenIsOpenedAgainLater() {
    MapFixture f;
    const QString path = f.WriteSheet(SmallSheet(10000, 1), "borta.rik");
    const QString key = f.Import(path, "Borta");
    const QByteArray bytes = testsupport::ReadBytes(path);
    QVERIFY(QFile::remove(path));
    const QString failed =
        QStringLiteral("Fel vid öppning av kartfil \"Borta\". Kontrollera att filen finns i sökvägen!");
    auto open = [&] { return testsupport::ExceptionText([&] { f.Frame()->ChooseMapAt(1500200, 6500200, true); }); };
    QCOMPARE(open(), failed);
    QVERIFY(!f.Frame()->panelMap->RIKMap().Active());
    QVERIFY(!f.Frame()->ShowingDetail());
    // The same sheet again, still missing, and then back in its place.
    f.Frame()->ShowOverview();
    QCOMPARE(open(), failed);
    QVERIFY(testsupport::WriteBytes(path, bytes));
    f.Frame()->ShowOverview();
    QCOMPARE(open(), testsupport::NoException);
    QVERIFY(f.Frame()->panelMap->RIKMap().Active());
    QCOMPARE(f.Frame()->CurrentMapUKey(), key);
}

void TestMaps::historyRestoresDetail() {
    MapFixture f;
    const QString key = f.Import(f.WriteSheet(SmallSheet(50000, 2.5f), "mellan.rik"), "Mellan");
    f.Frame()->ShowMapAt(key, 1500300, 6500400);
    std::unique_ptr<TFRHistoryItem> item(f.Frame()->CreateHistoryItem());
    QCOMPARE(item->Title, QStringLiteral("Till Karthantering"));
    QCOMPARE(item->Values("ShowingDetail"), QStringLiteral("1"));
    QCOMPARE(item->Values("CurrentMap"), key);
    const int cx = f.Frame()->panelMap->CenterX(), cy = f.Frame()->panelMap->CenterY();
    QCOMPARE(item->Values("PosX").toInt(), cx);
    f.Frame()->ShowOverview();
    std::unique_ptr<TFRHistoryItem> overview(f.Frame()->CreateHistoryItem());
    QCOMPARE(overview->Values("ShowingDetail"), QStringLiteral("0"));
    QVERIFY(overview->Values("CurrentMap").isEmpty());
    f.Frame()->RestoreHistory(item.get());
    QVERIFY(f.Frame()->ShowingDetail());
    QCOMPARE(f.Frame()->panelMap->CenterX(), cx);
    QCOMPARE(f.Frame()->panelMap->CenterY(), cy);
}

void TestMaps::selectionSettingsRoundTrip() {
    MapFixture f;
    TFRMapSelection defaults;
    defaults.Load(f.settings.get());
    QCOMPARE(defaults.FindSelection, QStringLiteral("NONE"));
    QCOMPARE(defaults.PlaceSelection, QStringLiteral("NONE"));
    QCOMPARE(defaults.FindColor, 255);
    QCOMPARE(defaults.PlaceSize, 15);
    TFRMapSelection s;
    s.FindSelection = QStringLiteral("020ABCDEFGHIJKWXYZ");
    s.PlaceSelection = QStringLiteral("ALL");
    s.FindColor = 0x00FF00;
    s.PlaceColor = 0x123456;
    s.FindSize = 5;
    s.PlaceSize = 20;
    s.Save(f.settings.get());
    TFRMapSelection back;
    back.Load(f.settings.get());
    QCOMPARE(back.FindSelection, s.FindSelection);
    QCOMPARE(back.PlaceSelection, s.PlaceSelection);
    QCOMPARE(back.FindColor, s.FindColor);
    QCOMPARE(back.PlaceColor, s.PlaceColor);
    QCOMPARE(back.FindSize, s.FindSize);
    QCOMPARE(back.PlaceSize, s.PlaceSize);
}

void TestMaps::selectionDialog() {
    MapFixture f;
    f.screen->Selection().FindSelection = QStringLiteral("KONSTIGT");
    {
        // A stored choice of no known form checks no find button; "Stäng" keeps a new size.
        TformMapSelection dialog(f.screen);
        dialog.Prepare(nullptr);
        QVERIFY(!dialog.radioNoFinds->isChecked() && !dialog.radioSelectedFinds->isChecked() &&
                !dialog.radioAllFinds->isChecked());
        dialog.trackbarFindMarker->setValue(30);
        QCOMPARE(dialog.trackbarFindMarker->value(), 20);
        dialog.trackbarPlaceMarker->setValue(1);
        QCOMPARE(dialog.trackbarPlaceMarker->value(), 5);
        dialog.btnClose->click();
        QCOMPARE(f.screen->Selection().FindSize, 20);
        QCOMPARE(f.settings->ReadInteger("Maps/PlaceSize"), 5);
        QCOMPARE(f.screen->Selection().FindSelection, QStringLiteral("KONSTIGT"));
    }
    {
        // A species asked for but not chosen: message 71, the dialog stays.
        f.screen->HighlightPlace = QStringLiteral("x");
        TformMapSelection dialog(f.screen);
        dialog.Prepare(nullptr);
        dialog.radioSelectedFinds->setChecked(true);
        dialog.radioAllPlaces->setChecked(true);
        dialog.btnExecuteSelection->click();
        QCOMPARE(f.Messages().last(), QStringLiteral("Felaktigt urval av fyndplatser. Artnamn saknas!"));
        QCOMPARE(dialog.result(), 0);
        QVERIFY(f.screen->HighlightPlace.isEmpty());
        dialog.radioAllFinds->click();
        dialog.btnExecuteSelection->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.screen->Selection().FindSelection, QStringLiteral("ALL"));
        QCOMPARE(f.screen->Selection().PlaceSelection, QStringLiteral("ALL"));
        QCOMPARE(f.settings->ReadString("Maps/FindSelection"), QStringLiteral("ALL"));
    }
    {
        // A stored species key checks its button and shows the key's name.
        f.main->FungiNames.AddUKey(QStringLiteral("Kantarell"), QStringLiteral("020AAAAAAAAAAAAAAA"));
        f.screen->Selection().FindSelection = QStringLiteral("020AAAAAAAAAAAAAAA");
        TformMapSelection dialog(f.screen);
        dialog.Prepare(nullptr);
        QVERIFY(dialog.radioSelectedFinds->isChecked());
        QCOMPARE(dialog.searchFinds->Edit->text(), QStringLiteral("Kantarell"));
        dialog.btnExecuteSelection->click();
        QCOMPARE(f.screen->Selection().FindSelection, QStringLiteral("020AAAAAAAAAAAAAAA"));
    }
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        f.screen->Selection().FindSelection = QStringLiteral("020AAAAAAAAAAAAAAA");
        for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
            f.main->resize(size);
            TformMapSelection dialog(f.screen, f.main.get());
            dialog.Prepare(nullptr);
            dialog.adjustSize();
            const QString suffix = QStringLiteral("_%1x%2.png").arg(size.width()).arg(size.height());
            QVERIFY(dialog.grab().save(testsupport::ArtefactDir() + "/maps_selection" + suffix));
        }
    }
}

void TestMaps::markPlaceOnSampleSheet() {
    MapFixture f;
    const QString sample = testsupport::ProgramDir() + QStringLiteral("/Data/Samples/Kalmarsund.rik");
    QVERIFY2(QFileInfo::exists(sample), qPrintable(sample));
    const QString key = f.Import(sample, QStringLiteral("Kalmarsund"));
    f.AddMapRecord("Grannblad", 50000, 1400000, 6700000, 1450000, 6650000);
    QVERIFY(LocateUKey(f.Maps(), key));
    f.Frame()->UpdateFrame();

    // Double-click the sheet on the overview: its detail page opens.
    const QRect r = OverviewPixelRect(
        f.Maps()->FieldByName("CoordULX")->AsInteger(), f.Maps()->FieldByName("CoordULY")->AsInteger(),
        f.Maps()->FieldByName("CoordLRX")->AsInteger(), f.Maps()->FieldByName("CoordLRY")->AsInteger());
    QTest::mouseDClick(f.Frame()->imageLayer, Qt::LeftButton, {}, r.center());
    QVERIFY(f.Frame()->ShowingDetail());
    QCOMPARE(f.Frame()->CurrentMapUKey(), key);
    QCOMPARE(f.Frame()->StatusText(0), QStringLiteral("Kalmarsund"));

    // A place in edit is marked on the map and comes back with the mark.
    f.places->Activate(QString());
    f.places->PlacesFrame()->sbtnPlaceNew->click();
    TframePlaces* pf = f.places->PlacesFrame();
    QTest::keyClicks(pf->dbeditPlaceName, QStringLiteral("Granskogen"));
    QVERIFY(pf->btnMarkOnMap->isEnabled());
    pf->btnMarkOnMap->click();
    QCOMPARE(ScreenHost()->CurrentScreen(), f.screen);
    TframeMaps* frame = f.Frame();
    QCOMPARE(frame->MarkingMode(), 2);
    QCOMPARE(frame->panelFrameHeader->text(), QStringLiteral("   Karthantering - Markering av nytt svampställe"));
    QVERIFY(frame->panelMarks->isVisible());
    QVERIFY(!frame->sbtnSelection->isEnabled());
    QVERIFY(!ScreenHost()->NavigationEnabled());
    // The place screen left the overview; show the sheet again and press the mark button.
    QVERIFY(LocateUKey(f.Maps(), key));
    const int midX =
        (f.Maps()->FieldByName("CoordULX")->AsInteger() + f.Maps()->FieldByName("CoordLRX")->AsInteger()) / 2;
    const int midY =
        (f.Maps()->FieldByName("CoordULY")->AsInteger() + f.Maps()->FieldByName("CoordLRY")->AsInteger()) / 2;
    frame->ShowMapAt(key, midX, midY);
    frame->sbtnMark->click();
    QVERIFY(frame->MarkingActive());
    QVERIFY(!frame->sbtnDragging->isChecked());
    QCOMPARE(frame->panelMap->Surface()->cursor().shape(), Resources::ScreenCursor(5).shape());
    const QPoint c(150, 120);
    f.Drag(c, c + QPoint(20, -8));
    QCOMPARE(int(f.screen->MapObjs().size()), 1);
    const TFRMapObj mark = f.screen->MapObjs().front();
    const double s = frame->panelMap->Geometry().Sheet().MetresPerPixel;
    QCOMPARE(mark.X, frame->panelMap->PixelToMapX(c.x()));
    QCOMPARE(mark.Y, frame->panelMap->PixelToMapY(c.y()));
    QCOMPARE(mark.HalfH, int(std::nearbyint(20 * s)));
    QCOMPARE(mark.HalfV, int(std::nearbyint(8 * s)));
    // A second drag is refused: one mark at most.
    f.Drag(c, c + QPoint(5, 5));
    QCOMPARE(int(f.screen->MapObjs().size()), 1);

    // Screenshots of the detail page with a place, a find and the pending mark over it.
    f.screen->Selection().PlaceSelection = QStringLiteral("ALL");
    f.screen->Selection().FindSelection = QStringLiteral("ALL");
    TExtClientDataSet* placesTable = f.dm->cdsPlaces;
    TExtClientDataSet& fungi = *f.dm->cdsFungi;
    fungi.Append();
    fungi.FieldByName("SwedishName")->SetAsString(QStringLiteral("Kantarell"));
    fungi.Post();
    f.dm->cdsFungiFinds->Append();
    f.dm->cdsFungiFinds->FieldByName("PositionX")->SetAsInteger(frame->panelMap->PixelToMapX(260));
    f.dm->cdsFungiFinds->FieldByName("PositionY")->SetAsInteger(frame->panelMap->PixelToMapY(200));
    f.dm->cdsFungiFinds->Post();
    Q_UNUSED(placesTable);
    for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.main->resize(size);
        QApplication::processEvents();
        const QString suffix = QStringLiteral("_%1x%2.png").arg(size.width()).arg(size.height());
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/maps_detail" + suffix));
    }
    f.main->resize(800, 600);
    QApplication::processEvents();

    frame->sbtnSaveMarks->click();
    QCOMPARE(ScreenHost()->CurrentScreen(), f.places);
    QCOMPARE(placesTable->State(), TDataSetState::dsInsert);
    QCOMPARE(placesTable->FieldByName("PositionX")->AsInteger(), mark.X);
    QCOMPARE(placesTable->FieldByName("PositionY")->AsInteger(), mark.Y);
    QCOMPARE(placesTable->FieldByName("SizeY")->AsInteger(), mark.HalfH);
    QCOMPARE(placesTable->FieldByName("SizeX")->AsInteger(), mark.HalfV);
    QVERIFY(!f.places->ReturningFromMark);
    // The mark is taken: its flag is no longer drawn on any sheet.
    QVERIFY(f.screen->MapObjs().empty());
    // The place is still in edit, so navigation stays locked until its own save.
    QVERIFY(!ScreenHost()->NavigationEnabled());
    pf = f.places->PlacesFrame();
    placesTable->FieldByName("Province")->SetAsString(QStringLiteral("Småland"));
    pf->btnSave->click();
    QVERIFY2(placesTable->State() == TDataSetState::dsBrowse,
             qPrintable(f.Messages().join('|') + placesTable->FieldByName("PlaceName")->AsString()));
    QVERIFY(ScreenHost()->NavigationEnabled());

    // "Visa på karta" shows the saved place on the coarsest sheet at its position, highlighted.
    QVERIFY(pf->sbtnShowOnMap->isEnabled());
    pf->sbtnShowOnMap->click();
    QCOMPARE(ScreenHost()->CurrentScreen(), f.screen);
    QVERIFY(f.Frame()->ShowingDetail());
    QCOMPARE(f.Frame()->CurrentMapUKey(), key);
    QCOMPARE(f.screen->HighlightPlace, GetUKey(placesTable));
    QCOMPARE(f.Frame()->panelMap->CenterX(), mark.X);
    QVERIFY(f.screen->MapObjs().empty());
    for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.main->resize(size);
        QApplication::processEvents();
        const QString suffix = QStringLiteral("_%1x%2.png").arg(size.width()).arg(size.height());
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/maps_saved_place" + suffix));
    }

    // The overview with several sheets.
    f.Frame()->ShowOverview();
    for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
        f.main->resize(size);
        QApplication::processEvents();
        const QString suffix = QStringLiteral("_%1x%2.png").arg(size.width()).arg(size.height());
        QVERIFY(f.main->grab().save(testsupport::ArtefactDir() + "/maps_overview" + suffix));
    }
}

void TestMaps::findMarkingLimitAndNavigation() {
    MapFixture f;
    const QString key = f.Import(f.WriteSheet(SmallSheet(50000, 2.5f), "mellan.rik"), "Mellan");
    int returned = 0;
    f.screen->OnFindMarksPending = [&returned] { ++returned; };
    QVERIFY(ScreenHost()->NavigationEnabled());
    f.screen->StartMarking(1, 1);
    TframeMaps* frame = f.Frame();
    QCOMPARE(frame->MarkingMode(), 1);
    QVERIFY(!ScreenHost()->NavigationEnabled());
    frame->ShowMapAt(key, 1500500, 6500500);
    frame->sbtnMark->click();
    UIServices::ClearMessageLog();
    QWidget* s = frame->panelMap->Surface();
    QTest::mouseDClick(s, Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(int(f.screen->MapObjs().size()), 1);
    QCOMPARE(f.screen->MapObjs().front().Kind, quint8(0));
    QCOMPARE(f.screen->MapObjs().front().X, frame->panelMap->PixelToMapX(40));
    QTest::mouseDClick(s, Qt::LeftButton, {}, QPoint(60, 60));
    QCOMPARE(int(f.screen->MapObjs().size()), 1);
    QCOMPARE(f.Messages(), QStringList{QStringLiteral("Du kan inte göra fler markeringar!")});
    // A map imported while marking gives back the locked navigation on its save.
    frame->ShowOverview();
    f.Import(f.WriteSheet(SmallSheet(10000, 1), "fin.rik"), "Fin");
    QCOMPARE(f.Maps()->State(), TDataSetState::dsBrowse);
    QVERIFY(!ScreenHost()->NavigationEnabled());
    frame->sbtnCancelMarks->click();
    QVERIFY(f.screen->MapObjs().empty());
    QCOMPARE(returned, 1);
    QCOMPARE(f.screen->MarkingMode(), 0);
    // Navigation comes back as it was when marking started.
    QVERIFY(ScreenHost()->NavigationEnabled());
}

void TestMaps::sampleSheetIsListed() {
    // The program folder of the build lists its sample sheet, with the sheet's own header.
    TClientDataSet table;
    table.LoadFromFile(testsupport::ProgramDir() + QStringLiteral("/Data/Db/Maps.dat"));
    QVERIFY(table.RecordCount() >= 1);
    QVERIFY(table.Locate("UKey", QStringLiteral("110KALMARSUNDSHEET")));
    const QString stored = table.FieldByName("Filename")->AsString();
    TRIKMap reader;
    reader.SetFileName(QDir::isRelativePath(stored) ? testsupport::ProgramDir() + "/" + stored : stored);
    reader.OpenFile();
    reader.ReadHeader();
    reader.CloseFile();
    QCOMPARE(table.FieldByName("Scale")->AsInteger(), reader.ScaleDenominator());
    QCOMPARE(table.FieldByName("CoordULX")->AsInteger(), reader.XMin());
    QCOMPARE(table.FieldByName("CoordULY")->AsInteger(), reader.YMax());
    QCOMPARE(table.FieldByName("CoordLRX")->AsInteger(), reader.XMax());
    QCOMPARE(table.FieldByName("CoordLRY")->AsInteger(), reader.YMin());
    QCOMPARE(table.FieldByName("MapArea")->AsInteger(),
             MapImport::MapArea(reader.XMin(), reader.YMin(), reader.XMax(), reader.YMax()));
    QCOMPARE(table.FieldByName("MeterPerPixelX")->AsFloat(), reader.MetresPerPixel());
    QVERIFY(!table.FieldByName("MapName")->AsString().isEmpty());

    // A program folder laid out now names the sheet relative to itself, so that the folder
    // can be moved. (A folder laid out by an older build keeps the table it has.)
    QTemporaryDir fresh;
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedChannels);
    generator.start(qEnvironmentVariable("MYKO_BUILD_DIR") + "/tools/genmapsheet",
                    {testsupport::SourceDir() + "/data/geo/sweden_outline.txt",
                     fresh.filePath("Data/Samples/Kalmarsund.rik"), fresh.filePath("Data/Db/Maps.dat")});
    QVERIFY(generator.waitForFinished(120000));
    QCOMPARE(generator.exitCode(), 0);
    TClientDataSet generated;
    generated.LoadFromFile(fresh.filePath("Data/Db/Maps.dat"));
    QVERIFY(generated.Locate("UKey", QStringLiteral("110KALMARSUNDSHEET")));
    QCOMPARE(generated.FieldByName("Filename")->AsString(), QStringLiteral("Data/Samples/Kalmarsund.rik"));
}

// A sheet the maps table names relative to the program folder (the shipped sample) is found
// below whatever folder the program runs in: shown, its full path displayed, and not
// imported a second time under its full name.
void TestMaps::sheetStoredRelativeFollowsTheProgramFolder() {
    MapFixture f;
    const QString copy = f.tmp.filePath("Data/Samples/Kalmarsund.rik");
    QVERIFY(QDir().mkpath(QFileInfo(copy).absolutePath()));
    QVERIFY(QFile::copy(testsupport::ProgramDir() + QStringLiteral("/Data/Samples/Kalmarsund.rik"), copy));
    const QString key = f.Import(copy, QStringLiteral("Kalmarsund"));
    QVERIFY(LocateUKey(f.Maps(), key));
    f.Maps()->Edit();
    f.Maps()->FieldByName("Filename")->SetAsString("Data/Samples/Kalmarsund.rik");
    f.Maps()->Post();
    f.Frame()->UpdateFrame();
    QCOMPARE(f.Frame()->lblFilename->text(), QDir::toNativeSeparators(copy));
    const int x = (f.Maps()->FieldByName("CoordULX")->AsInteger() + f.Maps()->FieldByName("CoordLRX")->AsInteger()) / 2;
    const int y = (f.Maps()->FieldByName("CoordULY")->AsInteger() + f.Maps()->FieldByName("CoordLRY")->AsInteger()) / 2;
    f.Frame()->ShowMapAt(key, x, y);
    QVERIFY(f.Frame()->ShowingDetail());
    QCOMPARE(f.Frame()->panelMap->RIKMap().FileName(), copy);
    QVERIFY(f.Frame()->panelMap->RIKMap().Active());
    QCOMPARE(testsupport::ExceptionText([&] { f.Frame()->ImportMapFile(copy); }),
             QStringLiteral("Den valda kartan är redan importerad!"));
}

void TestMaps::deleteAsksAndKeepsTheFile() {
    MapFixture f;
    const QString path = f.WriteSheet(SmallSheet(10000, 1), "prov.rik");
    f.Import(path, "Provblad");
    QList<UIServices::TShownMessage> asked;
    TMsgResult answer = TMsgResult::No;
    f.ui.Messages([&](const UIServices::TShownMessage& m) {
        asked << m;
        return answer;
    });
    f.Frame()->sbtnDeleteMap->click();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().Caption, QStringLiteral("Mykotekshallen - Varning"));
    QCOMPARE(asked.first().Text,
             QStringLiteral("Du är på väg att radera den importerade kartan \"Provblad\". Skall "
                            "raderingen genomföras?\n\nOBS! Kartfilen kommer inte att raderas, "
                            "endast Mykotekshallen"));
    QCOMPARE(f.Maps()->RecordCount(), 1);
    answer = TMsgResult::Yes;
    f.Frame()->sbtnDeleteMap->click();
    QVERIFY(f.Maps()->IsEmpty());
    QCOMPARE(f.Frame()->listboxMaps->count(), 0);
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(!f.Frame()->sbtnDeleteMap->isEnabled());
}

void TestMaps::doubleClickOnPlaceOpensIt() {
    MapFixture f;
    const QString key = f.Import(f.WriteSheet(SmallSheet(50000, 2.5f), "mellan.rik"), "Mellan");
    TExtClientDataSet* places = f.dm->cdsPlaces;
    places->Append();
    places->FieldByName("PlaceName")->SetAsString(QStringLiteral("Bokskogen"));
    places->FieldByName("PositionX")->SetAsInteger(1500500);
    places->FieldByName("PositionY")->SetAsInteger(6500500);
    places->FieldByName("CreatedBy")->SetAsString(GetCurrentUserContactUKey());
    places->Post();
    const QString place = GetUKey(places);
    f.screen->Selection().PlaceSelection = QStringLiteral("ALL");
    f.Frame()->ShowMapAt(key, 1500500, 6500500);
    QWidget* s = f.Frame()->panelMap->Surface();
    s->repaint();
    const QPoint at(f.Frame()->panelMap->MapXToPixel(1500500), f.Frame()->panelMap->MapYToPixel(6500500));
    QTest::mouseMove(s, at);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), s->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(s, &move);
    QCOMPARE(f.Frame()->StatusText(2), QStringLiteral("   Svampställe: Bokskogen"));
    QCOMPARE(f.Frame()->StatusText(1),
             QStringLiteral("X=%1, Y=%2")
                 .arg(f.Frame()->panelMap->PixelToMapX(at.x()))
                 .arg(f.Frame()->panelMap->PixelToMapY(at.y())));
    const int before = History()->Count();
    QTest::mouseDClick(s, Qt::LeftButton, {}, at);
    QCOMPARE(ScreenHost()->CurrentScreen(), f.places);
    QCOMPARE(GetUKey(places), place);
    QCOMPARE(History()->Count(), before + 1);
    QCOMPARE(History()->GetItem(History()->Count() - 1)->Title, QStringLiteral("Till Karthantering"));
}

QTEST_MAIN(TestMaps)
#include "tst_maps.moc"
