#include "content/key/unitFrameKeys.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/key/KeySelection.h"
#include "content/key/unitKeyScreen.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FRGuard.h"
#include "controls/FRKeyPanel.h"
#include "core/ExtClientDataSet.h"
#include "shell/MyVisualUtils.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitSimpleInfo.h"
#include "platform/DataSetModel.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

QPointer<TframeKeys> frameKeys;

namespace {
std::function<QPixmap(const QSize&)> g_regionsPicture;
}

void SetKeyRegionsPictureSource(std::function<QPixmap(const QSize&)> source) { g_regionsPicture = std::move(source); }

namespace {

constexpr int BigPicItemHeight = 227;
constexpr int PictureCacheSize = 48;  // decoded main pictures kept at once
const QString NoPic = QStringLiteral("NOPIC");

const char* const NoEatingWarning =
    "Ät aldrig en svamp enbart på grund av vad nyckeln eller programmet föreslår. Nyckeln ger bara "
    "förslag på arter att jämföra med; en svamp får ätas först när Du själv, eller en svampkunnig person, "
    "är helt säker på arten.";

QToolButton* ToolButton(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// One item of the big-picture list: the main picture at the left and the full name beside it.
class TBigPicDelegate : public QStyledItemDelegate {
public:
    explicit TBigPicDelegate(TframeKeys* frame) : QStyledItemDelegate(frame), m_frame(frame) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(200, BigPicItemHeight);  // the list gives each item its whole width
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        Guarded([&] {
            const bool selected = option.state & QStyle::State_Selected;
            const QPalette& pal = option.palette;
            const QRect r = option.rect.adjusted(2, 2, -2, -2);
            painter->save();
            painter->fillRect(option.rect, pal.color(selected ? QPalette::Highlight : QPalette::Base));
            painter->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter->drawRect(r.adjusted(0, 0, -1, -1));
            const QString text = index.data().toString();
            const int bar = text.indexOf(QLatin1Char('|'));
            const QString key = text.left(bar);
            const QString name = text.mid(bar + 1);
            const QRect picBox(r.left() + 6, r.top() + 6, qMin(288, r.width() * 11 / 20), r.height() - 12);
            QPixmap picture;
            if (key != NoPic) picture = m_frame->MainPicture(key, picBox.size());
            if (picture.isNull()) {
                painter->drawRect(picBox.adjusted(0, 0, -1, -1));
                painter->setFont(ArialFont(8));
                painter->drawText(picBox, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("Arten saknar huvudbild"));
            } else {
                const QSize size = picture.size();
                painter->drawPixmap(picBox.left() + (picBox.width() - size.width()) / 2,
                                    picBox.top() + (picBox.height() - size.height()) / 2, picture);
            }
            QFont font = ArialFont(10, true);
            font.setWeight(QFont::Black);
            painter->setFont(font);
            const QRect nameBox(picBox.right() + 12, r.top() + 6, r.right() - picBox.right() - 18, r.height() - 12);
            painter->drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, name);
            painter->restore();
        });
    }

private:
    TframeKeys* m_frame;
};

}  // namespace

TframeKeys::TframeKeys(QWidget* parent) : TFRFrameBase(parent), m_pictures(PictureCacheSize) { SetupComponents(); }

TframeKeys::~TframeKeys() {
    for (TFRKeyPanel* panel : Panels) {
        panel->OnChange = nullptr;
        panel->OnChooseColor = nullptr;
    }
}

TExtClientDataSet* TframeKeys::Fungi() const {
    TDM* dm = KeyDataModule();
    return dm ? dm->cdsFungi : nullptr;
}

void TframeKeys::SetupComponents() {
    setObjectName(QStringLiteral("frameKeys"));
    panelFrameHeader->setText(QStringLiteral("Svampnyckel"));

    panelToolbar = new QWidget(this);
    panelToolbar->setObjectName(QStringLiteral("panelToolbar"));
    panelToolbar->setFocusPolicy(Qt::ClickFocus);
    auto* tools = new QHBoxLayout(panelToolbar);
    tools->setContentsMargins(4, 2, 4, 2);
    sbtnEmptyAll = ToolButton(panelToolbar, "sbtnEmptyAll", QStringLiteral("Töm alla"),
                              QStringLiteral("Töm alla frågor (urvalet behålls)"));
    sbtnMakeSelection = ToolButton(panelToolbar, "sbtnMakeSelection", QStringLiteral("Gör urval"),
                                   QStringLiteral("Gör nytt urval baserat på de besvarade frågorna"));
    sbtnShowTable = ToolButton(panelToolbar, "sbtnShowTable", QStringLiteral("Tabell"),
                               QStringLiteral("Visa urvalet i tabellform"));
    sbtnShowBigPics = ToolButton(panelToolbar, "sbtnShowBigPics", QStringLiteral("Stora bilder"),
                                 QStringLiteral("Visa urvalet med stor bild på varje art"));
    sbtnSorting = ToolButton(panelToolbar, "sbtnSorting", QStringLiteral("Sortering"), QStringLiteral("Sortering"));
    sbtnColorTolerance = ToolButton(panelToolbar, "sbtnColorTolerance", QStringLiteral("Färgtolerans"),
                                    QStringLiteral("Tolerans vid färgjämförelse"));
    sbtnHelpMain = ToolButton(panelToolbar, "sbtnHelpMain", QStringLiteral("Hjälp"),
                              QStringLiteral("Hjälp om svampnyckelfunktionen"));
    sbtnShowTable->setCheckable(true);
    sbtnShowBigPics->setCheckable(true);
    QFont bold = sbtnMakeSelection->font();
    bold.setBold(true);
    sbtnMakeSelection->setFont(bold);
    for (QToolButton* b :
         {sbtnEmptyAll, sbtnMakeSelection, sbtnShowTable, sbtnShowBigPics, sbtnSorting, sbtnColorTolerance})
        tools->addWidget(b);
    tools->addStretch(1);
    tools->addWidget(sbtnHelpMain);

    popupSort = new QMenu(this);
    popupSort->setObjectName(QStringLiteral("popupSort"));
    const QStringList sorts{QStringLiteral("Svenskt namn"), QStringLiteral("Latinskt namn"), QStringLiteral("Grupp")};
    for (int i = 0; i < sorts.size(); ++i) {
        QAction* a = popupSort->addAction(sorts[i]);
        a->setCheckable(true);
        a->setData(i + 1);
        connect(a, &QAction::triggered, this, [this, i] { Guarded([this, i] { SetSortOrder(i + 1); }); });
    }
    popupColorTolerance = new QMenu(this);
    popupColorTolerance->setObjectName(QStringLiteral("popupColorTolerance"));
    const QStringList levels{QStringLiteral("Nivå 1 (minst noggrann)"), QStringLiteral("Nivå 2"),
                             QStringLiteral("Nivå 3"), QStringLiteral("Nivå 4"),
                             QStringLiteral("Nivå 5 (mest noggrann)")};
    for (int i = 0; i < levels.size(); ++i) {
        QAction* a = popupColorTolerance->addAction(levels[i]);
        a->setCheckable(true);
        a->setData(i + 1);
        connect(a, &QAction::triggered, this, [this, i] { Guarded([this, i] { SetColorTolerance(i); }); });
    }

    connect(sbtnEmptyAll, &QToolButton::clicked, this, [this] { Guarded([this] { EmptyAll(); }); });
    connect(sbtnMakeSelection, &QToolButton::clicked, this, [this] { Guarded([this] { MakeSelection(); }); });
    connect(sbtnShowTable, &QToolButton::clicked, this, [this] { Guarded([this] { SetPresentation(1); }); });
    connect(sbtnShowBigPics, &QToolButton::clicked, this, [this] { Guarded([this] { SetPresentation(2); }); });
    connect(sbtnSorting, &QToolButton::clicked, this, [this] { Guarded([this] { PopupSort(); }); });
    connect(sbtnColorTolerance, &QToolButton::clicked, this, [this] { Guarded([this] { PopupColorTolerance(); }); });
    connect(sbtnHelpMain, &QToolButton::clicked, this, [] {
        Guarded([] {
            UIServices::ShowInformation(
                QStringLiteral("Svampnyckel\n\nBesvara de frågor Du kan om svampen Du har hittat: klicka på en fråga "
                               "för att öppna den och välj svaret. Frågor som inte gäller svampen blir grå. Tryck "
                               "sedan \"Gör urval\" för att se vilka arter som stämmer med svaren, som tabell eller "
                               "med stor bild. Dubbelklicka på en art för att läsa hela artbeskrivningen.\n\n"
                               "Färgtoleransen bestämmer hur noga färgerna jämförs. Hittas inga arter, töm några "
                               "frågor och försök igen.\n\n") +
                    QString::fromUtf8(NoEatingWarning),
                QStringLiteral("Mykotekshallen - Hjälp"));
        });
    });
    BodyLayout()->addWidget(panelToolbar);

    // The questions, stacked top-aligned; the answers are kept in question order.
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    scrollboxQuestions = new QScrollArea(this);
    scrollboxQuestions->setObjectName(QStringLiteral("scrollboxQuestions"));
    scrollboxQuestions->setWidgetResizable(true);
    scrollboxQuestions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollboxQuestions->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* holder = new QWidget;
    auto* stack = new QVBoxLayout(holder);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    for (const TKeyQuestion& q : KeyQuestions()) {
        auto* panel = new TFRKeyPanel(holder);
        panel->setObjectName(QLatin1String(q.Name));
        panel->setProperty("Tag", q.Tag);
        panel->SetQuestion(q.Question);
        panel->SetMaxSelected(q.Many ? 0 : 1);
        panel->SetOptions(q.Options);
        if (!q.InputCaption.isEmpty()) panel->SetInputCaption(q.InputCaption);
        panel->SetKind(static_cast<TKeyPanelKind>(q.Kind));
        if (q.Kind == TKeyQuestionKind::Header) {
            panel->SetColor(0x008000);
            panel->SetLabelColor(0xFFFFFF);
            QFont font = panel->LabelFont();
            font.setWeight(QFont::Black);
            panel->SetLabelFont(font);
            panel->SetBorderColor(0x0000FF);
        }
        panel->OnChange = [this](TFRKeyPanel*) { Guarded([this] { UpdateFrame(); }); };
        if (q.Kind == TKeyQuestionKind::Color)
            panel->OnChooseColor = [this](TFRKeyPanel* p, qint64& colour) { ChooseColor(p, colour); };
        panel->Leave();
        Panels << panel;
    }
    // The regions picture lies where the answer area opens, so it shows only while it is open.
    imgRegions = new QLabel(Panels[kqOccurence]);
    imgRegions->setObjectName(QStringLiteral("imgRegions"));
    imgRegions->setGeometry(8, 32, 128, 119);
    imgRegions->setAlignment(Qt::AlignCenter);
    if (g_regionsPicture)
        imgRegions->setPixmap(g_regionsPicture(imgRegions->size()));
    else {
        // The numbered regions of Sweden that the question's choices name.
        const QImage regions = SwedenRegionNumbersPicture();
        if (!regions.isNull())
            imgRegions->setPixmap(
                QPixmap::fromImage(regions.scaled(imgRegions->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    imgRegions->setVisible(!imgRegions->pixmap().isNull());

    // On screen the cap colour follows the cap size and the foot colour the foot thickness.
    QList<TFRKeyPanel*> shown = Panels;
    shown.removeOne(Panels[kqHatColor]);
    shown.removeOne(Panels[kqFootColor]);
    shown.insert(shown.indexOf(Panels[kqHatSize]) + 1, Panels[kqHatColor]);
    shown.insert(shown.indexOf(Panels[kqFootSize]) + 1, Panels[kqFootColor]);
    for (TFRKeyPanel* panel : shown) stack->addWidget(panel);
    stack->addStretch(1);
    // Tab runs down the questions in their order on screen.
    for (int i = 1; i < shown.size(); ++i) {
        QWidget* before = shown[i - 1]->AnswerControl();
        QWidget* after = shown[i]->AnswerControl();
        if (before && after) setTabOrder(before, after);
    }
    scrollboxQuestions->setWidget(holder);
    scrollboxQuestions->setFixedWidth(317 + scrollboxQuestions->verticalScrollBar()->sizeHint().width() + 4);
    row->addWidget(scrollboxQuestions);

    pagesResult = new QStackedWidget(this);
    pagesResult->setObjectName(QStringLiteral("pagesResult"));
    auto page = [this](const char* name) {
        auto* w = new QWidget(pagesResult);
        w->setObjectName(QLatin1String(name));
        pagesResult->addWidget(w);
        return w;
    };
    auto warning = [](QWidget* parent) {
        QLabel* label = WrappedLabel(QString::fromUtf8(NoEatingWarning), parent);
        label->setObjectName(QStringLiteral("lblWarning"));
        label->setStyleSheet(QStringLiteral("QLabel { color: #a00000; font-weight: bold; }"));
        return label;
    };

    tabsInfo = page("tabsInfo");
    {
        auto* l = new QVBoxLayout(tabsInfo);
        QLabel* title = WrappedLabel(QStringLiteral("Svampnyckeln"), tabsInfo);
        title->setFont(ArialFont(14, true));
        l->addWidget(title);
        l->addWidget(WrappedLabel(
            QStringLiteral("Har Du hittat en svamp och vill veta vad det är för art? Besvara frågorna till vänster "
                           "om det Du ser: om svampen har hatt, var och när den växte, färger, storlekar, lukt och "
                           "smak. Klicka på en fråga för att öppna den. Du behöver inte besvara alla frågor; "
                           "obesvarade frågor är orange, besvarade gröna och frågor som inte gäller svampen grå.\n\n"
                           "Tryck sedan \"Gör urval\". Då visas de arter med fullständig beskrivning som stämmer med "
                           "svaren. Hittas inga arter, töm några av frågorna och tryck \"Gör urval\" igen."),
            tabsInfo));
        l->addWidget(warning(tabsInfo));
        l->addStretch(1);
    }

    tabsTable = page("tabsTable");
    {
        auto* l = new QVBoxLayout(tabsTable);
        lblSelCountTable = new QLabel(tabsTable);
        lblSelCountTable->setObjectName(QStringLiteral("lblSelCountTable"));
        lblSelCountTable->setFont(ArialFont(10, true));
        l->addWidget(lblSelCountTable);
        dbgridMain = new QTableView(tabsTable);
        dbgridMain->setObjectName(QStringLiteral("dbgridMain"));
        dbgridMain->setSelectionBehavior(QAbstractItemView::SelectRows);
        dbgridMain->setSelectionMode(QAbstractItemView::SingleSelection);
        dbgridMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
        dbgridMain->verticalHeader()->hide();
        dbgridMain->setWordWrap(false);
        m_gridModel = new DataSetModel(this);
        if (TDM* dm = KeyDataModule()) m_gridModel->SetDataSource(dm->dsFungi);
        m_gridModel->SetColumns({QStringLiteral("SwedishName"), QStringLiteral("LatinName")},
                                {QStringLiteral("Svenskt namn:"), QStringLiteral("Latinskt namn:")});
        dbgridMain->setModel(m_gridModel);
        // The Swedish name takes the room it needs and the Latin name the rest, so neither is cut.
        FitColumnsToTexts(dbgridMain);
        connect(dbgridMain, &QTableView::clicked, this,
                [this](const QModelIndex& i) { Guarded([this, i] { ChooseSpecies(i.row()); }); });
        connect(dbgridMain, &QTableView::doubleClicked, this,
                [this](const QModelIndex& i) { Guarded([this, i] { OpenSpecies(i.row()); }); });
        connect(m_gridModel, &DataSetModel::currentRowChanged, this, [this](int r) {
            if (r >= 0 && dbgridMain->currentIndex().row() != r) dbgridMain->selectRow(r);
        });
        l->addWidget(dbgridMain, 1);
        l->addWidget(warning(tabsTable));
    }

    tabsBigPic = page("tabsBigPic");
    {
        auto* l = new QVBoxLayout(tabsBigPic);
        lblSelCountBigPic = new QLabel(tabsBigPic);
        lblSelCountBigPic->setObjectName(QStringLiteral("lblSelCountBigPic"));
        lblSelCountBigPic->setFont(ArialFont(10, true));
        l->addWidget(lblSelCountBigPic);
        listboxBigPics = new QListWidget(tabsBigPic);
        listboxBigPics->setObjectName(QStringLiteral("listboxBigPics"));
        listboxBigPics->setItemDelegate(new TBigPicDelegate(this));
        listboxBigPics->setUniformItemSizes(true);
        listboxBigPics->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        listboxBigPics->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        listboxBigPics->setResizeMode(QListView::Adjust);
        connect(listboxBigPics, &QListWidget::itemClicked, this,
                [this](QListWidgetItem* item) { Guarded([this, item] { ChooseSpecies(listboxBigPics->row(item)); }); });
        connect(listboxBigPics, &QListWidget::itemDoubleClicked, this,
                [this](QListWidgetItem* item) { Guarded([this, item] { OpenSpecies(listboxBigPics->row(item)); }); });
        l->addWidget(listboxBigPics, 1);
        l->addWidget(warning(tabsBigPic));
    }

    tabsNoMatch = page("tabsNoMatch");
    {
        auto* l = new QVBoxLayout(tabsNoMatch);
        QLabel* none = WrappedLabel(QStringLiteral("   INGA ARTER I URVALET!"), tabsNoMatch);
        none->setFont(ArialFont(14, true));
        l->addWidget(none);
        l->addWidget(WrappedLabel(
            QStringLiteral("Ingen art med fullständig beskrivning stämmer med alla svaren. Töm några av frågorna, "
                           "gärna de Du är minst säker på, och tryck \"Gör urval\" igen. Du kan också sänka "
                           "färgtoleransen."),
            tabsNoMatch));
        l->addStretch(1);
    }
    pagesResult->setCurrentWidget(tabsInfo);
    row->addWidget(pagesResult, 1);
    BodyLayout()->addLayout(row, 1);
}

// ---- Settings and history ----

void TframeKeys::LoadSettings() {
    TFRFrameBase::LoadSettings();
    if (auto* screen = qobject_cast<TFRKeyScreen*>(Screen.data())) RestoreAnswers(screen->Answers);
    int presentation = 1, tolerance = 0;
    if (TFRIniFile* store = IniFile()) {
        presentation = store->ReadInteger(QStringLiteral("Key/Presentation"), presentation);
        tolerance = store->ReadInteger(QStringLiteral("Key/ColorTolerance"), tolerance);
    }
    Presentation = presentation == 2 ? 2 : 1;
    sbtnShowTable->setChecked(Presentation == 1);
    sbtnShowBigPics->setChecked(Presentation == 2);
    ColorTolerance = tolerance >= 0 && tolerance <= 4 ? tolerance : 2;
    RebuildBigPics = true;
    if (TExtClientDataSet* fungi = Fungi()) {
        const int complete = CountCompleteSpecies(fungi);
        if (MainForm()) MainForm()->CompleteFungiCount = complete;
        m_completeCount = complete;
    }
    if (isVisible() && panelToolbar->isVisible()) panelToolbar->setFocus(Qt::OtherFocusReason);
}

void TframeKeys::SaveSettings() {
    if (auto* screen = qobject_cast<TFRKeyScreen*>(Screen.data())) screen->Answers = StoreAnswers();
    if (TFRIniFile* store = IniFile()) {
        store->WriteInteger(QStringLiteral("Key/Presentation"), Presentation);
        store->WriteInteger(QStringLiteral("Key/ColorTolerance"), ColorTolerance);
    }
}

QStringList TframeKeys::StoreAnswers() const {
    QStringList answers;
    for (TFRKeyPanel* panel : Panels) answers << panel->GetValue();
    return answers;
}

void TframeKeys::RestoreAnswers(const QStringList& answers) {
    m_quiet = true;
    for (int i = 0; i < Panels.size() && i < answers.size(); ++i) {
        // A value the panel cannot take leaves that question unanswered.
        try {
            Panels[i]->SetValue(answers[i]);
        } catch (const Exception&) {}
    }
    m_quiet = false;
    Activation();
}

TFRHistoryItem* TframeKeys::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = Screen.data();
    item->DataSet = Fungi();
    if (TExtClientDataSet* fungi = Fungi(); fungi && fungi->Active() && fungi->RecordCount() > 0)
        item->UKey = GetUKey(fungi);
    item->Title = QStringLiteral("Till SvampNyckel");
    item->SetValues(QStringLiteral("Presentation"), QString::number(Presentation));
    item->SetValues(QStringLiteral("SortOrder"), QString::number(KeySpeciesSortOrder()));
    return item;
}

void TframeKeys::RestoreHistory(TFRHistoryItem* item) {
    if (!item) return;
    if (TExtClientDataSet* fungi = Fungi(); fungi && !item->UKey.isEmpty()) (void)LocateUKey(fungi, item->UKey);
    Presentation = item->Values(QStringLiteral("Presentation")) == QLatin1String("2") ? 2 : 1;
    sbtnShowTable->setChecked(Presentation == 1);
    sbtnShowBigPics->setChecked(Presentation == 2);
    const int order = item->Values(QStringLiteral("SortOrder")).toInt();
    if (order >= 1 && order <= 3) SetKeySpeciesSortOrder(order);
    RebuildBigPics = true;
    UpdateScreen();
}

// ---- Update ----

void TframeKeys::Activation() {
    QStringList answers;
    for (TFRKeyPanel* panel : Panels) answers << panel->GetValue();
    for (TFRKeyPanel* panel : Panels) {
        const int tag = panel->property("Tag").toInt();
        if (tag != 0) {
            const bool active = KeyTagActive(tag, answers);
            if (panel->Active() != active) panel->SetActive(active);
        }
    }
}

void TframeKeys::UpdateFrame() {
    if (m_quiet) return;
    Activation();
    TExtClientDataSet* fungi = Fungi();
    const int count = fungi && fungi->Active() ? fungi->RecordCount() : 0;
    const QString counts = QStringLiteral("   %1 (av %2) matchande arter hittade").arg(count).arg(m_completeCount);
    lblSelCountTable->setText(counts);
    lblSelCountBigPic->setText(counts);
    if (KeySpeciesSortOrder() == 0 && IniFile()) {
        const int order = IniFile()->ReadInteger(QStringLiteral("Fungi/SortOrder"), 1);
        if (order >= 1 && order <= 3) SetKeySpeciesSortOrder(order);
    }
    QWidget* page = tabsInfo;
    if (KeySpeciesSelection()) page = count == 0 ? tabsNoMatch : Presentation == 1 ? tabsTable : tabsBigPic;
    ShowPage(page);
    if (page == tabsBigPic && RebuildBigPics) FillBigPics();
    // The current species stays marked in the table, also in a frame made again by the history.
    if (page == tabsTable) {
        const int row = m_gridModel->CurrentRow();
        if (row >= 0 && !dbgridMain->selectionModel()->isRowSelected(row, QModelIndex())) dbgridMain->selectRow(row);
    }
}

void TframeKeys::ShowPage(QWidget* page) {
    if (pagesResult->currentWidget() != page) pagesResult->setCurrentWidget(page);
}

void TframeKeys::FillBigPics() {
    TExtClientDataSet* fungi = Fungi();
    // Nothing is drawn while the list is refilled. The records are read where they stand:
    // walking the table's cursor over them would make every detail table follow it.
    listboxBigPics->setUpdatesEnabled(false);
    listboxBigPics->clear();
    if (fungi && fungi->Active()) {
        const int keep = fungi->RecNo();
        const int ukey = fungi->FieldByName(QStringLiteral("UKey"))->Index();
        const int hasPic = fungi->FieldByName(QStringLiteral("HasPic"))->Index();
        QStringList items;
        items.reserve(fungi->RecordCount());
        for (int row = 0; row < fungi->RecordCount(); ++row)
            items << (fungi->RecordValue(row, hasPic).toBool() ? fungi->RecordValue(row, ukey).toString() : NoPic) +
                    QLatin1Char('|') + KeyFullName(fungi, row);
        listboxBigPics->addItems(items);
        if (keep > 0) listboxBigPics->setCurrentRow(keep - 1);
    }
    RebuildBigPics = false;
    listboxBigPics->setUpdatesEnabled(true);
}

QPixmap TframeKeys::MainPicture(const QString& ukey, const QSize& size) {
    const QString cacheKey =
        ukey + QLatin1Char('@') + QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
    if (QPixmap* cached = m_pictures.object(cacheKey)) return *cached;
    QPixmap picture;
    if (IsValidPathName(ukey)) {
        QImageReader reader(GetMainPicFile(ukey));
        const QSize full = reader.size();
        if (full.isValid()) reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        if (!image.isNull()) picture = QPixmap::fromImage(image);
    }
    ++DecodedPictures;
    m_pictures.insert(cacheKey, new QPixmap(picture));
    return picture;
}

// ---- Actions ----

void TframeKeys::MakeSelection() {
    TExtClientDataSet* fungi = Fungi();
    if (!fungi) return;
    panelToolbar->setFocus(Qt::OtherFocusReason);
    Activation();
    QStringList answers;
    for (TFRKeyPanel* panel : Panels) answers << (panel->IsEmpty() ? QString() : panel->GetValue());
    const TKeySelectionResult result = BuildKeySelection(answers, ColorTolerance);
    if (!result.Ok()) {
        // Nothing of the selection in force changes; the question at fault opens.
        if (TFRKeyPanel* panel = Panel(result.ErrorQuestion)) {
            scrollboxQuestions->ensureWidgetVisible(panel);
            if (QWidget* control = panel->AnswerControl()) control->setFocus(Qt::OtherFocusReason);
        }
        throw Exception(result.Error);
    }
    // The hourglass and the status line go whatever happens below.
    struct TBusy {
        TBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~TBusy() {
            if (formSimpleInfo) formSimpleInfo->hide();
            QApplication::restoreOverrideCursor();
        }
    } busy;
    if (formSimpleInfo) formSimpleInfo->AddInfo(QStringLiteral("20,Verkställer urval baserat på besvarade frågor..."));
    try {
        fungi->SetSel(result.Lines);
        fungi->LoadData();
        SetKeySpeciesSelection(true);
    } catch (const Exception& e) {
        try {
            UIServices::ShowError(QStringLiteral("Nyckel-urvalet misslyckades. Samtliga arter kommer att väljas "
                                                 "istället. Meddelande: \"%1\"")
                                      .arg(e.Message()),
                                  QStringLiteral("Mykotekshallen - Fel"));
            fungi->SetSel({});
            fungi->LoadData();
        } catch (...) {}
        SetKeySpeciesSelection(false);
    }
    m_completeCount = CountCompleteSpecies(fungi);
    RebuildBigPics = true;
    UpdateScreen();
}

void TframeKeys::EmptyAll() {
    panelToolbar->setFocus(Qt::OtherFocusReason);
    scrollboxQuestions->verticalScrollBar()->setValue(0);
    m_quiet = true;
    for (TFRKeyPanel* panel : Panels) panel->Clear();
    m_quiet = false;
    UpdateFrame();
}

void TframeKeys::SetPresentation(int presentation) {
    Presentation = presentation == 2 ? 2 : 1;
    sbtnShowTable->setChecked(Presentation == 1);
    sbtnShowBigPics->setChecked(Presentation == 2);
    UpdateScreen();
}

void TframeKeys::SetSortOrder(int order) {
    SetKeySpeciesSortOrder(order);
    RebuildBigPics = true;
    UpdateScreen();
}

void TframeKeys::SetColorTolerance(int tolerance) {
    ColorTolerance = qBound(0, tolerance, 4);
    if (TFRIniFile* store = IniFile()) store->WriteInteger(QStringLiteral("Key/ColorTolerance"), ColorTolerance);
}

void TframeKeys::PopupSort() {
    for (QAction* a : popupSort->actions()) a->setChecked(a->data().toInt() == KeySpeciesSortOrder());
    popupSort->popup(sbtnSorting->mapToGlobal(QPoint(0, sbtnSorting->height())));
}

void TframeKeys::PopupColorTolerance() {
    for (QAction* a : popupColorTolerance->actions()) a->setChecked(a->data().toInt() - 1 == ColorTolerance);
    popupColorTolerance->popup(sbtnColorTolerance->mapToGlobal(QPoint(0, sbtnColorTolerance->height())));
}

void TframeKeys::ChooseColor(TFRKeyPanel* panel, qint64& colour) {
    // Without a colour the dialog opens on the panel's own colour.
    TColor chosen = colour >= 0 ? colour : ColorToNumber(ResolveColor(panel->Color(), panel));
    const bool ok = MainForm() ? MainForm()->ColorDialogExecute(chosen) : [&] {
        QColor c = ColorFromNumber(chosen);
        if (!UIServices::GetColor(this, QStringLiteral("Välj färg"), c)) return false;
        chosen = ColorToNumber(c);
        return true;
    }();
    if (ok) colour = chosen;
}

void TframeKeys::ChooseSpecies(int row) {
    TExtClientDataSet* fungi = Fungi();
    if (!fungi || !fungi->Active() || row < 0 || row >= fungi->RecordCount()) return;
    fungi->SetRecNo(row + 1);
    if (TFRIniFile* store = IniFile()) store->WriteString(QStringLiteral("Fungi/LastVisited"), GetUKey(fungi));
}

void TframeKeys::OpenSpecies(int row) {
    ChooseSpecies(row);
    TFRMainScreen* species = MainForm() ? MainForm()->Screen(ssFungi) : nullptr;
    if (!species) return;
    if (TFRHistoryItems* history = History(); history && Screen && Screen->RecordHistory)
        history->Add(CreateHistoryItem());
    species->Activate(QString());
}

#include "moc_unitFrameKeys.cpp"
