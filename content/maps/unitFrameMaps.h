#pragma once
// The maps frame: the overview of Sweden with the imported sheets, their list and the edit
// panel, and the detail page with one sheet in the map view, finds, places and pending marks
// drawn over it.
#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "content/maps/unitMapScreen.h"
#include "shell/FRScreens.h"

class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TClientDataSet;
class TExtClientDataSet;
class TFRDBEdit;
class TFRMapPanel;
class TMapViewGeometry;

// An area mark from the press and release pixels of a drag on the map view.
TFRMapObj AreaMarkFromDrag(const TMapViewGeometry& geometry, QPoint press, QPoint release);

// The overview picture: shows the layer image at its own pixels and reports clicks.
class TMapOverviewImage : public QWidget {
    Q_OBJECT
public:
    explicit TMapOverviewImage(QWidget* parent = nullptr);
    void SetImage(const QImage& image);
    const QImage& Image() const { return m_image; }
    QSize sizeHint() const override { return m_image.size(); }
    QSize minimumSizeHint() const override { return m_image.size(); }
    std::function<void(QPoint)> OnClick;
    std::function<void(QPoint)> OnDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage m_image;
};

class TframeMaps : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframeMaps(TFRMapScreen* screen, QWidget* parent = nullptr);
    ~TframeMaps() override;

    void InitFrame() override;
    void LoadSettings() override;
    void SaveSettings() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;
    void UpdateFrame() override;
    void UpdateButtons() override;

    // The import of a map file chosen in the open dialog.
    void ImportMap();
    void ImportMapFile(const QString& fileName);
    void EditMap();
    void DeleteMap();
    void SaveMap();
    void CancelMap();
    // Shows the map with the key centred on the point, on the detail page.
    void ShowMapAt(const QString& mapUKey, qint32 x, qint32 y);
    void ShowOverview();
    // Chooses a map at the point: in true for "in", false for "up".
    void ChooseMapAt(qint32 x, qint32 y, bool in);
    // The marking mode handed over by the screen (0 ends marking) and the limit.
    void SetMarking(int mode, int maxMarks);
    void OpenSelection();

    bool ShowingDetail() const { return m_showingDetail; }
    bool MarkingActive() const;
    int MarkingMode() const { return m_markingMode; }
    bool Autozoom() const { return m_autozoom; }
    QString CurrentMapUKey() const { return m_mapUKey; }
    // The overview's pixel to RT90 metres.
    static QPoint OverviewToMap(QPoint pixel);
    // Overview: the map whose centre is nearest the point becomes current.
    void SelectNearestMap(QPoint pixel);
    // The record numbers of the maps in drawing order: larger areas first, ties in table order.
    QList<int> DrawingOrder() const { return m_order; }
    void RebuildList();
    void PaintOverview();
    QString StatusText(int panel) const;

    // Controls, by their names.
    QToolButton* sbtnNewMap = nullptr;
    QToolButton* sbtnEditMap = nullptr;
    QToolButton* sbtnDeleteMap = nullptr;
    QToolButton* sbtnAutoZoom = nullptr;
    QToolButton* sbtnBack = nullptr;
    QToolButton* sbtnDragging = nullptr;
    QToolButton* sbtnMark = nullptr;
    QToolButton* sbtnPrevMap = nullptr;
    QToolButton* sbtnSelection = nullptr;
    QToolButton* sbtnDeleteMarks = nullptr;
    QToolButton* sbtnSaveMarks = nullptr;
    QToolButton* sbtnCancelMarks = nullptr;
    QWidget* panelMarks = nullptr;
    QLabel* lblMarkingInfo = nullptr;
    QStackedWidget* pagesMaps = nullptr;
    QListWidget* listboxMaps = nullptr;
    TMapOverviewImage* imageLayer = nullptr;
    QWidget* panelDetails = nullptr;
    TFRDBEdit* dbeditMapName = nullptr;
    QLabel* lblFilename = nullptr;
    QLabel* lblScale = nullptr;
    QLabel* lblWest = nullptr;
    QLabel* lblNorth = nullptr;
    QLabel* lblEast = nullptr;
    QLabel* lblSouth = nullptr;
    QLabel* lblResX = nullptr;
    QLabel* lblResY = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    TFRMapPanel* panelMap = nullptr;
    QWidget* statusbarDetail = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TExtClientDataSet* Maps() const;
    bool Editing() const;
    void SetPage(bool detail);
    void UpdateCursor();
    void PanOrMarkClicked(QToolButton* button);
    void PaintLayer(QPainter& canvas);
    void PaintFinds(QPainter& canvas, double s);
    void PaintPlaces(QPainter& canvas, double s);
    void PaintMarks(QPainter& canvas, double s);
    void DetailDoubleClick();
    void SurfacePress(QPoint pixel);
    void SurfaceMove(QPoint pixel, Qt::MouseButtons buttons);
    void SurfaceRelease(QPoint pixel);
    void SetStatus(int panel, const QString& text);
    void ShowDetails();
    void LockNavigation();
    void UnlockNavigation();

    TFRMapScreen* m_screen;
    bool m_showingDetail = false;
    int m_markingMode = 0;
    int m_maxMarks = 0;
    bool m_autozoom = true;
    bool m_filling = false;
    bool m_navigationBeforeEdit = true;
    QString m_mapUKey;
    QString m_mapName;
    int m_mapScale = 0;
    QPoint m_lastClick;  // map metres
    QPoint m_lastPixel;  // surface pixels
    QString m_currentTag;
    bool m_drawingEllipse = false;
    QPoint m_ellipseCentre;
    QPoint m_ellipseHalf;
    QImage m_base;
    QImage m_flag;
    QList<int> m_order;  // record numbers (1-based) in drawing order
    QLabel* m_status[3] = {nullptr, nullptr, nullptr};
};
