#pragma once
// The identification key's main screen. It keeps the answers of its questions while its
// frame comes and goes, for as long as the program runs.
#include <QPointer>
#include <QStringList>
#include <functional>

#include "shell/FRScreens.h"

class TExtClientDataSet;
class TframeKeys;
class TDM;

// What the key needs of the species screen: its sort order and the flag that the species
// list is filtered by the key. The species screen sets these hooks when it exists; until
// then the key keeps both itself (the order applied to the species table's index and kept
// in "Fungi/SortOrder").
struct TKeySpeciesHooks {
    std::function<int()> SortOrder;
    std::function<void(int)> SetSortOrder;
    std::function<bool()> KeySelection;
    std::function<void(bool)> SetKeySelection;
};
void SetKeySpeciesHooks(const TKeySpeciesHooks& hooks);
int KeySpeciesSortOrder();
void SetKeySpeciesSortOrder(int order);
bool KeySpeciesSelection();
void SetKeySpeciesSelection(bool on);

// The data module the key works on (the main window's unless one is set, for tests).
void SetKeyDataModule(TDM* dm);
TDM* KeyDataModule();

// The display name of the current species: "Swedish (Latin)", or the Latin name alone.
QString KeyFullName(TExtClientDataSet* fungi);
// The same of the species at a 0-based position of the table's view, without moving to it.
QString KeyFullName(const TExtClientDataSet* fungi, int row);
// The number of complete descriptions among all stored species.
int CountCompleteSpecies(TExtClientDataSet* fungi);

class TFRKeyScreen : public TFRMainScreen {
    Q_OBJECT
public:
    explicit TFRKeyScreen(QObject* owner);
    ~TFRKeyScreen() override;

    void Initialize() override;
    void CreateFrame() override;
    void ReleaseFrame() override;

    TframeKeys* KeysFrame() const;
    // The answers of every question, kept while the frame is away.
    QStringList Answers;
};

extern QPointer<TFRKeyScreen> FRKeyScreen;
TFRMainScreen* CreateKeyScreen(QObject* owner);
// Registers the key screen's factory with the main window under its screen number.
void RegisterKeyScreen();
