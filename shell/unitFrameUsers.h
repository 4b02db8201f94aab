#pragma once
// The users' content frame. In first-user mode it sits in the first-user dialog beside an
// info text; in user-management mode it is the user screen's frame beside the user list and
// its buttons "Ny...", "Ändra..." and "Radera...". Its edits show and edit the users table's
// current record.
#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "controls/FREdits.h"
#include "controls/FRLocks.h"
#include "controls/FRMultiChoice.h"
#include "shell/FRScreens.h"
#include "shell/RecordPicture.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TClientDataSet;
class TField;

// A row of cells of which at most one is chosen (the administrator choice). A user's click
// calls OnChange with the new index; SetItemIndex does not.
class TUserChoice : public QWidget {
    Q_OBJECT
public:
    explicit TUserChoice(const QStringList& items, QWidget* parent = nullptr);
    int ItemIndex() const { return m_index; }
    void SetItemIndex(int index);
    QStringList Items() const { return m_items; }
    // The cell of an item, for clicking.
    QToolButton* Cell(int index) const;
    std::function<void(int)> OnChange;

private:
    void Clicked(int index);
    QStringList m_items;
    QList<QToolButton*> m_cells;
    int m_index = -1;
};

class TframeUsers : public TFRFrameBase {
    Q_OBJECT
public:
    enum class TUsersMode { FirstUser, UserManagement };

    // The frame works on the users table given (the data module's cdsUsers).
    TframeUsers(TClientDataSet* users, TUsersMode mode, QWidget* parent = nullptr);
    ~TframeUsers() override;

    TUsersMode Mode() const { return m_mode; }

    void InitFrame() override;
    void DoneFrame() override;
    void UpdateFrame() override;
    void UpdateButtons() override;

    // The user list: every user for the administrator, only the logged-in user for others.
    void FillUserList();

    // ---- Button and list handlers ----
    void btnNewUserClick();
    void btnEditUserClick();
    void btnDeleteUserClick();
    void btnSaveClick();
    void btnCancelClick();
    void btnPicFromFileClick();
    void btnPicFromClipboardClick();
    void btnRemovePicClick();
    void listboxUsersClick(int row);
    // A user's choice in the administrator choice (0 "Ja", 1 "Nej").
    void multicFirstUserChange(int index);

    // First-user mode: after the user was saved, and after cancelling.
    std::function<void()> OnUserSaved;
    std::function<void()> OnCancelled;

    // Flags of the frame.
    bool PictureRemoved() const { return m_picture.Removed(); }
    bool AdminHandOver() const { return m_handOver; }
    // The picture the frame shows (the user's, or the stock one).
    QImage ShownPicture() const { return m_picture.Picture(); }
    // Whether the administrator choice is shown now.
    bool AdminChoiceVisible() const;

    // ---- Components ----
    QStackedWidget* pagesUsers = nullptr;
    QWidget* tabsFirstUserInfo = nullptr;
    QLabel* lblFirstUserInfo = nullptr;
    QWidget* tabsUserlist = nullptr;
    QLabel* lblUserList = nullptr;
    QListWidget* listboxUsers = nullptr;
    QPushButton* btnNewUser = nullptr;  // "Ny..."
    QPushButton* btnEditUser = nullptr;  // "Ändra..."
    QPushButton* btnDeleteUser = nullptr;  // "Radera..."

    TFRDBEdit* dbeditUserName = nullptr;
    TFRDBEdit* dbeditAddress = nullptr;
    TFRDBEdit* dbeditPostalAddress = nullptr;
    TFRDBEdit* dbeditCountry = nullptr;
    TFRDBEdit* dbeditEMail = nullptr;
    TFRDBEdit* dbeditTelephonePrivate = nullptr;
    TFRDBEdit* dbeditTelephoneMobile = nullptr;
    TFRDBEdit* dbeditBirthYear = nullptr;
    TFRDBEdit* dbeditPassword = nullptr;
    QLineEdit* editRepeatPassword = nullptr;
    TFRDBMultiChoice* multicFungiKnowledge = nullptr;
    TFRDBLock* dblockAddress = nullptr;
    TFRDBLock* dblockTelephonePrivate = nullptr;
    TFRDBLock* dblockTelephoneMobile = nullptr;
    TFRDBLock* dblockBirthYear = nullptr;
    TFRDBLock* dblockImage = nullptr;

    QLabel* imgUserPic = nullptr;
    QPushButton* btnPicFromFile = nullptr;  // "Från fil..."
    QPushButton* btnPicFromClipboard = nullptr;  // "Från Urklipp"
    QPushButton* btnRemovePic = nullptr;  // "Ta bort bild"

    QLabel* lblFirstUser = nullptr;  // "Administratör:"
    TUserChoice* multicFirstUser = nullptr;

    QPushButton* btnSave = nullptr;  // "Spara uppgifterna"
    QPushButton* btnCancel = nullptr;  // "Avbryt"

    QTimer* timerClipboard = nullptr;

private:
    class TUsersLink;

    void SetupFrame();
    // Shows the current record in the controls.
    void ReadRecord();
    void LoadPicture();
    TField* HasPicField() const;
    void ClipboardTick();
    bool Editing() const;
    void ResetEditFlags();
    void RemovePlaceholder();

    TClientDataSet* m_users;
    TUsersMode m_mode;
    std::unique_ptr<TUsersLink> m_link;
    TRecordPicture m_picture;
    bool m_handOver = false;
    bool m_passwordRefused = false;  // a mismatched repeat, until either edit is typed in again
    bool m_placeholder = false;  // the list ends with the entry of a new record
    bool m_reading = false;
};
