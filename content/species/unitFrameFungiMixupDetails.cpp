#include "content/species/unitFrameFungiMixupDetails.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiSubLists.h"
#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRInfoPanel.h"
#include "controls/FRMemos.h"
#include "controls/FRSearchPanel.h"
#include "core/ExtClientDataSet.h"
#include "core/FRIConnection.h"
#include "core/FRIniFile.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/DataLink.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const QString kMixupUKey = QStringLiteral("MixupUKey");
constexpr TColor kMirrorColor = 0xC4FFFF;
constexpr TColor kInactiveColor = clBtnFace;

QByteArray Encoded(const QString& value) { return QUrl::toPercentEncoding(value); }

bool IsEditing(TClientDataSet* table) {
    return table->State() == TDataSetState::dsEdit || table->State() == TDataSetState::dsInsert;
}

TExtClientDataSet* Mixups() { return FRFungiScreen ? FRFungiScreen->DataModule()->cdsFungiMixups : nullptr; }

}  // namespace

QUrl MixupReportUrl(const QString& host, const QString& fungi1, const QString& difference1, const QString& fungi2,
                    const QString& difference2, const QString& user) {
    QString base = host.trimmed();
    while (base.endsWith(QLatin1Char('/'))) base.chop(1);
    if (!base.contains(QLatin1String("://"))) base.prepend(QLatin1String("http://"));
    const QByteArray text = base.toUtf8() + "/data/reportmixup.asp?fungi1=" + Encoded(fungi1) +
        "&difference1=" + Encoded(difference1) + "&fungi2=" + Encoded(fungi2) + "&difference2=" + Encoded(difference2) +
        "&user=" + Encoded(user);
    return QUrl::fromEncoded(text, QUrl::StrictMode);
}

void MixupReportGet(const QUrl& url) {
    // The program's one connection when there is a main window; the answer is not read.
    if (TformFRMain* main = MainForm(); main && main->Connection()) {
        main->Connection()->GetText(url.toString(QUrl::FullyEncoded));
        return;
    }
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setTransferTimeout(MixupReportTimeoutMs);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    // The answer is not read; only whether the request went through.
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
        throw Exception(QStringLiteral("Servern svarade inte i tid."));
    if (reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status > 0) throw Exception(QStringLiteral("Servern svarade med felkod %1.").arg(status));
        // Qt's own texts are English: the user gets Swedish ones.
        if (reply->error() == QNetworkReply::ConnectionRefusedError)
            throw Exception(QStringLiteral("Servern tog inte emot anslutningen."));
        if (reply->error() == QNetworkReply::HostNotFoundError)
            throw Exception(QStringLiteral("Servern hittades inte."));
        throw Exception(QStringLiteral("Servern kunde inte nås (nätverksfel %1).").arg(int(reply->error())));
    }
}

std::function<void(const QUrl&)>& TframeFungiMixupDetails::Sender() {
    static std::function<void(const QUrl&)> sender = MixupReportGet;
    return sender;
}

TframeFungiMixupDetails::TframeFungiMixupDetails(QWidget* parent) : TframeFungiDetailBase(parent) {
    auto* body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(8, 8, 8, 8);
    lblMixup = new QLabel(QStringLiteral("Förväxlingsart:"), body);
    searchMixup = new TFRSearchPanel(body);
    searchMixup->setObjectName(QStringLiteral("searchMixup"));
    searchMixup->PresentSelection = true;
    searchMixup->setToolTip(QStringLiteral("Sök förväxlingsarten bland artnamnen"));
    grid->addWidget(lblMixup, 0, 0);
    grid->addWidget(searchMixup, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Särdrag hos förväxl.-arten:"), body), 1, 0, Qt::AlignTop);
    dbmemoDifference = new TFRDBMemo(body);
    dbmemoDifference->setObjectName(QStringLiteral("dbmemoDifference"));
    dbmemoDifference->SetDataField(QStringLiteral("DifferenceText"));
    grid->addWidget(dbmemoDifference, 1, 1);
    chkMirror = new QCheckBox(QStringLiteral("Spegla uppgiften till förväxlingsarten"), body);
    chkMirror->setObjectName(QStringLiteral("chkMirror"));
    grid->addWidget(chkMirror, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Särdrag hos aktuell art:"), body), 3, 0, Qt::AlignTop);
    memoMirror = new TFRMemo(body);
    memoMirror->setObjectName(QStringLiteral("memoMirror"));
    grid->addWidget(memoMirror, 3, 1);
    infoPanel = new TFRInfoPanel(body);
    infoPanel->SetIcon(TInfoPanelIcon::icInfo);
    infoPanel->SetInfo({QStringLiteral("Föreslå en förväxlingsart"),
                        QStringLiteral("Välj förväxlingsarten och beskriv vad som skiljer den från aktuell art."),
                        QStringLiteral("Med spegling beskriver du också den aktuella artens särdrag."),
                        QStringLiteral("Förslaget skickas till Mykotekshallen-teamet och sparas inte här.")});
    grid->addWidget(infoPanel, 4, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnSave = new QPushButton(QStringLiteral("Spara"), body);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), body);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    grid->addLayout(buttons, 5, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    grid->setRowStretch(3, 1);
    BodyLayout()->addWidget(body, 1);

    if (FRFungiScreen) {
        m_source = FRFungiScreen->DataModule()->dsFungiMixups;
        dbmemoDifference->SetDataSource(m_source);
    }
    if (TformFRMain* main = MainForm()) searchMixup->SearchList = main->FungiNames;
    searchMixup->OnSearchPerformed = [](TFRSearchPanel*, const QString& key) {
        TExtClientDataSet* mixups = Mixups();
        if (!mixups || key.isEmpty() || !IsEditing(mixups)) return;
        mixups->FieldByName(kMixupUKey)->SetAsString(key);
    };
    connect(chkMirror, &QCheckBox::toggled, this, [this] { MirrorClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    MirrorClick();
}

void TframeFungiMixupDetails::resizeEvent(QResizeEvent* event) {
    TframeFungiDetailBase::resizeEvent(event);
    SetFittedHeader(panelFrameHeader, panelFrameHeader->text());
}

void TframeFungiMixupDetails::UpdateFrame() {
    TframeFungiDetailBase::UpdateFrame();
    TExtClientDataSet* mixups = Mixups();
    if (!mixups || !FRFungiScreen) return;
    const bool inserting = mixups->State() == TDataSetState::dsInsert;
    SetFittedHeader(panelFrameHeader,
                    QStringLiteral("   ") + FRFungiScreen->GetFungiFullName(QStringLiteral("*")) +
                        QStringLiteral(" - ") +
                        (inserting ? QStringLiteral("inmatning av ny förväxlingssvamp")
                                   : QStringLiteral("editering av ny förväxlingssvamp")));
    searchMixup->setEnabled(inserting);
    const QString key =
        mixups->Active() && !mixups->IsEmpty() ? mixups->FieldByName(kMixupUKey)->AsString() : QString();
    if (!key.isEmpty()) searchMixup->Edit->setText(FRFungiScreen->GetFungiName(key));
}

void TframeFungiMixupDetails::MirrorClick() {
    const bool mirrored = chkMirror->isChecked();
    memoMirror->setReadOnly(!mirrored);
    memoMirror->setEnabled(mirrored);
    memoMirror->SetColor(mirrored ? kMirrorColor : kInactiveColor);
    if (!mirrored) memoMirror->clear();
}

void TframeFungiMixupDetails::btnSaveClick() {
    TExtClientDataSet* mixups = Mixups();
    if (!mixups || !FRFungiScreen) return;
    const QString other = searchMixup->Edit->text().trimmed();
    if (other.isEmpty()) throw Exception(QStringLiteral("Du måste ange förväxlingsart."));
    const QString difference = dbmemoDifference->toPlainText();
    const QString mirror = chkMirror->isChecked() ? memoMirror->toPlainText() : QString();
    if (difference.trimmed().isEmpty() || (chkMirror->isChecked() && mirror.trimmed().isEmpty()))
        throw Exception(
            QStringLiteral("Du måste ange någon skillnad. Om det inte finns några synliga skillnader, "
                           "skriv \"Mikroskopiska skillnader\"."));
    TDM* dm = FRFungiScreen->DataModule();
    const QString user = dm->cdsCurrentUser->Active() && !dm->cdsCurrentUser->IsEmpty()
        ? dm->cdsCurrentUser->FieldByName(QStringLiteral("UserName"))->AsString()
        : QString();
    const QString host = UsersSettings() ? UsersSettings()->ReadString(QLatin1String(MixupReportHostKey)) : QString();
    if (host.trimmed().isEmpty()) {
        UIServices::ShowWarning(QStringLiteral("Ingen adress för rapporter till Mykotekshallen-teamet är inställd, så "
                                               "förslaget kunde inte skickas."),
                                QStringLiteral("Mykotekshallen - Information"));
    } else {
        const QUrl url =
            MixupReportUrl(host, FRFungiScreen->GetFungiName(QStringLiteral("*")), difference, other, mirror, user);
        try {
            if (Sender())
                Sender()(url);
            else
                MixupReportGet(url);
            UIServices::ShowInformation(
                QStringLiteral(
                    "Förslaget på förväxlingssvamp har skickats till Mykotekshallen-teamet. Tack för hjälpen!"),
                QStringLiteral("Mykotekshallen - Information"));
        } catch (const std::exception& e) {
            const QString message = dynamic_cast<const Exception*>(&e) ? static_cast<const Exception&>(e).Message()
                                                                       : QString::fromUtf8(e.what());
            UIServices::ShowError(
                QStringLiteral("Sändningen av förväxlingssvampen via Internet misslyckades. Meddelande: ") + message,
                QStringLiteral("Mykotekshallen - Fel"));
        }
    }
    Finish();
}

void TframeFungiMixupDetails::btnCancelClick() { Finish(); }

void TframeFungiMixupDetails::Finish() {
    // Nothing of a proposal is stored.
    if (TExtClientDataSet* mixups = Mixups())
        if (IsEditing(mixups)) mixups->Cancel();
    chkMirror->setChecked(false);
    searchMixup->Edit->clear();
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    if (FRFungiScreen) {
        FRFungiScreen->SetBrowseEnabled(true);
        if (FRFungiScreen->FungiFrame()) FRFungiScreen->FungiFrame()->ShowSubScreen(2);
    }
}

TFRFrameBase* TFRFungiMixupDetailScreen::NewFrame() { return TFRFrameBase::Create<TframeFungiMixupDetails>(); }

#include "moc_unitFrameFungiMixupDetails.cpp"
