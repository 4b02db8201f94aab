#pragma once
// The tools' content frame: a column of tool tiles, each starting a wizard as a modal window:
// the check and repair of the database (for the administrator only), the import of pictures
// from the society's picture CDs and the download of every linked picture.
#include <QPointer>

#include "shell/FRScreens.h"

class QScrollArea;
class TDM;
class TFRToolPanel;

class TframeTools : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframeTools(TDM* dm, QWidget* parent = nullptr);
    ~TframeTools() override;

    void InitFrame() override;

    // The tiles' clicks.
    void toolpDatabaseControlClick();
    void toolpSSImportClick();
    void toolpLinkPicDownloadClick();

    // After a wizard that may have reloaded the species table without its selection: the
    // user's quick selection is applied again (a table with a selection keeps it).
    void ReapplyQuickSelection();

    // ---- Components ----
    QScrollArea* scrollTools = nullptr;
    QWidget* panelTools = nullptr;
    TFRToolPanel* toolpDatabaseControl = nullptr;
    TFRToolPanel* toolpSSImport = nullptr;
    TFRToolPanel* toolpLinkPicDownload = nullptr;

private:
    // The picture-CD import wizard, run modally and freed.
    void RunSSWizard();
    // The linked-picture download wizard, run modally and freed.
    void RunLPWizard();

    TDM* m_dm;
};

// The one tools frame, while it exists.
extern QPointer<TframeTools> frameTools;
