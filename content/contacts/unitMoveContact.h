#pragma once
// The dialog that sets the groups of one contact: one tick box per group, ticked where the
// group holds the contact. Group membership is no use of the contact: ticking and unticking
// leave its reference count alone.
#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;
class TDM;

class TformMoveContact : public QDialog {
    Q_OBJECT
public:
    explicit TformMoveContact(TDM* dm, QWidget* parent = nullptr);

    // Fills the list for the contacts table's current contact.
    void Prepare();
    // Deletes the rows of unticked groups and adds rows to ticked ones that lack the contact;
    // the group table returns to its record.
    void Apply();

    QLabel* lblInfo = nullptr;
    QListWidget* checklistGroups = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;

private:
    TDM* m_dm;
    QString m_contactKey;
};
