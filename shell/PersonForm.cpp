#include "shell/PersonForm.h"

#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>

#include "controls/FREdits.h"
#include "controls/FRLabel.h"
#include "controls/FRLocks.h"

QLabel* PersonFieldLabel(const QString& text, QWidget* parent) {
    auto* label = new TFRLabel(text, parent);
    label->setMinimumWidth(label->sizeHint().width());
    return label;
}

int AddPersonEdits(QWidget* parent, QGridLayout* grid, int row, TPersonEdits& edits) {
    auto addEdit = [&](TFRDBEdit*& edit, const char* name, const QString& label, const QString& field,
                       TFRDBLock** lock = nullptr, const char* lockName = nullptr, const QString& lockField = {}) {
        // The edit takes its longest text from its field.
        edit = new TFRDBEdit(parent);
        edit->setObjectName(QLatin1String(name));
        edit->SetDataField(field);
        grid->addWidget(PersonFieldLabel(label, parent), row, 0);
        grid->addWidget(edit, row, 1);
        if (lock) {
            *lock = new TFRDBLock(parent);
            (*lock)->setObjectName(QLatin1String(lockName));
            (*lock)->SetDataField(lockField);
            (*lock)->setToolTip(QStringLiteral("Lås uppgiften så att den inte lämnas ut till andra"));
            grid->addWidget(*lock, row, 2);
        }
        ++row;
    };
    addEdit(edits.UserName, "dbeditUserName", QStringLiteral("Namn:"), QStringLiteral("UserName"));
    addEdit(edits.Address, "dbeditAddress", QStringLiteral("Gatuadress:"), QStringLiteral("Address"),
            &edits.AddressLock, "dblockAddress", QStringLiteral("AddressLocked"));
    addEdit(edits.PostalAddress, "dbeditPostalAddress", QStringLiteral("Postadress:"), QStringLiteral("PostalAddress"));
    addEdit(edits.Country, "dbeditCountry", QStringLiteral("Land:"), QStringLiteral("Country"));
    addEdit(edits.EMail, "dbeditEMail", QStringLiteral("E-post:"), QStringLiteral("EMail"));
    addEdit(edits.TelephonePrivate, "dbeditTelephonePrivate", QStringLiteral("Telefon, privat:"),
            QStringLiteral("TelephonePrivate"), &edits.TelephonePrivateLock, "dblockTelephonePrivate",
            QStringLiteral("PrivateTelLocked"));
    addEdit(edits.TelephoneMobile, "dbeditTelephoneMobile", QStringLiteral("Telefon, mobil:"),
            QStringLiteral("TelephoneMobile"), &edits.TelephoneMobileLock, "dblockTelephoneMobile",
            QStringLiteral("MobileTelLocked"));
    addEdit(edits.BirthYear, "dbeditBirthYear", QStringLiteral("Födelseår:"), QStringLiteral("BirthYear"),
            &edits.BirthYearLock, "dblockBirthYear", QStringLiteral("BirthYearLocked"));
    edits.BirthYear->setValidator(new QIntValidator(0, 9999, edits.BirthYear));
    return row;
}
