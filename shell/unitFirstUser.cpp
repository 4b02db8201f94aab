#include "shell/unitFirstUser.h"

#include "shell/MyVisualUtils.h"

#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"

TformCreateFirstUser::TformCreateFirstUser(QWidget* parent) : QDialog(parent) { SetupForm(); }

TformCreateFirstUser::~TformCreateFirstUser() {
    // A record still being entered never reaches the table.
    TDM* dm = nullptr;
    try {
        dm = UsersDM();
    } catch (const Exception&) {}
    if (dm && dm->cdsUsers->State() == TDataSetState::dsInsert && m_appended && m_createdKey.isEmpty())
        dm->cdsUsers->Cancel();
}

void TformCreateFirstUser::SetupForm() {
    setObjectName(QStringLiteral("formCreateFirstUser"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Första användaren"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    TDM* dm = UsersDM();
    frameUsers = TFRFrameBase::Create<TframeUsers>(dm->cdsUsers, TframeUsers::TUsersMode::FirstUser, this);
    layout->addWidget(frameUsers);
    frameUsers->show();
    frameUsers->btnSave->setDefault(true);
    frameUsers->OnUserSaved = [this] {
        m_createdKey = GetUKey(UsersDM()->cdsUsers);
        accept();
    };
    frameUsers->OnCancelled = [this] { QDialog::reject(); };
    // Roomy where the screen allows, never larger than the screen.
    FitDialogToScreen(this, QSize(860, 520));
}

void TformCreateFirstUser::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_appended) return;
    m_appended = true;
    TExtClientDataSet* users = UsersDM()->cdsUsers;
    users->Append();
    frameUsers->UpdateFrame();
    frameUsers->dbeditUserName->setFocus();
}

void TformCreateFirstUser::reject() {
    // Leaving by Escape or the window's button is the same as pressing "Avbryt".
    if (frameUsers) {
        frameUsers->btnCancelClick();
        return;
    }
    QDialog::reject();
}

#include "moc_unitFirstUser.cpp"
