#pragma once
// The species screen in a stand-in main window over a small species table of a temporary
// program folder, with helpers to put species, names, texts, pictures and finds in.
#include <QDir>
#include <QFile>
#include <QtTest>
#include <memory>

#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiScreen.h"
#include "shell/ScreenTestHost.h"
#include "shell/UserTestSupport.h"
#include "support/TestSupport.h"

using FieldValues = QList<QPair<QString, QVariant>>;

// A complete cap fungus with gills; a test changes what it is about.
inline FieldValues CapFungus(const QString& swedish, const QString& latin) {
    return {{"SwedishName", swedish},
            {"LatinName", latin},
            {"FungiData", "CPLD"},
            {"FungiGroup", "Skivlingar"},
            {"CompletedBy", BuiltInCompleterKey},
            {"HatFungi", 0},
            {"HatSubType", 0},
            {"FoodValue1", 4},
            {"CookingRequired", 1},
            {"FoodValue2", 4},
            {"VisibleMeatJuice", 3},
            {"HatSubGrowth", "10000"},
            {"HatSubDensity", 0},
            {"BodySizeMinimum", 30},
            {"BodySizeMaximum", 80},
            {"Taste", "Mild"},
            {"Smell", "Svag"},
            {"Signature", ""}};
}

inline void SetValues(FieldValues& values, const FieldValues& changes) {
    for (const auto& change : changes) {
        bool found = false;
        for (auto& v : values)
            if (v.first == change.first) {
                v.second = change.second;
                found = true;
            }
        if (!found) values.append(change);
    }
}

struct FungiFixture : UserFixture {
    std::unique_ptr<TestMainWindow> window;
    TFRFungiScreen* screen = nullptr;

    FungiFixture() {
        // The info texts of the program.
        QDir().mkpath(Folder() + "Data/Res");
        QFile::copy(testsupport::SourceDir() + "/data/Res/Texts.dat", Folder() + "Data/Res/Texts.dat");
        window = std::make_unique<TestMainWindow>();
        window->show();
        screen = static_cast<TFRFungiScreen*>(CreateFungiScreen(window.get()));
    }
    ~FungiFixture() { window.reset(); }

    TExtClientDataSet* Fungi() const { return dm->cdsFungi; }
    TframeFungi* Frame() const { return screen->FungiFrame(); }

    QString AddSpecies(const FieldValues& values) {
        TExtClientDataSet* t = Fungi();
        t->Append();
        const QString key = GetUKey(t);
        for (const auto& [field, value] : values) t->FieldByName(field)->SetValue(value);
        t->Post();
        return key;
    }
    QString AddSpecies(const QString& swedish, const QString& latin) { return AddSpecies(CapFungus(swedish, latin)); }
    // A detail row of the species with the key.
    QString AddDetail(TExtClientDataSet* table, const QString& fungiKey, const FieldValues& values) {
        if (!LocateUKey(Fungi(), fungiKey)) return QString();
        table->Append();
        const QString key = GetUKey(table);
        for (const auto& [field, value] : values) table->FieldByName(field)->SetValue(value);
        table->Post();
        return key;
    }
    QStringList VisibleKeys() const {
        QStringList keys;
        const int f = Fungi()->FieldByName("UKey")->Index();
        for (int row = 0; row < Fungi()->RecordCount(); ++row) keys << Fungi()->RecordValue(row, f).toString();
        return keys;
    }
    void Select(const QStringList& lines) {
        Fungi()->SetSel(lines);
        Fungi()->LoadData();
    }
};
