#include "content/internet/unitFrameInternets.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/FRGuard.h"
#include "controls/FRToolPanel.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/ProgramFolders.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/ShellServices.h"

// ---- Launcher ----------------------------------------------------------------------------

namespace InternetShell {
namespace {
TOpenUrlHook g_openUrl;
TStartProgramHook g_startProgram;

// Files the desktop would run rather than show, whatever their permission bits say.
bool IsRunnableSuffix(const QString& suffix) {
    static const QStringList runnable = {"exe", "com", "bat", "cmd",     "msi", "scr",      "pif", "vbs",
                                         "vbe", "js",  "jse", "wsf",     "wsh", "ps1",      "hta", "cpl",
                                         "lnk", "jar", "sh",  "desktop", "run", "appimage", "bin", "reg"};
    return runnable.contains(suffix.toLower());
}

QString CanonicalFolder(const QString& folder) {
    QString path = QFileInfo(folder).canonicalFilePath();
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}
}  // namespace

void SetOpenUrlHook(TOpenUrlHook hook) { g_openUrl = std::move(hook); }
void SetStartProgramHook(TStartProgramHook hook) { g_startProgram = std::move(hook); }

ShellServices::TOpenResult Open(const QUrl& url) {
    using ShellServices::TOpenResult;
    if (g_openUrl) return g_openUrl(url) ? TOpenResult::Opened : TOpenResult::Failed;
    return ShellServices::Open(url);
}

bool OpenUrl(const QUrl& url) { return Open(url) == ShellServices::TOpenResult::Opened; }

bool StartProgram(const QString& program, const QStringList& arguments, const QString& workingFolder) {
    if (g_startProgram) return g_startProgram(program, arguments, workingFolder);
    return QProcess::startDetached(program, arguments, workingFolder);
}

std::optional<QUrl> LinkTarget(const QString& rowData) {
    const QString text = rowData.trimmed();
    if (text.isEmpty()) return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // A drive letter ("C:\...") reads as a one-letter scheme: it is a local path.
    if (url.isValid() && scheme.size() > 1 && scheme != QLatin1String("file")) {
        static const QStringList allowed = {"http", "https", "ftp", "mailto"};
        if (!allowed.contains(scheme)) return std::nullopt;
        if (scheme != QLatin1String("mailto") && url.host().isEmpty()) return std::nullopt;
        return url;
    }
    // A bare web address, as the desktop's own "open" takes it.
    if (scheme.isEmpty() && text.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        const QUrl web(QStringLiteral("http://") + text, QUrl::StrictMode);
        if (web.isValid() && !web.host().isEmpty()) return web;
    }
    QString path = scheme == QLatin1String("file") ? url.toLocalFile() : text;
    path = QDir::fromNativeSeparators(path);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) return std::nullopt;
    if (info.isFile() && (info.isExecutable() || IsRunnableSuffix(info.suffix()))) return std::nullopt;
    return QUrl::fromLocalFile(info.absoluteFilePath());
}

std::optional<TProgramLine> ProgramTarget(const QString& rowData, const QString& programFolder) {
    QString line = rowData;
    line.replace(QLatin1String("#progdir#"), FolderWithSlash(programFolder), Qt::CaseInsensitive);
    line = QDir::fromNativeSeparators(line);
    QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty()) return std::nullopt;
    const QString root = CanonicalFolder(programFolder);
    const QFileInfo info(QDir::cleanPath(words.takeFirst()));
    const QString program = info.canonicalFilePath();
    if (root.isEmpty() || program.isEmpty() || !program.startsWith(root)) return std::nullopt;
    const QFileInfo target(program);
    if (!target.isFile() || !target.isExecutable()) return std::nullopt;
    return TProgramLine{program, words};
}
}  // namespace InternetShell

// ---- The frame -----------------------------------------------------------------------------

namespace {
constexpr int kPanelHeight = 67;
constexpr int kPanelGap = 2;
constexpr int kTextMaxWidth = 530;
const QString kMain = QStringLiteral("main");
const QString kMainInv = QStringLiteral("main_inv");
}  // namespace

TframeInternets::TframeInternets(TDM* dm, TFRIniFile* settings, QWidget* parent)
    : TFRFrameBase(parent), m_dm(dm), m_settings(settings) {}

TframeInternets::~TframeInternets() = default;

TExtClientDataSet* TframeInternets::Items() const { return m_dm->cdsInternet; }

void TframeInternets::InitFrame() {
    panelFrameHeader->setText(QStringLiteral("Internet-resurser"));
    pagesMain = new QStackedWidget(this);
    tabsMain = new QWidget(pagesMain);
    auto* column = new QVBoxLayout(tabsMain);
    column->setContentsMargins(8, 8, 8, 8);
    auto* bar = new QHBoxLayout;
    sbtnBack = new QToolButton(tabsMain);
    sbtnBack->setText(QStringLiteral("Tillbaka"));
    sbtnBack->setToolTip(QStringLiteral("Tillbaka till föregående nivå"));
    sbtnBack->setArrowType(Qt::LeftArrow);
    sbtnBack->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(sbtnBack, &QToolButton::clicked, this, [this] { Guarded([this] { sbtnBackClick(); }); });
    bar->addWidget(sbtnBack);
    bar->addStretch(1);
    column->addLayout(bar);

    scrollPanels = new QScrollArea(tabsMain);
    scrollPanels->setFrameShape(QFrame::NoFrame);
    scrollPanels->setWidgetResizable(true);
    scrollPanels->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panelHolder = new QWidget;
    panelHolder->installEventFilter(this);
    lblNoItems = new QLabel(QStringLiteral("Inga ytterligare resurser här!"), panelHolder);
    QFont font = lblNoItems->font();
    font.setBold(true);
    lblNoItems->setFont(font);
    lblNoItems->move(8, 8);
    lblNoItems->adjustSize();
    lblNoItems->hide();
    scrollPanels->setWidget(panelHolder);
    column->addWidget(scrollPanels, 1);
    pagesMain->addWidget(tabsMain);
    BodyLayout()->addWidget(pagesMain, 1);

    // Surplus panels are freed only after the event that hid them, which may be the click
    // of one of them.
    timerDeletePanels.setSingleShot(true);
    timerDeletePanels.setInterval(5);
    connect(&timerDeletePanels, &QTimer::timeout, this, [this] { DeleteSurplusPanels(); });
}

void TframeInternets::LoadSettings() {
    CurrentMasterUKey.clear();
    if (m_settings) CurrentMasterUKey = m_settings->ReadString(QStringLiteral("Internet/MasterUKey"), QString());
    // The level shows in the order it was entered with.
    Items()->SetIndexName(IndexForLevel(CurrentMasterUKey));
    pagesMain->setCurrentWidget(tabsMain);
}

void TframeInternets::UpdateFrame() {
    sbtnBack->setEnabled(!CurrentMasterUKey.isEmpty());
    BuildPanels();
    TFRFrameBase::UpdateFrame();
}

QString TframeInternets::IndexForLevel(const QString& masterKey) {
    if (masterKey.isEmpty()) return kMain;
    TExtClientDataSet* items = Items();
    if (!LocateUKey(items, masterKey)) return kMain;
    return items->FieldByName(QStringLiteral("SortDesc"))->AsBoolean() ? kMainInv : kMain;
}

void TframeInternets::BuildPanels() {
    TExtClientDataSet* items = Items();
    TDMServices* services = TDMServices::Install(m_dm);
    panelHolder->hide();
    int used = 0;
    if (items->Active()) {
        TField* master = items->FieldByName(QStringLiteral("MasterUKey"));
        for (items->First(); !items->Eof(); items->Next()) {
            if (master->AsString() != CurrentMasterUKey) continue;
            if (used == m_panels.size()) {
                auto* panel = new TFRToolPanel(panelHolder);
                panel->SetTextMaxWidth(kTextMaxWidth);
                panel->OnClick = [this](TFRToolPanel* p) { ToolPanelClick(p); };
                m_panels.append({panel, QString()});
            }
            TPanelItem& entry = m_panels[used];
            entry.Key = GetUKey(items);
            entry.Panel->setGeometry(0, (kPanelHeight + kPanelGap) * used, panelHolder->width(), kPanelHeight);
            FillPanel(entry.Panel);
            entry.Panel->SetText(services->LoadTextRows(m_dm->cdsInternetTexts, 0));
            entry.Panel->show();
            ++used;
        }
    }
    m_firstSurplus = used;
    for (int i = used; i < m_panels.size(); ++i) m_panels[i].Panel->hide();
    if (used < m_panels.size()) timerDeletePanels.start();
    lblNoItems->setVisible(used == 0);
    panelHolder->setMinimumHeight(used == 0 ? lblNoItems->height() + 16 : (kPanelHeight + kPanelGap) * used);
    panelHolder->show();
}

void TframeInternets::FillPanel(TFRToolPanel* panel) {
    TExtClientDataSet* items = Items();
    panel->SetHeaderCaption(items->FieldByName(QStringLiteral("Header"))->AsString());
    panel->setToolTip(items->FieldByName(QStringLiteral("Hint"))->AsString());
    QString picture;
    if (items->FieldByName(QStringLiteral("HasPic"))->AsBoolean()) {
        try {
            picture = GetInternetPicFile(GetUKey(items));
        } catch (const Exception&) {
            // A key that cannot name a file has no picture.
        }
    } else {
        const bool subMenu = items->FieldByName(QStringLiteral("Action"))->AsInteger() == iaSubMenu;
        picture =
            GetPicsPath(subMenu ? QStringLiteral("_IPActionSubMenu.bmp") : QStringLiteral("_IPActionUndefined.bmp"));
    }
    QPixmap glyph;
    if (!picture.isEmpty()) glyph.load(picture);
    panel->SetGlyph(glyph);
}

void TframeInternets::DeleteSurplusPanels() {
    while (m_panels.size() > m_firstSurplus) m_panels.takeLast().Panel->deleteLater();
}

QList<TFRToolPanel*> TframeInternets::VisiblePanels() const {
    QList<TFRToolPanel*> shown;
    for (int i = 0; i < m_firstSurplus && i < m_panels.size(); ++i) shown.append(m_panels[i].Panel);
    return shown;
}

void TframeInternets::FitPanelWidths() {
    for (const TPanelItem& entry : m_panels) entry.Panel->resize(panelHolder->width(), kPanelHeight);
}

bool TframeInternets::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panelHolder && event->type() == QEvent::Resize) FitPanelWidths();
    return TFRFrameBase::eventFilter(watched, event);
}

void TframeInternets::AddHistoryItem() {
    if (!Screen || !Screen->RecordHistory) return;
    if (TFRHistoryItems* history = History()) history->Add(CreateHistoryItem());
}

void TframeInternets::SetLevel(const QString& masterKey) {
    AddHistoryItem();
    CurrentMasterUKey = masterKey;
    Items()->SetIndexName(IndexForLevel(masterKey));
    BuildPanels();
    if (Screen)
        UpdateScreen();
    else
        UpdateFrame();
}

void TframeInternets::ToolPanelClick(TFRToolPanel* panel) {
    QString key;
    for (const TPanelItem& entry : m_panels)
        if (entry.Panel == panel) key = entry.Key;
    // Found by key, not by position: the table may have been reloaded since the build.
    TExtClientDataSet* items = Items();
    if (key.isEmpty() || !LocateUKey(items, key)) return;
    const QString rowData = items->FieldByName(QStringLiteral("RowData"))->AsString();
    switch (items->FieldByName(QStringLiteral("Action"))->AsInteger()) {
        case iaSubMenu:
            SetLevel(key);
            break;
        case iaLink: {
            const std::optional<QUrl> url = InternetShell::LinkTarget(rowData);
            const ShellServices::TOpenResult result =
                url ? InternetShell::Open(*url) : ShellServices::TOpenResult::Failed;
            // A link that is fine but has nothing on this computer to open it is not called invalid.
            if (result == ShellServices::TOpenResult::NoHandler) {
                if (url->isLocalFile())
                    throw Exception(
                        QStringLiteral("Filen \"%1\" kunde inte öppnas, eftersom det inte finns något program "
                                       "för den inställt på datorn.")
                            .arg(rowData));
                if (url->scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0)
                    throw Exception(QStringLiteral("Länken \"%1\" kunde inte öppnas, eftersom det inte finns något "
                                                   "e-postprogram inställt på datorn.")
                                        .arg(rowData));
                throw Exception(QStringLiteral("Länken \"%1\" kunde inte öppnas, eftersom det inte finns någon "
                                               "webbläsare inställd på datorn.")
                                    .arg(rowData));
            }
            if (result != ShellServices::TOpenResult::Opened)
                throw Exception(
                    QStringLiteral("Länken \"%1\" kunde inte öppnas. Den är kanske inte giltig längre!").arg(rowData));
            break;
        }
        case iaMail: {
            const QString address = rowData.trimmed();
            const QUrl url(QStringLiteral("mailto:") + address, QUrl::StrictMode);
            const ShellServices::TOpenResult result =
                address.isEmpty() || !url.isValid() ? ShellServices::TOpenResult::Failed : InternetShell::Open(url);
            if (result == ShellServices::TOpenResult::NoHandler)
                throw Exception(QStringLiteral(
                    "Mailhanteraren kunde inte öppnas, eftersom det inte finns något e-postprogram inställt på datorn."));
            if (result != ShellServices::TOpenResult::Opened)
                throw Exception(QStringLiteral("Mailhanteraren kunde inte öppnas!"));
            break;
        }
        case iaRunExe: {
            const auto line = InternetShell::ProgramTarget(rowData, GetProgramFolder());
            if (!line || !InternetShell::StartProgram(line->Program, line->Arguments, QFileInfo(line->Program).path()))
                throw Exception(
                    QStringLiteral("Körning av EXE-fil \"%1\" misslyckades. Mykotekshallen kan behöva installeras om!")
                        .arg(rowData));
            break;
        }
        default:
            // "Kör event" and unknown actions do nothing.
            break;
    }
}

void TframeInternets::sbtnBackClick() {
    QString parent;
    TExtClientDataSet* items = Items();
    if (!CurrentMasterUKey.isEmpty() && LocateUKey(items, CurrentMasterUKey))
        parent = items->FieldByName(QStringLiteral("MasterUKey"))->AsString();
    // The order is that of the level returned to, so it shows as it did when entered.
    SetLevel(parent);
}

TFRHistoryItem* TframeInternets::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = Screen.data();
    item->DataSet = Items();
    item->Title = QStringLiteral("Till Internet-resurser");
    item->SetValues(QStringLiteral("CurrentMasterUKey"), CurrentMasterUKey);
    item->SetValues(QStringLiteral("IndexName"), Items()->IndexName());
    return item;
}

void TframeInternets::RestoreHistory(TFRHistoryItem* item) {
    CurrentMasterUKey = item->Values(QStringLiteral("CurrentMasterUKey"));
    const QString index = item->Values(QStringLiteral("IndexName"));
    Items()->SetIndexName(index == kMainInv ? kMainInv : kMain);
    BuildPanels();
}

#include "moc_unitFrameInternets.cpp"
