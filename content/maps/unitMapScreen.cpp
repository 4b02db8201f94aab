#include "content/maps/unitMapScreen.h"

#include <QFileInfo>

#include "content/species/unitFrameFungiFinds.h"
#include "content/maps/unitFrameMaps.h"
#include "content/species/unitFungiScreen.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FRGraphics.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"

QPointer<TFRMapScreen> FRMapScreen;

// ---- TFRMapSelection ----

void TFRMapSelection::Load(TFRIniFile* settings) {
    if (!settings) return;
    FindSelection = settings->ReadString(QStringLiteral("Maps/FindSelection"));
    PlaceSelection = settings->ReadString(QStringLiteral("Maps/PlaceSelection"));
    FindColor = settings->ReadInteger(QStringLiteral("Maps/FindColor"));
    PlaceColor = settings->ReadInteger(QStringLiteral("Maps/PlaceColor"));
    FindSize = settings->ReadInteger(QStringLiteral("Maps/FindSize"));
    PlaceSize = settings->ReadInteger(QStringLiteral("Maps/PlaceSize"));
}

void TFRMapSelection::Save(TFRIniFile* settings) const {
    if (!settings) return;
    settings->WriteString(QStringLiteral("Maps/FindSelection"), FindSelection);
    settings->WriteString(QStringLiteral("Maps/PlaceSelection"), PlaceSelection);
    settings->WriteInteger(QStringLiteral("Maps/FindColor"), FindColor);
    settings->WriteInteger(QStringLiteral("Maps/PlaceColor"), PlaceColor);
    settings->WriteInteger(QStringLiteral("Maps/FindSize"), FindSize);
    settings->WriteInteger(QStringLiteral("Maps/PlaceSize"), PlaceSize);
}

// ---- Import helpers ----

namespace MapImport {

QString PresetName(TClientDataSet* presets, const QString& fileName, const QString& title) {
    if (!presets || !presets->Active()) return QString();
    const int normal = presets->FieldByName(QStringLiteral("NormalFilename"))->Index();
    const int match = presets->FieldByName(QStringLiteral("MatchStrings"))->Index();
    const int name = presets->FieldByName(QStringLiteral("PresetName"))->Index();
    const int count = presets->RecordCount();
    // Compared in code: a file name is never pasted into a selection.
    const QString upper = QFileInfo(fileName).fileName().toUpper();
    for (int row = 0; row < count; ++row)
        if (presets->RecordValue(row, normal).toString() == upper) return presets->RecordValue(row, name).toString();
    for (int row = 0; row < count; ++row) {
        const QString pieces = presets->RecordValue(row, match).toString();
        if (pieces.isEmpty()) continue;
        bool all = true;
        for (const QString& piece : pieces.split(QLatin1Char(';')))
            if (!title.contains(piece.toUpper(), Qt::CaseSensitive)) {
                all = false;
                break;
            }
        if (all) return presets->RecordValue(row, name).toString();
    }
    return QString();
}

int MapArea(qint32 xMin, qint32 yMin, qint32 xMax, qint32 yMax) {
    const qint64 w = (qint64(xMax) - xMin) / 1000;
    const qint64 h = (qint64(yMax) - yMin) / 1000;
    const qint64 area = w * h;
    return area > INT32_MAX ? INT32_MAX : int(area);
}

bool SameMapFile(const QString& a, const QString& b) {
    if (a.compare(b, Qt::CaseInsensitive) == 0) return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

}  // namespace MapImport

QRect OverviewPixelRect(qint32 ulx, qint32 uly, qint32 lrx, qint32 lry) {
    const double s = SwedenOverview::MetresPerPixel;
    const int left = Round((double(ulx) - SwedenOverview::West) / s);
    const int right = Round((double(lrx) - SwedenOverview::West) / s);
    const int top = Round((double(SwedenOverview::North) - uly) / s);
    const int bottom = Round((double(SwedenOverview::North) - lry) / s);
    QRect r;
    r.setCoords(left, top, right, bottom);
    return r;
}

// ---- TFRMapScreen ----

TFRMapScreen::TFRMapScreen(QObject* owner) : TFRMainScreen(owner) {
    m_dm = UsersDM();
    SetDataSet(m_dm->cdsMaps);
    FRMapScreen = this;
    ScreenRequests::SetMaps(this);
}

TFRMapScreen::~TFRMapScreen() {
    if (ScreenRequests::Maps() == this) ScreenRequests::SetMaps(nullptr);
    if (TFRFrameBase* frame = Frame()) TFRFrameBase::Free(frame);
}

void TFRMapScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Karthantering"));
    MenuButton()->setToolTip(QStringLiteral(
        "Importera Lantmäteriets kartor i Mykotekshallen för visning och markering av svampställen och fyndplatser!"));
    TFRMainScreen::Initialize();
}

void TFRMapScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeMaps>(this));
}

TframeMaps* TFRMapScreen::MapsFrame() const { return qobject_cast<TframeMaps*>(Frame()); }

void TFRMapScreen::Activate(const QString& params) {
    TFRMainScreen::Activate(params);
    // The frame's settings clear its marking state; the mode asked for is handed over after.
    if (m_pendingMode >= 0) {
        const int mode = m_pendingMode;
        m_pendingMode = -1;
        if (TframeMaps* frame = MapsFrame()) frame->SetMarking(mode, m_pendingMax);
    }
}

QRect TFRMapScreen::GetMapRect(TClientDataSet* maps) {
    QRect r;
    r.setCoords(maps->FieldByName(QStringLiteral("CoordULX"))->AsInteger(),
                maps->FieldByName(QStringLiteral("CoordLRY"))->AsInteger(),
                maps->FieldByName(QStringLiteral("CoordLRX"))->AsInteger(),
                maps->FieldByName(QStringLiteral("CoordULY"))->AsInteger());
    return r;
}

QRect TFRMapScreen::GetMapRect() const { return GetMapRect(m_dm->cdsMaps); }

bool TFRMapScreen::MapContains(const QRect& rect, qint32 x, qint32 y) {
    return rect.left() <= x && x < rect.right() && rect.top() <= y && y < rect.bottom();
}

void TFRMapScreen::FindMapForPoint(qint32 x, qint32 y, QString& mapUKey, int mode) {
    mapUKey.clear();
    TClientDataSet* maps = m_dm->cdsMaps;
    if (!maps->Active()) return;
    auto col = [maps](const char* name) { return maps->FieldByName(QLatin1String(name))->Index(); };
    const int ulx = col("CoordULX"), uly = col("CoordULY"), lrx = col("CoordLRX"), lry = col("CoordLRY");
    const int scale = col("Scale"), ukey = col("UKey");
    // Walked by row, so the table's position never moves.
    qint64 best = mode == 0 ? 1000000000LL : 0;
    for (int row = 0; row < maps->RecordCount(); ++row) {
        QRect r;
        r.setCoords(maps->RecordValue(row, ulx).toInt(), maps->RecordValue(row, lry).toInt(),
                    maps->RecordValue(row, lrx).toInt(), maps->RecordValue(row, uly).toInt());
        if (!MapContains(r, x, y)) continue;
        const qint64 s = maps->RecordValue(row, scale).toLongLong();
        if (mode == 0 ? s < best : s > best) {
            best = s;
            mapUKey = maps->RecordValue(row, ukey).toString();
        }
    }
}

void TFRMapScreen::ShowFindOnMap(const QString& findUKey, const QString& mapUKey) {
    // A cursor of its own: the finds table stays with its species.
    TClientDataSet finds;
    finds.CloneCursor(m_dm->cdsFungiFinds);
    if (!finds.Locate(QStringLiteral("UKey"), findUKey)) return;
    const int x = finds.FieldByName(QStringLiteral("PositionX"))->AsInteger();
    const int y = finds.FieldByName(QStringLiteral("PositionY"))->AsInteger();
    Activate(QString());
    HighlightFind = findUKey;
    HighlightPlace.clear();
    if (TframeMaps* frame = MapsFrame()) frame->ShowMapAt(mapUKey, x, y);
}

void TFRMapScreen::ShowPlaceOnMap(const QString& placeUKey, const QString& mapUKey) {
    TClientDataSet places;
    places.CloneCursor(m_dm->cdsPlaces);
    if (!places.Locate(QStringLiteral("UKey"), placeUKey)) return;
    const int x = places.FieldByName(QStringLiteral("PositionX"))->AsInteger();
    const int y = places.FieldByName(QStringLiteral("PositionY"))->AsInteger();
    Activate(QString());
    HighlightPlace = placeUKey;
    HighlightFind.clear();
    if (TframeMaps* frame = MapsFrame()) frame->ShowMapAt(mapUKey, x, y);
}

void TFRMapScreen::StartMarking(int mode, int maxMarks) {
    m_navigationAtStart = !ScreenHost() || ScreenHost()->NavigationEnabled();
    m_marks.clear();
    m_markingMode = mode;
    m_pendingMode = mode;
    m_pendingMax = maxMarks;
    // The user leaves marking through its own buttons.
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(false);
    Activate(QString());
}

void TFRMapScreen::ReturnFromMarking() {
    const int mode = m_markingMode;
    m_markingMode = 0;
    if (TframeMaps* frame = MapsFrame()) frame->SetMarking(0, 0);
    if (mode == 2 && FRPlaceScreen) {
        FRPlaceScreen->ReturningFromMark = true;
        FRPlaceScreen->Activate(QString());
    } else if (mode == 1 && OnFindMarksPending) {
        OnFindMarksPending();
    }
    // A record still in edit at the start keeps navigation locked until its own save or cancel.
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(m_navigationAtStart);
}

void TFRMapScreen::FinishMarking() { ReturnFromMarking(); }

void TFRMapScreen::CancelMarking() {
    m_marks.clear();
    ReturnFromMarking();
}

TFRMainScreen* CreateMapScreen(QObject* owner) { return TFRScreen::Create<TFRMapScreen>(owner); }

void RegisterMapScreen() {
    TformFRMain::RegisterScreenFactory(ssMap, [](TformFRMain* owner) {
        TFRMainScreen* screen = CreateMapScreen(owner);
        // A find flag double-clicked on the map opens that find on the species screen.
        if (auto* maps = qobject_cast<TFRMapScreen*>(screen))
            maps->OnOpenFind = [](const QString& fungiKey, const QString& findKey) {
                if (FRFungiScreen) FRFungiScreen->ShowFungiFind(fungiKey, findKey);
            };
        return screen;
    });
    // The finds of a species reach the maps through these services (search mode 1: the coarsest
    // sheet holding the point; marking mode 1: at most one flag).
    FindMapForPoint = [](int x, int y) {
        if (!FRMapScreen) return false;
        QString map;
        FRMapScreen->FindMapForPoint(x, y, map, 1);
        return !map.isEmpty();
    };
    ShowFindOnMap = [](const QString& findUKey, int x, int y) {
        if (!FRMapScreen) return;
        QString map;
        FRMapScreen->FindMapForPoint(x, y, map, 1);
        if (!map.isEmpty()) FRMapScreen->ShowFindOnMap(findUKey, map);
    };
    StartFindMarking = [](const QString&) {
        if (!FRMapScreen) return;
        FRMapScreen->OnFindMarksPending = [] {
            if (!FRFungiScreen || !FRFungiScreen->FindDetailScreen) return;
            FRFungiScreen->FindDetailScreen->MarkPending = true;
            // Back to the find itself, still in edit: the species screen alone would reopen
            // its list of finds and leave the find hidden in the middle of its input.
            FRFungiScreen->Activate(QString());
            FRFungiScreen->FindDetailScreen->Activate(QString());
        };
        FRMapScreen->StartMarking(1, 1);
    };
    FindMapMarks = [] {
        QList<QPoint> marks;
        if (FRMapScreen)
            for (const TFRMapObj& mark : FRMapScreen->MapObjs()) marks.append(QPoint(mark.X, mark.Y));
        return marks;
    };
}

#include "moc_unitMapScreen.cpp"
