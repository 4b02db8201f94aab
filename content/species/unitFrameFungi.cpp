#include "content/species/unitFrameFungi.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/species/FungiDescriptionColumn.h"
#include "content/species/FungiFieldItems.h"
#include "content/species/unitFungiScreen.h"
#include "content/species/unitFungiSelection.h"
#include "content/species/unitInputFungi.h"
#include "controls/FRDBSeason.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FRGuard.h"
#include "controls/FRMemos.h"
#include "controls/FRSearchPanel.h"
#include "controls/FRTitlePicture.h"
#include "controls/FlatPageControl.h"
#include "core/ExtClientDataSet.h"
#include "shell/MyVisualUtils.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/InfoTexts.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/DataLink.h"
#include "platform/DataSetModel.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const char* const kNoSpeciesText = "Inga arter motsvarar det aktuella urvalet.";

// A panel whose children each fill it: the pages' containers moved in by the page control.
class TFillPanel : public QWidget {
public:
    using QWidget::QWidget;
    void Fill() {
        for (QObject* o : children())
            if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) w->setGeometry(rect());
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        Fill();
    }
};

QPixmap StockNoMainPicture() {
    const QString file = GetPicsPath(QStringLiteral("_NoMainPic.bmp"));
    QPixmap pic;
    if (QFile::exists(file) && pic.load(file)) return pic;
    // The stock picture drawn in code when the file is not there.
    QPixmap drawn(128, 160);
    drawn.fill(QColor(0xE8, 0xE8, 0xE0));
    QPainter p(&drawn);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(drawn.rect().adjusted(0, 0, -1, -1));
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(12);
    p.setFont(f);
    p.drawText(drawn.rect(), Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Ingen bild\nav arten"));
    return drawn;
}

QToolButton* ToolButton(const QString& text, const QString& hint, QWidget* parent, bool checkable = false) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFixedHeight(24);
    return b;
}

QString RowLine(const QString& text) { return text; }

}  // namespace

QStringList CutNoteLine(const QString& line, int width) {
    QStringList pieces;
    if (width <= 0) return {line};
    QString rest = line;
    while (rest.size() > width) {
        // The last blank within the width ends the piece (and stays with it, so nothing is lost).
        int cut = int(rest.lastIndexOf(QLatin1Char(' '), width - 1));
        cut = cut <= 0 ? width : cut + 1;
        pieces << rest.left(cut);
        rest.remove(0, cut);
    }
    pieces << rest;
    return pieces;
}

// ---- TframeFungi ------------------------------------------------------------------------

TframeFungi::TframeFungi(TFRFungiScreen* screen, QWidget* parent)
    : TFRFrameBase(parent), m_screen(screen), m_fungi(screen->Fungi()) {
    setObjectName(QStringLiteral("frameFungi"));
    DataSet = m_fungi;
}

TframeFungi::~TframeFungi() {
    if (TformFRMain* main = MainForm()) main->ForgetScriptAnswers(this);
    // The grid's model leaves its data source before the source goes.
    delete m_model;
    m_model = nullptr;
}

void TframeFungi::InitFrame() {
    SetupFrame();
    SubScreenIndex = -1;
    ShowMode = 0;
    ModeClick(1);
    if (TformFRMain* main = MainForm()) {
        searchFungi->SearchList = main->FungiNames;
        // A fact sheet prints the notes as the box holds them, saved or not, while it holds
        // the notes of the species printed.
        main->SetScriptAnswer(QStringLiteral("othernotes"), this, [this]() -> QVariant {
            const bool hasRecord = m_fungi->Active() && !m_fungi->IsEmpty();
            if (!hasRecord || m_notesKey.isEmpty() || m_notesKey != GetUKey(m_fungi)) return QVariant();
            return memoPrivate->toPlainText();
        });
    }
    EditingNotes = false;
    SetNotesButtons(false);
}

void TframeFungi::DoneFrame() {
    if (m_current) HideCurrentSubScreen();
}

void TframeFungi::SetupFrame() {
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("panelFungiBody"));
    BodyLayout()->addWidget(body, 1);
    auto* rows = new QVBoxLayout(body);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(2);

    // Tool panel.
    panelTools = new QWidget(body);
    panelTools->setObjectName(QStringLiteral("panelTools"));
    auto* tools = new QHBoxLayout(panelTools);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(1);
    const QStringList browseTexts = {QStringLiteral("<<"), QStringLiteral("<"), QStringLiteral(">"),
                                     QStringLiteral(">>")};
    const QStringList browseHints = {QStringLiteral("Första arten"), QStringLiteral("Föregående art"),
                                     QStringLiteral("Nästa art"), QStringLiteral("Sista arten")};
    for (int i = 0; i < 4; ++i) {
        QToolButton* b = ToolButton(browseTexts[i], browseHints[i], panelTools);
        b->setFixedWidth(26);
        connect(b, &QToolButton::clicked, this, [this, i] { BrowseClick(i + 1); });
        BrowseButtons << b;
        tools->addWidget(b);
    }
    tools->addSpacing(8);
    const QStringList sortTexts = {QStringLiteral("Sv. namn"), QStringLiteral("Lat. namn"), QStringLiteral("Grupp")};
    const QStringList sortHints = {QStringLiteral("Sortera arterna på svenskt namn"),
                                   QStringLiteral("Sortera arterna på latinskt namn"),
                                   QStringLiteral("Sortera arterna på grupp")};
    for (int i = 0; i < 3; ++i) {
        QToolButton* b = ToolButton(sortTexts[i], sortHints[i], panelTools, true);
        connect(b, &QToolButton::clicked, this, [this, i] { SortClick(i + 1); });
        SortButtons << b;
        tools->addWidget(b);
    }
    tools->addSpacing(8);
    const QStringList modeTexts = {QStringLiteral("Formulär"), QStringLiteral("Tabell")};
    const QStringList modeHints = {QStringLiteral("Visa artbeskrivningen"), QStringLiteral("Visa arterna som tabell")};
    for (int i = 0; i < 2; ++i) {
        QToolButton* b = ToolButton(modeTexts[i], modeHints[i], panelTools, true);
        connect(b, &QToolButton::clicked, this, [this, i] { ModeClick(i + 1); });
        ModeButtons << b;
        tools->addWidget(b);
    }
    tools->addSpacing(8);
    btnSelection = new QPushButton(QStringLiteral("Urval"), panelTools);
    btnSelection->setToolTip(QStringLiteral("Begränsa vilka arter som visas"));
    connect(btnSelection, &QPushButton::clicked, this, [this] { SelectionClick(); });
    tools->addWidget(btnSelection);
    tools->addStretch(1);
    btnComplete = new QPushButton(QStringLiteral("Komplettera"), panelTools);
    btnComplete->setToolTip(QStringLiteral("Komplettera artens beskrivning"));
    connect(btnComplete, &QPushButton::clicked, this, [this] { Guarded([this] { CompleteClick(); }); });
    tools->addWidget(btnComplete);
    btnCompleteHelp =
        ToolButton(QStringLiteral("?"), QStringLiteral("Om att komplettera artbeskrivningar"), panelTools);
    btnCompleteHelp->setEnabled(false);
    tools->addWidget(btnCompleteHelp);
    btnFactError =
        ToolButton(QStringLiteral("Rapportera fel"), QStringLiteral("Rapportera ett fel i beskrivningen"), panelTools);
    tools->addWidget(btnFactError);
    btnPrint = ToolButton(QStringLiteral("Skriv ut"), QStringLiteral("Skriv ut artens faktablad"), panelTools);
    btnPrint->setEnabled(false);
    connect(btnPrint, &QToolButton::clicked, this, [this] { Guarded([this] { PrintClick(); }); });
    tools->addWidget(btnPrint);
    rows->addWidget(panelTools);

    // Pages and the right column.
    auto* middle = new QHBoxLayout;
    middle->setSpacing(4);
    auto* pages = new TFillPanel(body);
    panelPages = pages;
    panelPages->setObjectName(QStringLiteral("panelPages"));
    middle->addWidget(panelPages, 1);
    // The right column scrolls where the window is too low for the whole map with its colours.
    auto* rightScroll = new QScrollArea(body);
    rightScroll->setObjectName(QStringLiteral("scrollRight"));
    rightScroll->setFrameShape(QFrame::NoFrame);
    rightScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rightScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    rightScroll->setWidgetResizable(true);
    auto* right = new QWidget(rightScroll);
    right->setObjectName(QStringLiteral("panelRight"));
    right->setFixedWidth(186);
    rightScroll->setWidget(right);
    rightScroll->setFixedWidth(186 + rightScroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    auto* rightRows = new QVBoxLayout(right);
    rightRows->setContentsMargins(0, 0, 0, 0);
    rightRows->setSpacing(3);
    searchFungi = new TFRSearchPanel(right);
    searchFungi->setToolTip(QStringLiteral("Sök en art på namn (börja med * för att söka på slutet av namnet)"));
    searchFungi->OnSearchPerformed = [this](TFRSearchPanel*, const QString& key) { SearchPerformed(key); };
    searchFungi->setMinimumHeight(searchFungi->sizeHint().height());
    rightRows->addWidget(searchFungi);
    picMain = new TFRTitlePicture(right);
    picMain->setObjectName(QStringLiteral("picMain"));
    picMain->setFixedSize(160, 181);
    rightRows->addWidget(picMain, 0, Qt::AlignHCenter);
    SourceOfBoundControls();
    dbseasonFungi = new TFRDBSeason(right);
    dbseasonFungi->setObjectName(QStringLiteral("dbseasonFungi"));
    dbseasonFungi->SetDataSource(m_source);
    dbseasonFungi->SetDataField(QStringLiteral("Season"));
    dbseasonFungi->SetCaption(QStringLiteral("Säsong"));
    dbseasonFungi->setFixedHeight(80);
    rightRows->addWidget(dbseasonFungi);
    dbswedenmapFungi = new TFRDBSwedenMap(right);
    dbswedenmapFungi->setObjectName(QStringLiteral("dbswedenmapFungi"));
    dbswedenmapFungi->SetDataSource(m_source);
    dbswedenmapFungi->SetDataField(QStringLiteral("Occurence"));
    dbswedenmapFungi->SetCaption(QStringLiteral("Förekomst"));
    dbswedenmapFungi->SetIntensityColors(FungiOccurenceLevels());
    int mapBottom = 0;
    for (int i = 0; i < TFRDBSwedenMap::RegionCount; ++i)
        mapBottom = std::max(mapBottom, TFRDBSwedenMap::Region(i).Offset.y() + TFRDBSwedenMap::Region(i).Size.height());
    dbswedenmapFungi->setMinimumHeight(TFRDBSwedenMap::MapOrigin.y() + mapBottom + 6);
    rightRows->addWidget(dbswedenmapFungi, 1);
    middle->addWidget(rightScroll);
    rows->addLayout(middle, 3);

    // Sub-screen buttons and area.
    panelSubButtons = new QWidget(body);
    panelSubButtons->setObjectName(QStringLiteral("panelSubButtons"));
    auto* subs = new QHBoxLayout(panelSubButtons);
    subs->setContentsMargins(0, 0, 0, 0);
    subs->setSpacing(1);
    const QStringList subTexts = {QStringLiteral("Fyndplatser (0 st)"), QStringLiteral("Förväxlingssvampar (0 st)"),
                                  QStringLiteral("Svampställen (0 st)"), QStringLiteral("Svampbilder (0 st)")};
    for (int i = 0; i < 4; ++i) {
        QToolButton* b = ToolButton(subTexts[i], QString(), panelSubButtons, true);
        b->setAutoExclusive(true);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(b, &QToolButton::clicked, this, [this, i] { SubScreenClick(i + 1); });
        SubButtons << b;
        subs->addWidget(b);
    }
    rows->addWidget(panelSubButtons);
    panelSubScreen = new QWidget(body);
    panelSubScreen->setObjectName(QStringLiteral("panelSubScreen"));
    // The description keeps most of the height; the sub-screen area grows with the window.
    panelSubScreen->setMinimumHeight(110);
    auto* subArea = new QVBoxLayout(panelSubScreen);
    subArea->setContentsMargins(0, 0, 0, 0);
    rows->addWidget(panelSubScreen, 1);

    // The pages.
    pagesFungi = new TFlatPageControl(this);
    pagesFungi->SetTargetPanel(panelPages);
    auto page = [this](const QString& name) {
        QWidget* p = pagesFungi->AddPage(name);
        auto* holder = new QWidget(p);
        holder->setObjectName(name + QStringLiteral("Holder"));
        return std::make_pair(p, holder);
    };
    QWidget* holder = nullptr;
    std::tie(tabsIncomplete, holder) = page(QStringLiteral("tabsIncomplete"));
    {
        auto* l = new QVBoxLayout(holder);
        lblIncompleteName = new QLabel(holder);
        QFont big(QStringLiteral("Arial"));
        big.setPixelSize(18);
        big.setBold(true);
        lblIncompleteName->setFont(big);
        lblIncompleteLatin = new QLabel(holder);
        QFont latin(QStringLiteral("Arial"));
        latin.setPixelSize(14);
        latin.setItalic(true);
        lblIncompleteLatin->setFont(latin);
        lblIncompleteInfo = new QLabel(holder);
        lblIncompleteInfo->setObjectName(QStringLiteral("lblIncompleteInfo"));
        lblIncompleteInfo->setWordWrap(true);
        lblIncompleteInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->addWidget(lblIncompleteName);
        l->addWidget(lblIncompleteLatin);
        l->addSpacing(8);
        l->addWidget(lblIncompleteInfo, 1);
    }
    std::tie(tabsFullData, holder) = page(QStringLiteral("tabsFullData"));
    {
        auto* l = new QVBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
        auto* scroll = new TColumnScroll(holder);
        scrollDescription = scroll;
        scrollDescription->setFrameShape(QFrame::NoFrame);
        scrollDescription->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        panelColumn = new QWidget;
        panelColumn->setObjectName(QStringLiteral("panelColumn"));
        scrollDescription->setWidget(panelColumn);
        scroll->OnResize = [this] {
            const int width = std::max(kColumnWidth, scrollDescription->viewport()->width());
            panelColumn->resize(width, panelColumn->height());
            for (QWidget* w : {static_cast<QWidget*>(memoTexts), static_cast<QWidget*>(memoPrivate)})
                if (w) w->setFixedWidth(width - 2 * kLabelX);
        };
        l->addWidget(scrollDescription);
        SetupColumn();
    }
    std::tie(tabsTable, holder) = page(QStringLiteral("tabsTable"));
    {
        auto* l = new QVBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
        gridFungi = new QTableView(holder);
        gridFungi->setObjectName(QStringLiteral("gridFungi"));
        m_model = new DataSetModel(this);
        m_model->SetDataSource(m_source);
        m_model->SetColumns({QStringLiteral("SwedishName"), QStringLiteral("LatinName"), QStringLiteral("FungiGroup")},
                            {QStringLiteral("Svenskt namn"), QStringLiteral("Latinskt namn"), QStringLiteral("Grupp")});
        gridFungi->setModel(m_model);
        // The names take the room they need, so Latin names are not cut; the group takes the rest.
        FitColumnsToTexts(gridFungi);
        gridFungi->setSelectionBehavior(QAbstractItemView::SelectRows);
        gridFungi->setSelectionMode(QAbstractItemView::SingleSelection);
        gridFungi->setEditTriggers(QAbstractItemView::NoEditTriggers);
        gridFungi->verticalHeader()->hide();
        gridFungi->verticalHeader()->setDefaultSectionSize(18);
        connect(gridFungi, &QTableView::clicked, this, [this](const QModelIndex& index) {
            if (index.isValid() && index.row() + 1 != m_fungi->RecNo()) {
                m_fungi->SetRecNo(index.row() + 1);
                UpdateScreen();
            }
        });
        connect(m_model, &DataSetModel::currentRowChanged, this, [this](int row) {
            if (row >= 0) gridFungi->selectRow(row);
        });
        l->addWidget(gridFungi);
    }
    std::tie(tabsNoData, holder) = page(QStringLiteral("tabsNoData"));
    {
        auto* l = new QVBoxLayout(holder);
        auto* text = new QLabel(QString::fromUtf8(kNoSpeciesText), holder);
        text->setObjectName(QStringLiteral("lblNoData"));
        text->setWordWrap(true);
        lblNoData = text;
        btnClearSelection = new QPushButton(QStringLiteral("Upphäv urval"), holder);
        btnClearSelection->setToolTip(QStringLiteral("Visa alla arter"));
        connect(btnClearSelection, &QPushButton::clicked, this, [this] { ClearSelectionClick(); });
        btnSelectionWindow = new QPushButton(QStringLiteral("Urvalsfönster"), holder);
        btnSelectionWindow->setToolTip(QStringLiteral("Ändra urvalet"));
        connect(btnSelectionWindow, &QPushButton::clicked, this, [this] { SelectionClick(); });
        l->addWidget(text);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(btnClearSelection);
        buttons->addWidget(btnSelectionWindow);
        buttons->addStretch(1);
        l->addLayout(buttons);
        l->addStretch(1);
    }
    std::tie(tabsExternalFrame, holder) = page(QStringLiteral("tabsExternalFrame"));
    {
        panelExternalFrame = holder;
        auto* l = new QVBoxLayout(holder);
        l->setContentsMargins(0, 0, 0, 0);
    }
}

// The data source of the bound controls exists before the first of them.
void TframeFungi::SourceOfBoundControls() {
    if (m_source) return;
    m_source = new TDataSource(this, QStringLiteral("dsFrameFungi"));
    m_source->SetAutoEdit(false);
    m_source->SetDataSet(m_fungi);
}

// ---- Settings ----

void TframeFungi::LoadSettings() {
    TFRIniFile* settings = UsersSettings();
    int order = 1;
    QString last;
    int sub = 4;
    if (settings) {
        order = settings->ReadInteger(QStringLiteral("Fungi/SortOrder"), order);
        last = settings->ReadString(QStringLiteral("Fungi/LastVisited"), last);
        sub = settings->ReadInteger(QStringLiteral("Fungi/SubScreenIndex"), sub);
    }
    m_screen->SetSortOrder(order);
    if (m_fungi->Active()) {
        if (last.size() != 18 || !LocateUKey(m_fungi, last)) m_fungi->First();
    }
    ShowSubScreen(sub);
}

void TframeFungi::SaveSettings() {
    TFRIniFile* settings = UsersSettings();
    if (!settings) return;
    settings->WriteString(QStringLiteral("Fungi/LastVisited"), m_fungi->Active() ? GetUKey(m_fungi) : QString());
    settings->WriteInteger(QStringLiteral("Fungi/SortOrder"), m_screen->SortOrder());
    settings->WriteInteger(QStringLiteral("Fungi/SubScreenIndex"), SubScreenIndex);
}

// ---- Sub-screens ----

void TframeFungi::ShowSubScreen(int index) {
    TFRFungiSubScreen* sub = nullptr;
    switch (index) {
        case 1:
            sub = m_screen->FindScreen;
            break;
        case 2:
            sub = m_screen->MixupScreen;
            break;
        case 3:
            sub = m_screen->FPlaceScreen;
            break;
        case 4:
            sub = m_screen->PicScreen;
            break;
        default:
            break;
    }
    SubScreenIndex = index;
    for (int i = 0; i < SubButtons.size(); ++i) SubButtons[i]->setChecked(i + 1 == index);
    if (sub) sub->Activate(QString());
}

void TframeFungi::CloseSubScreen() { HideCurrentSubScreen(); }

void TframeFungi::HideCurrentSubScreen() {
    if (TFRFungiSubScreen* sub = m_current) {
        m_current = nullptr;
        sub->Deactivate();
    }
}

QWidget* TframeFungi::ShowExternalFramePage() {
    ShowPage(QStringLiteral("tabsExternalFrame"));
    return panelExternalFrame;
}

QToolButton* TframeFungi::SortButton(int order) const { return SortButtons.value(order - 1); }
QToolButton* TframeFungi::SubScreenButton(int tag) const { return SubButtons.value(tag - 1); }

QString TframeFungi::ShownPageName() const {
    QWidget* page = pagesFungi->ShownPage();
    return page ? page->objectName() : QString();
}

void TframeFungi::ShowPage(const QString& name) {
    pagesFungi->ShowPageByName(name);
    static_cast<TFillPanel*>(panelPages)->Fill();
}

// ---- Actions ----

bool TframeFungi::BrowseEnabled() const { return !BrowseButtons.isEmpty() && BrowseButtons.first()->isEnabled(); }

void TframeFungi::SetBrowseControlsEnabled(bool enabled) {
    for (QWidget* panel : {panelTools, panelSubButtons, static_cast<QWidget*>(searchFungi)}) {
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            w->setEnabled(enabled);
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                QPalette pal = edit->palette();
                pal.setColor(QPalette::Base, palette().color(enabled ? QPalette::Base : QPalette::Button));
                edit->setPalette(pal);
            }
        }
    }
    // The help on completing has no text yet.
    btnCompleteHelp->setEnabled(false);
}

void TframeFungi::BrowseClick(int tag) {
    if (EditingNotes || !m_fungi->Active()) return;
    switch (tag) {
        case 1:
            if (m_fungi->Bof()) return;
            m_fungi->First();
            break;
        case 2:
            if (m_fungi->Bof()) return;
            m_fungi->Prior();
            break;
        case 3:
            if (m_fungi->Eof()) return;
            m_fungi->Next();
            break;
        case 4:
            if (m_fungi->Eof()) return;
            m_fungi->Last();
            break;
        default:
            return;
    }
    UpdateScreen();
}

void TframeFungi::SortClick(int tag) {
    m_screen->SetSortOrder(tag);
    UpdateScreen();
}

void TframeFungi::ModeClick(int tag) {
    if (tag != 1 && tag != 2) return;
    for (int i = 0; i < ModeButtons.size(); ++i) ModeButtons[i]->setChecked(i + 1 == tag);
    if (tag == ShowMode) return;
    ShowMode = tag;
    UpdateScreen();
}

void TframeFungi::SelectionClick() {
    TformFungiSelection dialog(m_screen->DataModule(), this);
    dialog.Prepare(btnSelection);
    UIServices::ExecDialog(&dialog);
    UpdateScreen();
}

void TframeFungi::CompleteClick() {
    if (EditingNotes || !m_fungi->Active() || m_fungi->IsEmpty()) return;
    int result = QDialog::Rejected;
    {
        TformInputFungi form(m_screen, this);
        result = form.Execute();
    }
    if (result == QDialog::Accepted) {
        // The species' names may have changed, and with its state the count of complete
        // species that the key uses.
        if (TformFRMain* main = MainForm()) {
            main->BuildSpeciesNameList();
            searchFungi->SearchList = main->FungiNames;
        }
    }
    UpdateScreen();
}

void TframeFungi::ClearSelectionClick() {
    TDMServices* services = TDMServices::Of(m_screen->DataModule());
    if (!services) return;
    // Every condition goes, those the user locked too, so that every species shows.
    TQuickSelectionHandler& handler = services->QuickSelection();
    handler.Complete = false;
    handler.SwedishName = false;
    handler.Reset();
    services->BuildQuickSelection(false);
    UpdateScreen();
}

void TframeFungi::SearchPerformed(const QString& key) {
    if (key.isEmpty() || EditingNotes) return;
    if (TFRHistoryItems* history = History())
        if (TFRHistoryItem* item = CreateHistoryItem()) history->Add(item);
    if (!LocateUKey(m_fungi, key)) m_screen->ShowFungiInSelection(key);
    UpdateScreen();
}

void TframeFungi::SporeClick() { m_screen->SetShowSporeInfo(!m_screen->ShowSporeInfo()); }

// ---- Notes ----

void TframeFungi::SetNotesButtons(bool visible) {
    btnSaveNotes->setVisible(visible);
    btnCancelNotes->setVisible(visible);
}

void TframeFungi::NotesChanged() {
    if (Loading || EditingNotes) return;
    SetNotesButtons(true);
    if (QScrollBar* bar = scrollDescription->verticalScrollBar(); bar && bar->maximum() > 0)
        bar->setValue(bar->maximum());
    EditingNotes = true;
    // Browsing would throw the typed notes away: it waits for "Spara" or "Avbryt".
    m_screen->SetBrowseEnabled(false);
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
}

void TframeFungi::SaveNotesClick() {
    TExtClientDataSet* notes = m_screen->DataModule()->cdsFungiPrivateTexts;
    QStringList rows;
    for (const QString& line : memoPrivate->toPlainText().split(QLatin1Char('\n'))) rows << CutNoteLine(line);
    // Trailing empty lines are no notes.
    while (!rows.isEmpty() && rows.last().isEmpty()) rows.removeLast();
    const bool autoSave = notes->AutoSave();
    const QString key = GetUKey(m_fungi);
    {
        // One save for the whole batch; a failure puts the table back as its file holds it.
        TDisabledControls off(notes);
        notes->SetAutoSave(false);
        auto putBack = qScopeGuard([&] {
            try {
                if (notes->State() != TDataSetState::dsBrowse) notes->Cancel();
                notes->CloseInternal();
                notes->LoadData();
            } catch (...) {}
            notes->SetAutoSave(autoSave);
        });
        while (!notes->IsEmpty()) {
            notes->First();
            notes->Delete();
        }
        for (int i = 0; i < rows.size(); ++i) {
            notes->Append();
            notes->FieldByName(QStringLiteral("RowFlag"))->SetAsInteger(0);
            notes->FieldByName(QStringLiteral("RowNo"))->SetAsInteger(i + 1);
            notes->FieldByName(QStringLiteral("RowText"))->SetAsString(RowLine(rows[i]));
            notes->Post();
        }
        notes->SetAutoSave(autoSave);
        putBack.dismiss();
    }
    SetNotesButtons(false);
    EditingNotes = false;
    m_screen->SetBrowseEnabled(true);
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    Q_UNUSED(key);
    UpdateScreen();
}

void TframeFungi::CancelNotesClick() {
    SetNotesButtons(false);
    EditingNotes = false;
    m_screen->SetBrowseEnabled(true);
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    UpdateScreen();
}

// ---- Showing ----

QString TframeFungi::FieldText(const QString& field) const {
    const TField* f = m_fungi->FindField(field);
    return f ? f->AsString() : QString();
}

int TframeFungi::FieldInt(const QString& field, int otherwise) const {
    const TField* f = m_fungi->FindField(field);
    if (!f || f->IsNull()) return otherwise;
    bool ok = false;
    const int v = f->AsString().toInt(&ok);
    return ok ? v : otherwise;
}

void TframeFungi::ShowInfoText(const QString& label) {
    QStringList lines;
    try {
        SetInfoText(label, lines);
    } catch (const Exception&) {
        lines.clear();
    }
    lblIncompleteInfo->setText(lines.join(QLatin1Char('\n')).trimmed());
    lblIncompleteName->setText(FieldText(QStringLiteral("SwedishName")));
    lblIncompleteLatin->setText(FieldText(QStringLiteral("LatinName")));
    ShowPage(QStringLiteral("tabsIncomplete"));
}

void TframeFungi::UpdateFrame() {
    TFRFrameBase::UpdateFrame();
    const bool browse = BrowseEnabled();
    TFRIniFile* settings = UsersSettings();
    auto setting = [settings](const char* key) {
        return settings && settings->ReadBool(QString::fromLatin1(key), false);
    };
    const bool hasRecord = m_fungi->Active() && !m_fungi->IsEmpty();
    btnFactError->setVisible(setting("Settings/FactError"));
    btnFactError->setEnabled(!btnFactError->isHidden() && browse && hasRecord &&
                             FieldText(QStringLiteral("FungiData")) == QLatin1String("CPLD"));
    TformFRMain* main = MainForm();
    btnPrint->setEnabled(browse && main && main->ScriptCount() > 0);
    const bool complete = setting("Settings/CompleteButton");
    btnComplete->setVisible(complete);
    btnCompleteHelp->setVisible(complete);

    panelFrameHeader->setText(
        QStringLiteral("   Artbeskrivning %1 av %2 (%3)")
            .arg(hasRecord ? m_fungi->RecNo() : 0)
            .arg(m_fungi->Active() ? m_fungi->RecordCount() : 0)
            .arg(m_fungi->Sel().isEmpty() ? QStringLiteral("urval ej aktivt") : QStringLiteral("urval aktivt")));

    if (m_current && m_current == m_screen->PicScreen && m_current->SubMode() == 1) m_current->SetSubMode(0);

    const bool external = m_current && m_current->SubMode() == 1;
    if (external) {
        // A detail record is open on the full page: it stays.
    } else if (!hasRecord) {
        // No species because the species' file could not be read is no matter of selection.
        // (The notice below the header names the file.)
        const QString failure = m_fungi->LoadFailure;
        lblNoData->setText(failure.isEmpty() ? QString::fromUtf8(kNoSpeciesText)
                                             : QStringLiteral("Inga arter kan visas, eftersom tabellfilen med "
                                                              "artbeskrivningarna inte kunde läsas (se ovan)."));
        btnClearSelection->setVisible(failure.isEmpty());
        btnSelectionWindow->setVisible(failure.isEmpty());
        ShowPage(QStringLiteral("tabsNoData"));
    } else if (ShowMode == 2) {
        ShowPage(QStringLiteral("tabsTable"));
        if (m_model->CurrentRow() >= 0) gridFungi->selectRow(m_model->CurrentRow());
    } else {
        const QString state = FieldText(QStringLiteral("FungiData"));
        if (state == QLatin1String("CPNG")) {
            ShowInfoText(QStringLiteral("infocompleting"));
        } else if (state == QLatin1String("CPLD")) {
            LayoutColumn();
            ShowPage(QStringLiteral("tabsFullData"));
        } else if (state == QLatin1String("UNCP")) {
            ShowInfoText(btnComplete->isHidden() ? QStringLiteral("infouncomplete_hidden")
                                                 : QStringLiteral("infouncomplete"));
        }
    }
    LoadMainPicture();
    if (m_current) m_current->UpdateFrame();
}

void TframeFungi::LoadMainPicture() {
    const bool hasRecord = m_fungi->Active() && !m_fungi->IsEmpty();
    if (hasRecord && m_fungi->FieldByName(QStringLiteral("HasPic"))->AsBoolean()) {
        const QString key = GetUKey(m_fungi);
        QPixmap pic;
        // A missing or damaged file shows the stock picture: browsing goes on undisturbed.
        if (IsValidPathName(key) && pic.load(GetMainPicFile(key))) {
            picMain->SetPicture(pic);
            picMain->SetCaption(m_screen->GetFungiName(QStringLiteral("*")));
            return;
        }
    }
    picMain->SetPicture(StockNoMainPicture());
    picMain->SetCaption(QString());
}

void TframeFungi::PrintClick() {
    if (TformFRMain* main = MainForm()) main->ShowScriptMenu(btnPrint, QStringLiteral("FungiMain"));
}

// ---- History ----

TFRHistoryItem* TframeFungi::CreateHistoryItem() {
    if (!m_fungi->Active() || m_fungi->IsEmpty()) return nullptr;
    auto* item = new TFRHistoryItem;
    item->Screen = m_screen;
    item->DataSet = m_fungi;
    item->UKey = GetUKey(m_fungi);
    item->Title = QStringLiteral("Till Artbeskrivningar - %1").arg(m_screen->GetFungiName(item->UKey));
    item->append(QStringLiteral("SubScreenIndex=%1").arg(SubScreenIndex));
    if (m_current && m_current->DataSet() && m_current->DataSet()->Active() && !m_current->DataSet()->IsEmpty())
        item->append(QStringLiteral("SubScreenUKey=") + GetUKey(m_current->DataSet()));
    return item;
}

void TframeFungi::RestoreHistory(TFRHistoryItem* item) {
    if (!item) return;
    if (item->DataSet && !item->UKey.isEmpty())
        if (!LocateUKey(item->DataSet, item->UKey)) m_screen->ShowFungiInSelection(item->UKey);
    UpdateScreen();
    bool ok = false;
    const int index = item->Values(QStringLiteral("SubScreenIndex")).toInt(&ok);
    if (ok) ShowSubScreen(index);
    if (m_current && m_current->DataSet()) {
        const QString subKey = item->Values(QStringLiteral("SubScreenUKey"));
        if (!subKey.isEmpty()) static_cast<void>(LocateUKey(m_current->DataSet(), subKey));
    }
}

#include "moc_unitFrameFungi.cpp"
