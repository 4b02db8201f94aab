#pragma once
// The internet resources' main screen: links, e-mail addresses and programs, browsed as a
// tree of tool panels (TframeInternets).
#include <QPointer>

#include "shell/FRScreens.h"

class TDM;
class TFRIniFile;
class TframeInternets;

class TFRInternetScreen : public TFRMainScreen {
    Q_OBJECT
public:
    // The screen works on the data module's internet tables; the settings store may be
    // nullptr.
    TFRInternetScreen(QObject* owner, TDM* dm, TFRIniFile* settings);
    ~TFRInternetScreen() override;

    void Initialize() override;
    void CreateFrame() override;

    TframeInternets* InternetFrame() const;

private:
    TDM* m_dm;
    TFRIniFile* m_settings;
};

// The one internet screen, while it exists.
extern QPointer<TFRInternetScreen> FRInternetScreen;
// Makes the internet screen over the data module and settings store given.
TFRMainScreen* CreateInternetScreen(QObject* owner, TDM* dm, TFRIniFile* settings);
// Registers the screen with the main window under its number; it takes the main window's
// data module and settings store.
void RegisterInternetScreen();
