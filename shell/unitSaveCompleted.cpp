#include "shell/unitSaveCompleted.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/FRInfoPanel.h"
#include "platform/UIServices.h"

TformSaveCompleted::TformSaveCompleted(QWidget* parent) : QDialog(parent) { SetupForm(); }

void TformSaveCompleted::SetupForm() {
    setObjectName(QStringLiteral("formSaveCompleted"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Spara kompletterad art"));
    setModal(true);

    panelInfo = new TFRInfoPanel(this);
    panelInfo->setObjectName(QStringLiteral("panelInfo"));
    panelInfo->SetIcon(TInfoPanelIcon::icQuestion);
    panelInfo->SetInfo({QStringLiteral("Artbeskrivningen är kompletterad. Hur vill Du spara den?"),
                        QStringLiteral("Låst är beskrivningen färdig och kan inte längre ändras av misstag."),
                        QStringLiteral("Olåst sparas den som pågående och kan kompletteras vidare.")});
    panelInfo->setMinimumSize(460, 80);

    btnSaveUnlocked = new QPushButton(QStringLiteral("Spara och LÅS INTE"), this);
    btnSaveUnlocked->setObjectName(QStringLiteral("btnSaveUnlocked"));
    btnSaveUnlocked->setDefault(true);
    btnSaveLocked = new QPushButton(QStringLiteral("Spara och LÅS"), this);
    btnSaveLocked->setObjectName(QStringLiteral("btnSaveLocked"));
    btnSaveLocked->setAutoDefault(false);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panelInfo, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSaveUnlocked);
    buttons->addWidget(btnSaveLocked);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    // The dialog's result is the answer itself; closing it rejects, which is 0.
    connect(btnSaveUnlocked, &QPushButton::clicked, this, [this] { done(1); });
    connect(btnSaveLocked, &QPushButton::clicked, this, [this] { done(2); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(0); });
}

int TformSaveCompleted::Execute() {
    btnSaveUnlocked->setFocus();
    const int answer = UIServices::ExecDialog(this);
    return answer == 1 || answer == 2 ? answer : 0;
}
