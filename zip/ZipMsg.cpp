#include "ZipMsg.h"

#include <QHash>
#include <QStringList>

namespace zipmsg {

namespace {
const QHash<int, QString>& Table() {
    static const QHash<int, QString> table = {
        {10101, QStringLiteral("Fatalt fel i ZipLib.DLL: abort exception")},
        {10102, QStringLiteral("Fel - ingen zip fil specificerad!")},
        {10103, QStringLiteral("Önskat minnesutrymme inte tillgängligt")},
        {10104, QStringLiteral("Fel - lösenord stämmer INTE\nLösenord används ej")},
        {10105, QStringLiteral("Kopierar: ")},
        // The one limit of a password.
        {10106, QStringLiteral("Fel - lösenordet får vara högst 80 tecken")},
        {10140, QStringLiteral("Fel vid kopiering av SFX header")},
        {10141, QStringLiteral("Namnbyte stöds inte för en spanned zip fil")},
        {10142, QStringLiteral("Bearbetar: ")},
        {10143, QStringLiteral(" namnändrad till: ")},
        {10150, QStringLiteral("Fel - inget lösenord angivet för tillägg")},
        {10151, QStringLiteral("Fel - inget lösenord angivet för uppackning")},
        {10152, QStringLiteral("&Ja")},
        {10153, QStringLiteral("&Avbryt")},
        {10154, QStringLiteral("Lösenord")},
        {10155, QStringLiteral("Ange lösenord ")},
        {10156, QStringLiteral("Bekräfta lösenord ")},
        {10180, QStringLiteral("Käll- och mål-arkiv är samma!")},
        {10181, QStringLiteral("Ersätt fil '%s' i '%s' ?")},
        {10182, QStringLiteral("Kopiering av fil från '%s' till '%s' misslyckades")},
        {10183, QStringLiteral("Fil '%s' finns inte i '%s'!")},
        {10184, QStringLiteral("Fel vid kopiering av SFX data")},
        {10185, QStringLiteral("Mål-arkivet kunde inte öppnas!")},
        {10201, QStringLiteral("Sök fel vid läsning av Zip arkiv!")},
        {10202, QStringLiteral("Okänt fel i List() funktion\n")},
        {10203, QStringLiteral("Varning - Fel i zip struktur!")},
        {10204, QStringLiteral("Varning - Skräp i slutet av zipfilen!")},
        {10301, QStringLiteral("Fel - inga filer att packa!")},
        {10302, QStringLiteral("Obemannad bearbetning omöjlig utan lösenord")},
        {10303, QStringLiteral("AddFreshen eller AddUpdate omöjligt i ett spanned arkiv")},
        {10304, QStringLiteral("Fel %.1d inträffade vid ett automatiskt skapande av SFX.")},
        {10401, QStringLiteral("Fel - inga filer valda för radering")},
        {10501, QStringLiteral("Fatalt fel i UnzLib.DLL: abort exception")},
        {10502, QStringLiteral("Varning - Obemannad uppackning: Alla filer packades kanske inte upp")},
        {10503,
         QStringLiteral(
             "Fel - din UnzLib.dll kan inte använda minnet direkt, vänligen uppgradera till version >= 1.60")},
        {10601, QStringLiteral("ZIP DLL laddad")},
        {10602, QStringLiteral("ZipLibExec funktion finns inte i ZIPLIB.DLL!")},
        {10603, QStringLiteral("GetZipLibVersion funktion finns inte i ZIPLIB.DLL!")},
        {10604, QStringLiteral("ZIPLIB.DLL hittades inte!")},
        {10701, QStringLiteral("UNZLIB laddad!")},
        {10702, QStringLiteral("UnzLibExec funktion finns inte i UNZLIB.DLL!")},
        {10703, QStringLiteral("GetUnzLibVersion funktion finns inte i UNZLIB.DLL!")},
        {10704, QStringLiteral("UNZLIB.DLL hittades inte!")},
        {10801, QStringLiteral("Fel - En eller fler av de 4 strängarna nedanför överstiger 255 bokstäver!")},
        {10802, QStringLiteral("Fel - ZIPSTUB.BIN hittades inte!")},
        {10803, QStringLiteral("Fel: filen är inte en zip fil")},
        {10901, QStringLiteral("Fel - ingen .EXE fil specificerad")},
        {10902, QStringLiteral("Fel: filen är inte en .EXE file")},
        {10903, QStringLiteral("Fel vid bestämning av typen av SFX arkiv")},
        {11001, QStringLiteral("In-filen existerar inte")},
        {11002, QStringLiteral("Zip filen kunde inte öppnas")},
        {11003, QStringLiteral("Inte en godkänd enhet: %s")},
        {11004, QStringLiteral("Enhet %s är INTE definierad")},
        {11005, QStringLiteral("Volym etikett kunde inte anges")},
        {11006, QStringLiteral("Finns inte minne för att visa meddelande ruta")},
        {11007, QStringLiteral("Användaren avbröt behandlingen")},
        {11008, QStringLiteral("Sök fel i in-fil")},
        {11009, QStringLiteral("Skapande av ut-fil misslyckades")},
        {11010, QStringLiteral("Skriv fel i ut-fil")},
        {11011, QStringLiteral("Fel vid läsning av End Of Central Directory")},
        {11012, QStringLiteral("Fel vid läsning av lokal header")},
        {11013, QStringLiteral("Fel vid läsning av central header")},
        {11014, QStringLiteral("En lokal header signatur är fel")},
        {11015, QStringLiteral("En central header signatur är fel")},
        {11016, QStringLiteral("Fel vid läsning av lokalt filnamn")},
        {11017, QStringLiteral("Fel vid läsning av centralt filnamn")},
        {11018, QStringLiteral("Fel vid läsning av lokalt extra fält")},
        {11019, QStringLiteral("Fel vid läsning av centralt extra fält")},
        {11020, QStringLiteral("Fel vid läsning/skrivning av data beskrivnings område")},
        {11021, QStringLiteral("Fel vid läsning av packad data")},
        {11022, QStringLiteral("Fel vid läsning av fil kommentar")},
        {11023, QStringLiteral("Fel vid läsning av arkiv kommentar")},
        {11024,
         QStringLiteral(
             "Okänt fel i någon av funktionerna ReadSpan(), WriteSpan(), Rename() eller CopyZippedFiles()\n")},
        {11025, QStringLiteral("Obemannad disk spanning stöds ej")},
        {11026, QStringLiteral("En lokal header hittas inte i en intern struktur")},
        {11027, QStringLiteral("Tillfällig fil kunde inte skapas")},
        {11028, QStringLiteral("Fel vid skrivning av lokal header")},
        {11029, QStringLiteral("Fel vid skrivning av central header")},
        {11030, QStringLiteral("Fel vid skrivning av End Of Central Directory")},
        {11031, QStringLiteral("Fel vid läsning av den utökade lokala signaturen")},
        {11032, QStringLiteral("This disk has not enough free space available")},
        {11033, QStringLiteral("Sätt in den senaste disketten")},
        {11034, QStringLiteral("Sätt in diskett med volym %.1d av %.1d")},
        {11035, QStringLiteral("\ni enhet: %s")},
        {11036, QStringLiteral("Det här arkivet är inte ett giltigt Zip arkiv")},
        {11037, QStringLiteral("Det här är den första disketten i en samling,\nsätt in den sista i samlingen")},
        {11038, QStringLiteral("Det här är den %d disketten i en samling,\nsätt in den sista i samlingen")},
        {11039, QStringLiteral("Det finns redan en fil med namnet %s\nVill du ersätta den filen")},
        {11040,
         QStringLiteral(
             "OBS: Det här är tidigare diskett nummer %d!!!\nÄr du säker på att du vill skriva över innehållet")},
        {11041, QStringLiteral("Fel - Själv uppackande arkiv(.exe) kan inte delas upp")},
        {11042, QStringLiteral("Fel vid kopiering av ett filnamn med en CEH struktur")},
        {11043, QStringLiteral("Sök fel vid ignorering av EOC struktur")},
        {11044, QStringLiteral("Fel vid kopiering av kommentar i ett zip arkiv")},
        {11045, QStringLiteral("Det här är först filen i en samling,\nsätt in den sista filen i samlingen")},
        {11046, QStringLiteral("Sätt in diskett med volym %.1d")},
        {11047, QStringLiteral("Central katalog")},
    };
    return table;
}

// Fills the first printf-style field ("%s", "%d", "%.1d") of a message at or after `from`;
// `from` then points behind what was filled in.
QString FormatFirst(const QString& text, const QString& arg, qsizetype& from) {
    static const QStringList fields = {QStringLiteral("%.1d"), QStringLiteral("%d"), QStringLiteral("%s")};
    qsizetype best = -1, len = 0;
    for (const QString& f : fields) {
        const qsizetype at = text.indexOf(f, from);
        if (at >= 0 && (best < 0 || at < best)) {
            best = at;
            len = f.size();
        }
    }
    if (best < 0) return text;
    QString out = text;
    from = best + arg.size();
    return out.replace(best, len, arg);
}
}  // namespace

QString ResourceText(int id) { return Table().value(id); }

QString ZipMsgFallback(int id) {
    switch (id) {
        case 10605:
        case 10705:
            return QStringLiteral("Old Dll from ");
        case 10804:
            return QStringLiteral("SFX not supported");
        case 11048:
            return QStringLiteral("Span not supported");
        default:
            return QStringLiteral("ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: ") +
                QString::number(id);
    }
}

QString ZipMessage(int id) {
    const QString text = ResourceText(id);
    return text.isEmpty() ? ZipMsgFallback(id) : text;
}

QString FormatMessage(int id, const QString& arg) {
    qsizetype from = 0;
    return FormatFirst(ZipMessage(id), arg, from);
}

QString FormatMessage(int id, const QString& arg1, const QString& arg2) {
    qsizetype from = 0;
    const QString once = FormatFirst(ZipMessage(id), arg1, from);
    return FormatFirst(once, arg2, from);
}

}  // namespace zipmsg

EZipArchiver::EZipArchiver(int id, bool display) : Exception(zipmsg::ZipMessage(id)), m_display(display), m_id(id) {}
EZipArchiver::EZipArchiver(int id, int arg, bool display)
    : Exception(zipmsg::FormatMessage(id, QString::number(arg))), m_display(display), m_id(id) {}
EZipArchiver::EZipArchiver(int id, const QString& arg, bool display)
    : Exception(zipmsg::FormatMessage(id, arg)), m_display(display), m_id(id) {}
EZipArchiver::EZipArchiver(TText, int id, const QString& text, bool display)
    : Exception(text), m_display(display), m_id(id) {}
EZipArchiver EZipArchiver::WithDetail(int id, const QString& detail, bool display) {
    return EZipArchiver(TText(), id, zipmsg::ZipMessage(id) + detail, display);
}
