#pragma once
// The person form that users and contacts share: name, street and postal address, country,
// e-mail, private and mobile telephone and birth year in the rows of a grid (label, edit,
// lock), each detail a person may keep from others with its lock switch.
class QGridLayout;
class QLabel;
class QString;
class QWidget;
class TFRDBEdit;
class TFRDBLock;

struct TPersonEdits {
    TFRDBEdit* UserName = nullptr;
    TFRDBEdit* Address = nullptr;
    TFRDBEdit* PostalAddress = nullptr;
    TFRDBEdit* Country = nullptr;
    TFRDBEdit* EMail = nullptr;
    TFRDBEdit* TelephonePrivate = nullptr;
    TFRDBEdit* TelephoneMobile = nullptr;
    TFRDBEdit* BirthYear = nullptr;
    TFRDBLock* AddressLock = nullptr;
    TFRDBLock* TelephonePrivateLock = nullptr;
    TFRDBLock* TelephoneMobileLock = nullptr;
    TFRDBLock* BirthYearLock = nullptr;
};

// Builds the person's edits and locks (named as the frames name them: "dbeditUserName",
// "dblockAddress", ...) on parent, in grid's columns 0 to 2 from row on; returns the next row.
int AddPersonEdits(QWidget* parent, QGridLayout* grid, int row, TPersonEdits& edits);

// The label of a form row; it is never squeezed below its text, the edits give way instead.
QLabel* PersonFieldLabel(const QString& text, QWidget* parent);
