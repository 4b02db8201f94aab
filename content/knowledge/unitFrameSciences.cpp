#include "content/knowledge/unitFrameSciences.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "content/knowledge/unitArticleView.h"
#include "content/knowledge/unitScienceScreen.h"
#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "controls/FRMemos.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/UKeyStringlist.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitSimpleInfo.h"
#include "shell/unitUserScreen.h"
#include "platform/AtomicFile.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const QString kCaption = QStringLiteral("   Svampvetenskap");

// Groups and articles, plain and selected.
QIcon NodeIcon(int itemType) {
    QStyle* style = QApplication::style();
    QIcon icon = style->standardIcon(itemType == 0 ? QStyle::SP_DirClosedIcon : QStyle::SP_FileIcon);
    const QIcon selected =
        style->standardIcon(itemType == 0 ? QStyle::SP_DirOpenIcon : QStyle::SP_FileDialogDetailedView);
    for (int size : {16, 24, 32}) icon.addPixmap(selected.pixmap(size), QIcon::Selected);
    return icon;
}

// The status window shows while long work runs and is hidden on every way out of it, so a
// failure never leaves the main window disabled behind it.
class TStatusScope {
public:
    explicit TStatusScope(const QString& text) {
        if (formSimpleInfo) {
            formSimpleInfo->show();
            formSimpleInfo->AddInfo(text);
        }
    }
    ~TStatusScope() {
        if (formSimpleInfo) formSimpleInfo->hide();
    }
    TStatusScope(const TStatusScope&) = delete;
    TStatusScope& operator=(const TStatusScope&) = delete;
};

QString FieldText(TClientDataSet* table, const char* name) {
    if (!table || !table->Active() || table->IsEmpty()) return QString();
    return table->FieldText(QLatin1String(name));
}

}  // namespace

// ---- Nodes ----

TScienceNode::TScienceNode(const QString& ukey, int itemType, const QString& caption) {
    SetUKey(ukey);
    SetItemType(itemType);
    setText(0, caption);
    setFlags(flags() & ~Qt::ItemIsEditable);
}

void TScienceNode::SetItemType(int itemType) {
    setData(0, Qt::UserRole + 1, itemType);
    setIcon(0, NodeIcon(itemType));
}

bool TScienceNode::operator<(const QTreeWidgetItem& other) const {
    const int a = data(0, Qt::UserRole + 1).toInt(), b = other.data(0, Qt::UserRole + 1).toInt();
    if (a != b) return a < b;
    return TUKeyStringlist::CompareStrings(text(0), other.text(0)) < 0;
}

// ---- The frame ----

TframeSciences::TframeSciences(QWidget* parent) : TFRFrameBase(parent) {
    setObjectName(QStringLiteral("frameSciences"));
    SetupFrame();
}

TframeSciences::~TframeSciences() = default;

TFRScienceScreen* TframeSciences::ScienceScreen() const { return qobject_cast<TFRScienceScreen*>(Screen.data()); }

void TframeSciences::SetupFrame() {
    auto toolButton = [](QWidget* parent, const char* name, const QString& caption, const QString& hint,
                         QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(parent);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setToolTip(hint);
        b->setIcon(QApplication::style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        return b;
    };

    // The list view.
    panelList = new QWidget(this);
    panelList->setObjectName(QStringLiteral("panelList"));
    auto* listLayout = new QVBoxLayout(panelList);
    listLayout->setContentsMargins(0, 0, 0, 0);
    panelListTools = new QWidget(panelList);
    auto* tools = new QHBoxLayout(panelListTools);
    tools->setContentsMargins(4, 2, 4, 2);
    sbtnNew = toolButton(panelListTools, "sbtnNew", QStringLiteral("Ny"), QStringLiteral("Ny artikel / artikelgrupp"),
                         QStyle::SP_FileDialogNewFolder);
    sbtnEdit = toolButton(panelListTools, "sbtnEdit", QStringLiteral("Ändra"),
                          QStringLiteral("Ändra markerad artikel / artikelgrupp"), QStyle::SP_FileDialogDetailedView);
    sbtnDelete = toolButton(panelListTools, "sbtnDelete", QStringLiteral("Radera"),
                            QStringLiteral("Radera markerad artikel / artikelgrupp"), QStyle::SP_TrashIcon);
    sbtnOpen = toolButton(panelListTools, "sbtnOpen", QStringLiteral("Visa"), QStringLiteral("Visa markerad artikel"),
                          QStyle::SP_DialogOpenButton);
    for (QToolButton* b : {sbtnNew, sbtnEdit, sbtnDelete, sbtnOpen}) tools->addWidget(b);
    tools->addStretch(1);
    listLayout->addWidget(panelListTools);

    popupNew = new QMenu(this);
    popupNew->setObjectName(QStringLiteral("popupNew"));
    const QStringList entries{QStringLiteral("Ny artikel"), QStringLiteral("Ny artikelgrupp"),
                              QStringLiteral("Ny underliggande artikel"),
                              QStringLiteral("Ny underliggande artikelgrupp")};
    for (int i = 0; i < entries.size(); ++i)
        connect(popupNew->addAction(entries[i]), &QAction::triggered, this,
                [this, i] { Guarded([&] { NewItemClick(i); }); });
    connect(popupNew, &QMenu::aboutToShow, this, [this] {
        const auto* node = static_cast<TScienceNode*>(treeviewMain->currentItem());
        const bool group = node && node->ItemType() == 0;
        popupNew->actions().at(2)->setEnabled(group);
        popupNew->actions().at(3)->setEnabled(group);
    });
    connect(sbtnNew, &QToolButton::clicked, this,
            [this] { popupNew->popup(sbtnNew->mapToGlobal(QPoint(0, sbtnNew->height()))); });
    connect(sbtnEdit, &QToolButton::clicked, this, [this] { Guarded([&] { sbtnEditClick(); }); });
    connect(sbtnDelete, &QToolButton::clicked, this, [this] { Guarded([&] { sbtnDeleteClick(); }); });
    connect(sbtnOpen, &QToolButton::clicked, this, [this] { Guarded([&] { sbtnOpenClick(); }); });

    auto* body = new QHBoxLayout;
    body->setContentsMargins(4, 0, 4, 4);
    treeviewMain = new QTreeWidget(panelList);
    treeviewMain->setObjectName(QStringLiteral("treeviewMain"));
    treeviewMain->setHeaderHidden(true);
    treeviewMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeviewMain->setMinimumWidth(200);
    treeviewMain->setIconSize(QSize(16, 16));
    connect(treeviewMain, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node) { Guarded([&] { treeviewMainClick(node); }); });
    connect(treeviewMain, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { Guarded([&] { treeviewMainClick(node); }); });
    connect(treeviewMain, &QTreeWidget::itemDoubleClicked, this, [this] { Guarded([&] { treeviewMainDblClick(); }); });
    body->addWidget(treeviewMain, 1);

    panelData = new QWidget(panelList);
    panelData->setObjectName(QStringLiteral("panelData"));
    panelData->setMinimumWidth(330);
    panelData->installEventFilter(this);
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, panelData);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    lblName = label("lblName", QStringLiteral("Namn:"));
    dbeditItemName = new TFRDBEdit(panelData);
    dbeditItemName->setObjectName(QStringLiteral("dbeditItemName"));
    dbeditItemName->setMaxLength(40);
    lblDescription = label("lblDescription", QStringLiteral("Beskrivning:"));
    dbmemoDescription = new TFRDBMemo(panelData);
    dbmemoDescription->setObjectName(QStringLiteral("dbmemoDescription"));
    lblSource = label("lblSource", QStringLiteral("Källa:"));
    dbeditSource = new TFRDBEdit(panelData);
    dbeditSource->setObjectName(QStringLiteral("dbeditSource"));
    dbeditSource->setMaxLength(40);
    lblAuthor = label("lblAuthor", QStringLiteral("Författare:"));
    dbeditAuthor = new TFRDBEdit(panelData);
    dbeditAuthor->setObjectName(QStringLiteral("dbeditAuthor"));
    dbeditAuthor->setMaxLength(40);
    lblCreatedBy = label("lblCreatedBy", QStringLiteral("Skapad av:"));
    editCreatedBy = new QLineEdit(panelData);
    editCreatedBy->setObjectName(QStringLiteral("editCreatedBy"));
    editCreatedBy->setReadOnly(true);
    editCreatedBy->setFocusPolicy(Qt::NoFocus);
    btnGetData = new QPushButton(QStringLiteral("Hämta artikeldata..."), panelData);
    btnGetData->setObjectName(QStringLiteral("btnGetData"));
    panelFetchedData = new QLabel(panelData);
    panelFetchedData->setObjectName(QStringLiteral("panelFetchedData"));
    panelFetchedData->setAlignment(Qt::AlignCenter);
    panelFetchedData->setAutoFillBackground(true);
    QFont heavy(QStringLiteral("Arial"));
    heavy.setWeight(QFont::Black);
    panelFetchedData->setFont(heavy);
    bevelSeparator = new QFrame(panelData);
    bevelSeparator->setObjectName(QStringLiteral("bevelSeparator"));
    bevelSeparator->setFrameShape(QFrame::HLine);
    bevelSeparator->setFrameShadow(QFrame::Sunken);
    btnSave = new QPushButton(QStringLiteral("Spara"), panelData);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), panelData);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnGetData, &QPushButton::clicked, this, [this] { Guarded([&] { btnGetDataClick(); }); });
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([&] { btnSaveClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([&] { btnCancelClick(); }); });
    connect(dbeditItemName, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (EditNode && !Browsing()) EditNode->setText(0, text);
    });
    connect(dbmemoDescription, &QPlainTextEdit::textChanged, this, [this] {
        // The field holds 255 characters; more would be cut silently when stored.
        const QString text = dbmemoDescription->toPlainText();
        if (text.size() > 255) {
            QTextCursor cursor = dbmemoDescription->textCursor();
            dbmemoDescription->setPlainText(text.left(255));
            cursor.setPosition(255);
            dbmemoDescription->setTextCursor(cursor);
        }
    });
    body->addWidget(panelData, 1);
    listLayout->addLayout(body, 1);
    BodyLayout()->addWidget(panelList, 1);

    // The article view.
    panelBrowser = new QWidget(this);
    panelBrowser->setObjectName(QStringLiteral("panelBrowser"));
    auto* browserLayout = new QVBoxLayout(panelBrowser);
    browserLayout->setContentsMargins(0, 0, 0, 0);
    auto* browserTools = new QWidget(panelBrowser);
    auto* browserToolsLayout = new QHBoxLayout(browserTools);
    browserToolsLayout->setContentsMargins(4, 2, 4, 2);
    sbtnBack = toolButton(browserTools, "sbtnBack", QStringLiteral("Tillbaka"),
                          QStringLiteral("Tillbaka till artikellistan"), QStyle::SP_ArrowBack);
    browserToolsLayout->addWidget(sbtnBack);
    browserToolsLayout->addStretch(1);
    browserLayout->addWidget(browserTools);
    webMain = new TArticleBrowser(panelBrowser);
    browserLayout->addWidget(webMain, 1);
    connect(sbtnBack, &QToolButton::clicked, this, [this] { Guarded([&] { sbtnBackClick(); }); });
    BodyLayout()->addWidget(panelBrowser, 1);
    panelBrowser->hide();
}

void TframeSciences::InitFrame() {
    EditNode = nullptr;
    TDM* dm = MainForm() ? MainForm()->DataModule() : nullptr;
    if (dm) {
        for (TFRDBEdit* e : {dbeditItemName, dbeditSource, dbeditAuthor}) e->SetDataSource(dm->dsKnowBase);
        dbeditItemName->SetDataField(QStringLiteral("ItemName"));
        dbeditSource->SetDataField(QStringLiteral("Source"));
        dbeditAuthor->SetDataField(QStringLiteral("Author"));
        dbmemoDescription->SetDataSource(dm->dsKnowBase);
        dbmemoDescription->SetDataField(QStringLiteral("Description"));
    }
}

void TframeSciences::LoadSettings() {
    TFRFrameBase::LoadSettings();
    ShowingArticle = false;
    if (TFRScienceScreen* screen = ScienceScreen()) screen->FillTree(treeviewMain);
    UpdateScreen();
}

void TframeSciences::AfterExport() {
    TFRFrameBase::AfterExport();
    if (TFRScienceScreen* screen = ScienceScreen()) screen->FillTree(treeviewMain);
}

bool TframeSciences::Browsing() const {
    return !DataSet || (DataSet->State() != TDataSetState::dsEdit && DataSet->State() != TDataSetState::dsInsert);
}

bool TframeSciences::eventFilter(QObject* watched, QEvent* e) {
    if (watched == panelData && e->type() == QEvent::Resize) PlaceDataColumn();
    return TFRFrameBase::eventFilter(watched, e);
}

// Rows keep the heights the data column was designed with; the widths follow the column.
void TframeSciences::PlaceDataColumn() {
    const int w = panelData->width();
    const int left = 8, field = 100, fieldWidth = std::max(120, w - field - 8);
    for (QLabel* l : {lblName, lblDescription, lblSource, lblAuthor, lblCreatedBy})
        l->setGeometry(left, l->y(), 90, 20);
    for (QWidget* c : std::initializer_list<QWidget*>{dbeditItemName, dbeditSource, dbeditAuthor, editCreatedBy})
        c->setGeometry(field, c->y(), fieldWidth, 20);
    dbmemoDescription->setGeometry(field, dbmemoDescription->y(), fieldWidth, 65);
    // The button and its status share the row; the status keeps a fixed width at the right.
    const int statusWidth = 90;
    btnGetData->setGeometry(left, btnGetData->y(), std::max(150, w - 2 * left - statusWidth - 8), 25);
    panelFetchedData->setGeometry(btnGetData->geometry().right() + 9, panelFetchedData->y(), statusWidth, 25);
    bevelSeparator->setGeometry(left, bevelSeparator->y(), w - 2 * left, 2);
    btnSave->setGeometry(field, btnSave->y(), 90, 27);
    btnCancel->setGeometry(field + 98, btnCancel->y(), 90, 27);
}

void TframeSciences::UpdateFrame() {
    TClientDataSet* table = DataSet;
    const bool active = table && table->Active();
    const bool hasRecords = active && !table->IsEmpty();
    const bool browsing = Browsing();
    const bool inserting = active && table->State() == TDataSetState::dsInsert;
    TFRScienceScreen* screen = ScienceScreen();

    // 1. The table follows the tree's selection.
    if (browsing && hasRecords) {
        if (const auto* node = static_cast<TScienceNode*>(treeviewMain->currentItem()))
            if (node->UKey() != GetUKey(table)) static_cast<void>(LocateUKey(table, node->UKey()));
    }
    const bool articleNow =
        active && (!table->IsEmpty() || !browsing) && table->FieldByName(QStringLiteral("ItemType"))->AsInteger() == 1;

    // 2. One view at a time.
    panelList->setVisible(!ShowingArticle);
    panelBrowser->setVisible(ShowingArticle);
    if (!ShowingArticle) {
        sbtnNew->setEnabled(browsing);
        treeviewMain->setEnabled(browsing);
        sbtnEdit->setEnabled(browsing && hasRecords && GetCreatedBy(table) == GetCurrentUserContactUKey());
        sbtnDelete->setEnabled(browsing && hasRecords);
        sbtnOpen->setEnabled(hasRecords && browsing && articleNow);

        QString creator;
        if (inserting) {
            TDM* dm = MainForm() ? MainForm()->DataModule() : nullptr;
            if (dm && dm->cdsCurrentUser && dm->cdsCurrentUser->Active() && !dm->cdsCurrentUser->IsEmpty())
                creator = dm->cdsCurrentUser->FieldByName(QStringLiteral("UserName"))->AsString();
        } else if (hasRecords) {
            TDM* dm = MainForm() ? MainForm()->DataModule() : nullptr;
            TDMServices* services = dm ? TDMServices::Of(dm) : nullptr;
            const QString key = GetCreatedBy(table);
            creator = services ? services->GetContactName(key)
                               : (key.isEmpty() ? QStringLiteral("Mykotekshallen") : QString());
        }
        editCreatedBy->setText(creator);
        panelFrameHeader->setText(kCaption + QStringLiteral(" - översikt"));

        TformFRMain* main = MainForm();
        const bool showCreator = articleNow && creator != dbeditAuthor->text();
        auto stack = [main](QWidget* control, bool show, int advance) {
            if (main) main->StackControl(control, show, advance, 0);
        };
        if (main) main->StackPos = 15;
        stack(lblName, !browsing || articleNow, 0);
        stack(dbeditItemName, !browsing || articleNow, 20);
        stack(lblDescription, articleNow, 0);
        stack(dbmemoDescription, articleNow, 70);
        stack(lblSource, articleNow, 0);
        stack(dbeditSource, articleNow, 20);
        stack(lblAuthor, articleNow, 0);
        stack(dbeditAuthor, articleNow, 20);
        stack(lblCreatedBy, showCreator, 0);
        stack(editCreatedBy, showCreator, 20);
        stack(btnGetData, articleNow && !browsing, 0);
        stack(panelFetchedData, articleNow && !browsing, 30);
        stack(bevelSeparator, !browsing, 15);
        stack(btnSave, !browsing, 0);
        stack(btnCancel, !browsing, 35);
        PlaceDataColumn();
        const bool fetched = screen && screen->DataFetched;
        btnGetData->setText(inserting ? QStringLiteral("Hämta artikeldata...")
                                      : QStringLiteral("Uppdatera artikeldata..."));
        panelFetchedData->setText(fetched ? QStringLiteral("OK") : QStringLiteral("Ej hämtat"));
        QPalette palette = panelFetchedData->palette();
        palette.setColor(QPalette::Window, ColorFromNumber(fetched ? 32768 : 255));
        palette.setColor(QPalette::WindowText, Qt::white);
        panelFetchedData->setPalette(palette);
    } else {
        panelFrameHeader->setText(kCaption + QStringLiteral(" - ") + FieldText(table, "ItemName"));
    }
    // 5. Records that reached the table while the tree was empty.
    if (screen && treeviewMain->topLevelItemCount() == 0 && hasRecords) screen->FillTree(treeviewMain);
}

TScienceNode* TframeSciences::NodeOfKey(const QString& ukey) const {
    for (QTreeWidgetItemIterator it(treeviewMain); *it; ++it) {
        auto* node = static_cast<TScienceNode*>(*it);
        if (node->UKey() == ukey) return node;
    }
    return nullptr;
}

void TframeSciences::SelectNode(QTreeWidgetItem* node) {
    m_selecting = true;
    treeviewMain->setCurrentItem(node);
    m_selecting = false;
}

void TframeSciences::treeviewMainClick(QTreeWidgetItem* node) {
    if (m_selecting || !node || !DataSet || !Browsing() || DataSet->IsEmpty()) return;
    const QString key = static_cast<TScienceNode*>(node)->UKey();
    if (!LocateUKey(DataSet, key))
        throw Exception(QStringLiteral("Databasposten som är associerad till artikeln kunde inte hittas!"));
    UpdateScreen();
}

void TframeSciences::treeviewMainDblClick() {
    if (sbtnOpen->isEnabled()) sbtnOpenClick();
}

void TframeSciences::NewItemClick(int entry) {
    TFRScienceScreen* screen = ScienceScreen();
    if (!screen || !Browsing()) return;
    auto* selected = static_cast<TScienceNode*>(treeviewMain->currentItem());
    const bool below = entry >= 2;
    if (below && (!selected || selected->ItemType() != 0)) return;
    QString master;
    auto* node = new TScienceNode(QString(), entry % 2 == 0 ? 1 : 0, QString());
    if (below) {
        master = selected->UKey();
        selected->addChild(node);
        selected->setExpanded(true);
    } else if (selected && selected->parent()) {
        master = static_cast<TScienceNode*>(selected->parent())->UKey();
        selected->parent()->addChild(node);
    } else {
        treeviewMain->addTopLevelItem(node);
    }
    EditNode = node;
    SelectNode(node);
    if (entry % 2 == 0)
        screen->NewArticle(master);
    else
        screen->NewGroup(master);
}

void TframeSciences::sbtnEditClick() {
    TFRScienceScreen* screen = ScienceScreen();
    if (!screen) return;
    EditNode = treeviewMain->currentItem();
    screen->EditItem();
}

void TframeSciences::sbtnDeleteClick() {
    QTreeWidgetItem* node = treeviewMain->currentItem();
    if (!node || !DataSet || DataSet->IsEmpty()) return;
    if (node->childCount() > 0)
        throw Exception(QStringLiteral(
            "Artikelgruppen kan inte raderas eftersom den fortfarande innehåller underliggande artiklar!"));
    const QString name = DataSet->FieldByName(QStringLiteral("ItemName"))->AsString();
    const bool article = DataSet->FieldByName(QStringLiteral("ItemType"))->AsInteger() == 1;
    const QString question = article
        ? QStringLiteral("Du är på väg att radera artikeln \"%1\". Skall raderingen genomföras?").arg(name)
        : QStringLiteral("Du är på väg att radera artikelgruppen \"%1\". Skall raderingen genomföras?").arg(name);
    if (!UIServices::AskYesNo(question, QStringLiteral("Mykotekshallen - Bekräfta radering"),
                              UIServices::TMsgIcon::Warning))
        return;
    DataSet->Delete();
    delete node;
    UpdateScreen();
}

void TframeSciences::sbtnOpenClick() {
    if (!DataSet || DataSet->IsEmpty()) return;
    const QString key = GetUKey(DataSet);
    {
        TStatusScope status(QStringLiteral("200,Öppnar artikel..."));
        const QString folder = GetTempKnowBaseFolder();
        if (QFileInfo(folder).isDir()) {
            TFolderTotals totals;
            HandleFolders(folder, QString(), totals, HF_DELETE | HF_RECURSIVE | HF_FOLDERS | HF_FILES);
        }
        MainForm()->UnzipTo(GetKnowBaseFile(key), folder);
        webMain->Navigate(folder, QStringLiteral("main.htm"));
        ShowingArticle = true;
    }
    UpdateScreen();
}

void TframeSciences::sbtnBackClick() {
    ShowingArticle = false;
    UpdateScreen();
}

void TframeSciences::btnGetDataClick() {
    TFRScienceScreen* screen = ScienceScreen();
    if (!screen || !DataSet) return;
    QString start;
    TFRIniFile* settings = IniFile();
    // Never written yet: the dialog's own folder.
    if (settings) start = settings->ReadString(QStringLiteral("Settings/ArticleFolder"), QString());
    const QString file = UIServices::GetOpenFileName(this, QStringLiteral("Välj artikelns huvudsida"), start,
                                                     QStringLiteral("HTML-filer (*.htm *.html);;Alla filer (*)"));
    if (file.isEmpty()) return;
    const QString folder = FolderWithSlash(QFileInfo(file).absolutePath());
    if (ResolveArticleFile(folder, QStringLiteral("main.htm")).isEmpty())
        throw Exception(QStringLiteral("Filen \"main.htm\" kunde inte hittas i angiven sökväg!"));
    qint64 total = 0;
    ArticleFolderFiles(folder, &total);
    if (total / (1024 * 1024) > MaxArticleSizeMb) {
        const QString question =
            QStringLiteral("Sökvägen Du har angivit för artikeln innehåller över %1Mb data. Vill Du fortsätta?")
                .arg(MaxArticleSizeMb);
        if (!UIServices::AskYesNo(question, QStringLiteral("Mykotekshallen - Varning"), UIServices::TMsgIcon::Warning))
            return;
    }
    if (settings) settings->WriteString(QStringLiteral("Settings/ArticleFolder"), folder);
    {
        TStatusScope status(QStringLiteral("200,Läser in och paketerar artikeldata..."));
        MainForm()->ZipFolder(folder, GetTempKnowBaseFile(GetUKey(DataSet)));
        screen->DataFetched = true;
    }
    UpdateScreen();
}

void TframeSciences::btnSaveClick() {
    TFRScienceScreen* screen = ScienceScreen();
    if (!screen || !DataSet || Browsing()) return;
    if (DataSet->FieldByName(QStringLiteral("ItemType"))->AsInteger() == 1 && !screen->DataFetched) {
        btnGetData->setFocus();
        throw Exception(QStringLiteral("Artikeldata har inte hämtats. Artikeln kan inte sparas!"));
    }
    if (dbeditItemName->text().trimmed().isEmpty()) {
        dbeditItemName->setFocus();
        throw Exception(QStringLiteral("Du måste ange ett namn!"));
    }
    const QString key = GetUKey(DataSet);
    DataSet->Post();
    const QString temp = GetTempKnowBaseFile(key);
    if (QFileInfo::exists(temp)) {
        // Written beside the stored file and renamed over it, so a failure keeps the old one.
        CopyFileAtomically(temp, GetKnowBaseFile(key), QStringLiteral("Filen \"%1\" kunde inte sparas"));
        QFile::remove(temp);
    }
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    if (EditNode) static_cast<TScienceNode*>(EditNode)->SetUKey(key);
    EditNode = nullptr;
    UpdateScreen();
    treeviewMain->sortItems(0, Qt::AscendingOrder);
    treeviewMain->setFocus();
}

void TframeSciences::btnCancelClick() {
    if (!DataSet) return;
    const QString key = GetUKey(DataSet);
    if (DataSet->State() == TDataSetState::dsInsert && EditNode) {
        QTreeWidgetItem* node = EditNode;
        EditNode = nullptr;
        delete node;
    }
    DataSet->Cancel();
    // The caption followed the typing; it goes back with the record.
    if (EditNode && !DataSet->IsEmpty())
        EditNode->setText(0, DataSet->FieldByName(QStringLiteral("ItemName"))->AsString());
    // Cancelled data must never be saved by a later edit.
    QFile::remove(GetTempKnowBaseFile(key));
    EditNode = nullptr;
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    if (auto* node = NodeOfKey(GetUKey(DataSet))) SelectNode(node);
    UpdateScreen();
}

TFRHistoryItem* TframeSciences::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = Screen.data();
    item->DataSet = DataSet;
    item->Title = QStringLiteral("Till Svampvetenskap");
    item->UKey = DataSet && DataSet->Active() && !DataSet->IsEmpty() ? GetUKey(DataSet) : QString();
    return item;
}

void TframeSciences::RestoreHistory(TFRHistoryItem* item) {
    if (!item || !DataSet) return;
    static_cast<void>(LocateUKey(DataSet, item->UKey));
    if (TScienceNode* node = NodeOfKey(item->UKey)) SelectNode(node);
}
