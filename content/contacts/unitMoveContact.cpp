#include "content/contacts/unitMoveContact.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "content/contacts/unitContactScreen.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "platform/DataSetScopes.h"
#include "platform/UIServices.h"

TformMoveContact::TformMoveContact(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm) {
    setObjectName(QStringLiteral("formMoveContact"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Kontaktens grupper"));
    auto* layout = new QVBoxLayout(this);
    lblInfo = new QLabel(QStringLiteral("Markera de grupper kontakten skall tillhöra..."), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    checklistGroups = new QListWidget(this);
    checklistGroups->setObjectName(QStringLiteral("checklistGroups"));
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnHelp = new QPushButton(QStringLiteral("Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setEnabled(false);  // the help system is not part of this program
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnHelp);
    layout->addWidget(lblInfo);
    layout->addWidget(checklistGroups, 1);
    layout->addLayout(buttons);
    resize(340, 320);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TformMoveContact::Prepare() {
    checklistGroups->clear();
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    TExtClientDataSet* groups = m_dm->cdsContactGroups;
    TExtClientDataSet* rows = m_dm->cdsContactGroupRows;
    m_contactKey = contacts->Active() && !contacts->IsEmpty() ? GetUKey(contacts) : QString();
    if (m_contactKey.isEmpty() || !groups->Active()) return;
    const QString groupKey = groups->IsEmpty() ? QString() : GetUKey(groups);
    const QString rowKey = rows->Active() && !rows->IsEmpty() ? GetUKey(rows) : QString();
    auto back = qScopeGuard([&] {
        if (LocateUKey(groups, groupKey) && !rowKey.isEmpty()) static_cast<void>(LocateUKey(rows, rowKey));
    });
    for (int i = 1; i <= groups->RecordCount(); ++i) {
        groups->SetRecNo(i);
        auto* item = new QListWidgetItem(groups->FieldByName(QStringLiteral("GroupName"))->AsString(), checklistGroups);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setData(Qt::UserRole, GetUKey(groups));
        item->setCheckState(rows->FindRecordIndex(QStringLiteral("ContactUKey"), m_contactKey) >= 0 ? Qt::Checked
                                                                                                    : Qt::Unchecked);
    }
}

void TformMoveContact::Apply() {
    TExtClientDataSet* contacts = m_dm->cdsContacts;
    TExtClientDataSet* groups = m_dm->cdsContactGroups;
    TExtClientDataSet* rows = m_dm->cdsContactGroupRows;
    if (m_contactKey.isEmpty() || !LocateUKey(contacts, m_contactKey)) return;
    const QString name = TFRContactScreen::GetContactDisplayName().left(110);
    const QString groupKey = groups->IsEmpty() ? QString() : GetUKey(groups);
    const QString rowKey = rows->Active() && !rows->IsEmpty() ? GetUKey(rows) : QString();
    auto back = qScopeGuard([&] {
        if (LocateUKey(groups, groupKey) && !(!rowKey.isEmpty() && LocateUKey(rows, rowKey))) rows->First();
    });
    for (int i = 0; i < checklistGroups->count(); ++i) {
        const QListWidgetItem* item = checklistGroups->item(i);
        if (!LocateUKey(groups, item->data(Qt::UserRole).toString())) continue;
        const bool ticked = item->checkState() == Qt::Checked;
        const int row = rows->FindRecordIndex(QStringLiteral("ContactUKey"), m_contactKey);
        if (!ticked && row >= 0) {
            // Every row of the contact in the group goes, should there be more than one.
            for (int r = row; r >= 0; r = rows->FindRecordIndex(QStringLiteral("ContactUKey"), m_contactKey)) {
                rows->SetRecNo(r + 1);
                rows->Delete();
            }
        } else if (ticked && row < 0) {
            TEditScope append(rows, TEditScope::Append);
            rows->FieldByName(QStringLiteral("ContactUKey"))->SetAsString(m_contactKey);
            rows->FieldByName(QStringLiteral("ContactName"))->SetAsString(name);
            append.Post();
        }
    }
}

#include "moc_unitMoveContact.cpp"
