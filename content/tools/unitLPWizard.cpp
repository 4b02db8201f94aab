#include "content/tools/unitLPWizard.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "controls/FRGuard.h"
#include "core/MyUtils.h"
#include "platform/Clock.h"
#include "platform/UIServices.h"

namespace {

// Every value of the progress page stands three blanks in.
const QString kIndent = QStringLiteral("   ");

// "%0.2f" with the Swedish decimal comma.
QString Decimal(double value) {
    QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    swedish.setNumberOptions(QLocale::OmitGroupSeparator);
    return swedish.toString(value, 'f', 2);
}

int GaugeValue(qint64 bytes) { return int(std::clamp<qint64>(bytes, 0, std::numeric_limits<int>::max())); }

}  // namespace

TformLPWizard::TformLPWizard(TDM* dm, TFRIConnection& connection, QWidget* parent)
    : TFRWizardForm(QStringLiteral("formLPWizard"), QStringLiteral("Nedladdning av länkade svampbilder från Internet"),
                    parent),
      m_download(dm, connection) {
    SetupForm();
    const int pending = m_download.CountLinkedPictures();
    gaugeTotal->setRange(0, std::max(pending, 1));
    gaugeTotal->setValue(0);
    if (pending == 0) {
        lblInfo->setText(
            QStringLiteral("     Samtliga länkade bilder är redan nerladdade. Klicka Avbryt för att stänga guiden."));
        btnStart->setEnabled(false);
    } else {
        lblInfo->setText(
            QStringLiteral("     Det finns %1 länkade svampbilder som ännu inte är nerladdade. Klicka Starta för att "
                           "ladda ner dem. Du kan när som helst avbryta nedladdningen med Avbryt och "
                           "återuppta den vid ett senare tillfälle.")
                .arg(pending));
    }
    pcMain->setCurrentIndex(pgInfo);

    m_download.OnPicture = [this](const QString& fileName, const QString& source) {
        lblFileName->setText(kIndent + fileName);
        lblSource->setText(kIndent + source);
        ShowSize(0);
        gaugePicture->setRange(0, 1);
        gaugePicture->setValue(0);
    };
    m_download.OnWorkBegin = [this](qint64 expected) {
        gaugePicture->setRange(0, GaugeValue(expected));
        gaugePicture->setValue(0);
    };
    m_download.OnWork = [this](qint64 count) {
        if (gaugePicture->maximum() > 0) gaugePicture->setValue(std::min(GaugeValue(count), gaugePicture->maximum()));
        ShowSize(count);
    };
    m_download.OnWorkEnd = [this] {
        if (gaugePicture->maximum() == 0) gaugePicture->setRange(0, 1);
        gaugePicture->setValue(gaugePicture->maximum());
    };
    m_download.OnProgress = [this] { ShowProgress(); };
}

TformLPWizard::~TformLPWizard() = default;

void TformLPWizard::SetupForm() {
    tabsInfo = AddPage(QStringLiteral("tabsInfo"));
    auto* info = new QVBoxLayout(tabsInfo);
    lblInfo = new QLabel(tabsInfo);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    info->addWidget(lblInfo);
    info->addStretch(1);

    tabsProgress = AddPage(QStringLiteral("tabsProgress"));
    auto* progress = new QVBoxLayout(tabsProgress);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    auto value = [&](const QString& caption, QWidget* widget) {
        grid->addWidget(new QLabel(caption, tabsProgress), row, 0);
        grid->addWidget(widget, row++, 1);
    };
    auto label = [&](const QString& name, const QString& text) {
        auto* l = new QLabel(text, tabsProgress);
        l->setObjectName(name);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    auto gauge = [&](const QString& name) {
        auto* g = new QProgressBar(tabsProgress);
        g->setObjectName(name);
        g->setTextVisible(false);
        return g;
    };
    lblFileName = label(QStringLiteral("lblFileName"), kIndent);
    lblSource = label(QStringLiteral("lblSource"), kIndent);
    lblSize = label(QStringLiteral("lblSize"), kIndent);
    gaugePicture = gauge(QStringLiteral("gaugePicture"));
    gaugeTotal = gauge(QStringLiteral("gaugeTotal"));
    lblSpeed = label(QStringLiteral("lblSpeed"), kIndent + QStringLiteral("0 kb/s"));
    lblElapsed = label(QStringLiteral("lblElapsed"), kIndent + MsToTimeStr(0));
    lblFailed = label(QStringLiteral("lblFailed"), kIndent + QStringLiteral("0"));
    value(QStringLiteral("Filnamn:"), lblFileName);
    value(QStringLiteral("Källa:"), lblSource);
    value(QStringLiteral("Storlek:"), lblSize);
    value(QStringLiteral("Bild:"), gaugePicture);
    value(QStringLiteral("Totalt:"), gaugeTotal);
    value(QStringLiteral("Hastighet:"), lblSpeed);
    value(QStringLiteral("Förfluten tid:"), lblElapsed);
    value(QStringLiteral("Misslyckade:"), lblFailed);
    progress->addLayout(grid);
    progress->addWidget(MakeFailureList(tabsProgress), 1);

    btnStart = AddButton(QStringLiteral("btnStart"), QStringLiteral("&Starta"));
    btnStart->setDefault(true);

    SetHelp(QStringLiteral("Hjälp om nedladdningen"),
            QStringLiteral("Guiden laddar ner alla länkade svampbilder som ännu inte finns i Mykotekshallen och gör "
                           "miniatyrbilder av dem. En bild som är markerad som källa till artens huvudbild ger arten "
                           "dess huvudbild, om arten inte redan har en.\n\n"
                           "Bilder som inte kan hämtas visas under \"Misslyckade\" och hämtas på nytt nästa gång "
                           "guiden körs. \"Avbryt\" stoppar nedladdningen; de bilder som inte hunnit hämtas laddas "
                           "ner nästa gång."));

    timerClock = new QTimer(this);
    timerClock->setObjectName(QStringLiteral("timerClock"));
    timerClock->setInterval(900);

    connect(btnStart, &QPushButton::clicked, this, [this] { Guarded([&] { btnStartClick(); }); });
    connect(timerClock, &QTimer::timeout, this, [this] { Guarded([&] { timerClockTimer(); }); });
}

TformLPWizard::TPage TformLPWizard::Page() const { return static_cast<TPage>(pcMain->currentIndex()); }

void TformLPWizard::ShowSize(qint64 bytes) {
    lblSize->setText(kIndent + Decimal(double(bytes) / 1024.0) + QStringLiteral(" kb"));
}

void TformLPWizard::ShowProgress() {
    gaugeTotal->setValue(std::min(m_download.Done, gaugeTotal->maximum()));
    lblFailed->setText(kIndent + QString::number(m_download.Failures));
    ShowFailures(m_download.FailureLines);
}

void TformLPWizard::timerClockTimer() {
    const quint64 elapsed = Clock::TickCount() - m_start;
    lblElapsed->setText(kIndent + MsToTimeStr(elapsed));
    const double seconds = double(elapsed) / 1000.0;
    if (seconds > 0)
        lblSpeed->setText(kIndent + Decimal(double(m_download.RunBytes) / 1024.0 / seconds) + QStringLiteral(" kb/s"));
}

void TformLPWizard::btnStartClick() {
    if (m_download.Running || m_download.PendingCount() == 0) return;
    btnStart->setEnabled(false);
    pcMain->setCurrentIndex(pgProgress);
    m_start = Clock::TickCount();
    timerClock->start();
    {
        struct TStop {
            QTimer* timer;
            ~TStop() { timer->stop(); }
        } stop{timerClock};
        m_download.DownloadAll();
    }
    timerClockTimer();
    ShowProgress();
    UIServices::ShowInformation(m_download.Aborted
                                    ? QStringLiteral("Nedladdningen har avbrutits!")
                                    : QStringLiteral("Nedladdningen av länkade svampbilder är slutförd!"));
    CloseWhenAsked();
}
