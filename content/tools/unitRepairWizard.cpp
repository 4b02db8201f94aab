#include "content/tools/unitRepairWizard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTextCursor>
#include <QVBoxLayout>

#include "content/tools/RepairCheck.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "controls/FlatPageControl.h"
#include "core/MyUtils.h"
#include "shell/unitMain.h"
#include "platform/Clock.h"
#include "platform/UIServices.h"

namespace {

const QString kCaption = QStringLiteral("Kontroll och reparation av Mykotekshallens databas");

// The picture at the left of the wizard: the program's green, down the whole height, with
// the glyph of the check at the top.
class TWizardPicture : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient shade(0, 0, 0, height());
        shade.setColorAt(0, QColor(0x00, 0x80, 0x00));
        shade.setColorAt(1, QColor(0x00, 0x40, 0x00));
        p.fillRect(rect(), shade);
        const QPixmap glyph = RepairGlyph(72);
        p.drawPixmap((width() - glyph.width()) / 2, 24, glyph);
    }
};

QLabel* Heading(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setFont(ArialFont(12, true));
    label->setWordWrap(true);
    return label;
}

QLabel* Paragraphs(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

QPixmap RepairGlyph(int size) {
    QPixmap glyph(size, size);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    // The drum: a body and its lit top.
    const QRectF body(s * 0.12, s * 0.16, s * 0.62, s * 0.66);
    const qreal lid = s * 0.18;
    QLinearGradient metal(body.left(), 0, body.right(), 0);
    metal.setColorAt(0, QColor(0x6E, 0x7F, 0x95));
    metal.setColorAt(0.45, QColor(0xD8, 0xE2, 0xEE));
    metal.setColorAt(1, QColor(0x5A, 0x6A, 0x80));
    QPainterPath drum;
    drum.moveTo(body.left(), body.top() + lid / 2);
    drum.lineTo(body.left(), body.bottom() - lid / 2);
    drum.arcTo(QRectF(body.left(), body.bottom() - lid, body.width(), lid), 180, 180);
    drum.lineTo(body.right(), body.top() + lid / 2);
    drum.arcTo(QRectF(body.left(), body.top(), body.width(), lid), 0, -180);
    p.setPen(QPen(QColor(0x33, 0x3D, 0x4A), s / 48));
    p.setBrush(metal);
    p.drawPath(drum);
    p.setBrush(Qt::NoBrush);
    for (const qreal band : {0.36, 0.58})
        p.drawArc(QRectF(body.left(), body.top() + body.height() * band - lid / 2, body.width(), lid), 180 * 16,
                  180 * 16);
    p.setBrush(QColor(0xEE, 0xF3, 0xF8));
    p.drawEllipse(QRectF(body.left(), body.top(), body.width(), lid));
    // The check mark on a green disc.
    const QRectF disc(s * 0.52, s * 0.52, s * 0.44, s * 0.44);
    p.setPen(QPen(Qt::white, s / 32));
    p.setBrush(QColor(0x1E, 0x9E, 0x32));
    p.drawEllipse(disc);
    p.setPen(QPen(Qt::white, s / 14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(disc.left() + disc.width() * 0.26, disc.top() + disc.height() * 0.52),
                              QPointF(disc.left() + disc.width() * 0.44, disc.top() + disc.height() * 0.70),
                              QPointF(disc.left() + disc.width() * 0.76, disc.top() + disc.height() * 0.32)}));
    return glyph;
}

TformRepairWizard::TformRepairWizard(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm) {
    SetupComponents();
    UpdatePage();
}

TformRepairWizard::~TformRepairWizard() = default;

QWidget* TformRepairWizard::AddPage(const QString& name) {
    QWidget* page = fpcMain->AddPage(name);
    // The page's controls live in one holder, which fills the page panel while shown.
    auto* holder = new QWidget(page);
    holder->setObjectName(name + QStringLiteral("Holder"));
    holder->setVisible(true);
    return holder;
}

QWidget* TformRepairWizard::AddTextPage(const QString& name, const QString& text) {
    QWidget* holder = AddPage(name);
    auto* rows = new QVBoxLayout(holder);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addWidget(Heading(holder, kCaption));
    rows->addSpacing(8);
    rows->addWidget(Paragraphs(holder, text));
    rows->addStretch(1);
    return fpcMain->Pages(fpcMain->PageCount() - 1);
}

void TformRepairWizard::SetupComponents() {
    setObjectName(QStringLiteral("formRepairWizard"));
    setWindowTitle(kCaption);
    // A dialog border without border icons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setMinimumSize(600, 420);
    resize(680, 480);

    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    imageWizard = new TWizardPicture(this);
    imageWizard->setObjectName(QStringLiteral("imageWizard"));
    imageWizard->setFixedWidth(120);
    top->addWidget(imageWizard);
    panelPage = new QWidget(this);
    panelPage->setObjectName(QStringLiteral("panelPage"));
    m_pageLayout = new QVBoxLayout(panelPage);
    m_pageLayout->setContentsMargins(0, 0, 0, 0);
    top->addWidget(panelPage, 1);
    outer->addLayout(top, 1);

    fpcMain = new TFlatPageControl(this);
    fpcMain->setObjectName(QStringLiteral("fpcMain"));
    fpcMain->SetTargetPanel(panelPage);

    tabsInfo = AddTextPage(
        QStringLiteral("tabsInfo"),
        QStringLiteral("Kontrollen och reparationen av databasen tar en god stund och utförs i flera steg. När "
                       "kontrollen väl har startats bör den få slutföras. Det steg som pågår visas hela tiden.\n\n"
                       "Klicka på \"Starta\" för att påbörja kontrollen."));

    // The page of the running check and its report.
    QWidget* holder = AddPage(QStringLiteral("tabsRepairing"));
    tabsRepairing = fpcMain->Pages(1);
    {
        auto* rows = new QVBoxLayout(holder);
        rows->setContentsMargins(0, 0, 0, 0);
        lblP2 = Heading(holder, QStringLiteral("Kontrollen utförs..."));
        lblP2->setObjectName(QStringLiteral("lblP2"));
        rows->addWidget(lblP2);
        memoReport = new QPlainTextEdit(holder);
        memoReport->setObjectName(QStringLiteral("memoReport"));
        memoReport->setReadOnly(true);
        memoReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memoReport->setMinimumHeight(177);
        rows->addWidget(memoReport, 1);
        panelP2_2 = new QWidget(holder);
        panelP2_2->setObjectName(QStringLiteral("panelP2_2"));
        auto* clock = new QGridLayout(panelP2_2);
        clock->setContentsMargins(0, 4, 0, 0);
        clock->addWidget(new QLabel(QStringLiteral("Förfluten tid:"), panelP2_2), 0, 0);
        panelTime = new QLabel(QStringLiteral("   00:00:00"), panelP2_2);
        panelTime->setObjectName(QStringLiteral("panelTime"));
        panelTime->setFrameShape(QFrame::Panel);
        panelTime->setFrameShadow(QFrame::Sunken);
        panelTime->setMinimumWidth(110);
        clock->addWidget(panelTime, 0, 1);
        clock->setColumnStretch(2, 1);
        clock->addWidget(new QLabel(QStringLiteral("Klicka på \"Avbryt\" för att avbryta kontrollen."), panelP2_2), 1,
                         0, 1, 3);
        rows->addWidget(panelP2_2);
    }

    // The page shown once the window was closed during the check.
    tabsRepairAborted =
        AddTextPage(QStringLiteral("tabsRepairAborted"),
                    QStringLiteral("Kontrollen och reparationen av databasen tar en god stund och utförs i flera steg. "
                                   "Kontrollen kan avbrytas utan någon risk för skador på databasen; det som redan har "
                                   "reparerats är sparat. Det steg som pågår visas hela tiden.\n\n"
                                   "Klicka på \"Avsluta\" för att stänga det här fönstret."));

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    outer->addWidget(rule);
    auto* buttons = new QHBoxLayout;
    btnHelp = new QPushButton(QStringLiteral("Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setToolTip(QStringLiteral("Hjälp om kontroll och reparation"));
    btnHelp->setAutoDefault(false);
    buttons->addWidget(btnHelp);
    buttons->addStretch(1);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    buttons->addWidget(btnCancel);
    btnPrevious = new QPushButton(QStringLiteral("&Föregående"), this);
    btnPrevious->setObjectName(QStringLiteral("btnPrevious"));
    btnPrevious->setAutoDefault(false);
    btnPrevious->setEnabled(false);
    buttons->addWidget(btnPrevious);
    btnNext = new QPushButton(QStringLiteral("Starta"), this);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnNext->setDefault(true);
    buttons->addWidget(btnNext);
    outer->addLayout(buttons);

    connect(btnNext, &QPushButton::clicked, this, [this] { Guarded([this] { btnNextClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([this] { btnCancelClick(); }); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { Guarded([this] { btnHelpClick(); }); });
    timerClock.setInterval(900);
    connect(&timerClock, &QTimer::timeout, this, [this] { timerClockTick(); });
}

void TformRepairWizard::UpdatePage() {
    const int page = m_state == TState::Info ? 0 : m_state == TState::Aborted ? 2 : 1;
    fpcMain->ShowPage(page);
    // The page control moved the page's holder into the page panel, where it fills the panel.
    for (QObject* child : panelPage->children()) {
        auto* shown = qobject_cast<QWidget*>(child);
        if (shown && m_pageLayout->indexOf(shown) < 0) m_pageLayout->addWidget(shown);
    }

    switch (m_state) {
        case TState::Info:
            panelP2_2->hide();
            btnCancel->setEnabled(true);
            btnNext->setText(QStringLiteral("Starta"));
            btnNext->setEnabled(true);
            break;
        case TState::Running:
            lblP2->setText(QStringLiteral("Kontrollen utförs..."));
            panelP2_2->show();
            // The check stops at its next row when asked to.
            btnCancel->setEnabled(true);
            btnNext->setText(QStringLiteral("Starta"));
            btnNext->setEnabled(false);
            break;
        case TState::Done:
            lblP2->setText(m_failed ? QStringLiteral("Kontrollen avbröts av ett fel!")
                                    : QStringLiteral("Kontrollen är slutförd!"));
            panelP2_2->hide();
            btnCancel->setEnabled(false);
            btnNext->setText(QStringLiteral("Avsluta"));
            btnNext->setEnabled(true);
            break;
        case TState::Aborted:
            panelP2_2->hide();
            btnCancel->setEnabled(false);
            btnNext->setText(QStringLiteral("Avsluta"));
            // Until the check has stopped at its next row.
            btnNext->setEnabled(!m_running);
            break;
    }
    if (btnNext->isEnabled()) btnNext->setFocus();
}

void TformRepairWizard::AddReportLine(const QString& text) {
    ApplyReportLine(m_report, text);
    memoReport->setPlainText(m_report.join(QLatin1Char('\n')));
    memoReport->moveCursor(QTextCursor::End);
    memoReport->ensureCursorVisible();
    // The window repaints and the clock runs during the check.
    QCoreApplication::processEvents();
}

void TformRepairWizard::btnNextClick() {
    switch (m_state) {
        case TState::Info:
            m_state = TState::Running;
            UpdatePage();
            RunCheck();
            break;
        case TState::Done:
        case TState::Aborted:
            if (!m_running) accept();
            break;
        default:
            break;
    }
}

void TformRepairWizard::btnCancelClick() {
    if (m_running)
        AbortRun();
    else
        reject();
}

void TformRepairWizard::btnHelpClick() {
    UIServices::ShowInformation(
        QStringLiteral(
            "Kontrollen går igenom hela databasen i sju steg och reparerar det den hittar. Rapportens "
            "resultat har en rad per steg:\n\n"
            "Kontakter: hur många kontakter databasen har.\n"
            "Brutna master-detail relationer: detaljposter vars huvudpost inte längre finns (till "
            "exempel bilder till en art som har tagits bort). De raderas.\n"
            "Referenser till kontakter som inte kunde hittas: poster som pekar på en borttagen kontakt. De "
            "pekar därefter på kontakten \"%1\".\n"
            "Felaktig referensuppgift: kontakter vars antal referenser inte stämde. Antalet räknas om.\n"
            "Herrelösa bild- eller datafiler: bildfiler som ingen post äger. De raderas.\n"
            "Felaktig antalsuppgift på svampbilderna: arter vars antal bilder inte stämde. Antalet räknas om.\n"
            "Saknade bild- eller datafiler: poster vars bildfil saknas. Länkade bilder markeras som inte "
            "nedladdade, övriga bildposter raderas och andra poster markeras som att de saknar bild.")
            .arg(TRepairCheck::PlaceholderContactName),
        QStringLiteral("Mykotekshallen - Hjälp"));
}

void TformRepairWizard::timerClockTick() {
    if (m_state == TState::Running)
        panelTime->setText(QStringLiteral("   ") + MsToTimeStr(Clock::TickCount() - m_startTick));
}

void TformRepairWizard::RunCheck() {
    m_failed = false;
    m_report.clear();
    memoReport->clear();
    m_startTick = Clock::TickCount();
    panelTime->setText(QStringLiteral("   00:00:00"));
    timerClock.start();

    TRepairCheck check(m_dm);
    check.OnReportLine = [this](const QString& line) { AddReportLine(line); };
    TRepairCheck::TOutcome outcome = TRepairCheck::TOutcome::Completed;
    {
        m_check = &check;
        m_running = true;
        auto over = qScopeGuard([this] {
            m_check = nullptr;
            m_running = false;
        });
        outcome = check.Run();
    }
    if (outcome == TRepairCheck::TOutcome::Stopped) {
        m_state = TState::Aborted;
    } else {
        m_state = TState::Done;
        m_failed = outcome == TRepairCheck::TOutcome::Failed;
    }
    // Contacts may have been added (a user's new mirror, the stand-in for removed ones).
    if (TformFRMain* main = MainForm(); main && main->DataModule() == m_dm)
        Guarded([main] { main->BuildContactNameList(); });
    UpdatePage();
}

void TformRepairWizard::AbortRun() {
    m_state = TState::Aborted;
    if (m_check) m_check->RequestStop();
    UpdatePage();
}

void TformRepairWizard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_state == TState::Info) UpdatePage();
}

void TformRepairWizard::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        AbortRun();
        return;
    }
    QDialog::closeEvent(event);
}

void TformRepairWizard::reject() {
    // Escape while the check runs stops it, as closing does.
    if (m_running) {
        AbortRun();
        return;
    }
    QDialog::reject();
}

#include "moc_unitRepairWizard.cpp"
