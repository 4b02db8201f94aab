#pragma once
// The contacts' frame: the group box (every group and the pseudo-group "Alla kontakter"),
// the members of the chosen group, the form of the current contact with its picture, and
// the buttons that make, rename, delete and mail groups and contacts.
#include <QImage>
#include <QPointer>
#include <memory>

#include "shell/FRScreens.h"
#include "shell/RecordPicture.h"
#include "core/UKeyStringlist.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;
class QWidget;
class TDM;
class TDataSource;
class TExtClientDataSet;
class TFRDBEdit;
class TFRDBLock;
class TFRDBMultiChoice;
#include "content/contacts/unitMoveContact.h"

class TframeContacts : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframeContacts(TDM* dm, QWidget* parent = nullptr);
    ~TframeContacts() override;

    void InitFrame() override;
    void DoneFrame() override;
    void LoadSettings() override;
    void SaveSettings() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;
    void AfterExport() override;
    void UpdateFrame() override;
    void UpdateButtons() override;

    // Refills the group box and the members.
    void RefreshGroups();
    // Refills the member list and selects the current contact.
    void FillMembers();
    // Shows the contact among all contacts.
    void ShowContact(const QString& contactUKey);

    bool ShowingAll() const { return m_showingAll; }
    const TUKeyStringlist& GroupList() const { return m_groups; }
    const TUKeyStringlist& MemberList() const { return m_members; }
    QImage ShownPicture() const { return m_picture.Picture(); }
    TformMoveContact* MoveDialog() const { return m_moveDialog; }

    // ---- Handlers ----
    void comboGroupsChange(int index);
    void listboxGroupMembersClick(int row);
    void sbtnNewGroupClick();
    void sbtnRenameGroupClick();
    void sbtnDeleteGroupClick();
    void sbtnMailGroupClick();
    void sbtnNewContactClick();
    void sbtnEditContactClick();
    void sbtnDeleteContactClick();
    void sbtnMoveContactClick();
    void sbtnMailContactClick();
    // The scripts of the group "ContactMain" under the print button.
    void sbtnPrintClick();
    void btnSaveClick();
    void btnCancelClick();
    void btnPicFromFileClick();
    void btnPicFromClipboardClick();
    void btnRemovePicClick();

    // ---- Components ----
    QLabel* lblGroups = nullptr;
    QComboBox* comboGroups = nullptr;
    QToolButton* sbtnNewGroup = nullptr;
    QToolButton* sbtnRenameGroup = nullptr;
    QToolButton* sbtnDeleteGroup = nullptr;
    QToolButton* sbtnMailGroup = nullptr;
    QWidget* panelGroupEdit = nullptr;
    QLabel* lblGroupName = nullptr;
    TFRDBEdit* dbeditGroupName = nullptr;
    QLabel* lblGroupMembers = nullptr;
    QListWidget* listboxGroupMembers = nullptr;
    QToolButton* sbtnNewContact = nullptr;
    QToolButton* sbtnEditContact = nullptr;
    QToolButton* sbtnDeleteContact = nullptr;
    QToolButton* sbtnMoveContact = nullptr;
    QToolButton* sbtnMailContact = nullptr;
    QToolButton* sbtnPrint = nullptr;

    QWidget* panelContact = nullptr;
    TFRDBEdit* dbeditUserName = nullptr;
    TFRDBEdit* dbeditAddress = nullptr;
    TFRDBEdit* dbeditPostalAddress = nullptr;
    TFRDBEdit* dbeditCountry = nullptr;
    TFRDBEdit* dbeditEMail = nullptr;
    TFRDBEdit* dbeditTelephonePrivate = nullptr;
    TFRDBEdit* dbeditTelephoneMobile = nullptr;
    TFRDBEdit* dbeditBirthYear = nullptr;
    TFRDBMultiChoice* multicFungiKnowledge = nullptr;
    TFRDBLock* dblockAddress = nullptr;
    TFRDBLock* dblockTelephonePrivate = nullptr;
    TFRDBLock* dblockTelephoneMobile = nullptr;
    TFRDBLock* dblockBirthYear = nullptr;
    QLabel* imgContactPic = nullptr;
    QPushButton* btnPicFromFile = nullptr;  // "Från fil..."
    QPushButton* btnPicFromClipboard = nullptr;  // "Från Urklipp..."
    QPushButton* btnRemovePic = nullptr;  // "Ta bort bild"
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    class TContactsLink;

    void SetupFrame();
    bool EditingContact() const;
    bool EditingGroup() const;
    bool Editing() const { return EditingContact() || EditingGroup(); }
    bool IsProtectedContact() const;
    QString CurrentGroupKey() const;
    QString CurrentContactKey() const;
    void LocateMyContactsGroup();
    void LoadPicture();
    TField* HasPicField() const;
    void UpdateClipboardButton();
    void SaveContact();
    void SaveGroup();
    void AddGroupRow(const QString& groupKey, const QString& contactKey, const QString& name);
    void SetNavigation(bool enabled);

    TDM* m_dm;
    TExtClientDataSet* m_contacts;
    TExtClientDataSet* m_groupTable;
    TExtClientDataSet* m_rows;
    TDataSource* m_contactSource = nullptr;
    TDataSource* m_groupSource = nullptr;
    std::unique_ptr<TContactsLink> m_link;
    QPointer<TformMoveContact> m_moveDialog;
    TUKeyStringlist m_groups;
    TUKeyStringlist m_members;
    TRecordPicture m_picture;
    bool m_showingAll = false;
    bool m_reading = false;
};
