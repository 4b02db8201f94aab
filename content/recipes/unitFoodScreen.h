#pragma once
// The recipes' main screen "Svamp i maten": recipes by category, with their frame
// TframeFoods.
#include <QImage>
#include <QPointer>

#include "shell/FRScreens.h"
#include "core/PendingFile.h"

class TDM;
class TFRIniFile;
class TframeFoods;

class TFRFoodScreen : public TFRMainScreen {
    Q_OBJECT
public:
    // The screen works on the data module's recipe tables; the settings store may be nullptr.
    TFRFoodScreen(QObject* owner, TDM* dm, TFRIniFile* settings);
    ~TFRFoodScreen() override;

    void Initialize() override;
    void CreateFrame() override;

    // Locks navigation and appends a recipe to the current category, by the logged-in user,
    // and shows it for editing. Nothing without a category.
    void NewRecipe();
    // Locks navigation and edits the current recipe (only its author may).
    void EditRecipe();

    TframeFoods* FoodFrame() const;

private:
    TDM* m_dm;
    TFRIniFile* m_settings;
};

extern QPointer<TFRFoodScreen> FRFoodScreen;
TFRMainScreen* CreateFoodScreen(QObject* owner, TDM* dm, TFRIniFile* settings);
// Registers the screen with the main window under its number; it takes the main window's
// data module and settings store.
void RegisterFoodScreen();
