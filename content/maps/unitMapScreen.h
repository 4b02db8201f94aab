#pragma once
// The maps screen: the user's imported land survey map sheets, shown on an overview of Sweden
// and one at a time in the map view. Other screens hand it the showing of finds and places
// and the marking of new find positions (flags) or of a place's area (an ellipse).
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <vector>

#include "shell/FRScreens.h"
#include "shell/ScreenRequests.h"

class TClientDataSet;
class TDM;
class TFRIniFile;
class TframeMaps;

// What the detail map draws over the sheet, kept in the user's settings.
struct TFRMapSelection {
    QString FindSelection = QStringLiteral("NONE");  // "NONE", "ALL" or a species key
    QString PlaceSelection = QStringLiteral("NONE");  // "NONE" or "ALL"
    int FindColor = 255;
    int PlaceColor = 255;
    int FindSize = 15;
    int PlaceSize = 15;
    void Load(TFRIniFile* settings);
    void Save(TFRIniFile* settings) const;
};

// The import's pieces that do not need a screen.
namespace MapImport {
// The name from the presets: first an exact upper-case file name (without folder), then the
// first preset whose every ";" piece, upper-cased, occurs in the title. Empty without a match.
QString PresetName(TClientDataSet* presets, const QString& fileName, const QString& title);
// The square kilometres of a sheet, each side truncated to whole kilometres.
int MapArea(qint32 xMin, qint32 yMin, qint32 xMax, qint32 yMax);
// Whether two stored file names name the same file: by text (letter case ignored) or by
// canonical path.
bool SameMapFile(const QString& a, const QString& b);
}  // namespace MapImport

// The overview picture's pixel range of a sheet (right and bottom included).
QRect OverviewPixelRect(qint32 ulx, qint32 uly, qint32 lrx, qint32 lry);

class TFRMapScreen : public TFRMainScreen, public TMapRequests {
    Q_OBJECT
public:
    explicit TFRMapScreen(QObject* owner);
    ~TFRMapScreen() override;

    void Initialize() override;
    void CreateFrame() override;
    void Activate(const QString& params) override;
    TframeMaps* MapsFrame() const;
    TDM* DM() const { return m_dm; }

    // ---- Services of the other screens ----
    void ShowFindOnMap(const QString& findUKey, const QString& mapUKey);
    void ShowPlaceOnMap(const QString& placeUKey, const QString& mapUKey) override;
    // Mode 0 the most detailed sheet containing the point, mode 1 the coarsest; the earlier
    // record on ties. Empty when no sheet contains it.
    void FindMapForPoint(qint32 x, qint32 y, QString& mapUKey, int mode) override;
    // Mode 1 find flags, mode 2 one place ellipse; maxMarks 0 means no limit.
    void StartMarking(int mode, int maxMarks) override;
    void FinishMarking();
    void CancelMarking();
    // The rectangle of the current map record: left ULX, top LRY, right LRX, bottom ULY.
    QRect GetMapRect() const;
    static QRect GetMapRect(TClientDataSet* maps);
    static bool MapContains(const QRect& rect, qint32 x, qint32 y);

    TFRMapObjs& MapObjs() override { return m_marks; }
    TFRMapSelection& Selection() { return m_selection; }
    int MarkingMode() const { return m_markingMode; }
    QString HighlightPlace;
    QString HighlightFind;

    // The hook by which the finds screen learns of returning marks (it sets its own flag).
    std::function<void()> OnFindMarksPending;
    // How a find mark double-clicked on the map is opened (by the finds screen): species and find key.
    std::function<void(const QString& masterUKey, const QString& findUKey)> OnOpenFind;

private:
    void ReturnFromMarking();
    TDM* m_dm = nullptr;
    TFRMapObjs m_marks;
    TFRMapSelection m_selection;
    int m_markingMode = 0;
    int m_pendingMode = -1;
    int m_pendingMax = 0;
    bool m_navigationAtStart = true;
};

// The one maps screen, while it exists.
extern QPointer<TFRMapScreen> FRMapScreen;
TFRMainScreen* CreateMapScreen(QObject* owner);
void RegisterMapScreen();
