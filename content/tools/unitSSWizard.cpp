#include "content/tools/unitSSWizard.h"

#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "controls/FRGuard.h"
#include "core/MyUtils.h"
#include "core/ProgramFolders.h"
#include "shell/unitBrowseFolder.h"
#include "core/unitDM.h"
#include "platform/UIServices.h"

namespace {

const QString kErrorCaption = QStringLiteral("Mykotekshallen - Fel");

QLabel* WrappedLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QPushButton* Button(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

TformSSWizard::TformSSWizard(TDM* dm, const TUKeyStringlist& fungiNames, QWidget* parent)
    : TFRWizardForm(QStringLiteral("formSSWizard"), QStringLiteral("Bildimport från SMFs programvara Sveriges svampar"),
                    parent),
      m_dm(dm),
      m_import(dm, fungiNames) {
    SetupForm();
    LoadReleases();
    ShowPage(pgRelease);
}

TformSSWizard::~TformSSWizard() = default;

void TformSSWizard::SetVolumes(const TSSVolumes* volumes) { m_volumes = volumes ? volumes : &m_ownVolumes; }

void TformSSWizard::SetupForm() {
    // The editions.
    tabsRelease = AddPage(QStringLiteral("tabsRelease"));
    auto* release = new QVBoxLayout(tabsRelease);
    lblReleaseInfo = WrappedLabel(QStringLiteral("lblReleaseInfo"), tabsRelease);
    release->addWidget(lblReleaseInfo);
    auto* scroll = new QScrollArea(tabsRelease);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    m_releaseList = new QWidget(scroll);
    m_releaseList->setObjectName(QStringLiteral("panelReleases"));
    auto* releases = new QVBoxLayout(m_releaseList);
    releases->setContentsMargins(16, 8, 0, 0);
    releases->addStretch(1);
    scroll->setWidget(m_releaseList);
    release->addWidget(scroll, 1);

    // The path of the pictures and whether pictures already there are imported again.
    tabsDrive = AddPage(QStringLiteral("tabsDrive"));
    auto* drive = new QVBoxLayout(tabsDrive);
    lblDriveQuestion = WrappedLabel(QStringLiteral("lblDriveQuestion"), tabsDrive);
    drive->addWidget(lblDriveQuestion);
    auto* pathRow = new QHBoxLayout;
    editPath = new QLineEdit(tabsDrive);
    editPath->setObjectName(QStringLiteral("editPath"));
    btnBrowse = Button(QStringLiteral("btnBrowse"), QStringLiteral("Bläddra..."), tabsDrive);
    pathRow->addWidget(editPath, 1);
    pathRow->addWidget(btnBrowse);
    drive->addLayout(pathRow);
    drive->addSpacing(16);
    lblForced = WrappedLabel(QStringLiteral("lblForced"), tabsDrive);
    lblForced->setText(
        QStringLiteral("Skall bilder som redan har importerats från utgåvan kopieras och skrivas in på nytt?"));
    drive->addWidget(lblForced);
    auto* forced = new QWidget(tabsDrive);
    auto* forcedColumn = new QVBoxLayout(forced);
    forcedColumn->setContentsMargins(16, 0, 0, 0);
    radioForcedYes = new QRadioButton(QStringLiteral("Ja (långsammare)"), forced);
    radioForcedYes->setObjectName(QStringLiteral("radioForcedYes"));
    radioForcedNo = new QRadioButton(QStringLiteral("Nej (snabbare)"), forced);
    radioForcedNo->setObjectName(QStringLiteral("radioForcedNo"));
    radioForcedNo->setChecked(true);
    forcedColumn->addWidget(radioForcedYes);
    forcedColumn->addWidget(radioForcedNo);
    drive->addWidget(forced);
    drive->addStretch(1);

    // The progress of the import.
    tabsProgress = AddPage(QStringLiteral("tabsProgress"));
    auto* progress = new QVBoxLayout(tabsProgress);
    lblProgressInfo = WrappedLabel(QStringLiteral("lblProgressInfo"), tabsProgress);
    progress->addWidget(lblProgressInfo);
    auto* counts = new QGridLayout;
    counts->addWidget(new QLabel(QStringLiteral("Bild:"), tabsProgress), 0, 0);
    lblPicNo = new QLabel(QStringLiteral("0"), tabsProgress);
    lblPicNo->setObjectName(QStringLiteral("lblPicNo"));
    counts->addWidget(lblPicNo, 0, 1);
    lblPicCount = new QLabel(tabsProgress);
    lblPicCount->setObjectName(QStringLiteral("lblPicCount"));
    counts->addWidget(lblPicCount, 0, 2);
    counts->setColumnStretch(3, 1);
    progress->addLayout(counts);
    gaugeProgress = new QProgressBar(tabsProgress);
    gaugeProgress->setObjectName(QStringLiteral("gaugeProgress"));
    gaugeProgress->setTextVisible(false);
    progress->addWidget(gaugeProgress);
    auto* failed = new QHBoxLayout;
    failed->addWidget(new QLabel(QStringLiteral("Misslyckade inläsningar:"), tabsProgress));
    lblFailCount = new QLabel(QStringLiteral("0"), tabsProgress);
    lblFailCount->setObjectName(QStringLiteral("lblFailCount"));
    failed->addWidget(lblFailCount);
    failed->addStretch(1);
    progress->addLayout(failed);
    progress->addWidget(MakeFailureList(tabsProgress), 1);

    btnPrevious = AddButton(QStringLiteral("btnPrevious"), QStringLiteral("< &Föregående"));
    btnNext = AddButton(QStringLiteral("btnNext"), QStringLiteral("&Nästa >"));
    btnNext->setDefault(true);

    SetHelp(QStringLiteral("Hjälp om bildimporten"),
            QStringLiteral("Guiden kopierar bilderna från en CD-skiva med SMFs programvara Sveriges svampar till "
                           "Mykotekshallen och ordnar dem under rätt art.\n\n"
                           "Välj först utgåva. Guiden letar sedan efter skivan bland datorns enheter och fyller i "
                           "sökvägen till bilderna. Hittas den inte kan Du skriva in sökvägen eller välja mappen med "
                           "\"Bläddra...\".\n\n"
                           "Svara \"Ja\" om bilder som redan har importerats skall kopieras på nytt, annars hoppas de "
                           "över. Bilder som inte kan läsas och arter som inte finns i Mykotekshallen visas under "
                           "\"Misslyckade inläsningar\". \"Avbryt\" stoppar importen efter den bild som läses in."));

    connect(btnNext, &QPushButton::clicked, this, [this] { Guarded([&] { btnNextClick(); }); });
    connect(btnPrevious, &QPushButton::clicked, this, [this] { Guarded([&] { btnPreviousClick(); }); });
    connect(btnBrowse, &QPushButton::clicked, this, [this] { Guarded([&] { btnBrowseClick(); }); });
}

void TformSSWizard::LoadReleases() {
    for (QRadioButton* radio : std::as_const(radioReleases)) delete radio;
    radioReleases.clear();
    m_releases.Load(m_dm->cdsSSImportHeader);
    auto* list = static_cast<QVBoxLayout*>(m_releaseList->layout());
    for (int i = 0; i < m_releases.size(); ++i) {
        const TSSRelease& release = m_releases[i];
        auto* radio = new QRadioButton(QStringLiteral("Utgåva %1, %2 bilder   (%3 Mb hårddiskutrymme krävs)")
                                           .arg(release.Name)
                                           .arg(release.PicCount)
                                           .arg(release.HdSpace),
                                       m_releaseList);
        radio->setObjectName(QStringLiteral("radioRelease%1").arg(i));
        connect(radio, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) ReleaseChosen(i);
        });
        list->insertWidget(i, radio);
        radioReleases << radio;
    }
    lblReleaseInfo->setText(
        QStringLiteral("Det finns för närvarande %1 utgåvor av SMFs (Sveriges Mykologiska Förenings) "
                       "programvara Sveriges svampar.\nVilken utgåva vill Du importera från?")
            .arg(m_releases.size()));
    m_chosen = -1;
    if (!radioReleases.isEmpty()) radioReleases.first()->setChecked(true);
}

TformSSWizard::TPage TformSSWizard::Page() const { return static_cast<TPage>(pcMain->currentIndex()); }

bool TformSSWizard::Forced() const { return radioForcedYes->isChecked(); }

void TformSSWizard::ReleaseChosen(int index) { m_chosen = index; }

void TformSSWizard::ShowPage(TPage page) {
    pcMain->setCurrentIndex(page);
    btnPrevious->setEnabled(page == pgDrive);
    btnNext->setEnabled((page == pgRelease && m_chosen >= 0) || page == pgDrive);
    btnNext->setText(page == pgDrive ? QStringLiteral("Importera") : QStringLiteral("&Nästa >"));
    if (page == pgDrive) editPath->setFocus();
}

void TformSSWizard::btnNextClick() {
    if (Page() == pgRelease) {
        if (m_chosen < 0) return;
        const TSSRelease& release = m_releases[m_chosen];
        const qint64 free = m_volumes->BytesFree(GetFungiPicFolder());
        if (free >= 0 && free < SSRequiredBytes(release)) {
            UIServices::ShowError(
                QStringLiteral(
                    "Det finns inte tillräckligt med ledigt diskutrymme för att installera den valda utgåvan!"),
                kErrorCaption);
            return;
        }
        editPath->setText(QDir::toNativeSeparators(SSFindCD(*m_volumes, release)));
        lblDriveQuestion->setText(
            QStringLiteral("Vad är den fullständiga sökvägen till bilderna i utgåva %1?").arg(release.Name));
        ShowPage(pgDrive);
    } else if (Page() == pgDrive) {
        const TSSRelease& release = m_releases[m_chosen];
        const QString typed = QDir::fromNativeSeparators(editPath->text().trimmed());
        const QString folder = typed.isEmpty() ? QString() : AddTrailingBackslash(typed);
        if (folder.isEmpty() || SSIdentFile(release, folder).isEmpty()) {
            UIServices::ShowError(QStringLiteral("Bildfiler för utgåva %1 kunde inte hittas i angiven sökväg \"%2\"")
                                      .arg(release.Name, QDir::toNativeSeparators(folder)),
                                  kErrorCaption);
            editPath->setFocus();
            return;
        }
        RunImport(folder);
    }
}

void TformSSWizard::btnPreviousClick() {
    if (Page() == pgDrive) ShowPage(pgRelease);
}

void TformSSWizard::btnBrowseClick() {
    TformBrowseFolder* browser = formBrowseFolder;
    std::unique_ptr<TformBrowseFolder> own;
    if (!browser) {
        own = std::make_unique<TformBrowseFolder>(this);
        browser = own.get();
    }
    QString folder;
    if (browser->Execute(QStringLiteral("Bildmapp för import"), TformBrowseFolder::rfMyComputer, folder))
        editPath->setText(QDir::toNativeSeparators(folder));
}

void TformSSWizard::RunImport(const QString& folder) {
    const TSSRelease release = m_releases[m_chosen];
    ShowPage(pgProgress);
    btnPrevious->setEnabled(false);
    btnNext->setEnabled(false);
    const int total = m_import.CountRecords(release.Name);
    gaugeProgress->setRange(0, std::max(total, 1));
    gaugeProgress->setValue(0);
    lblPicCount->setText(QStringLiteral("av %1").arg(total));
    listFailures->clear();
    lblProgressInfo->setText(QStringLiteral("Bilderna i utgåva %1 importeras...").arg(release.Name));
    ShowProgress(0, total);

    m_import.OnProgress = [this](int current, int count) { ShowProgress(current, count); };
    m_import.Run(release, folder, Forced());
    ShowProgress(gaugeProgress->value(), total);

    const QString result =
        m_import.Aborted ? QStringLiteral("Importen har avbrutits!") : QStringLiteral("Importen är slutförd!");
    lblProgressInfo->setText(result);
    UIServices::ShowInformation(result, QStringLiteral("Mykotekshallen - Information"));
    CloseWhenAsked();
}

void TformSSWizard::ShowProgress(int current, int total) {
    lblPicNo->setText(QString::number(current));
    gaugeProgress->setValue(std::min(current, std::max(total, 1)));
    lblFailCount->setText(QString::number(m_import.Failures.size()));
    ShowFailures(m_import.Failures);
}
