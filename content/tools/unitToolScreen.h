#pragma once
// The tools' main screen "Verktyg", the last of the main menu: its frame TframeTools shows
// the tool tiles that start the wizards.
#include <QPointer>

#include "shell/FRScreens.h"

class TDM;
class TframeTools;

class TFRToolScreen : public TFRMainScreen {
    Q_OBJECT
public:
    // The wizards work on the data module given.
    TFRToolScreen(QObject* owner, TDM* dm);
    ~TFRToolScreen() override;

    void Initialize() override;
    void CreateFrame() override;

    TframeTools* ToolsFrame() const;

private:
    TDM* m_dm;
};

// The one tools screen, while it exists.
extern QPointer<TFRToolScreen> FRToolScreen;
TFRMainScreen* CreateToolScreen(QObject* owner, TDM* dm);
// Registers the screen with the main window under its number; it takes the main window's
// data module.
void RegisterToolScreen();
