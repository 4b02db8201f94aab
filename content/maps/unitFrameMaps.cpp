#include "content/maps/unitFrameMaps.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "content/maps/unitMapSelection.h"
#include "content/places/unitPlaceScreen.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "controls/FRLabel.h"
#include "controls/FRMapPanel.h"
#include "controls/FRRIKMap.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/DataLink.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"

namespace {

// A sheet's file as the maps table stores it: a full path, or (the program's own sample
// sheet) a path relative to the program folder, so that a moved program folder keeps it.
QString MapFileOf(const QString& stored) {
    if (stored.isEmpty() || !QDir::isRelativePath(stored)) return stored;
    return QDir::cleanPath(GetProgramFolder() + stored);
}

const QString kInfoCaption = QStringLiteral("Mykotekshallen - Information");
const QString kWarningCaption = QStringLiteral("Mykotekshallen - Varning");
const QString kAlreadyImported = QStringLiteral("Den valda kartan är redan importerad!");
const QString kNameMissing = QStringLiteral("Kartnamn saknas!");
const QString kNoFinerMap = QStringLiteral("Den visade kartan är den mest detaljerade över det valda området!");
const QString kNoMapAtPoint = QStringLiteral("Det finns ingen karta som täcker punkten Du klickade på!");
const QString kNoMoreMarks = QStringLiteral("Du kan inte göra fler markeringar!");
const QColor kHighlight(0x00, 0xFF, 0x00);

QToolButton* ToolButton(const QString& text, const char* name, QWidget* parent, bool checkable = false) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setCheckable(checkable);
    return button;
}

QPushButton* PushButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QLabel* ValueLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFrameShape(QFrame::StyledPanel);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(80);
    return label;
}

TFRIniFile* Settings() { return UsersSettings(); }

QString OpenFailedText(const QString& mapName) {
    return QStringLiteral("Fel vid öppning av kartfil \"%1\". Kontrollera att filen finns i sökvägen!").arg(mapName);
}

// The blend of a filled rectangle: halfway from the base to the colour, rounded half to even.
int Blend(int base, int colour) { return base + Round((colour - base) * (1.0 - 50.0 / 100.0)); }

void PaintOverviewRect(QImage& layer, const QImage& base, const QRect& r, const QColor& colour, bool filled) {
    // Only the part on the picture is walked: a sheet's edges come from a file.
    const int x0 = std::max(r.left(), 0), x1 = std::min(r.right(), layer.width() - 1);
    const int y0 = std::max(r.top(), 0), y1 = std::min(r.bottom(), layer.height() - 1);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const bool border = x == r.left() || x == r.right() || y == r.top() || y == r.bottom();
            if (border) {
                layer.setPixelColor(x, y, colour);
            } else if (filled) {
                const QColor b = base.pixelColor(x, y);
                layer.setPixelColor(x, y,
                                    QColor(Blend(b.red(), colour.red()), Blend(b.green(), colour.green()),
                                           Blend(b.blue(), colour.blue())));
            }
        }
    }
}

}  // namespace

TFRMapObj AreaMarkFromDrag(const TMapViewGeometry& geometry, QPoint press, QPoint release) {
    TFRMapObj mark;
    mark.Kind = 1;
    mark.X = geometry.PixelToMapX(press.x());
    mark.Y = geometry.PixelToMapY(press.y());
    const double s = geometry.Sheet().MetresPerPixel;
    mark.HalfH = Round(std::abs(release.x() - press.x()) * s);
    mark.HalfV = Round(std::abs(release.y() - press.y()) * s);
    return mark;
}

// ---- TMapOverviewImage ----

TMapOverviewImage::TMapOverviewImage(QWidget* parent) : QWidget(parent) {}

void TMapOverviewImage::SetImage(const QImage& image) {
    const bool resized = image.size() != m_image.size();
    m_image = image;
    if (resized) updateGeometry();
    update();
}

void TMapOverviewImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void TMapOverviewImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnClick) Guarded([&] { OnClick(event->position().toPoint()); });
}

void TMapOverviewImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnDoubleClick)
        Guarded([&] { OnDoubleClick(event->position().toPoint()); });
}

// ---- TframeMaps ----

TframeMaps::TframeMaps(TFRMapScreen* screen, QWidget* parent) : TFRFrameBase(parent), m_screen(screen) {
    setObjectName(QStringLiteral("frameMaps"));
}

TframeMaps::~TframeMaps() = default;

TExtClientDataSet* TframeMaps::Maps() const { return m_screen->DM()->cdsMaps; }

bool TframeMaps::Editing() const {
    const TDataSetState state = Maps()->State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

void TframeMaps::InitFrame() {
    panelFrameHeader->setText(QStringLiteral("   Karthantering"));

    // The tool bar: the overview's buttons, the detail page's buttons and the marks panel.
    auto* tools = new QHBoxLayout;
    tools->setSpacing(2);
    sbtnNewMap = ToolButton(QStringLiteral("Importera ny karta"), "sbtnNewMap", this);
    sbtnEditMap = ToolButton(QStringLiteral("Ändra markerad karta"), "sbtnEditMap", this);
    sbtnDeleteMap = ToolButton(QStringLiteral("Radera markerad karta"), "sbtnDeleteMap", this);
    sbtnAutoZoom = ToolButton(QStringLiteral("Autozoom"), "sbtnAutoZoom", this, true);
    sbtnBack = ToolButton(QStringLiteral("Översikt"), "sbtnBack", this);
    sbtnDragging = ToolButton(QStringLiteral("Panorera kartvyn"), "sbtnDragging", this, true);
    sbtnPrevMap = ToolButton(QStringLiteral("Uppåt"), "sbtnPrevMap", this);
    sbtnPrevMap->setToolTip(QStringLiteral("Visa närmast grövre karta vid vyns mitt"));
    sbtnSelection = ToolButton(QStringLiteral("Urval"), "sbtnSelection", this);
    sbtnSelection->setToolTip(QStringLiteral("Välj vilka fyndplatser och svampställen som visas"));
    for (QToolButton* b :
         {sbtnNewMap, sbtnEditMap, sbtnDeleteMap, sbtnAutoZoom, sbtnBack, sbtnDragging, sbtnPrevMap, sbtnSelection})
        tools->addWidget(b);
    panelMarks = new QWidget(this);
    panelMarks->setObjectName(QStringLiteral("panelMarks"));
    auto* marks = new QHBoxLayout(panelMarks);
    marks->setContentsMargins(0, 0, 0, 0);
    marks->setSpacing(2);
    sbtnMark = ToolButton(QStringLiteral("Markera svampställe eller fyndplats"), "sbtnMark", panelMarks, true);
    sbtnDeleteMarks = ToolButton(QStringLiteral("Radera nya markeringar"), "sbtnDeleteMarks", panelMarks);
    sbtnSaveMarks = ToolButton(QStringLiteral("Spara"), "sbtnSaveMarks", panelMarks);
    sbtnCancelMarks = ToolButton(QStringLiteral("Avbryt"), "sbtnCancelMarks", panelMarks);
    for (QToolButton* b : {sbtnMark, sbtnDeleteMarks, sbtnSaveMarks, sbtnCancelMarks}) marks->addWidget(b);
    marks->addStretch(1);
    tools->addStretch(1);
    BodyLayout()->addLayout(tools);
    // A row of its own, so the long captions fit a small window.
    BodyLayout()->addWidget(panelMarks);

    lblMarkingInfo = new QLabel(this);
    lblMarkingInfo->setObjectName(QStringLiteral("lblMarkingInfo"));
    lblMarkingInfo->setWordWrap(true);
    lblMarkingInfo->setStyleSheet(QStringLiteral("QLabel { background: #FFFFE0; padding: 4px; }"));
    BodyLayout()->addWidget(lblMarkingInfo);

    pagesMaps = new QStackedWidget(this);
    pagesMaps->setObjectName(QStringLiteral("pagesMaps"));
    BodyLayout()->addWidget(pagesMaps, 1);

    // Overview: the picture of Sweden, the list of sheets or the edit panel in its place.
    auto* overview = new QWidget(pagesMaps);
    overview->setObjectName(QStringLiteral("tabsOverview"));
    auto* ol = new QHBoxLayout(overview);
    imageLayer = new TMapOverviewImage(overview);
    imageLayer->setObjectName(QStringLiteral("imageLayer"));
    imageLayer->setCursor(Qt::CrossCursor);
    ol->addWidget(imageLayer, 0, Qt::AlignTop);
    auto* right = new QVBoxLayout;
    ol->addLayout(right, 1);
    listboxMaps = new QListWidget(overview);
    listboxMaps->setObjectName(QStringLiteral("listboxMaps"));
    right->addWidget(listboxMaps, 1);
    panelDetails = new QWidget(overview);
    panelDetails->setObjectName(QStringLiteral("panelDetails"));
    auto* grid = new QGridLayout(panelDetails);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    dbeditMapName = new TFRDBEdit(panelDetails);
    dbeditMapName->setObjectName(QStringLiteral("dbeditMapName"));
    dbeditMapName->SetDataSource(m_screen->DM()->dsMaps);
    dbeditMapName->SetDataField(QStringLiteral("MapName"));
    dbeditMapName->setMaxLength(40);
    grid->addWidget(new TFRLabel(QStringLiteral("Kartnamn:"), panelDetails), row, 0);
    grid->addWidget(dbeditMapName, row++, 1, 1, 3);
    lblFilename = ValueLabel("lblFilename", panelDetails);
    lblFilename->setWordWrap(true);
    grid->addWidget(new TFRLabel(QStringLiteral("Kartfil:"), panelDetails), row, 0);
    grid->addWidget(lblFilename, row++, 1, 1, 3);
    lblScale = ValueLabel("lblScale", panelDetails);
    grid->addWidget(new TFRLabel(QStringLiteral("Skala:"), panelDetails), row, 0);
    grid->addWidget(lblScale, row++, 1);
    lblWest = ValueLabel("lblWest", panelDetails);
    lblEast = ValueLabel("lblEast", panelDetails);
    lblNorth = ValueLabel("lblNorth", panelDetails);
    lblSouth = ValueLabel("lblSouth", panelDetails);
    grid->addWidget(new TFRLabel(QStringLiteral("Västgräns (RT90):"), panelDetails), row, 0);
    grid->addWidget(lblWest, row, 1);
    grid->addWidget(new TFRLabel(QStringLiteral("Östgräns (RT90):"), panelDetails), row, 2);
    grid->addWidget(lblEast, row++, 3);
    grid->addWidget(new TFRLabel(QStringLiteral("Nordgräns (RT90):"), panelDetails), row, 0);
    grid->addWidget(lblNorth, row, 1);
    grid->addWidget(new TFRLabel(QStringLiteral("Sydgräns (RT90):"), panelDetails), row, 2);
    grid->addWidget(lblSouth, row++, 3);
    lblResX = ValueLabel("lblResX", panelDetails);
    lblResY = ValueLabel("lblResY", panelDetails);
    grid->addWidget(new TFRLabel(QStringLiteral("Upplösning öst-väst:"), panelDetails), row, 0);
    grid->addWidget(lblResX, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("meter / bildpunkt"), panelDetails), row++, 2, 1, 2);
    grid->addWidget(new TFRLabel(QStringLiteral("Upplösning nord-syd:"), panelDetails), row, 0);
    grid->addWidget(lblResY, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("meter / bildpunkt"), panelDetails), row++, 2, 1, 2);
    auto* buttons = new QHBoxLayout;
    btnSave = PushButton(QStringLiteral("Spara"), "btnSave", panelDetails);
    btnCancel = PushButton(QStringLiteral("Avbryt"), "btnCancel", panelDetails);
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    grid->addLayout(buttons, row++, 0, 1, 4);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    right->addWidget(panelDetails, 1);
    pagesMaps->addWidget(overview);

    // Detail: one sheet in the map view and the status bar under it.
    auto* detail = new QWidget(pagesMaps);
    detail->setObjectName(QStringLiteral("tabsDetail"));
    auto* dl = new QVBoxLayout(detail);
    dl->setContentsMargins(0, 0, 0, 0);
    dl->setSpacing(2);
    panelMap = new TFRMapPanel(detail);
    panelMap->setObjectName(QStringLiteral("panelMap"));
    dl->addWidget(panelMap, 1);
    statusbarDetail = new QWidget(detail);
    statusbarDetail->setObjectName(QStringLiteral("statusbarDetail"));
    auto* sl = new QHBoxLayout(statusbarDetail);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setSpacing(2);
    for (int i = 0; i < 3; ++i) {
        m_status[i] = new QLabel(statusbarDetail);
        m_status[i]->setFrameShape(QFrame::Panel);
        m_status[i]->setFrameShadow(QFrame::Sunken);
        m_status[i]->setMinimumWidth(i == 1 ? 170 : 120);
        sl->addWidget(m_status[i], i == 2 ? 1 : 0);
    }
    dl->addWidget(statusbarDetail);
    pagesMaps->addWidget(detail);

    // Frame start: the overview's base picture, the flag bitmap, the layer copy.
    m_base = SwedenOverviewPicture().convertToFormat(QImage::Format_RGB888);
    m_flag = Resources::BitmapImage(QStringLiteral("MAPFLAG"));
    imageLayer->SetImage(m_base);

    connect(sbtnNewMap, &QToolButton::clicked, this, [this] { Guarded([&] { ImportMap(); }); });
    connect(sbtnEditMap, &QToolButton::clicked, this, [this] { Guarded([&] { EditMap(); }); });
    connect(sbtnDeleteMap, &QToolButton::clicked, this, [this] { Guarded([&] { DeleteMap(); }); });
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([&] { SaveMap(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([&] { CancelMap(); }); });
    connect(sbtnAutoZoom, &QToolButton::clicked, this, [this](bool on) {
        m_autozoom = on;
        if (TFRIniFile* settings = Settings()) settings->WriteBool(QStringLiteral("Maps/Autozoom"), on);
    });
    connect(sbtnBack, &QToolButton::clicked, this, [this] { ShowOverview(); });
    connect(sbtnDragging, &QToolButton::clicked, this, [this] { PanOrMarkClicked(sbtnDragging); });
    connect(sbtnMark, &QToolButton::clicked, this, [this] { PanOrMarkClicked(sbtnMark); });
    connect(sbtnPrevMap, &QToolButton::clicked, this,
            [this] { Guarded([&] { ChooseMapAt(panelMap->CenterX(), panelMap->CenterY(), false); }); });
    connect(sbtnSelection, &QToolButton::clicked, this, [this] { Guarded([&] { OpenSelection(); }); });
    connect(sbtnDeleteMarks, &QToolButton::clicked, this, [this] {
        m_screen->MapObjs().clear();
        panelMap->Surface()->update();
    });
    connect(sbtnSaveMarks, &QToolButton::clicked, this, [this] { Guarded([&] { m_screen->FinishMarking(); }); });
    connect(sbtnCancelMarks, &QToolButton::clicked, this, [this] { Guarded([&] { m_screen->CancelMarking(); }); });
    connect(listboxMaps, &QListWidget::currentRowChanged, this, [this](int r) {
        if (m_filling || r < 0 || Editing()) return;
        Maps()->SetRecNo(r + 1);
        UpdateFrame();
    });
    imageLayer->OnClick = [this](QPoint p) {
        m_lastClick = OverviewToMap(p);
        if (!Editing()) SelectNearestMap(p);
    };
    imageLayer->OnDoubleClick = [this](QPoint p) {
        m_lastClick = OverviewToMap(p);
        if (m_autozoom && !Editing()) ChooseMapAt(m_lastClick.x(), m_lastClick.y(), true);
    };

    panelMap->OnPaintLayer = [this](TFRMapPanel*, QPainter& canvas) { PaintLayer(canvas); };
    panelMap->OnMouseMove = [this](TFRMapPanel*, Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
        SetStatus(1, QStringLiteral("X=%1, Y=%2").arg(x).arg(y));
    };
    panelMap->OnTagInfo = [this](TFRMapPanel*, int, int, const QString& tag, const QString& data) {
        m_currentTag = tag;
        SetStatus(2, QStringLiteral("   ") + data);
    };
    panelMap->OnMouseDown = [this](TFRMapPanel*, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
        m_lastClick = QPoint(x, y);
    };
    panelMap->OnDblClick = [this](TFRMapPanel*) { DetailDoubleClick(); };
    // Marking needs the pixels of the drag, which the map events give in metres only.
    panelMap->Surface()->installEventFilter(this);
    panelMap->SetKeepOpen(true);
}

// ---- Settings and history ----

void TframeMaps::LoadSettings() {
    TFRFrameBase::LoadSettings();
    TFRIniFile* settings = Settings();
    m_autozoom = !settings || settings->ReadBool(QStringLiteral("Maps/Autozoom"));
    const bool dragging = settings && settings->ReadBool(QStringLiteral("Maps/Dragging"));
    m_screen->Selection().Load(settings);
    sbtnAutoZoom->setChecked(m_autozoom);
    sbtnDragging->setChecked(dragging);
    sbtnMark->setChecked(false);
    panelMap->SetDraggingEnabled(dragging);
    // The frame's own marking state; the screen hands a mode over after activation.
    m_markingMode = 0;
    m_maxMarks = 0;
    m_drawingEllipse = false;
    SetPage(false);
    RebuildList();
    UpdateCursor();
}

void TframeMaps::SaveSettings() { TFRFrameBase::SaveSettings(); }

TFRHistoryItem* TframeMaps::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = m_screen;
    item->DataSet = Maps();
    item->UKey = GetUKey(Maps());
    item->Title = QStringLiteral("Till Karthantering");
    item->SetBoolValues(QStringLiteral("ShowingDetail"), m_showingDetail);
    if (m_showingDetail) {
        item->SetValues(QStringLiteral("CurrentMap"), m_mapUKey);
        item->SetValues(QStringLiteral("PosX"), QString::number(panelMap->CenterX()));
        item->SetValues(QStringLiteral("PosY"), QString::number(panelMap->CenterY()));
    }
    return item;
}

void TframeMaps::RestoreHistory(TFRHistoryItem* item) {
    if (!item) return;
    static_cast<void>(LocateUKey(Maps(), item->UKey));
    if (item->BoolValues(QStringLiteral("ShowingDetail")))
        ShowMapAt(item->Values(QStringLiteral("CurrentMap")), item->Values(QStringLiteral("PosX")).toInt(),
                  item->Values(QStringLiteral("PosY")).toInt());
    UpdateFrame();
}

// ---- Import, edit, delete ----

void TframeMaps::ImportMap() {
    TFRIniFile* settings = Settings();
    QString folder;
    // The folder has no default: a first import opens the dialog in its own folder.
    if (settings) folder = settings->ReadString(QStringLiteral("Settings/MapFolder"), QString());
    const QString file =
        UIServices::GetOpenFileName(this, QStringLiteral("Importera ny karta"), folder,
                                    QStringLiteral("Lantmäteriets kartfiler (*.rik *.RIK);;Alla filer (*)"));
    if (file.isEmpty()) return;
    if (settings) settings->WriteString(QStringLiteral("Settings/MapFolder"), QFileInfo(file).absolutePath());
    ImportMapFile(file);
}

void TframeMaps::ImportMapFile(const QString& fileName) {
    TExtClientDataSet* maps = Maps();
    const QString path = QFileInfo(fileName).absoluteFilePath();
    const int column = maps->FieldByName(QStringLiteral("Filename"))->Index();
    for (int row = 0; row < maps->RecordCount(); ++row)
        if (MapImport::SameMapFile(MapFileOf(maps->RecordValue(row, column).toString()), path))
            throw Exception(kAlreadyImported);

    // Everything is read before the record exists, so a bad file leaves the table as it was.
    TRIKMap reader;
    reader.SetFileName(path);
    reader.OpenFile();
    try {
        reader.ReadHeader();
    } catch (...) {
        reader.CloseFile();
        throw;
    }
    reader.CloseFile();
    const QString name = MapImport::PresetName(m_screen->DM()->cdsMapNamePresets, path, reader.Title());

    LockNavigation();
    try {
        maps->Append();
        maps->FieldByName(QStringLiteral("MapName"))->SetAsString(name.left(40));
        maps->FieldByName(QStringLiteral("Filename"))->SetAsString(path);
        maps->FieldByName(QStringLiteral("Scale"))->SetAsInteger(reader.ScaleDenominator());
        maps->FieldByName(QStringLiteral("CoordULX"))->SetAsInteger(reader.XMin());
        maps->FieldByName(QStringLiteral("CoordULY"))->SetAsInteger(reader.YMax());
        maps->FieldByName(QStringLiteral("CoordLRX"))->SetAsInteger(reader.XMax());
        maps->FieldByName(QStringLiteral("CoordLRY"))->SetAsInteger(reader.YMin());
        maps->FieldByName(QStringLiteral("MapArea"))
            ->SetAsInteger(MapImport::MapArea(reader.XMin(), reader.YMin(), reader.XMax(), reader.YMax()));
        maps->FieldByName(QStringLiteral("MeterPerPixelX"))->SetAsFloat(reader.MetresPerPixel());
        maps->FieldByName(QStringLiteral("MeterPerPixelY"))->SetAsFloat(reader.MetresPerPixel());
    } catch (...) {
        if (maps->State() == TDataSetState::dsInsert) maps->Cancel();
        UnlockNavigation();
        throw;
    }
    UpdateFrame();
    dbeditMapName->setFocus();
}

// A map record in edit locks navigation; its save or cancel gives back the state before it,
// so a place still being marked stays locked.
void TframeMaps::LockNavigation() {
    m_navigationBeforeEdit = !ScreenHost() || ScreenHost()->NavigationEnabled();
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(false);
}

void TframeMaps::UnlockNavigation() {
    if (ScreenHost()) ScreenHost()->SetNavigationEnabled(m_navigationBeforeEdit);
    m_navigationBeforeEdit = true;
}

void TframeMaps::EditMap() {
    TExtClientDataSet* maps = Maps();
    if (maps->IsEmpty() || Editing()) return;
    LockNavigation();
    try {
        maps->Edit();
    } catch (...) {
        UnlockNavigation();
        throw;
    }
    UpdateFrame();
    dbeditMapName->setFocus();
}

void TframeMaps::SaveMap() {
    TExtClientDataSet* maps = Maps();
    if (!Editing()) return;
    maps->UpdateRecord();
    if (maps->FieldText(QStringLiteral("MapName")).trimmed().isEmpty()) {
        dbeditMapName->setFocus();
        throw Exception(kNameMissing);
    }
    maps->Post();
    UnlockNavigation();
    RebuildList();
    UpdateFrame();
}

void TframeMaps::CancelMap() {
    if (Editing()) Maps()->Cancel();
    UnlockNavigation();
    RebuildList();
    UpdateFrame();
}

void TframeMaps::DeleteMap() {
    TExtClientDataSet* maps = Maps();
    if (maps->IsEmpty() || Editing()) return;
    const QString text = QStringLiteral(
                             "Du är på väg att radera den importerade kartan \"%1\". Skall raderingen "
                             "genomföras?\n\nOBS! Kartfilen kommer inte att raderas, endast Mykotekshallen")
                             .arg(maps->FieldText(QStringLiteral("MapName")));
    if (!UIServices::AskYesNo(text, kWarningCaption, UIServices::TMsgIcon::Warning)) return;
    maps->Delete();
    RebuildList();
    UpdateFrame();
}

// ---- The list and the overview ----

void TframeMaps::RebuildList() {
    TExtClientDataSet* maps = Maps();
    m_filling = true;
    listboxMaps->clear();
    m_order.clear();
    QList<QPair<int, int>> areas;  // record number, area
    if (maps->Active()) {
        const int name = maps->FieldByName(QStringLiteral("MapName"))->Index();
        const int scale = maps->FieldByName(QStringLiteral("Scale"))->Index();
        const int area = maps->FieldByName(QStringLiteral("MapArea"))->Index();
        for (int row = 0; row < maps->RecordCount(); ++row) {
            listboxMaps->addItem(QStringLiteral("%1 (1:%2)")
                                     .arg(maps->RecordValue(row, name).toString())
                                     .arg(maps->RecordValue(row, scale).toInt()));
            areas.append({row + 1, maps->RecordValue(row, area).toInt()});
        }
    }
    // Larger sheets first, so smaller ones are painted on top; equal areas keep table order.
    std::stable_sort(areas.begin(), areas.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& a : areas) m_order.append(a.first);
    m_filling = false;
}

QPoint TframeMaps::OverviewToMap(QPoint pixel) {
    return QPoint(SwedenOverview::West + SwedenOverview::MetresPerPixel * pixel.x(),
                  SwedenOverview::North - SwedenOverview::MetresPerPixel * pixel.y());
}

void TframeMaps::PaintOverview() {
    QImage layer = m_base.copy();
    TExtClientDataSet* maps = Maps();
    const QColor red(0xFF, 0x00, 0x00);
    const QColor navy(0x00, 0x00, 0x80);
    // The current sheet's rectangle.
    auto currentRect = [maps] {
        return OverviewPixelRect(
            maps->FieldInteger(QStringLiteral("CoordULX")), maps->FieldInteger(QStringLiteral("CoordULY")),
            maps->FieldInteger(QStringLiteral("CoordLRX")), maps->FieldInteger(QStringLiteral("CoordLRY")));
    };
    if (maps->Active() && !(maps->IsEmpty() && !Editing())) {
        if (Editing()) {
            PaintOverviewRect(layer, m_base, currentRect(), red, true);
        } else {
            auto col = [maps](const char* n) { return maps->FieldByName(QLatin1String(n))->Index(); };
            const int ulx = col("CoordULX"), uly = col("CoordULY"), lrx = col("CoordLRX"), lry = col("CoordLRY");
            const int current = maps->RecNo();
            for (int recNo : m_order) {
                if (recNo < 1 || recNo > maps->RecordCount()) continue;
                const int row = recNo - 1;
                const QRect r =
                    OverviewPixelRect(maps->RecordValue(row, ulx).toInt(), maps->RecordValue(row, uly).toInt(),
                                      maps->RecordValue(row, lrx).toInt(), maps->RecordValue(row, lry).toInt());
                if (recNo != current) PaintOverviewRect(layer, m_base, r, navy, false);
            }
            // The current sheet last, so it stays visible above the others.
            if (current >= 1) PaintOverviewRect(layer, m_base, currentRect(), red, true);
        }
    }
    imageLayer->SetImage(layer);
}

void TframeMaps::SelectNearestMap(QPoint pixel) {
    TExtClientDataSet* maps = Maps();
    if (!maps->Active() || maps->IsEmpty()) return;
    const QPoint p = OverviewToMap(pixel);
    auto col = [maps](const char* n) { return maps->FieldByName(QLatin1String(n))->Index(); };
    const int ulx = col("CoordULX"), uly = col("CoordULY"), lrx = col("CoordLRX"), lry = col("CoordLRY");
    double best = 1e10;
    int bestRow = -1;
    for (int row = 0; row < maps->RecordCount(); ++row) {
        const double cx = (maps->RecordValue(row, ulx).toDouble() + maps->RecordValue(row, lrx).toDouble()) / 2;
        const double cy = (maps->RecordValue(row, uly).toDouble() + maps->RecordValue(row, lry).toDouble()) / 2;
        const double d = std::hypot(cx - p.x(), cy - p.y());
        if (d < best) {
            best = d;
            bestRow = row;
        }
    }
    if (bestRow >= 0) maps->SetRecNo(bestRow + 1);
    UpdateFrame();
}

// ---- Showing maps ----

void TframeMaps::ShowMapAt(const QString& mapUKey, qint32 x, qint32 y) {
    TExtClientDataSet* maps = Maps();
    if (!LocateUKey(maps, mapUKey)) return;
    const QString file = MapFileOf(maps->FieldText(QStringLiteral("Filename")));
    TRIKMap& map = panelMap->RIKMap();
    // A sheet that failed before is opened again, whatever name the panel still holds.
    if (file != map.FileName() || !map.Active()) {
        m_mapName = maps->FieldText(QStringLiteral("MapName"));
        m_mapScale = maps->FieldInteger(QStringLiteral("Scale"));
        m_mapUKey = mapUKey;
        map.SetActive(false);
        map.SetFileName(file);
        // The view needs its size to centre; a failure leaves the page that was shown.
        const bool wasDetail = m_showingDetail;
        SetPage(true);
        bool opened = false;
        try {
            panelMap->ShowPosition(x, y);
            opened = map.Active();
        } catch (const std::exception&) {
            map.SetActive(false);
        }
        if (!opened) {
            SetPage(wasDetail);
            UpdateFrame();
            throw Exception(OpenFailedText(m_mapName));
        }
    } else {
        m_mapUKey = mapUKey;
        m_mapName = maps->FieldText(QStringLiteral("MapName"));
        m_mapScale = maps->FieldInteger(QStringLiteral("Scale"));
        panelMap->SetCenter(x, y);
    }
    SetPage(true);
    UpdateFrame();
}

void TframeMaps::ShowOverview() {
    SetPage(false);
    UpdateFrame();
}

void TframeMaps::ChooseMapAt(qint32 x, qint32 y, bool in) {
    TExtClientDataSet* maps = Maps();
    if (!maps->Active()) return;
    auto col = [maps](const char* n) { return maps->FieldByName(QLatin1String(n))->Index(); };
    const int ulx = col("CoordULX"), uly = col("CoordULY"), lrx = col("CoordLRX"), lry = col("CoordLRY");
    const int scale = col("Scale"), ukey = col("UKey"), file = col("Filename");
    struct TCandidate {
        qint64 Scale;
        QString UKey;
    };
    QList<TCandidate> found;
    for (int row = 0; row < maps->RecordCount(); ++row) {
        QRect r;
        r.setCoords(maps->RecordValue(row, ulx).toInt(), maps->RecordValue(row, lry).toInt(),
                    maps->RecordValue(row, lrx).toInt(), maps->RecordValue(row, uly).toInt());
        if (!TFRMapScreen::MapContains(r, x, y)) continue;
        const qint64 s = maps->RecordValue(row, scale).toLongLong();
        if (m_showingDetail) {
            if (MapFileOf(maps->RecordValue(row, file).toString()) == panelMap->RIKMap().FileName()) continue;
            if (in ? s >= m_mapScale : s <= m_mapScale) continue;
        }
        found.append({s, maps->RecordValue(row, ukey).toString()});
    }
    // By scale as numbers; equal scales keep table order.
    std::stable_sort(found.begin(), found.end(),
                     [](const TCandidate& a, const TCandidate& b) { return a.Scale < b.Scale; });
    if (found.isEmpty()) {
        if (!m_showingDetail)
            UIServices::ShowInformation(kNoMapAtPoint, kInfoCaption);
        else if (in)
            UIServices::ShowInformation(kNoFinerMap, kInfoCaption);
        else
            ShowOverview();
        return;
    }
    const QString chosen = in ? found.last().UKey : found.first().UKey;
    sbtnMark->setChecked(false);
    ShowMapAt(chosen, x, y);
    UpdateCursor();
    UpdateFrame();
}

void TframeMaps::SetPage(bool detail) {
    m_showingDetail = detail;
    pagesMaps->setCurrentIndex(detail ? 1 : 0);
}

// ---- Marking ----

void TframeMaps::SetMarking(int mode, int maxMarks) {
    m_markingMode = mode;
    m_maxMarks = maxMarks;
    m_drawingEllipse = false;
    if (mode == 0) sbtnMark->setChecked(false);
    UpdateCursor();
    UpdateFrame();
}

bool TframeMaps::MarkingActive() const { return sbtnMark->isChecked() && m_markingMode != 0; }

void TframeMaps::PanOrMarkClicked(QToolButton* button) {
    // The two exclude each other: pressing one raises the other.
    if (button->isChecked()) (button == sbtnMark ? sbtnDragging : sbtnMark)->setChecked(false);
    panelMap->SetDraggingEnabled(sbtnDragging->isChecked());
    if (TFRIniFile* settings = Settings())
        settings->WriteBool(QStringLiteral("Maps/Dragging"), sbtnDragging->isChecked());
    UpdateCursor();
}

void TframeMaps::UpdateCursor() {
    QWidget* surface = panelMap->Surface();
    if (MarkingActive())
        surface->setCursor(Resources::ScreenCursor(5));
    else if (sbtnDragging->isChecked())
        surface->setCursor(Qt::SizeAllCursor);
    else
        surface->unsetCursor();
}

bool TframeMaps::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panelMap->Surface() && panelMap->RIKMap().Active()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove ||
            type == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint p = mouse->position().toPoint();
            Guarded([&] {
                // The second press of a double click is a press like any other.
                if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) &&
                    mouse->button() == Qt::LeftButton)
                    SurfacePress(p);
                else if (type == QEvent::MouseMove)
                    SurfaceMove(p, mouse->buttons());
                else if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton)
                    SurfaceRelease(p);
            });
        }
    }
    return TFRFrameBase::eventFilter(watched, event);
}

void TframeMaps::SurfacePress(QPoint pixel) {
    m_lastPixel = pixel;
    if (!MarkingActive() || m_markingMode != 2) return;
    if (m_maxMarks > 0 && int(m_screen->MapObjs().size()) >= m_maxMarks) return;
    m_ellipseCentre = pixel;
    m_ellipseHalf = QPoint(0, 0);
    m_drawingEllipse = true;
}

void TframeMaps::SurfaceMove(QPoint pixel, Qt::MouseButtons buttons) {
    if (!m_drawingEllipse || !(buttons & Qt::LeftButton)) return;
    m_ellipseHalf = QPoint(std::abs(pixel.x() - m_ellipseCentre.x()), std::abs(pixel.y() - m_ellipseCentre.y()));
    panelMap->Surface()->update();
}

void TframeMaps::SurfaceRelease(QPoint pixel) {
    if (!m_drawingEllipse) return;
    m_drawingEllipse = false;
    m_screen->MapObjs().push_back(AreaMarkFromDrag(panelMap->Geometry(), m_ellipseCentre, pixel));
    panelMap->Surface()->update();
}

void TframeMaps::DetailDoubleClick() {
    if (MarkingActive()) {
        if (m_markingMode != 1) return;
        TFRMapObjs& marks = m_screen->MapObjs();
        if (m_maxMarks > 0 && int(marks.size()) >= m_maxMarks) {
            UIServices::ShowInformation(kNoMoreMarks, kInfoCaption);
            return;
        }
        TFRMapObj mark;
        mark.X = panelMap->PixelToMapX(m_lastPixel.x());
        mark.Y = panelMap->PixelToMapY(m_lastPixel.y());
        marks.push_back(mark);
        panelMap->Surface()->update();
        return;
    }
    if (!m_currentTag.isEmpty()) {
        const QString tag = m_currentTag;
        if (History() && m_screen->RecordHistory) History()->Add(CreateHistoryItem());
        if (tag.startsWith(QLatin1String("PLC"))) {
            if (FRPlaceScreen) FRPlaceScreen->ShowPlace(tag.mid(3));
        } else if (tag.startsWith(QLatin1String("FND"))) {
            const QStringList keys = tag.mid(3).split(QLatin1Char(';'));
            if (keys.size() == 2 && m_screen->OnOpenFind) m_screen->OnOpenFind(keys[0], keys[1]);
        }
        return;
    }
    if (m_autozoom) {
        const int x = panelMap->PixelToMapX(m_lastPixel.x());
        const int y = panelMap->PixelToMapY(m_lastPixel.y());
        ChooseMapAt(x, y, true);
    }
}

// ---- The detail overlay ----

void TframeMaps::PaintLayer(QPainter& canvas) {
    const double s = panelMap->Geometry().Sheet().MetresPerPixel;
    if (!(s > 0)) return;
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    PaintFinds(canvas, s);
    PaintPlaces(canvas, s);
    PaintMarks(canvas, s);
    if (m_drawingEllipse) {
        canvas.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        canvas.setPen(QPen(Qt::black, 2));
        canvas.setBrush(Qt::NoBrush);
        canvas.drawEllipse(m_ellipseCentre, m_ellipseHalf.x(), m_ellipseHalf.y());
    }
    canvas.restore();
}

void TframeMaps::PaintFinds(QPainter& canvas, double) {
    const TFRMapSelection& sel = m_screen->Selection();
    const QString& highlight = m_screen->HighlightFind;
    if (sel.FindSelection == QLatin1String("NONE") && highlight.isEmpty()) return;
    TClientDataSet finds;  // all finds, whatever species the table stands on
    finds.CloneCursor(m_screen->DM()->cdsFungiFinds);
    const int master = finds.FieldByName(QStringLiteral("MasterUKey"))->Index();
    const int ukey = finds.FieldByName(QStringLiteral("UKey"))->Index();
    const int px = finds.FieldByName(QStringLiteral("PositionX"))->Index();
    const int py = finds.FieldByName(QStringLiteral("PositionY"))->Index();
    const TUKeyStringlist* names = MainForm() ? &MainForm()->FungiNames : nullptr;
    const int d = sel.FindSize;
    for (int row = 0; row < finds.RecordCount(); ++row) {
        const QString key = finds.RecordValue(row, ukey).toString();
        const QString species = finds.RecordValue(row, master).toString();
        const bool lit = !highlight.isEmpty() && key == highlight;
        if (!(lit || sel.FindSelection == QLatin1String("ALL") || sel.FindSelection == species)) continue;
        const int x = panelMap->MapXToPixel(finds.RecordValue(row, px).toInt());
        const int y = panelMap->MapYToPixel(finds.RecordValue(row, py).toInt());
        if (x < 0 || y < 0) continue;
        const QRect r(x - d / 2, y - d / 2, d, d);
        canvas.setPen(QPen(Qt::black, 1));
        canvas.setBrush(lit ? kHighlight : ColorFromNumber(sel.FindColor));
        canvas.drawEllipse(r);
        QString name;
        if (names) {
            const int i = names->IndexOfUKey(species);
            if (i >= 0) name = names->Strings(i);
        }
        panelMap->MapObjects().Add(r, QStringLiteral("FND") + species + QLatin1Char(';') + key,
                                   QStringLiteral("Fyndplats: ") + name);
    }
}

void TframeMaps::PaintPlaces(QPainter& canvas, double s) {
    const TFRMapSelection& sel = m_screen->Selection();
    const QString& highlight = m_screen->HighlightPlace;
    if (sel.PlaceSelection == QLatin1String("NONE") && highlight.isEmpty()) return;
    TClientDataSet places;
    places.CloneCursor(m_screen->DM()->cdsPlaces);
    auto col = [&places](const char* n) { return places.FieldByName(QLatin1String(n))->Index(); };
    const int ukey = col("UKey"), name = col("PlaceName"), px = col("PositionX"), py = col("PositionY");
    const int sx = col("SizeX"), sy = col("SizeY");
    const bool all = sel.PlaceSelection != QLatin1String("NONE");
    const int d = sel.PlaceSize;
    for (int row = 0; row < places.RecordCount(); ++row) {
        const QString key = places.RecordValue(row, ukey).toString();
        const bool lit = !highlight.isEmpty() && key == highlight;
        if (!all && !lit) continue;
        const int x = panelMap->MapXToPixel(places.RecordValue(row, px).toInt());
        const int y = panelMap->MapYToPixel(places.RecordValue(row, py).toInt());
        if (x < 0 || y < 0) continue;
        const QColor fill = lit ? kHighlight : ColorFromNumber(sel.PlaceColor);
        const QRect r(x - d / 2, y - d / 2, d, d);
        canvas.setPen(QPen(Qt::black, 1));
        canvas.setBrush(fill);
        canvas.drawEllipse(r);
        // SizeY is the east-west half-axis, SizeX the north-south one.
        const double halfH = places.RecordValue(row, sy).toDouble() / s;
        const double halfV = places.RecordValue(row, sx).toDouble() / s;
        if (halfH > d && halfV > d) {
            canvas.setPen(QPen(fill, 2));
            canvas.setBrush(Qt::NoBrush);
            canvas.drawEllipse(QPointF(x, y), halfH, halfV);
        }
        panelMap->MapObjects().Add(r, QStringLiteral("PLC") + key,
                                   QStringLiteral("Svampställe: ") + places.RecordValue(row, name).toString());
    }
}

void TframeMaps::PaintMarks(QPainter& canvas, double s) {
    for (const TFRMapObj& mark : m_screen->MapObjs()) {
        const int x = panelMap->MapXToPixel(mark.X);
        const int y = panelMap->MapYToPixel(mark.Y);
        if (x < 0 || y < 0) continue;
        canvas.drawImage(x - 1, y - 24, m_flag);
        if (mark.Kind == 1) {
            canvas.setPen(QPen(QColor(0xFF, 0, 0), 2));
            canvas.setBrush(Qt::NoBrush);
            QRect r;
            r.setCoords(Round(x - mark.HalfH / s), Round(y - mark.HalfV / s), Round(x + mark.HalfH / s),
                        Round(y + mark.HalfV / s));
            canvas.drawEllipse(QRectF(r.left(), r.top(), r.right() - r.left(), r.bottom() - r.top()));
        }
    }
}

void TframeMaps::OpenSelection() {
    TformMapSelection dialog(m_screen, this);
    dialog.Prepare(sbtnSelection);
    UIServices::ExecDialog(&dialog);
    panelMap->Surface()->update();
}

// ---- Refresh ----

void TframeMaps::SetStatus(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) m_status[panel]->setText(text);
}

QString TframeMaps::StatusText(int panel) const {
    return panel >= 0 && panel < 3 ? m_status[panel]->text() : QString();
}

void TframeMaps::ShowDetails() {
    TExtClientDataSet* maps = Maps();
    const bool any = maps->Active() && (!maps->IsEmpty() || Editing());
    auto num = [&](const char* f) { return any ? QString::number(maps->FieldInteger(QLatin1String(f))) : QString(); };
    lblFilename->setText(any ? QDir::toNativeSeparators(MapFileOf(maps->FieldText(QStringLiteral("Filename"))))
                             : QString());
    lblScale->setText(any ? QStringLiteral("1:%1").arg(maps->FieldInteger(QStringLiteral("Scale"))) : QString());
    lblWest->setText(num("CoordULX"));
    lblNorth->setText(num("CoordULY"));
    lblEast->setText(num("CoordLRX"));
    lblSouth->setText(num("CoordLRY"));
    auto res = [&](const char* f) {
        return any ? QString::number(maps->FieldByName(QLatin1String(f))->AsFloat(), 'f', 2)
                         .replace(QLatin1Char('.'), QLatin1Char(','))
                   : QString();
    };
    lblResX->setText(res("MeterPerPixelX"));
    lblResY->setText(res("MeterPerPixelY"));
}

void TframeMaps::UpdateFrame() {
    static const char* captions[] = {"   Karthantering", "   Karthantering - Markering av nya fyndplatser",
                                     "   Karthantering - Markering av nytt svampställe"};
    panelFrameHeader->setText(
        QString::fromUtf8(captions[m_markingMode >= 0 && m_markingMode <= 2 ? m_markingMode : 0]));
    lblMarkingInfo->setText(m_markingMode == 1
                                ? QStringLiteral("Tryck ned markeringsknappen och dubbelklicka på kartan där fynden "
                                                 "gjordes. Spara markeringarna när Du är klar.")
                                : QStringLiteral("Tryck ned markeringsknappen, tryck på svampställets mitt och dra ut "
                                                 "dess utbredning. Spara markeringen när Du är klar."));
    ShowDetails();
    if (!m_showingDetail) {
        m_filling = true;
        if (!Editing()) listboxMaps->setCurrentRow(Maps()->RecNo() - 1);
        m_filling = false;
        PaintOverview();
    } else {
        SetStatus(0, m_mapName);
        panelMap->Surface()->update();
    }
    UpdateButtons();
}

void TframeMaps::UpdateButtons() {
    const bool editing = Editing();
    const bool browsing = Maps()->Active() && !editing;
    const bool marking = m_markingMode != 0;
    for (QToolButton* b : {sbtnNewMap, sbtnEditMap, sbtnDeleteMap, sbtnAutoZoom}) b->setVisible(!m_showingDetail);
    for (QToolButton* b : {sbtnBack, sbtnDragging, sbtnPrevMap, sbtnSelection}) b->setVisible(m_showingDetail);
    sbtnNewMap->setEnabled(browsing);
    sbtnEditMap->setEnabled(browsing && !Maps()->IsEmpty());
    sbtnDeleteMap->setEnabled(browsing && !Maps()->IsEmpty());
    sbtnSelection->setEnabled(!marking);
    panelMarks->setVisible(marking);
    lblMarkingInfo->setVisible(marking);
    sbtnMark->setEnabled(m_showingDetail);
    listboxMaps->setVisible(!editing);
    panelDetails->setVisible(editing);
}

#include "moc_unitFrameMaps.cpp"
