#include "content/tools/unitFrameTools.h"

#include <QLabel>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <memory>

#include "content/tools/unitLPWizard.h"
#include "content/tools/unitRepairWizard.h"
#include "content/tools/unitSSWizard.h"
#include "controls/FRToolPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIConnection.h"
#include "core/UKeyStringlist.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/UIServices.h"

QPointer<TframeTools> frameTools;

namespace {
// The text column of a tile: wide enough for the texts, never a line across a wide screen.
constexpr int kTextMaxWidth = 640;

TFRToolPanel* MakeTile(QWidget* parent, const QString& name, const QPixmap& glyph, const QString& header,
                       const QStringList& text) {
    auto* tile = new TFRToolPanel(parent);
    tile->setObjectName(name);
    tile->SetGlyph(glyph);
    tile->SetHeaderCaption(header);
    tile->SetText(text);
    tile->SetTextMaxWidth(kTextMaxWidth);
    return tile;
}
}  // namespace

TframeTools::TframeTools(TDM* dm, QWidget* parent) : TFRFrameBase(parent), m_dm(dm) {}

TframeTools::~TframeTools() = default;

void TframeTools::InitFrame() {
    panelFrameHeader->setText(QStringLiteral("   Verktyg"));

    scrollTools = new QScrollArea(this);
    scrollTools->setObjectName(QStringLiteral("scrollTools"));
    scrollTools->setFrameShape(QFrame::NoFrame);
    scrollTools->setWidgetResizable(true);
    scrollTools->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panelTools = new QWidget;
    panelTools->setObjectName(QStringLiteral("panelTools"));
    auto* column = new QVBoxLayout(panelTools);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);

    toolpDatabaseControl = MakeTile(
        panelTools, QStringLiteral("toolpDatabaseControl"), RepairGlyph(40),
        QStringLiteral("Kontroll och reparation av Mykotekshallens databas"),
        {QStringLiteral("   Detta verktyg är endast tillgängligt för administratören. Om det uppstår något problem "
                        "med operativsystemet, datorn eller Mykotekshallen så kan en kontroll och reparation av "
                        "databasen behövas.")});
    toolpSSImport = MakeTile(
        panelTools, QStringLiteral("toolpSSImport"), style()->standardIcon(QStyle::SP_DriveCDIcon).pixmap(40, 40),
        QStringLiteral("Import av svampbilder från SMFs programvara Sveriges svampar"),
        {QStringLiteral("   SMF, Sveriges mykologiska förening, har givit ut 3 CD-skivor med högupplösta bilder på "
                        "samlade, inscannade svampar. Totalt omfattar de 3 volymerna mer än 1300 bilder."),
         QStringLiteral("   Om Du har tillgång till dessa skivor kan Du importera bilderna på dem till "
                        "Mykotekshallen, grupperade under rätt art.")});
    toolpLinkPicDownload = MakeTile(
        panelTools, QStringLiteral("toolpLinkPicDownload"), style()->standardIcon(QStyle::SP_ArrowDown).pixmap(40, 40),
        QStringLiteral("Nedladdning av samtliga länkade bilder från Internet"),
        {QStringLiteral("   Mykotekshallen innehåller en stor mängd bilder som består av länkar till svampbilder på "
                        "Internet. Med det här verktyget kan Du ladda ner samtliga bilder på en gång."),
         QStringLiteral("   OBS! Nedladdningstiden beror till stor del på hastigheten på Din Internet-anslutning, "
                        "och kan ta flera timmar. Du har närsomhelst möjlighet att avbryta nedladdningen för att "
                        "återuppta den vid ett senare tillfälle.")});
    toolpDatabaseControl->OnClick = [this](TFRToolPanel*) { toolpDatabaseControlClick(); };
    toolpSSImport->OnClick = [this](TFRToolPanel*) { toolpSSImportClick(); };
    toolpLinkPicDownload->OnClick = [this](TFRToolPanel*) { toolpLinkPicDownloadClick(); };
    for (TFRToolPanel* tile : {toolpDatabaseControl, toolpSSImport, toolpLinkPicDownload}) column->addWidget(tile);
    column->addStretch(1);

    scrollTools->setWidget(panelTools);
    BodyLayout()->addWidget(scrollTools, 1);
}

void TframeTools::toolpDatabaseControlClick() {
    if (!IsLoggedInAdministrator()) {
        UIServices::ShowInformation(QStringLiteral("Den här funktionen är endast tillgänglig för administratören."));
        return;
    }
    {
        TformRepairWizard wizard(m_dm, window());
        UIServices::ExecDialog(&wizard);
    }
    ReapplyQuickSelection();
}

void TframeTools::toolpSSImportClick() { RunSSWizard(); }

void TframeTools::toolpLinkPicDownloadClick() {
    RunLPWizard();
    ReapplyQuickSelection();
}

void TframeTools::RunSSWizard() {
    // The species are found by the names the main window lists.
    static const TUKeyStringlist noNames;
    TformFRMain* main = MainForm();
    TformSSWizard wizard(m_dm, main ? main->FungiNames : noNames, window());
    UIServices::ExecDialog(&wizard);
}

void TframeTools::RunLPWizard() {
    // The program's one connection; a window of its own only where there is no main window.
    TformFRMain* main = MainForm();
    std::unique_ptr<TFRIConnection> own;
    TFRIConnection* connection = main ? main->Connection() : nullptr;
    if (!connection) {
        own = std::make_unique<TFRIConnection>();
        connection = own.get();
    }
    TformLPWizard wizard(m_dm, *connection, window());
    UIServices::ExecDialog(&wizard);
}

void TframeTools::ReapplyQuickSelection() {
    if (!m_dm->cdsFungi->Sel().isEmpty()) return;
    if (TDMServices* services = TDMServices::Of(m_dm)) services->BuildQuickSelection(false);
}

#include "moc_unitFrameTools.cpp"
