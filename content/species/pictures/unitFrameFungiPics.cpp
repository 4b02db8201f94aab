#include "content/species/pictures/unitFrameFungiPics.h"

#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/species/pictures/FungiPicImages.h"
#include "content/species/pictures/FungiPicOperations.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiSubLists.h"
#include "controls/FRGuard.h"
#include "controls/FRTitlePicture.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIConnection.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "shell/RecordPicture.h"
#include "core/unitDM.h"
#include "shell/unitInetProgress.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

TExtClientDataSet* Pics() { return UsersDM()->cdsFungiPics; }

// A tile is the thumbnail with a narrow edge, on the grid's pitch.
constexpr int kTileSize = fungipics::ThumbnailSize + 6;
constexpr int kTileEdge = 3;

QVariant RowValue(TClientDataSet* table, int row, const QString& field) {
    const TField* f = table->FindField(field);
    return f ? table->RecordValue(row, f->Index()) : QVariant();
}

}  // namespace

// ---- The picture screen ----

TFRFungipicScreen::TFRFungipicScreen(QObject* owner)
    : TFRFungiDetailSubScreen(owner, UsersDM()->cdsFungiPics, 0, QStringLiteral("Svampbilder"), 4,
                              QStringLiteral("Svampbilder (%1 st)")) {
    if (IsFrameCacheMode()) CreateFrame();
}

TFRFrameBase* TFRFungipicScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiPics>(); }

void TFRFungipicScreen::MakeThumbnail() { fungipics::MakeThumbnail(GetUKey(Pics())); }

void TFRFungipicScreen::MakeMainPicture() { fungipics::MakeMainPicture(Pics(), UsersDM()->cdsFungi); }

void TFRFungipicScreen::DownloadWebPicture() { fungipics::DownloadWebPicture(*Connection(), Pics()); }

TFRIConnection* TFRFungipicScreen::Connection() {
    if (m_connection) return m_connection;
    if (TformFRMain* main = MainForm(); main && main->Connection()) return main->Connection();
    // Without a main window the screen keeps a connection of its own, with its progress window.
    m_connection = new TFRIConnection(this);
    InstallInetProgress(*m_connection);
    return m_connection;
}

// ---- The grid ----

TframeFungiPics::TframeFungiPics(QWidget* parent) : TframeFungiSubBase(parent) {
    panelFrameHeader->setText(QStringLiteral("   Svampbilder"));
    scrollPics = new QScrollArea(this);
    scrollPics->setObjectName(QStringLiteral("scrollPics"));
    scrollPics->setFrameShape(QFrame::NoFrame);
    scrollPics->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollPics->setWidgetResizable(false);
    // At least one row of tiles shows whole.
    scrollPics->setMinimumHeight(4 + kTileSize);
    panelPics = new QWidget;
    panelPics->setObjectName(QStringLiteral("panelPics"));
    scrollPics->setWidget(panelPics);
    scrollPics->viewport()->installEventFilter(this);

    // The buttons stand beside the tiles, so that a row of tiles fits the low sub-screen area.
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 4, 0);
    body->addWidget(scrollPics, 1);
    auto* buttons = new QGridLayout;
    buttons->setContentsMargins(0, 4, 0, 0);
    buttons->setVerticalSpacing(2);
    body->addLayout(buttons);
    BodyLayout()->addLayout(body, 1);
    sbtnNew = AddButton(QStringLiteral("Ny"), "sbtnNew", QStringLiteral("Lägg in en ny bild av arten"));
    sbtnEdit = AddButton(QStringLiteral("Ändra"), "sbtnEdit", QStringLiteral("Ändra den markerade bilden"));
    sbtnInfo = AddButton(QStringLiteral("Info"), "sbtnInfo", QStringLiteral("Visa den markerade bilden"));
    sbtnDelete = AddButton(QStringLiteral("Radera"), "sbtnDelete", QStringLiteral("Radera den markerade bilden"));
    sbtnFullScreen =
        AddButton(QStringLiteral("Helskärm"), "sbtnFullScreen", QStringLiteral("Visa bilderna på hela sidan"));
    buttons->addWidget(sbtnNew, 0, 0);
    buttons->addWidget(sbtnEdit, 0, 1);
    buttons->addWidget(sbtnInfo, 1, 0);
    buttons->addWidget(sbtnDelete, 1, 1);
    buttons->addWidget(sbtnFullScreen, 2, 0, 1, 2);
    buttons->setRowStretch(3, 1);

    menuNew = new QMenu(this);
    menuNew->setObjectName(QStringLiteral("menuNew"));
    actFromFile = menuNew->addAction(QStringLiteral("från fil..."));
    actFromClipboard = menuNew->addAction(QStringLiteral("från Urklipp..."));
    actLinked = menuNew->addAction(QStringLiteral("länkad bild..."));
    // A linked picture is not entered here.
    actLinked->setEnabled(false);
    connect(menuNew, &QMenu::aboutToShow, this,
            [this] { actFromClipboard->setEnabled(TRecordPicture::ClipboardHasPicture()); });
    connect(actFromFile, &QAction::triggered, this, [this] { NewFromFileClick(); });
    connect(actFromClipboard, &QAction::triggered, this, [this] { NewFromClipboardClick(); });
    connect(sbtnNew, &QToolButton::clicked, this,
            [this] { menuNew->popup(sbtnNew->mapToGlobal(QPoint(0, sbtnNew->height()))); });
    connect(sbtnEdit, &QToolButton::clicked, this, [] {
        if (FRFungiScreen) FRFungiScreen->PicDetailScreen->EditPicture();
    });
    connect(sbtnInfo, &QToolButton::clicked, this, [] {
        if (FRFungiScreen) FRFungiScreen->PicDetailScreen->ShowPicture();
    });
    connect(sbtnDelete, &QToolButton::clicked, this, [this] { btnDeleteClick(); });
    connect(sbtnFullScreen, &QToolButton::clicked, this, [this] { FullScreenClick(); });
}

QToolButton* TframeFungiPics::AddButton(const QString& text, const char* name, const QString& hint) {
    QToolButton* button = FungiSubButton(this, text, name, hint);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

bool TframeFungiPics::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrollPics->viewport() && event->type() == QEvent::Resize) PlaceTiles();
    if (event->type() == QEvent::MouseButtonDblClick) {
        const int index = int(m_tiles.indexOf(qobject_cast<TFRTitlePicture*>(watched)));
        if (index >= 0) {
            TileClick(index);
            if (FRFungiScreen) Guarded([] { FRFungiScreen->PicDetailScreen->ShowPicture(); });
            return true;
        }
    }
    return TframeFungiSubBase::eventFilter(watched, event);
}

void TframeFungiPics::UpdateFrame() {
    TframeFungiSubBase::UpdateFrame();
    const auto* screen = qobject_cast<TFRFungiSubScreen*>(Screen.data());
    const bool full = screen && screen->SubMode() == 1;
    panelFrameHeader->setText(full && FRFungiScreen ? QStringLiteral("   Svampbilder - ") +
                                      FRFungiScreen->GetFungiFullName(QStringLiteral("*"))
                                                    : QStringLiteral("   Svampbilder"));
    sbtnFullScreen->setText(full ? QStringLiteral("Normal") : QStringLiteral("Helskärm"));
    sbtnFullScreen->setToolTip(full ? QStringLiteral("Visa bilderna under artbeskrivningen")
                                    : QStringLiteral("Visa bilderna på hela sidan"));
    LoadPics();
    UpdateButtons();
}

void TframeFungiPics::SetTilePicture(int index, const QString& file, bool stock) {
    const QFileInfo info(file);
    const TTileSource source{file, info.exists() ? info.lastModified() : QDateTime()};
    if (m_sources[index].File == source.File && m_sources[index].Stamp == source.Stamp &&
        !m_tiles[index]->Picture().isNull())
        return;
    QImage picture;
    m_sources[index] = source;
    if (!stock && picture.load(file)) {
        m_tiles[index]->SetPicture(QPixmap::fromImage(picture));
        return;
    }
    // Without its stock picture the tile stays empty, and the grid is still laid out whole
    // before the damaged installation is told.
    m_tiles[index]->SetPicture(QPixmap());
    m_tiles[index]->SetPicture(
        QPixmap::fromImage(fungipics::StockPicture(stock ? file : QStringLiteral("_BrokenPic_sml.bmp"))));
}

void TframeFungiPics::LoadPics() {
    TClientDataSet* pics = DataSet;
    TExtClientDataSet* fungi = UsersDM()->cdsFungi;
    const QString fungiKey = fungi->Active() && !fungi->IsEmpty() ? GetUKey(fungi) : QString();
    const bool changed = fungiKey != m_fungiKey;
    m_fungiKey = fungiKey;
    const int count = pics && pics->Active() ? pics->RecordCount() : 0;

    while (m_tiles.size() < count) {
        auto* tile = new TFRTitlePicture(panelPics);
        tile->setObjectName(QStringLiteral("tilePic%1").arg(m_tiles.size()));
        tile->resize(kTileSize, kTileSize);
        tile->SetEdgeWidth(kTileEdge);
        tile->SetPictureMargin(0);
        tile->SetCheckedColor(CheckedPicColor);
        tile->installEventFilter(this);
        tile->OnClick = [this](TFRTitlePicture* t) { TileClick(int(m_tiles.indexOf(t))); };
        tile->show();
        m_tiles.append(tile);
        m_sources.append(TTileSource{});
    }
    // Surplus tiles go once the event that dropped them has returned.
    while (m_tiles.size() > count) {
        TFRTitlePicture* tile = m_tiles.takeLast();
        m_sources.removeLast();
        tile->hide();
        tile->deleteLater();
    }
    QString failure;
    for (int row = 0; row < count; ++row) {
        const QString key = RowValue(pics, row, QStringLiteral("UKey")).toString();
        const QString type = RowValue(pics, row, QStringLiteral("PicType")).toString();
        TFRTitlePicture* tile = m_tiles[row];
        tile->SetColor(type == QLatin1String("PERSONAL") ? PersonalPicColor : OtherPicColor);
        tile->setToolTip(RowValue(pics, row, QStringLiteral("NoteText")).toString());
        try {
            if (type == QLatin1String("LINK") && !RowValue(pics, row, QStringLiteral("PicDownloaded")).toBool())
                SetTilePicture(row, QStringLiteral("_WebPic_sml.bmp"), true);
            else if (IsValidPathName(key))
                SetTilePicture(row, GetFungiPicThumbFile(key), false);
            else
                SetTilePicture(row, QStringLiteral("_BrokenPic_sml.bmp"), true);
        } catch (const Exception& e) {
            failure = e.Message();
        }
    }
    if (changed) m_checked = count > 0 ? 0 : -1;
    if (m_checked >= count) m_checked = count - 1;
    for (int i = 0; i < m_tiles.size(); ++i) m_tiles[i]->SetChecked(i == m_checked);
    PlaceTiles();
    if (!failure.isEmpty()) throw Exception(failure);
}

void TframeFungiPics::PlaceTiles() {
    const int columns = std::max(1, scrollPics->viewport()->width() / PicTilePitch);
    for (int k = 0; k < m_tiles.size(); ++k)
        m_tiles[k]->move(PicTilePitch * (k % columns) + 4, PicTilePitch * (k / columns) + 4);
    const int rows = (int(m_tiles.size()) + columns - 1) / columns;
    panelPics->resize(std::max(scrollPics->viewport()->width(), columns * PicTilePitch), rows * PicTilePitch);
}

void TframeFungiPics::CheckCurrent() {
    TClientDataSet* pics = DataSet;
    m_checked = pics && pics->Active() && !pics->IsEmpty() ? pics->RecNo() - 1 : -1;
    for (int i = 0; i < m_tiles.size(); ++i) m_tiles[i]->SetChecked(i == m_checked);
    UpdateButtons();
}

void TframeFungiPics::TileClick(int index) {
    TClientDataSet* pics = DataSet;
    if (!pics || !pics->Active() || index < 0 || index >= pics->RecordCount()) return;
    m_checked = index;
    m_tiles[index]->SetChecked(true);
    pics->SetRecNo(index + 1);
    UpdateButtons();
}

void TframeFungiPics::UpdateButtons() {
    TClientDataSet* pics = DataSet;
    const bool hasPics = pics && pics->Active() && !pics->IsEmpty();
    const bool valid = hasPics && m_checked >= 0 && m_checked < pics->RecordCount();
    const bool onCurrent = valid && m_checked == pics->RecNo() - 1;
    TExtClientDataSet* fungi = UsersDM()->cdsFungi;
    sbtnNew->setEnabled(fungi->Active() && !fungi->IsEmpty());
    sbtnEdit->setEnabled(valid && GetCreatedBy(pics) == GetCurrentUserContactUKey());
    sbtnInfo->setEnabled(onCurrent);
    sbtnDelete->setEnabled(onCurrent);
}

void TframeFungiPics::NewFromFileClick() {
    if (!FRFungiScreen || !sbtnNew->isEnabled()) return;
    TFRIniFile* settings = UsersSettings();
    QString folder;
    // Never written before: the dialog opens in its own default folder.
    if (settings) folder = settings->ReadString(QLatin1String(PicFromFileDirKey), QString());
    const QString file = UIServices::GetOpenFileName(this, QStringLiteral("Välj bild"), folder,
                                                     QStringLiteral("Jpeg-filer (*.jpg);;Alla filer (*.*)"));
    if (file.isEmpty()) return;
    if (settings) settings->WriteString(QLatin1String(PicFromFileDirKey), QFileInfo(file).absolutePath());
    FRFungiScreen->PicDetailScreen->NewFromFile(file);
}

void TframeFungiPics::NewFromClipboardClick() {
    if (!FRFungiScreen || !sbtnNew->isEnabled()) return;
    FRFungiScreen->PicDetailScreen->NewFromClipboard();
}

void TframeFungiPics::btnDeleteClick() {
    if (!sbtnDelete->isEnabled()) return;
    if (!UIServices::AskYesNo(
            QStringLiteral("Du är på väg att radera den markerade bilden! Skall raderingen genomföras?"),
            QStringLiteral("Mykotekshallen - Bekräfta radering"), UIServices::TMsgIcon::Warning))
        return;
    // The data module removes the files and the uses of the contacts once the record is gone.
    DataSet->Delete();
    m_checked = std::min(m_checked, DataSet->RecordCount() - 1);
    const auto* screen = qobject_cast<TFRFungiSubScreen*>(Screen.data());
    // The species frame shows the main picture, which may have gone with the record.
    if (FRFungiScreen && screen && screen->SubMode() == 0)
        FRFungiScreen->UpdateFrame();
    else
        UpdateScreen();
    CheckCurrent();
}

void TframeFungiPics::FullScreenClick() {
    auto* screen = qobject_cast<TFRFungiSubScreen*>(Screen.data());
    if (!screen) return;
    screen->SetSubMode(screen->SubMode() == 1 ? 0 : 1);
}

#include "moc_unitFrameFungiPics.cpp"
