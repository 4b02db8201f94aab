#include "core/unitDMServices.h"
// The species selection built from the quick selection.

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <memory>

#include "core/DMServicesShared.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "core/SelLanguage.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"

using namespace dmservices;

// ---- Quick selection ----

void TDMServices::LoadQuickSelection(TQuickSelectionHandler& handler) {
    TFRIniFile* settings = Hooks.Settings;
    if (!settings) return;
    struct SectionGuard {
        TFRIniFile* settings;
        ~SectionGuard() { settings->CloseSection(); }
    } guard{settings};
    if (!settings->SelectSection(QStringLiteral("QuickSelection"))) return;
    auto readBool = [settings](const char* key, bool& target) {
        target = settings->ReadBool(QLatin1String(key), target);
    };
    auto readText = [settings](const char* key, QString& target) {
        target = settings->ReadString(QLatin1String(key), target);
    };
    readBool("Complete", handler.Complete);
    readBool("CompleteLocked", handler.CompleteLocked);
    readBool("SwedishName", handler.SwedishName);
    readBool("SwedishNameLocked", handler.SwedishNameLocked);
    readBool("Edible", handler.Edible);
    readBool("HasPicture", handler.HasPicture);
    readText("CountryPart", handler.CountryPart);
    readText("Season", handler.Season);
    readText("Habitat", handler.Habitat);
    readText("FungiGroup", handler.FungiGroup);
}

QStringList TDMServices::QuickSelectionLines(const TQuickSelectionHandler& handler) {
    QStringList sel{QStringLiteral("(")};
    bool first = true;
    QString joiner = QStringLiteral("AND");
    auto term = [&](const QString& text) {
        sel.append(first ? text : joiner + QLatin1Char(' ') + text);
        first = false;
    };
    // A flag string of another length holds no data; a group is written only with terms.
    auto flagged = [](const QString& flags, int length) {
        QList<int> positions;
        if (flags.size() != length) return positions;
        for (int i = 0; i < length; ++i)
            if (flags[i] != u'0') positions.append(i + 1);
        return positions;
    };
    auto group = [&](const QList<int>& positions, const char* pattern) {
        if (positions.isEmpty()) return;
        term(QStringLiteral("("));
        first = true;
        joiner = QStringLiteral("OR");
        for (int position : positions) term(QString::fromLatin1(pattern).arg(position));
        sel.append(QStringLiteral(")"));
        joiner = QStringLiteral("AND");
        first = false;
    };

    if (handler.Complete) term(QStringLiteral("Str(FungiData = \"CPLD\")"));
    if (handler.SwedishName) term(QStringLiteral("Str(SwedishName <> \"\")"));
    if (handler.Edible) term(QStringLiteral("Num(FoodValue1 >= 3)"));
    if (handler.HasPicture) term(QStringLiteral("Num(PicCount > 0)"));
    group(flagged(handler.CountryPart, 8), "Pos(Occurence,%1 > 0)");
    group(flagged(handler.Season, 12), "Pos(Season,%1 > 0)");

    // A forest type stands for its trees, and a tree for its forest type.
    QSet<int> habitat;
    for (int position : flagged(handler.Habitat, 15)) {
        habitat.insert(position);
        if (position == 1) habitat.unite({4, 5, 6});
        if (position == 2) habitat.unite({7, 8, 9, 10, 11, 12, 13});
        if (position >= 4 && position <= 6) habitat.insert(1);
        if (position >= 7 && position <= 13) habitat.insert(2);
    }
    QList<int> habitats(habitat.begin(), habitat.end());
    std::sort(habitats.begin(), habitats.end());
    group(habitats, "Pos(Habitat,%1 > 0)");

    if (!handler.FungiGroup.isEmpty()) term(QStringLiteral("Str(FungiGroup = %1)").arg(SelQuote(handler.FungiGroup)));
    sel.append(QStringLiteral(")"));
    if (sel.size() == 2) sel.clear();  // nothing chosen: every species
    return sel;
}

void TDMServices::BuildQuickSelection(bool clearOnly) {
    TExtClientDataSet* fungi = m_dm->cdsFungi;
    fungi->SetSel(clearOnly ? QStringList() : QuickSelectionLines(QuickSelection()));
    {
        struct Busy {
            TDMServices* services;
            TExtClientDataSet* table;
            Busy(TDMServices* s, TExtClientDataSet* t) : services(s), table(t) {
                if (services->Hooks.SetBusyCursor) services->Hooks.SetBusyCursor(true);
                table->DisableControls();
            }
            ~Busy() {
                table->EnableControls();
                if (services->Hooks.SetBusyCursor) services->Hooks.SetBusyCursor(false);
            }
        } busy(this, fungi);
        fungi->LoadData();
    }
    if (Hooks.UpdateFungiScreen) Hooks.UpdateFungiScreen();
}
