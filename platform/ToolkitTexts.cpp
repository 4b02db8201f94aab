#include "platform/ToolkitTexts.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// The toolkit's source texts and ours, the same whichever part of a dialog asks.
const QHash<QString, QString>& Texts() {
    static const QHash<QString, QString> texts = [] {
        const char* const pairs[][2] = {
            // The print dialog.
            {"Print", "Skriv ut"},
            {"&Print", "&Skriv ut"},
            {"&Options >>", "&Alternativ >>"},
            {"&Options <<", "&Alternativ <<"},
            {"Print to File (PDF)", "Skriv ut till fil (PDF)"},
            {"Print To File ...", "Skriv ut till fil ..."},
            {"Local file", "Lokal fil"},
            {"Write PDF file", "Skriv en PDF-fil"},
            {"Printer", "Skrivare"},
            {"&Name:", "&Namn:"},
            {"P&roperties", "&Egenskaper"},
            {"Location:", "Plats:"},
            {"Type:", "Typ:"},
            {"Output &file:", "Utskrifts&fil:"},
            {"Preview", "Förhandsgranskning"},
            {"%1 is a directory.\nPlease choose a different file name.", "%1 är en mapp.\nVälj ett annat filnamn."},
            {"%1 already exists.\nDo you want to overwrite it?", "%1 finns redan.\nVill du skriva över den?"},
            {"File %1 is not writable.\nPlease choose a different file name.",
             "Det går inte att skriva till filen %1.\nVälj ett annat filnamn."},
            {"Options 'Pages Per Sheet' and 'Page Set' cannot be used together.\nPlease turn one of those options off.",
             "Alternativen \"Sidor per ark\" och \"Sidurval\" kan inte användas tillsammans.\nStäng av ett av dem."},
            {"There are conflicts in some options. Please fix them.",
             "Några alternativ står i strid med varandra. Rätta dem."},
            {"%1 does not follow the correct syntax. Please use ',' to separate ranges and pages, '-' to define "
             "ranges and make sure ranges do not intersect with each other.",
             "%1 är inte skrivet på rätt sätt. Skilj sidor och intervall åt med \",\", ange intervall med \"-\" "
             "och se till att intervallen inte överlappar varandra."},
            {"Invalid Pages Definition", "Ogiltiga sidor"},
            // Copies, page range and output.
            {"Copies", "Kopior"},
            {"Copies:", "Kopior:"},
            {"Print range", "Utskriftsintervall"},
            {"Print all", "Skriv ut allt"},
            {"Pages from", "Sidor från"},
            {"to", "till"},
            {"Pages", "Sidor"},
            {"Current Page", "Aktuell sida"},
            {"Selection", "Markering"},
            {"Page Set:", "Sidurval:"},
            {"All Pages", "Alla sidor"},
            {"Odd Pages", "Udda sidor"},
            {"Even Pages", "Jämna sidor"},
            {"Output Settings", "Utskriftsinställningar"},
            {"Collate", "Sortera"},
            {"Reverse", "Omvänd ordning"},
            {"Options", "Alternativ"},
            {"Color Mode", "Färgläge"},
            {"Color", "Färg"},
            {"Grayscale", "Gråskala"},
            {"Double Sided Printing", "Dubbelsidig utskrift"},
            {"Off", "Av"},
            {"Long side binding", "Bindning längs långsidan"},
            {"Short side binding", "Bindning längs kortsidan"},
            {"Specify pages or ranges separated by commas. Ranges are specified by two numbers separated by a "
             "hyphen. E.g: 3,5-7,9 prints pages 3, 5, 6, 7 and 9.",
             "Ange sidor eller intervall åtskilda av kommatecken. Ett intervall anges med två tal och ett "
             "bindestreck emellan. Till exempel skriver 3,5-7,9 ut sidorna 3, 5, 6, 7 och 9."},
            // Printer properties and page set-up.
            {"Printer Properties", "Skrivaregenskaper"},
            {"Page", "Sida"},
            {"Page Setup", "Utskriftsformat"},
            {"Advanced", "Avancerat"},
            {"Job Options", "Jobbalternativ"},
            {"Paper", "Papper"},
            {"Page size:", "Pappersstorlek:"},
            {"Width:", "Bredd:"},
            {"Height:", "Höjd:"},
            {"Paper source:", "Papperskälla:"},
            {"Orientation", "Orientering"},
            {"Portrait", "Stående"},
            {"Landscape", "Liggande"},
            {"Reverse landscape", "Omvänt liggande"},
            {"Reverse portrait", "Omvänt stående"},
            {"Margins", "Marginaler"},
            {"top margin", "övre marginal"},
            {"left margin", "vänster marginal"},
            {"right margin", "höger marginal"},
            {"bottom margin", "nedre marginal"},
            {"Page Layout", "Sidlayout"},
            {"Page order:", "Sidordning:"},
            {"Pages per sheet:", "Sidor per ark:"},
            {"Millimeters (mm)", "Millimeter (mm)"},
            {"Inches (in)", "Tum (in)"},
            {"Points (pt)", "Punkter (pt)"},
            {"Custom", "Anpassad"},
            {"Left to Right, Top to Bottom", "Vänster till höger, uppifrån och ned"},
            {"Left to Right, Bottom to Top", "Vänster till höger, nedifrån och upp"},
            {"Right to Left, Bottom to Top", "Höger till vänster, nedifrån och upp"},
            {"Right to Left, Top to Bottom", "Höger till vänster, uppifrån och ned"},
            {"Bottom to Top, Left to Right", "Nedifrån och upp, vänster till höger"},
            {"Bottom to Top, Right to Left", "Nedifrån och upp, höger till vänster"},
            {"Top to Bottom, Left to Right", "Uppifrån och ned, vänster till höger"},
            {"Top to Bottom, Right to Left", "Uppifrån och ned, höger till vänster"},
            {"Page Setup Conflicts", "Utskriftsformatet står i strid med sig självt"},
            {"There are conflicts in page setup options. Do you want to fix them?",
             "Några alternativ i utskriftsformatet står i strid med varandra. Vill du rätta dem?"},
            {"Advanced Option Conflicts", "Avancerade alternativ i strid"},
            {"There are conflicts in some advanced options. Do you want to fix them?",
             "Några avancerade alternativ står i strid med varandra. Vill du rätta dem?"},
            {"Duplex Settings Conflicts", "Dubbelsidig utskrift i strid"},
            {"There are conflicts in duplex settings. Do you want to fix them?",
             "Inställningarna för dubbelsidig utskrift står i strid med varandra. Vill du rätta dem?"},
            // Print jobs on a print server.
            {"Job", "Jobb"},
            {"Job Control", "Jobbstyrning"},
            {"Scheduled printing:", "Schemalagd utskrift:"},
            {"Billing information:", "Debiteringsuppgift:"},
            {"Job priority:", "Jobbets prioritet:"},
            {"Banner Pages", "Försättsblad"},
            {"Banner page at start", "Försättsblad först"},
            {"Banner page at end", "Försättsblad sist"},
            {"Start:", "Först:"},
            {"End:", "Sist:"},
            {"Print Immediately", "Skriv ut genast"},
            {"Hold Indefinitely", "Vänta tills vidare"},
            {"Day (06:00 to 17:59)", "Dag (06:00–17:59)"},
            {"Night (18:00 to 05:59)", "Natt (18:00–05:59)"},
            {"Second Shift (16:00 to 23:59)", "Andra skiftet (16:00–23:59)"},
            {"Third Shift (00:00 to 07:59)", "Tredje skiftet (00:00–07:59)"},
            {"Weekend (Saturday to Sunday)", "Helg (lördag till söndag)"},
            {"Specific Time", "Vid en viss tid"},
            {"None", "Inget"},
            {"Unclassified", "Ej sekretessbelagd"},
            {"Confidential", "Konfidentiell"},
            {"Classified", "Sekretessbelagd"},
            {"Top Secret", "Hemlig"},
            // The file chooser.
            {"Look in:", "Leta i:"},
            {"Back", "Bakåt"},
            {"Go back", "Gå bakåt"},
            {"Forward", "Framåt"},
            {"Go forward", "Gå framåt"},
            {"Parent Directory", "Överordnad mapp"},
            {"Go to the parent directory", "Gå till den överordnade mappen"},
            {"Create New Folder", "Skapa ny mapp"},
            {"Create a New Folder", "Skapa en ny mapp"},
            {"List View", "Lista"},
            {"Change to list view mode", "Visa som lista"},
            {"Detail View", "Detaljer"},
            {"Change to detail view mode", "Visa med detaljer"},
            {"Sidebar", "Sidopanel"},
            {"List of places and bookmarks", "Platser och bokmärken"},
            {"Files", "Filer"},
            {"Files of type:", "Filtyp:"},
            {"File &name:", "Fil&namn:"},
            {"Directory:", "Mapp:"},
            {"Directories", "Mappar"},
            {"Find Directory", "Välj mapp"},
            {"Save As", "Spara som"},
            {"&Open", "&Öppna"},
            {"&Save", "&Spara"},
            {"&Choose", "&Välj"},
            {"&Rename", "&Byt namn"},
            {"&Delete", "&Ta bort"},
            {"Show &hidden files", "Visa &dolda filer"},
            {"&New Folder", "&Ny mapp"},
            {"New Folder", "Ny mapp"},
            {"Recent Places", "Senaste platser"},
            {"All files (*)", "Alla filer (*)"},
            {"Name", "Namn"},
            {"Size", "Storlek"},
            {"Type", "Typ"},
            {"Date Modified", "Ändringsdatum"},
            {"Computer", "Dator"},
            {"My Computer", "Dator"},
            {"Folder", "Mapp"},
            {"File Folder", "Mapp"},
            {"Drive", "Enhet"},
            {"Unknown", "Okänd"},
            {"Directory not found.\nPlease verify the correct directory name was given.",
             "Mappen finns inte.\nKontrollera att mappens namn är rätt."},
            {"File not found.\nPlease verify the correct file name was given.",
             "Filen finns inte.\nKontrollera att filens namn är rätt."},
            {"%1 already exists.\nDo you want to replace it?", "%1 finns redan.\nVill du ersätta den?"},
            {"Could not delete directory.", "Mappen kunde inte tas bort."},
            {"'%1' is write protected.\nDo you want to delete it anyway?",
             "\"%1\" är skrivskyddad.\nVill du ta bort den ändå?"},
            {"Are you sure you want to delete '%1'?", "Vill du verkligen ta bort \"%1\"?"},
            // The colour chooser.
            {"Select Color", "Välj färg"},
            {"&Pick Screen Color", "&Hämta färg från skärmen"},
            {"A&lpha channel:", "A&lfakanal:"},
            {"Cursor at %1, %2\nPress ESC to cancel", "Markören vid %1, %2\nTryck på Esc för att avbryta"},
            // The standard dialog buttons.
            {"OK", "OK"},
            {"Save", "Spara"},
            {"Save All", "Spara alla"},
            {"Open", "Öppna"},
            {"&Yes", "&Ja"},
            {"Yes to &All", "Ja till &alla"},
            {"&No", "&Nej"},
            {"N&o to All", "N&ej till alla"},
            {"Abort", "Avbryt"},
            {"Retry", "Försök igen"},
            {"Ignore", "Ignorera"},
            {"Close", "Stäng"},
            {"Cancel", "Avbryt"},
            {"Discard", "Kasta"},
            {"Help", "Hjälp"},
            {"Apply", "Verkställ"},
            {"Reset", "Återställ"},
            {"Restore Defaults", "Återställ standardvärden"},
        };
        QHash<QString, QString> map;
        for (const auto& pair : pairs) map.insert(QString::fromUtf8(pair[0]), QString::fromUtf8(pair[1]));
        return map;
    }();
    return texts;
}

// Only the toolkit's print, file and colour dialogs and its standard buttons: a short text such
// as "to" or "Reverse" means something else elsewhere.
bool OurContext(const char* context) {
    if (!context) return false;
    const QLatin1String name(context);
    for (const char* prefix :
         {"QPrint", "QAbstractPrint", "QUnixPrint", "QPageSetup", "QCupsJob", "QPlatformTheme", "QFileDialog",
          "QFileSystemModel", "QAbstractFileIconProvider", "QFileIconProvider", "QColorDialog"})
        if (name.startsWith(QLatin1String(prefix))) return true;
    return false;
}

class ToolkitTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation, int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (!sourceText || !OurContext(context)) return QString();
        return Texts().value(QString::fromUtf8(sourceText));
    }
};

}  // namespace

void InstallSwedishToolkitTexts(QCoreApplication* application) {
    // The installed catalogues where they exist, then ours, which is asked first.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : {"qt_sv", "qtbase_sv"}) {
        auto* translator = new QTranslator(application);
        if (translator->load(QString::fromLatin1(catalogue), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
    QCoreApplication::installTranslator(new ToolkitTexts(application));
}
