#include "content/species/unitFrameFungi.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/species/FungiFieldItems.h"
#include "content/species/unitFungiScreen.h"
#include "content/species/unitFungiSelection.h"
#include "content/species/unitInputFungi.h"
#include "controls/FRColorbar.h"
#include "controls/FRDBSeason.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FRGuard.h"
#include "controls/FRLabel.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "controls/FRSearchPanel.h"
#include "controls/FRTitlePicture.h"
#include "controls/FlatPageControl.h"
#include "core/ExtClientDataSet.h"
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
#include "platform/Resources.h"
#include "platform/UIServices.h"

namespace {

const char* const kNoSpeciesText = "Inga arter motsvarar det aktuella urvalet.";

constexpr int kLabelX = 4;
constexpr int kFieldX = 140;
constexpr int kColumnWidth = 410;
constexpr int kSporesClosed = 18;
constexpr int kSporesOpen = 213;


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

// The description column widens with its viewport, never below its own width.
class TColumnScroll : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent* e) override {
        QScrollArea::resizeEvent(e);
        if (OnResize) OnResize();
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
    const QStringList browseTexts = {QStringLiteral("<<"), QStringLiteral("<"), QStringLiteral(">"), QStringLiteral(">>")};
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
    btnCompleteHelp = ToolButton(QStringLiteral("?"), QStringLiteral("Om att komplettera artbeskrivningar"), panelTools);
    btnCompleteHelp->setEnabled(false);
    tools->addWidget(btnCompleteHelp);
    btnFactError = ToolButton(QStringLiteral("Rapportera fel"), QStringLiteral("Rapportera ett fel i beskrivningen"),
                              panelTools);
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
        gridFungi->setSelectionBehavior(QAbstractItemView::SelectRows);
        gridFungi->setSelectionMode(QAbstractItemView::SingleSelection);
        gridFungi->setEditTriggers(QAbstractItemView::NoEditTriggers);
        gridFungi->verticalHeader()->hide();
        // The names take the room they need, so Latin names are not cut; the group takes the rest.
        gridFungi->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        gridFungi->horizontalHeader()->setStretchLastSection(true);
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

QLabel* TframeFungi::AddLabel(const QString& caption, int x) {
    auto* label = new TFRLabel(caption, panelColumn);
    label->move(x, 0);
    label->hide();
    m_labels.insert(caption, label);
    return label;
}

QLabel* TframeFungi::AddText(const QString& field, int x, int width) {
    auto* text = new QLabel(panelColumn);
    text->setObjectName(QStringLiteral("text") + field);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    f.setBold(true);
    text->setFont(f);
    text->setGeometry(x, 0, width, 14);
    text->hide();
    m_fields.insert(field, text);
    return text;
}

TFRDBMultiChoice* TframeFungi::AddChoice(const QString& field, const QStringList& items, int cols, int width,
                                         bool multi) {
    auto* choice = new TFRDBMultiChoice(panelColumn);
    choice->setObjectName(QStringLiteral("multic") + field);
    choice->SetMinSelected(0);
    choice->SetMaxSelected(multi ? 0 : 1);
    choice->SetColCount(cols);
    choice->SetColWidth(width);
    choice->SetItems(items);
    choice->setFocusPolicy(Qt::NoFocus);
    choice->move(kFieldX, 0);
    choice->hide();
    choice->SetDataSource(m_source);
    choice->SetDataField(field.section(QLatin1Char('/'), 0, 0));
    if (!m_fields.contains(field)) m_fields.insert(field, choice);
    return choice;
}

TFRDBColorbar* TframeFungi::AddColorbar(const QString& field) {
    auto* bar = new TFRDBColorbar(panelColumn);
    bar->setObjectName(QStringLiteral("cbar") + field);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->SetDataSource(m_source);
    bar->SetDataField(field);
    bar->setFixedSize(200, 14);
    bar->move(kFieldX, 0);
    bar->hide();
    m_fields.insert(field, bar);
    return bar;
}

QLabel* TframeFungi::RowLabel(const QString& caption) const {
    for (QLabel* l : panelColumn->findChildren<QLabel*>())
        if (l->text() == caption && qobject_cast<TFRLabel*>(l)) return l;
    return nullptr;
}

QWidget* TframeFungi::RowField(const QString& field) const { return m_fields.value(field); }

// The data source of the bound controls exists before the first of them.
void TframeFungi::SourceOfBoundControls() {
    if (m_source) return;
    m_source = new TDataSource(this, QStringLiteral("dsFrameFungi"));
    m_source->SetAutoEdit(false);
    m_source->SetDataSet(m_fungi);
}

void TframeFungi::SetupColumn() {
    SourceOfBoundControls();
    listSwedishNames = new QListWidget(panelColumn);
    listSwedishNames->setObjectName(QStringLiteral("listSwedishNames"));
    listLatinNames = new QListWidget(panelColumn);
    listLatinNames->setObjectName(QStringLiteral("listLatinNames"));
    for (QListWidget* list : {listSwedishNames, listLatinNames}) {
        list->setFrameShape(QFrame::NoFrame);
        list->setFocusPolicy(Qt::NoFocus);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setStyleSheet(QStringLiteral("QListWidget { background: transparent; }"));
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        f.setBold(true);
        list->setFont(f);
        list->hide();
    }
    listSwedishNames->move(kLabelX, 0);
    listLatinNames->move(kFieldX, 0);

    AddLabel(QStringLiteral("Latinska namn:"));
    AddText(QStringLiteral("LatinName"), kFieldX, 260)->setFont([] {
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        f.setItalic(true);
        f.setBold(true);
        return f;
    }());
    AddLabel(QStringLiteral("Signatur:"));
    AddText(QStringLiteral("Signature"), kFieldX, 100);
    AddLabel(QStringLiteral("Grupp:"));
    AddText(QStringLiteral("FungiGroup"), kFieldX, 260);
    AddLabel(QStringLiteral("Kompletterad av:"));
    AddText(QStringLiteral("CompletedBy"), kFieldX, 260);
    AddLabel(QStringLiteral("Matvärde:"));
    AddChoice(QStringLiteral("FoodValue1"), FungiFoodItems(), 3, 82, false);
    AddLabel(QStringLiteral("Avkokning krävs:"));
    AddChoice(QStringLiteral("CookingRequired"), FungiYesNoItems(), 2, 40, false);
    AddLabel(QStringLiteral("Matvärde före förvällning:"));
    AddChoice(QStringLiteral("FoodValue2"), FungiFoodItems(), 3, 82, false);
    AddLabel(QStringLiteral("Hattsvamp:"));
    AddChoice(QStringLiteral("HatFungi"), FungiYesNoItems(), 2, 40, false);
    AddLabel(QStringLiteral("Hattundersida:"));
    AddChoice(QStringLiteral("HatSubType"), FungiHatSubTypeItems(), 4, 55, false);
    m_labels.insert(QStringLiteral("#undersidecolor"), AddLabel(QStringLiteral("Skivor, färg:")));
    AddColorbar(QStringLiteral("HatSubColor"));
    m_labels.insert(QStringLiteral("#growth"), AddLabel(QStringLiteral("Skivor, växtsätt:")));
    AddChoice(QStringLiteral("HatSubGrowth"), FungiGillGrowthItems(), 3, 82, true);
    AddChoice(QStringLiteral("HatSubGrowth/pore"), FungiPoreGrowthItems(), 3, 82, true);
    m_labels.insert(QStringLiteral("#density"), AddLabel(QStringLiteral("Skivor, täthet:")));
    AddChoice(QStringLiteral("HatSubDensity"), FungiGillDensityItems(), 3, 55, false);
    AddChoice(QStringLiteral("HatSubDensity/pore"), FungiPoreDensityItems(), 3, 55, false);
    AddLabel(QStringLiteral("Fjällig hatt:"));
    AddChoice(QStringLiteral("ScaledHat"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Strimmig hatt:"));
    AddChoice(QStringLiteral("LinedHat"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Prickig hatt:"));
    AddChoice(QStringLiteral("DottedHat"), FungiOftenItems(), 4, 45, false);
    // Size rows: label, minimum, "mm  -", maximum, "mm".
    auto sizeRow = [this](const QString& key, const QString& caption, const QString& minField, const QString& maxField) {
        m_labels.insert(key, AddLabel(caption));
        AddText(minField, kFieldX, 30)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* dash = new QLabel(QStringLiteral("mm  -"), panelColumn);
        dash->setGeometry(kFieldX + 34, 0, 34, 14);
        dash->hide();
        m_fields.insert(key + QStringLiteral("/dash"), dash);
        AddText(maxField, kFieldX + 68, 30)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* unit = new QLabel(QStringLiteral("mm"), panelColumn);
        unit->setGeometry(kFieldX + 102, 0, 30, 14);
        unit->hide();
        m_fields.insert(key + QStringLiteral("/unit"), unit);
    };
    sizeRow(QStringLiteral("#size"), QStringLiteral("Hatt, storlek:"), QStringLiteral("BodySizeMinimum"),
            QStringLiteral("BodySizeMaximum"));
    sizeRow(QStringLiteral("#height"), QStringLiteral("Fruktkr. höjd:"), QStringLiteral("BodyHeightMinimum"),
            QStringLiteral("BodyHeightMaximum"));
    m_labels.insert(QStringLiteral("#bodycolor"), AddLabel(QStringLiteral("Hatt, färg:")));
    AddColorbar(QStringLiteral("BodyColor"));
    sizeRow(QStringLiteral("#foot"), QStringLiteral("Fot, tjocklek:"), QStringLiteral("FootSizeMinimum"),
            QStringLiteral("FootSizeMaximum"));
    AddLabel(QStringLiteral("Fot, färg:"));
    AddColorbar(QStringLiteral("FootColor"));
    AddLabel(QStringLiteral("Ring på foten:"));
    AddChoice(QStringLiteral("FootRing"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Fruktkött, färg:"));
    AddColorbar(QStringLiteral("MeatColor"));
    AddLabel(QStringLiteral("Synlig köttsaft:"));
    AddChoice(QStringLiteral("VisibleMeatJuice"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Köttsaft, färg:"));
    AddColorbar(QStringLiteral("MeatJuiceColor"));
    AddLabel(QStringLiteral("Smak:"));
    AddText(QStringLiteral("Taste"), kFieldX, 260);
    AddLabel(QStringLiteral("Lukt:"));
    AddText(QStringLiteral("Smell"), kFieldX, 260);
    AddLabel(QStringLiteral("Lokal:"));
    AddChoice(QStringLiteral("Habitat"), FungiHabitatItems(), 4, 62, true);
    AddLabel(QStringLiteral("Substrat (växtplats):"));
    AddChoice(QStringLiteral("GrowthMethod"), FungiGrowthMethodItems(), 3, 82, true);
    AddLabel(QStringLiteral("Tuvat växtsätt:"));
    AddChoice(QStringLiteral("GroupedGrowth"), FungiOftenItems(), 4, 45, false);

    // The spore panel.
    panelSpores = new QFrame(panelColumn);
    panelSpores->setObjectName(QStringLiteral("panelSpores"));
    static_cast<QFrame*>(panelSpores)->setFrameShape(QFrame::StyledPanel);
    panelSpores->setGeometry(kLabelX, 0, kColumnWidth - 2 * kLabelX, kSporesClosed);
    btnSpores = new QToolButton(panelSpores);
    btnSpores->setObjectName(QStringLiteral("btnSpores"));
    btnSpores->setAutoRaise(true);
    btnSpores->setGeometry(1, 1, 16, 16);
    btnSpores->setToolTip(QStringLiteral("Visa eller dölj sporuppgifterna"));
    btnSpores->setIcon(QIcon(Resources::Bitmap(QStringLiteral("SPOREARROWDN"))));
    connect(btnSpores, &QToolButton::clicked, this, [this] { SporeClick(); });
    auto* sporeTitle = new QLabel(QStringLiteral("Sporer"), panelSpores);
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(11);
    bold.setBold(true);
    sporeTitle->setFont(bold);
    sporeTitle->setGeometry(20, 2, 44, 14);
    // The hint has the rest of the closed panel's one line, in the title's size, so it is never cut.
    lblSporeHint = new QLabel(QStringLiteral("Klicka på pilen för att se sporernas storlek, form och färg."),
                              panelSpores);
    QFont hint(QStringLiteral("Arial"));
    hint.setPixelSize(11);
    lblSporeHint->setFont(hint);
    lblSporeHint->setGeometry(66, 2, panelSpores->width() - 66 - 4, 14);
    auto sporeLabel = [this](const QString& caption, int y) {
        auto* l = new TFRLabel(caption, panelSpores);
        l->move(0, y);
        m_labels.insert(caption, l);
        return l;
    };
    auto sporeText = [this](const QString& field, int x, int y, int w) {
        auto* t = new QLabel(panelSpores);
        t->setObjectName(QStringLiteral("text") + field);
        t->setGeometry(x, y, w, 14);
        m_fields.insert(field, t);
        return t;
    };
    sporeLabel(QStringLiteral("Sporbredd:"), 22);
    sporeText(QStringLiteral("SporeWidth"), kFieldX - kLabelX, 22, 200);
    sporeLabel(QStringLiteral("Sporlängd:"), 38);
    sporeText(QStringLiteral("SporeHeight"), kFieldX - kLabelX, 38, 200);
    sporeLabel(QStringLiteral("Sporform:"), 56);
    auto* props = new TFRDBMultiChoice(panelSpores);
    props->setObjectName(QStringLiteral("multicSporeProps"));
    props->SetMinSelected(0);
    props->SetMaxSelected(0);
    props->SetColCount(3);
    props->SetColWidth(82);
    props->SetItems(FungiSporePropItems());
    props->setFocusPolicy(Qt::NoFocus);
    props->move(kFieldX - kLabelX, 56);
    props->SetDataSource(m_source);
    props->SetDataField(QStringLiteral("SporeProps"));
    m_fields.insert(QStringLiteral("SporeProps"), props);
    sporeLabel(QStringLiteral("Sporanteckning:"), 152);
    sporeText(QStringLiteral("SporeNote"), kFieldX - kLabelX, 152, 260);
    lblSporeColor = sporeLabel(QStringLiteral("Sporfärg:"), 172);
    cbarSporeColor = new TFRDBColorbar(panelSpores);
    cbarSporeColor->setObjectName(QStringLiteral("cbarSporeColor"));
    cbarSporeColor->setFocusPolicy(Qt::NoFocus);
    cbarSporeColor->SetDataSource(m_source);
    cbarSporeColor->SetDataField(QStringLiteral("SporeColor"));
    cbarSporeColor->setFixedSize(200, 14);
    cbarSporeColor->move(kFieldX - kLabelX, 172);
    m_fields.insert(QStringLiteral("SporeColor"), cbarSporeColor);

    // The spacer, the free text and the notes.
    auto* spacer = new QLabel(panelColumn);
    spacer->setObjectName(QStringLiteral("lblSpacer"));
    spacer->setFixedSize(1, 4);
    m_fields.insert(QStringLiteral("#spacer"), spacer);
    AddLabel(QStringLiteral("Övrigt:"))->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    memoTexts = new TFRMemo(panelColumn);
    memoTexts->setObjectName(QStringLiteral("memoTexts"));
    memoTexts->setReadOnly(true);
    memoTexts->hide();
    AddLabel(QStringLiteral("Egna noteringar:"))->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    memoPrivate = new TFRMemo(panelColumn);
    memoPrivate->setObjectName(QStringLiteral("memoPrivate"));
    memoPrivate->hide();
    connect(memoPrivate, &QPlainTextEdit::textChanged, this, [this] { NotesChanged(); });
    btnSaveNotes = new QPushButton(QStringLiteral("Spara"), panelColumn);
    btnSaveNotes->setObjectName(QStringLiteral("btnSaveNotes"));
    connect(btnSaveNotes, &QPushButton::clicked, this, [this] { SaveNotesClick(); });
    btnCancelNotes = new QPushButton(QStringLiteral("Avbryt"), panelColumn);
    btnCancelNotes->setObjectName(QStringLiteral("btnCancelNotes"));
    connect(btnCancelNotes, &QPushButton::clicked, this, [this] { CancelNotesClick(); });
    panelColumn->resize(kColumnWidth, 600);
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
    case 1: sub = m_screen->FindScreen; break;
    case 2: sub = m_screen->MixupScreen; break;
    case 3: sub = m_screen->FPlaceScreen; break;
    case 4: sub = m_screen->PicScreen; break;
    default: break;
    }
    SubScreenIndex = index;
    for (int i = 0; i < SubButtons.size(); ++i) SubButtons[i]->setChecked(i + 1 == index);
    if (sub) sub->Activate(QString());
}

void TframeFungi::CloseSubScreen() {
    HideCurrentSubScreen();
}

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
    default: return;
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
    if (QScrollBar* bar = scrollDescription->verticalScrollBar(); bar && bar->maximum() > 0) bar->setValue(bar->maximum());
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
            } catch (...) {
            }
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

    panelFrameHeader->setText(QStringLiteral("   Artbeskrivning %1 av %2 (%3)")
                                  .arg(hasRecord ? m_fungi->RecNo() : 0)
                                  .arg(m_fungi->Active() ? m_fungi->RecordCount() : 0)
                                  .arg(m_fungi->Sel().isEmpty() ? QStringLiteral("urval ej aktivt")
                                                                : QStringLiteral("urval aktivt")));

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

void TframeFungi::Stack(QWidget* control, bool show, int advance) {
    if (!control) return;
    if (show) {
        control->move(control->x(), m_stackPos);
        m_stackPos += advance;
        control->show();
    } else {
        control->hide();
    }
}

void TframeFungi::FillTextLines() {
    TDM* dm = m_screen->DataModule();
    auto linesOf = [](TExtClientDataSet* table) {
        QStringList lines;
        if (!table->Active()) return lines;
        const int field = table->FieldByName(QStringLiteral("RowText"))->Index();
        for (int row = 0; row < table->RecordCount(); ++row) lines << table->RecordValue(row, field).toString();
        return lines;
    };
    memoTexts->setPlainText(linesOf(dm->cdsFungiTexts).join(QLatin1Char('\n')));
    memoPrivate->setPlainText(linesOf(dm->cdsFungiPrivateTexts).join(QLatin1Char('\n')));
    m_notesKey = GetUKey(m_fungi);
}

void TframeFungi::PrintClick() {
    if (TformFRMain* main = MainForm()) main->ShowScriptMenu(btnPrint, QStringLiteral("FungiMain"));
}

void TframeFungi::LayoutColumn() {
    TDM* dm = m_screen->DataModule();
    const bool cap = FieldInt(QStringLiteral("HatFungi")) == 0;
    const int underside = FieldInt(QStringLiteral("HatSubType"));
    auto label = [this](const QString& caption) { return m_labels.value(caption); };
    auto field = [this](const QString& name) { return m_fields.value(name); };
    auto text = [this](const QString& name, const QString& value) {
        if (auto* l = qobject_cast<QLabel*>(m_fields.value(name))) l->setText(value);
    };

    // 1.
    panelColumn->hide();
    scrollDescription->verticalScrollBar()->setValue(0);
    m_stackPos = 30;
    // 2. Swedish names.
    auto fillList = [](QListWidget* list, TExtClientDataSet* table, const QString& fieldName) {
        list->clear();
        if (table->Active()) {
            const int f = table->FieldByName(fieldName)->Index();
            for (int row = 0; row < table->RecordCount(); ++row) list->addItem(table->RecordValue(row, f).toString());
        }
        list->setFixedSize(list == nullptr ? 0 : 380, list->count() * 14);
        return list->count();
    };
    int rows = fillList(listSwedishNames, dm->cdsSwedishNames, QStringLiteral("SwedishName"));
    listSwedishNames->setFixedWidth(kColumnWidth - 2 * kLabelX);
    Stack(listSwedishNames, rows > 0, rows * 15 + 5);
    // 3. Latin name and names.
    text(QStringLiteral("LatinName"), FieldText(QStringLiteral("LatinName")));
    Stack(label(QStringLiteral("Latinska namn:")), true, 0);
    Stack(field(QStringLiteral("LatinName")), true, 15);
    rows = fillList(listLatinNames, dm->cdsLatinNames, QStringLiteral("LatinName"));
    listLatinNames->setFixedWidth(kColumnWidth - kFieldX - kLabelX);
    Stack(listLatinNames, rows > 0, rows * 15 + 5);
    // 4. The signature stays hidden.
    Stack(label(QStringLiteral("Signatur:")), false, 0);
    Stack(field(QStringLiteral("Signature")), false, 0);
    // 5.
    m_stackPos += 5;
    // 6.
    const QString group = FieldText(QStringLiteral("FungiGroup"));
    text(QStringLiteral("FungiGroup"), group);
    Stack(label(QStringLiteral("Grupp:")), !group.isEmpty(), 0);
    Stack(field(QStringLiteral("FungiGroup")), !group.isEmpty(), 20);
    // 7.
    const QString completedBy = FieldText(QStringLiteral("CompletedBy"));
    const bool showCompleter = completedBy != QLatin1String(BuiltInCompleterKey);
    Stack(label(QStringLiteral("Kompletterad av:")), showCompleter, 0);
    Stack(field(QStringLiteral("CompletedBy")), showCompleter, 20);
    // 8.
    Stack(label(QStringLiteral("Matvärde:")), true, 0);
    Stack(field(QStringLiteral("FoodValue1")), true, 35);
    Stack(label(QStringLiteral("Avkokning krävs:")), true, 0);
    Stack(field(QStringLiteral("CookingRequired")), true, 20);
    const bool parboil = FieldInt(QStringLiteral("CookingRequired")) == 0;
    Stack(label(QStringLiteral("Matvärde före förvällning:")), parboil, 0);
    Stack(field(QStringLiteral("FoodValue2")), parboil, 35);
    // 9.
    m_stackPos += 5;
    // 10.
    Stack(label(QStringLiteral("Hattsvamp:")), true, 0);
    Stack(field(QStringLiteral("HatFungi")), true, 20);
    // 11. The underside and its captions.
    QLabel* colorLabel = m_labels.value(QStringLiteral("#undersidecolor"));
    QLabel* growthLabel = m_labels.value(QStringLiteral("#growth"));
    QLabel* densityLabel = m_labels.value(QStringLiteral("#density"));
    switch (underside) {
    case 0:
        growthLabel->setText(QStringLiteral("Skivor, växtsätt:"));
        densityLabel->setText(QStringLiteral("Skivor, täthet:"));
        colorLabel->setText(QStringLiteral("Skivor, färg:"));
        break;
    case 1:
        growthLabel->setText(QStringLiteral("Rör, växtsätt:"));
        densityLabel->setText(QStringLiteral("Rör, storlek:"));
        colorLabel->setText(QStringLiteral("Rör, färg:"));
        break;
    case 2: colorLabel->setText(QStringLiteral("Taggar, färg:")); break;
    case 3: colorLabel->setText(QStringLiteral("Åsar, färg:")); break;
    default: break;
    }
    Stack(label(QStringLiteral("Hattundersida:")), cap, 0);
    Stack(field(QStringLiteral("HatSubType")), cap, 35);
    Stack(colorLabel, cap, 0);
    Stack(field(QStringLiteral("HatSubColor")), cap, 20);
    // 12.
    const bool gills = cap && underside == 0;
    const bool pores = cap && underside == 1;
    Stack(growthLabel, gills || pores, 0);
    Stack(field(QStringLiteral("HatSubGrowth")), gills, 35);
    Stack(field(QStringLiteral("HatSubGrowth/pore")), pores, 35);
    Stack(densityLabel, gills || pores, 0);
    Stack(field(QStringLiteral("HatSubDensity")), gills, 20);
    Stack(field(QStringLiteral("HatSubDensity/pore")), pores, 20);
    // 13.
    Stack(label(QStringLiteral("Fjällig hatt:")), cap, 0);
    Stack(field(QStringLiteral("ScaledHat")), cap, 15);
    Stack(label(QStringLiteral("Strimmig hatt:")), cap, 0);
    Stack(field(QStringLiteral("LinedHat")), cap, 15);
    Stack(label(QStringLiteral("Prickig hatt:")), cap, 0);
    Stack(field(QStringLiteral("DottedHat")), cap, 20);
    // 14.-17. Size rows.
    auto sizeRow = [&](const QString& key, bool show, const QString& minField, const QString& maxField) {
        text(minField, FieldText(minField));
        text(maxField, FieldText(maxField));
        Stack(m_labels.value(key), show, 0);
        Stack(field(minField), show, 0);
        Stack(field(key + QStringLiteral("/dash")), show, 0);
        Stack(field(maxField), show, 0);
        Stack(field(key + QStringLiteral("/unit")), show, 15);
    };
    m_labels.value(QStringLiteral("#size"))->setText(cap ? QStringLiteral("Hatt, storlek:")
                                                         : QStringLiteral("Fruktkr. bredd:"));
    sizeRow(QStringLiteral("#size"), true, QStringLiteral("BodySizeMinimum"), QStringLiteral("BodySizeMaximum"));
    sizeRow(QStringLiteral("#height"), !cap, QStringLiteral("BodyHeightMinimum"), QStringLiteral("BodyHeightMaximum"));
    m_labels.value(QStringLiteral("#bodycolor"))->setText(cap ? QStringLiteral("Hatt, färg:")
                                                              : QStringLiteral("Fruktkropp, färg:"));
    Stack(m_labels.value(QStringLiteral("#bodycolor")), true, 0);
    Stack(field(QStringLiteral("BodyColor")), true, 25);
    sizeRow(QStringLiteral("#foot"), cap, QStringLiteral("FootSizeMinimum"), QStringLiteral("FootSizeMaximum"));
    Stack(label(QStringLiteral("Fot, färg:")), cap, 0);
    Stack(field(QStringLiteral("FootColor")), cap, 15);
    Stack(label(QStringLiteral("Ring på foten:")), cap, 0);
    Stack(field(QStringLiteral("FootRing")), cap, 25);
    // 18.
    Stack(label(QStringLiteral("Fruktkött, färg:")), true, 0);
    Stack(field(QStringLiteral("MeatColor")), true, 15);
    Stack(label(QStringLiteral("Synlig köttsaft:")), true, 0);
    Stack(field(QStringLiteral("VisibleMeatJuice")), true, 15);
    const bool juice = FieldInt(QStringLiteral("VisibleMeatJuice")) != 3;
    Stack(label(QStringLiteral("Köttsaft, färg:")), juice, 0);
    Stack(field(QStringLiteral("MeatJuiceColor")), juice, 15);
    // 19.
    m_stackPos += 10;
    // 20.
    text(QStringLiteral("Taste"), FieldText(QStringLiteral("Taste")));
    text(QStringLiteral("Smell"), FieldText(QStringLiteral("Smell")));
    Stack(label(QStringLiteral("Smak:")), true, 0);
    Stack(field(QStringLiteral("Taste")), true, 15);
    Stack(label(QStringLiteral("Lukt:")), true, 0);
    Stack(field(QStringLiteral("Smell")), true, 25);
    Stack(label(QStringLiteral("Lokal:")), true, 0);
    Stack(field(QStringLiteral("Habitat")), true, 80);
    Stack(label(QStringLiteral("Substrat (växtplats):")), true, 0);
    Stack(field(QStringLiteral("GrowthMethod")), true, 50);
    Stack(label(QStringLiteral("Tuvat växtsätt:")), true, 0);
    Stack(field(QStringLiteral("GroupedGrowth")), true, 25);
    // 21. The spore panel.
    if (m_screen->ShowSporeInfo() && panelSpores->height() < 50) {
        panelSpores->resize(panelSpores->width(), kSporesOpen);
        btnSpores->setIcon(QIcon(Resources::Bitmap(QStringLiteral("SPOREARROWUP"))));
    } else if (!m_screen->ShowSporeInfo() && panelSpores->height() > 50) {
        panelSpores->resize(panelSpores->width(), kSporesClosed);
        btnSpores->setIcon(QIcon(Resources::Bitmap(QStringLiteral("SPOREARROWDN"))));
    }
    auto range = [this](const QString& minField, const QString& maxField) {
        const QString a = FieldText(minField);
        const QString b = FieldText(maxField);
        if (a.isEmpty() && b.isEmpty()) return QString();
        return QStringLiteral("%1 - %2 µm").arg(a, b);
    };
    text(QStringLiteral("SporeWidth"), range(QStringLiteral("SporeWidthMin"), QStringLiteral("SporeWidthMax")));
    text(QStringLiteral("SporeHeight"), range(QStringLiteral("SporeHeightMin"), QStringLiteral("SporeHeightMax")));
    text(QStringLiteral("SporeNote"), FieldText(QStringLiteral("SporeNote")));
    Stack(panelSpores, true, panelSpores->height() + 5);
    const bool open = panelSpores->height() > 100;
    lblSporeColor->setVisible(open);
    cbarSporeColor->setVisible(open);
    lblSporeHint->setVisible(!open);
    // 22.
    Stack(field(QStringLiteral("#spacer")), true, 0);
    // 23.
    if (showCompleter) {
        QString name = QStringLiteral("Mykotekshallen");
        if (TDMServices* services = TDMServices::Of(dm)) name = services->GetContactName(completedBy);
        text(QStringLiteral("CompletedBy"), name);
    }
    // 24. The free text and the notes, below the column's rows.
    if (!EditingNotes) {
        Loading = true;
        const auto done = qScopeGuard([this] { Loading = false; });
        FillTextLines();
    }
    const int width = panelColumn->width() - 2 * kLabelX;
    memoTexts->setFixedSize(width, 110);
    memoPrivate->setFixedSize(width, 80);
    m_labels.value(QStringLiteral("Övrigt:"))->setFixedWidth(width);
    m_labels.value(QStringLiteral("Egna noteringar:"))->setFixedWidth(width);
    for (QWidget* w : {static_cast<QWidget*>(m_labels.value(QStringLiteral("Övrigt:"))),
                       static_cast<QWidget*>(memoTexts),
                       static_cast<QWidget*>(m_labels.value(QStringLiteral("Egna noteringar:"))),
                       static_cast<QWidget*>(memoPrivate)})
        w->move(kLabelX, w->y());
    const int stackEnd = m_stackPos;
    Stack(m_labels.value(QStringLiteral("Övrigt:")), true, 16);
    Stack(memoTexts, true, 115);
    Stack(m_labels.value(QStringLiteral("Egna noteringar:")), true, 16);
    Stack(memoPrivate, true, 84);
    btnSaveNotes->move(kLabelX, m_stackPos);
    btnCancelNotes->move(kLabelX + btnSaveNotes->sizeHint().width() + 6, m_stackPos);
    SetNotesButtons(EditingNotes);
    panelColumn->resize(panelColumn->width(), m_stackPos + 34);
    m_stackPos = stackEnd;
    // 25.
    panelColumn->show();
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
