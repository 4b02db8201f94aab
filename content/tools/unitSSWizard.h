#pragma once
// The wizard that imports the species pictures of a CD edition of SMF's program "Sveriges
// svampar": the edition, the path of its pictures (found on the mounted volumes where the CD
// is in), and the import with its progress and failures.
#include <QList>

#include "content/tools/SSImport.h"
#include "content/tools/unitWizardForm.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class TDM;
class TUKeyStringlist;

class TformSSWizard : public TFRWizardForm {
    Q_OBJECT
public:
    enum TPage { pgRelease = 0, pgDrive = 1, pgProgress = 2 };

    TformSSWizard(TDM* dm, const TUKeyStringlist& fungiNames, QWidget* parent = nullptr);
    ~TformSSWizard() override;

    // The volumes the CD is looked for on and the free space is read from; tests put their
    // own in. Never null.
    void SetVolumes(const TSSVolumes* volumes);

    // Loads the editions, one radio button each, and chooses the first.
    void LoadReleases();
    int ChosenRelease() const { return m_chosen; }
    const TSSReleases& Releases() const { return m_releases; }
    TPage Page() const;
    bool Forced() const;
    const TSSImport& Import() const { return m_import; }

    QWidget* tabsRelease = nullptr;
    QWidget* tabsDrive = nullptr;
    QWidget* tabsProgress = nullptr;
    QLabel* lblReleaseInfo = nullptr;
    QList<QRadioButton*> radioReleases;
    QLabel* lblDriveQuestion = nullptr;
    QLineEdit* editPath = nullptr;
    QPushButton* btnBrowse = nullptr;
    QLabel* lblForced = nullptr;
    QRadioButton* radioForcedYes = nullptr;
    QRadioButton* radioForcedNo = nullptr;
    QLabel* lblProgressInfo = nullptr;
    QLabel* lblPicNo = nullptr;
    QLabel* lblPicCount = nullptr;
    QProgressBar* gaugeProgress = nullptr;
    QLabel* lblFailCount = nullptr;
    QPushButton* btnPrevious = nullptr;
    QPushButton* btnNext = nullptr;

protected:
    // The import stops after the picture in hand.
    bool Running() const override { return m_import.Importing; }
    bool Stopping() const override { return m_import.Aborted; }
    void Stop() override { m_import.Abort(); }

private:
    void SetupForm();
    void ShowPage(TPage page);
    void btnNextClick();
    void btnPreviousClick();
    void btnBrowseClick();
    void ReleaseChosen(int index);
    void RunImport(const QString& folder);
    void ShowProgress(int current, int total);

    TDM* m_dm;
    TSSReleases m_releases;
    int m_chosen = -1;
    TSSImport m_import;
    TSSVolumes m_ownVolumes;
    const TSSVolumes* m_volumes = &m_ownVolumes;
    QWidget* m_releaseList = nullptr;
};
