#pragma once
// The first-user dialog: shown at start-up when there are no users. It hosts the users'
// frame in first-user mode, appends a record to the users table when shown and closes with
// OK once the user was saved. Closing it any other way cancels the new record.
#include <QDialog>
#include <QString>

class TframeUsers;

class TformCreateFirstUser : public QDialog {
    Q_OBJECT
public:
    explicit TformCreateFirstUser(QWidget* parent = nullptr);
    ~TformCreateFirstUser() override;

    TframeUsers* frameUsers = nullptr;

    // The key of the user that was saved, empty until then.
    QString CreatedUserKey() const { return m_createdKey; }

    // Cancels the new record: the cancel button, Escape and the window's close button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetupForm();
    bool m_appended = false;
    QString m_createdKey;
};
