#include "content/contacts/unitFrameContacts.h"

#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>

#include "content/contacts/unitContactScreen.h"
#include "content/contacts/unitMoveContact.h"
#include "controls/FREdits.h"
#include "controls/FRLocks.h"
#include "controls/FRMultiChoice.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "shell/MyVisualUtils.h"
#include "shell/PersonForm.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/DataLink.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const QString kAllContacts = QStringLiteral("Alla kontakter");
const QString kNewContactEntry = QStringLiteral("Ny kontakt...");
const QString kNameMissing = QStringLiteral("Namn måste anges");
const QString kGroupExists = QStringLiteral("Det finns redan en grupp med det namnet");
const QString kBrokenLink = QStringLiteral("Bruten länk vid UpdateShownContact");
const QString kSaveFailed = QStringLiteral("Fel vid lagring av kontakt. Meddelande: \"%1\"");
const QString kCaptionError = QStringLiteral("Mykotekshallen - Fel");
const QString kCaptionInfo = QStringLiteral("Mykotekshallen - Information");
const QString kCaptionDelete = QStringLiteral("Mykotekshallen - Bekräfta radering");

QToolButton* MakeButton(const QString& text, const char* name, const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

// Every row of the group-row table, whatever group is current, while it lives.
class TAllGroupRows {
public:
    explicit TAllGroupRows(TExtClientDataSet* rows) : m_rows(rows), m_source(rows->MasterSource()) {
        m_rows->SetMasterSource(nullptr);
    }
    ~TAllGroupRows() {
        try {
            m_rows->SetMasterSource(m_source);
        } catch (...) {}
    }
    TAllGroupRows(const TAllGroupRows&) = delete;
    TAllGroupRows& operator=(const TAllGroupRows&) = delete;

private:
    TExtClientDataSet* m_rows;
    TDataSource* m_source;
};

}  // namespace

// ---- The frame's link to the contacts table ----

class TframeContacts::TContactsLink : public TDataLink {
public:
    explicit TContactsLink(TframeContacts* frame) : m_frame(frame) {}
    void RecordChanged(TField* field) override {
        if (!field && !m_frame->m_reading) m_frame->LoadPicture();
    }
    void EditingChanged() override { m_frame->UpdateButtons(); }

private:
    TframeContacts* m_frame;
};

// ---- TframeContacts ----

TframeContacts::TframeContacts(TDM* dm, QWidget* parent)
    : TFRFrameBase(parent),
      m_dm(dm),
      m_contacts(dm->cdsContacts),
      m_groupTable(dm->cdsContactGroups),
      m_rows(dm->cdsContactGroupRows) {
    setObjectName(QStringLiteral("frameContacts"));
    DataSet = m_contacts;
}

TframeContacts::~TframeContacts() {
    if (TformFRMain* main = MainForm()) main->ForgetScriptAnswers(this);
    m_link.reset();
}

void TframeContacts::InitFrame() {
    SetupFrame();
    // A contact list prints every contact or the chosen group's.
    if (TformFRMain* main = MainForm())
        main->SetScriptAnswer(QStringLiteral("showingallcontacts"), this, [this] { return QVariant(m_showingAll); });
    m_contactSource = new TDataSource(this, QStringLiteral("dsFrameContacts"));
    m_contactSource->SetAutoEdit(false);
    m_contactSource->SetDataSet(m_contacts);
    m_groupSource = new TDataSource(this, QStringLiteral("dsFrameContactGroups"));
    m_groupSource->SetAutoEdit(false);
    m_groupSource->SetDataSet(m_groupTable);
    m_link = std::make_unique<TContactsLink>(this);
    m_link->SetDataSource(m_contactSource);
    for (TFRDBEdit* edit : findChildren<TFRDBEdit*>()) edit->SetDataSource(m_contactSource);
    dbeditGroupName->SetDataSource(m_groupSource);
    for (TFRDBLock* lock : findChildren<TFRDBLock*>()) lock->SetDataSource(m_contactSource);
    multicFungiKnowledge->SetDataSource(m_contactSource);
    m_moveDialog = new TformMoveContact(m_dm, this);
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        connect(clipboard, &QClipboard::dataChanged, this, [this] { UpdateClipboardButton(); });
    LoadPicture();
    UpdateButtons();
}

void TframeContacts::DoneFrame() {
    // An edit left open when the screen goes is dropped, as its cancel would.
    try {
        if (EditingContact()) m_contacts->Cancel();
        if (EditingGroup()) m_groupTable->Cancel();
    } catch (...) {}
    m_link.reset();
}

void TframeContacts::SetupFrame() {
    panelFrameHeader->setText(QStringLiteral("Kontakter"));
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("panelContactsBody"));
    auto* outer = new QVBoxLayout(body);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);
    BodyLayout()->addWidget(body, 1);

    // The groups and their members.
    auto* left = new QWidget(body);
    left->setObjectName(QStringLiteral("panelGroups"));
    left->setMinimumWidth(210);
    left->setMaximumWidth(360);
    auto* ll = new QVBoxLayout(left);
    ll->setContentsMargins(0, 0, 0, 0);
    lblGroups = new QLabel(QStringLiteral("Grupp:"), left);
    lblGroups->setObjectName(QStringLiteral("lblGroups"));
    comboGroups = new QComboBox(left);
    comboGroups->setObjectName(QStringLiteral("comboGroups"));
    ll->addWidget(lblGroups);
    ll->addWidget(comboGroups);
    auto* groupButtons = new QGridLayout;
    sbtnNewGroup =
        MakeButton(QStringLiteral("Ny grupp..."), "sbtnNewGroup", QStringLiteral("Skapa en ny kontaktgrupp"), left);
    sbtnRenameGroup = MakeButton(QStringLiteral("Byt namn..."), "sbtnRenameGroup",
                                 QStringLiteral("Byt namn på kontaktgruppen"), left);
    sbtnDeleteGroup = MakeButton(QStringLiteral("Radera grupp..."), "sbtnDeleteGroup",
                                 QStringLiteral("Radera kontaktgruppen (kontakterna finns kvar)"), left);
    sbtnMailGroup = MakeButton(QStringLiteral("E-post till gruppen"), "sbtnMailGroup",
                               QStringLiteral("Skicka e-post till alla i gruppen"), left);
    groupButtons->addWidget(sbtnNewGroup, 0, 0);
    groupButtons->addWidget(sbtnRenameGroup, 0, 1);
    groupButtons->addWidget(sbtnDeleteGroup, 1, 0);
    groupButtons->addWidget(sbtnMailGroup, 1, 1);
    ll->addLayout(groupButtons);

    panelGroupEdit = new QWidget(left);
    panelGroupEdit->setObjectName(QStringLiteral("panelGroupEdit"));
    auto* gl = new QHBoxLayout(panelGroupEdit);
    gl->setContentsMargins(0, 0, 0, 0);
    lblGroupName = new QLabel(QStringLiteral("Gruppnamn:"), panelGroupEdit);
    lblGroupName->setObjectName(QStringLiteral("lblGroupName"));
    dbeditGroupName = new TFRDBEdit(panelGroupEdit);
    dbeditGroupName->setObjectName(QStringLiteral("dbeditGroupName"));
    dbeditGroupName->SetDataField(QStringLiteral("GroupName"));
    dbeditGroupName->setMaxLength(30);
    gl->addWidget(lblGroupName);
    gl->addWidget(dbeditGroupName, 1);
    ll->addWidget(panelGroupEdit);

    lblGroupMembers = new QLabel(QStringLiteral("Kontakter i gruppen:"), left);
    lblGroupMembers->setObjectName(QStringLiteral("lblGroupMembers"));
    ll->addWidget(lblGroupMembers);
    listboxGroupMembers = new QListWidget(left);
    listboxGroupMembers->setObjectName(QStringLiteral("listboxGroupMembers"));
    ll->addWidget(listboxGroupMembers, 1);
    auto* contactButtons = new QGridLayout;
    sbtnNewContact = MakeButton(QStringLiteral("Ny kontakt..."), "sbtnNewContact",
                                QStringLiteral("Lägg till en ny kontakt i gruppen"), left);
    sbtnEditContact =
        MakeButton(QStringLiteral("Ändra..."), "sbtnEditContact", QStringLiteral("Ändra kontaktens uppgifter"), left);
    sbtnDeleteContact = MakeButton(QStringLiteral("Radera..."), "sbtnDeleteContact",
                                   QStringLiteral("Radera kontakten ur alla grupper"), left);
    sbtnMoveContact = MakeButton(QStringLiteral("Grupper..."), "sbtnMoveContact",
                                 QStringLiteral("Välj vilka grupper kontakten tillhör"), left);
    sbtnMailContact = MakeButton(QStringLiteral("Skicka e-post"), "sbtnMailContact",
                                 QStringLiteral("Skicka e-post till kontakten"), left);
    sbtnPrint = MakeButton(QStringLiteral("Skriv ut..."), "sbtnPrint", QStringLiteral("Skriv ut kontaktlistor"), left);
    contactButtons->addWidget(sbtnNewContact, 0, 0);
    contactButtons->addWidget(sbtnEditContact, 0, 1);
    contactButtons->addWidget(sbtnDeleteContact, 0, 2);
    contactButtons->addWidget(sbtnMoveContact, 1, 0);
    contactButtons->addWidget(sbtnMailContact, 1, 1);
    contactButtons->addWidget(sbtnPrint, 1, 2);
    ll->addLayout(contactButtons);
    columns->addWidget(left, 2);

    // The contact's data.
    panelContact = new QWidget(body);
    panelContact->setObjectName(QStringLiteral("panelContact"));
    auto* grid = new QGridLayout(panelContact);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;
    TPersonEdits person;
    row = AddPersonEdits(panelContact, grid, row, person);
    dbeditUserName = person.UserName;
    dbeditAddress = person.Address;
    dbeditPostalAddress = person.PostalAddress;
    dbeditCountry = person.Country;
    dbeditEMail = person.EMail;
    dbeditTelephonePrivate = person.TelephonePrivate;
    dbeditTelephoneMobile = person.TelephoneMobile;
    dbeditBirthYear = person.BirthYear;
    dblockAddress = person.AddressLock;
    dblockTelephonePrivate = person.TelephonePrivateLock;
    dblockTelephoneMobile = person.TelephoneMobileLock;
    dblockBirthYear = person.BirthYearLock;
    multicFungiKnowledge = new TFRDBMultiChoice(panelContact);
    multicFungiKnowledge->setObjectName(QStringLiteral("multicFungiKnowledge"));
    multicFungiKnowledge->SetItems(
        {QStringLiteral("Nybörjare"), QStringLiteral("Medel"), QStringLiteral("Van"), QStringLiteral("Expert")});
    multicFungiKnowledge->SetColCount(4);
    multicFungiKnowledge->SetColWidth(60);
    multicFungiKnowledge->SetDataField(QStringLiteral("FungiKnowledge"));
    grid->addWidget(PersonFieldLabel(QStringLiteral("Svampkunskap:"), panelContact), row, 0);
    grid->addWidget(multicFungiKnowledge, row++, 1, 1, 2, Qt::AlignLeft);

    // The picture, below the contact's data, its buttons beside it.
    auto* picture = new QWidget(panelContact);
    picture->setObjectName(QStringLiteral("panelContactPic"));
    auto* pictureRow = new QHBoxLayout(picture);
    pictureRow->setContentsMargins(0, 6, 0, 0);
    auto* pl = new QVBoxLayout;
    imgContactPic = new QLabel(picture);
    imgContactPic->setObjectName(QStringLiteral("imgContactPic"));
    // Shown at three quarters of the stored size, so the form fits beside the groups.
    imgContactPic->setFixedSize(TRecordPicture::MaxWidth * 3 / 4, TRecordPicture::MaxHeight * 3 / 4);
    imgContactPic->setAlignment(Qt::AlignCenter);
    imgContactPic->setFrameShape(QFrame::Box);
    btnPicFromFile = new QPushButton(QStringLiteral("Från fil..."), picture);
    btnPicFromFile->setObjectName(QStringLiteral("btnPicFromFile"));
    btnPicFromClipboard = new QPushButton(QStringLiteral("Från Urklipp..."), picture);
    btnPicFromClipboard->setObjectName(QStringLiteral("btnPicFromClipboard"));
    btnRemovePic = new QPushButton(QStringLiteral("Ta bort bild"), picture);
    btnRemovePic->setObjectName(QStringLiteral("btnRemovePic"));
    pictureRow->addWidget(imgContactPic, 0, Qt::AlignTop);
    pl->addWidget(btnPicFromFile);
    pl->addWidget(btnPicFromClipboard);
    pl->addWidget(btnRemovePic);
    pl->addStretch(1);
    pictureRow->addLayout(pl);
    pictureRow->addStretch(1);
    grid->addWidget(picture, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    // Edits wider than this would only stretch the short texts they hold.
    panelContact->setMaximumWidth(640);
    columns->addWidget(panelContact, 3);

    // Saving and cancelling, of a contact or of a group.
    auto* saveRow = new QHBoxLayout;
    btnSave = new QPushButton(QStringLiteral("Spara"), body);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), body);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    saveRow->addStretch(1);
    saveRow->addWidget(btnSave);
    saveRow->addWidget(btnCancel);
    outer->addLayout(saveRow);

    connect(comboGroups, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!m_reading) comboGroupsChange(i);
    });
    connect(listboxGroupMembers, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!m_reading) listboxGroupMembersClick(r);
    });
    connect(sbtnNewGroup, &QToolButton::clicked, this, [this] { sbtnNewGroupClick(); });
    connect(sbtnRenameGroup, &QToolButton::clicked, this, [this] { sbtnRenameGroupClick(); });
    connect(sbtnDeleteGroup, &QToolButton::clicked, this, [this] { sbtnDeleteGroupClick(); });
    connect(sbtnMailGroup, &QToolButton::clicked, this, [this] { sbtnMailGroupClick(); });
    connect(sbtnNewContact, &QToolButton::clicked, this, [this] { sbtnNewContactClick(); });
    connect(sbtnEditContact, &QToolButton::clicked, this, [this] { sbtnEditContactClick(); });
    connect(sbtnDeleteContact, &QToolButton::clicked, this, [this] { sbtnDeleteContactClick(); });
    connect(sbtnMoveContact, &QToolButton::clicked, this, [this] { sbtnMoveContactClick(); });
    connect(sbtnMailContact, &QToolButton::clicked, this, [this] { sbtnMailContactClick(); });
    connect(sbtnPrint, &QToolButton::clicked, this, [this] { sbtnPrintClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnPicFromFile, &QPushButton::clicked, this, [this] { btnPicFromFileClick(); });
    connect(btnPicFromClipboard, &QPushButton::clicked, this, [this] { btnPicFromClipboardClick(); });
    connect(btnRemovePic, &QPushButton::clicked, this, [this] { btnRemovePicClick(); });
}

// ---- State ----

bool TframeContacts::EditingContact() const {
    return m_contacts->Active() &&
        (m_contacts->State() == TDataSetState::dsEdit || m_contacts->State() == TDataSetState::dsInsert);
}

bool TframeContacts::EditingGroup() const {
    return m_groupTable->Active() &&
        (m_groupTable->State() == TDataSetState::dsEdit || m_groupTable->State() == TDataSetState::dsInsert);
}

bool TframeContacts::IsProtectedContact() const {
    if (!m_contacts->Active() || m_contacts->IsEmpty()) return true;
    const QString key = CurrentContactKey();
    return key == QLatin1String(FixedContactKeyA) || key == QLatin1String(FixedContactKeyB) ||
        !m_contacts->FieldText(QStringLiteral("UserUKey")).isEmpty();
}

QString TframeContacts::CurrentGroupKey() const {
    return m_groupTable->Active() && !m_groupTable->IsEmpty() ? GetUKey(m_groupTable) : QString();
}

QString TframeContacts::CurrentContactKey() const {
    return m_contacts->Active() && !m_contacts->IsEmpty() ? GetUKey(m_contacts) : QString();
}

void TframeContacts::SetNavigation(bool enabled) {
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(enabled);
}

void TframeContacts::LocateMyContactsGroup() {
    if (!LocateUKey(m_groupTable, QLatin1String(MyContactsGroupKey))) m_groupTable->First();
    m_rows->First();
}

// ---- Settings and history ----

void TframeContacts::LoadSettings() {
    TFRIniFile* settings = UsersSettings();
    m_showingAll = settings && settings->ReadBool(QStringLiteral("Contacts/ShowingAll"), false);
    if (!m_showingAll) {
        bool found = false;
        try {
            if (settings) {
                const QString group = settings->ReadString(QStringLiteral("Contacts/Group"));
                const QString row = settings->ReadString(QStringLiteral("Contacts/GroupRow"));
                found = LocateUKey(m_groupTable, group) && (row.isEmpty() || LocateUKey(m_rows, row));
            }
        } catch (const Exception&) {
            found = false;
        }
        if (!found) LocateMyContactsGroup();
        if (!m_rows->IsEmpty())
            static_cast<void>(LocateUKey(m_contacts, m_rows->FieldText(QStringLiteral("ContactUKey"))));
    }
    RefreshGroups();
}

void TframeContacts::SaveSettings() {
    TFRIniFile* settings = UsersSettings();
    if (!settings) return;
    try {
        settings->WriteBool(QStringLiteral("Contacts/ShowingAll"), m_showingAll);
        if (!m_showingAll) {
            settings->WriteString(QStringLiteral("Contacts/Group"), CurrentGroupKey());
            settings->WriteString(QStringLiteral("Contacts/GroupRow"),
                                  m_rows->Active() && !m_rows->IsEmpty() ? GetUKey(m_rows) : QString());
        }
    } catch (const Exception&) {
        // The view is only remembered for the next time.
    }
}

TFRHistoryItem* TframeContacts::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = Screen.data();
    item->DataSet = m_groupTable;
    item->UKey = CurrentGroupKey();
    const bool hasContact = m_contacts->Active() && !m_contacts->IsEmpty();
    item->Title = QStringLiteral("Till Kontakter - %1")
                      .arg(hasContact ? m_contacts->FieldText(QStringLiteral("UserName")) : QString());
    item->SetBoolValues(QStringLiteral("ShowingAllContacts"), m_showingAll);
    item->SetValues(QStringLiteral("RowUKey"), m_rows->Active() && !m_rows->IsEmpty() ? GetUKey(m_rows) : QString());
    item->SetValues(QStringLiteral("ContactUKey"), CurrentContactKey());
    return item;
}

void TframeContacts::RestoreHistory(TFRHistoryItem* item) {
    m_showingAll = item->BoolValues(QStringLiteral("ShowingAllContacts"));
    if (m_showingAll) {
        static_cast<void>(LocateUKey(m_contacts, item->Values(QStringLiteral("ContactUKey"))));
    } else if (LocateUKey(m_groupTable, item->UKey)) {
        if (LocateUKey(m_rows, item->Values(QStringLiteral("RowUKey"))))
            static_cast<void>(LocateUKey(m_contacts, m_rows->FieldText(QStringLiteral("ContactUKey"))));
    }
    RefreshGroups();
}

void TframeContacts::AfterExport() {
    RefreshGroups();
    TFRFrameBase::AfterExport();
}

void TframeContacts::ShowContact(const QString& contactUKey) {
    if (Editing()) return;
    m_showingAll = true;
    static_cast<void>(LocateUKey(m_contacts, contactUKey));
    RefreshGroups();
}

// ---- Groups and members ----

void TframeContacts::RefreshGroups() {
    if (!m_groupTable->Active()) return;
    // A group table whose file could not be read stays empty (the screen says why).
    if (m_groupTable->IsEmpty() && !m_groupTable->ReadOnly()) {
        TEditScope insert(m_groupTable, TEditScope::Append);
        m_groupTable->FieldByName(QStringLiteral("UKey"))->SetAsString(QLatin1String(MyContactsGroupKey));
        m_groupTable->FieldByName(QStringLiteral("GroupName"))->SetAsString(QLatin1String(MyContactsGroupName));
        insert.Post();
    }
    const bool wasReading = m_reading;
    m_reading = true;
    auto done = qScopeGuard([&] { m_reading = wasReading; });
    m_groups.Clear();
    const int keyField = m_groupTable->FieldByName(QStringLiteral("UKey"))->Index();
    const int nameField = m_groupTable->FieldByName(QStringLiteral("GroupName"))->Index();
    for (int i = 0; i < m_groupTable->RecordCount(); ++i)
        m_groups.AddUKey(m_groupTable->RecordValue(i, nameField).toString(),
                         m_groupTable->RecordValue(i, keyField).toString());
    m_groups.AddUKey(kAllContacts, QString());
    comboGroups->clear();
    for (int i = 0; i < m_groups.Count(); ++i) comboGroups->addItem(m_groups.Strings(i));
    comboGroups->setCurrentIndex(m_showingAll ? m_groups.Count() - 1 : std::max(0, m_groupTable->RecNo() - 1));
    done.dismiss();
    m_reading = wasReading;
    FillMembers();
}

void TframeContacts::FillMembers() {
    const bool wasReading = m_reading;
    m_reading = true;
    auto done = qScopeGuard([&] { m_reading = wasReading; });
    m_members.Clear();
    listboxGroupMembers->clear();
    lblGroupMembers->setText(m_showingAll ? QStringLiteral("Alla kontakter:") : QStringLiteral("Kontakter i gruppen:"));
    const bool inserting = m_contacts->State() == TDataSetState::dsInsert;
    if (m_showingAll) {
        const int keyField = m_contacts->FieldByName(QStringLiteral("UKey"))->Index();
        const int nameField = m_contacts->FieldByName(QStringLiteral("UserName"))->Index();
        const int mailField = m_contacts->FieldByName(QStringLiteral("EMail"))->Index();
        const int count = m_contacts->RecordCount() - (inserting ? 1 : 0);
        for (int i = 0; i < count; ++i)
            m_members.AddUKey(ContactDisplayName(m_contacts->RecordValue(i, nameField).toString(),
                                                 m_contacts->RecordValue(i, mailField).toString()),
                              m_contacts->RecordValue(i, keyField).toString());
    } else if (m_rows->Active()) {
        const int keyField = m_rows->FieldByName(QStringLiteral("ContactUKey"))->Index();
        const int nameField = m_rows->FieldByName(QStringLiteral("ContactName"))->Index();
        for (int i = 0; i < m_rows->RecordCount(); ++i)
            m_members.AddUKey(m_rows->RecordValue(i, nameField).toString(),
                              m_rows->RecordValue(i, keyField).toString());
    }
    for (int i = 0; i < m_members.Count(); ++i) listboxGroupMembers->addItem(m_members.Strings(i));
    if (inserting) {
        listboxGroupMembers->addItem(kNewContactEntry);
        listboxGroupMembers->setCurrentRow(listboxGroupMembers->count() - 1);
    } else if (m_members.Count() > 0) {
        int index = m_members.IndexOfUKey(CurrentContactKey());
        if (!m_showingAll) {
            // The group's current row stands, unless another row names the current contact.
            const int current = m_rows->RecNo() - 1;
            if (index < 0 ||
                (current >= 0 && current < m_members.Count() && m_members.GetUKey(current) == CurrentContactKey()))
                index = current >= 0 && current < m_members.Count() ? current : 0;
            m_rows->SetRecNo(index + 1);
            if (m_members.GetUKey(index) != CurrentContactKey())
                static_cast<void>(LocateUKey(m_contacts, m_members.GetUKey(index)));
        } else if (index < 0) {
            index = 0;
            static_cast<void>(LocateUKey(m_contacts, m_members.GetUKey(0)));
        }
        listboxGroupMembers->setCurrentRow(index);
    }
    done.dismiss();
    m_reading = wasReading;
    LoadPicture();
    UpdateButtons();
}

void TframeContacts::comboGroupsChange(int index) {
    if (Editing() || index < 0 || index >= m_groups.Count()) return;
    if (index == m_groups.Count() - 1) {
        m_showingAll = true;
    } else {
        m_showingAll = false;
        static_cast<void>(LocateUKey(m_groupTable, m_groups.GetUKey(index)));
    }
    FillMembers();
}

void TframeContacts::listboxGroupMembersClick(int row) {
    if (Editing() || row < 0 || row >= m_members.Count()) return;
    if (!m_showingAll) m_rows->SetRecNo(row + 1);
    if (!LocateUKey(m_contacts, m_members.GetUKey(row))) {
        UpdateButtons();
        throw Exception(kBrokenLink);
    }
    LoadPicture();
    UpdateButtons();
}

// ---- The picture ----

void TframeContacts::LoadPicture() {
    // A picture put in or taken away during this edit stays until the edit ends.
    if (EditingContact() && m_picture.Changed()) return;
    QString file;
    if (m_contacts->Active() && !m_contacts->IsEmpty() && m_contacts->State() != TDataSetState::dsInsert) {
        const QString key = CurrentContactKey();
        if (m_contacts->FieldByName(QStringLiteral("HasPic"))->AsBoolean() &&
            IsValidRecordKey(key, m_contacts->DatasetId()))
            file = GetContactPicFile(key);
    }
    m_picture.Load(file);
    m_picture.ShowIn(imgContactPic);
}

TField* TframeContacts::HasPicField() const { return m_contacts->FieldByName(QStringLiteral("HasPic")); }

void TframeContacts::btnPicFromFileClick() {
    if (EditingContact() && m_picture.TakeFromFile(this, UsersSettings(), imgContactPic, HasPicField()))
        UpdateButtons();
}

void TframeContacts::btnPicFromClipboardClick() {
    if (EditingContact() && m_picture.TakeFromClipboard(imgContactPic, HasPicField())) UpdateButtons();
}

void TframeContacts::btnRemovePicClick() {
    if (!EditingContact()) return;
    m_picture.RemoveFrom(imgContactPic, HasPicField());
    UpdateButtons();
}

void TframeContacts::UpdateClipboardButton() {
    btnPicFromClipboard->setEnabled(EditingContact() && TRecordPicture::ClipboardHasPicture());
}

// ---- Groups ----

void TframeContacts::sbtnNewGroupClick() {
    if (Editing()) return;
    m_groupTable->Append();
    lblGroupName->setText(QStringLiteral("Namn på ny grupp:"));
    SetNavigation(false);
    UpdateButtons();
    dbeditGroupName->setFocus();
}

void TframeContacts::sbtnRenameGroupClick() {
    if (Editing() || m_showingAll || CurrentGroupKey().isEmpty() ||
        CurrentGroupKey() == QLatin1String(MyContactsGroupKey))
        return;
    m_groupTable->Edit();
    lblGroupName->setText(QStringLiteral("Gruppnamn:"));
    SetNavigation(false);
    UpdateButtons();
    dbeditGroupName->setFocus();
}

void TframeContacts::sbtnDeleteGroupClick() {
    if (Editing() || m_showingAll || CurrentGroupKey().isEmpty() ||
        CurrentGroupKey() == QLatin1String(MyContactsGroupKey))
        return;
    const QString text =
        QStringLiteral(
            "Du är på väg att radera kontaktgruppen %1. Skall raderingen genomföras?\n\n"
            "OBS! Kontakterna i gruppen kommer inte att raderas, de ligger kvar i övriga grupper där de "
            "fanns tidigare.")
            .arg(m_groupTable->FieldText(QStringLiteral("GroupName")));
    if (!UIServices::AskYesNo(text, kCaptionDelete, UIServices::TMsgIcon::Warning)) return;
    m_groupTable->Delete();
    RefreshGroups();
}

void TframeContacts::SaveGroup() {
    m_groupTable->UpdateRecord();
    const QString name = m_groupTable->FieldText(QStringLiteral("GroupName")).trimmed();
    if (name.isEmpty()) {
        dbeditGroupName->setFocus();
        throw Exception(kNameMissing);
    }
    // Two groups of one name (in any letter case) could not be told apart in the group box.
    const QString own = m_groupTable->State() == TDataSetState::dsInsert ? QString() : GetUKey(m_groupTable);
    bool taken = (name.compare(QLatin1String(MyContactsGroupName), Qt::CaseInsensitive) == 0 &&
                  own != QLatin1String(MyContactsGroupKey)) ||
        name.compare(kAllContacts, Qt::CaseInsensitive) == 0;
    for (int i = 0; i < m_groups.Count() - 1 && !taken; ++i)
        taken = m_groups.GetUKey(i) != own && m_groups.Strings(i).trimmed().compare(name, Qt::CaseInsensitive) == 0;
    if (taken) {
        dbeditGroupName->setFocus();
        throw Exception(kGroupExists);
    }
    m_groupTable->FieldByName(QStringLiteral("GroupName"))->SetAsString(name);
    m_groupTable->Post();
    m_showingAll = false;
    SetNavigation(true);
    RefreshGroups();
}

void TframeContacts::sbtnMailGroupClick() {
    if (Editing()) return;
    QStringList addresses;
    if (m_showingAll) {
        const int mailField = m_contacts->FieldByName(QStringLiteral("EMail"))->Index();
        for (int i = 0; i < m_contacts->RecordCount(); ++i)
            addresses.append(m_contacts->RecordValue(i, mailField).toString());
    } else {
        TExtClientDataSet* contacts = m_contacts;
        const int mailField = contacts->FieldByName(QStringLiteral("EMail"))->Index();
        for (int i = 0; i < m_members.Count(); ++i) {
            const int row = contacts->FindRecordIndex(QStringLiteral("UKey"), m_members.GetUKey(i));
            if (row >= 0) addresses.append(contacts->RecordValue(row, mailField).toString());
        }
    }
    MailToAddresses(addresses);
}

// ---- Contacts ----

void TframeContacts::sbtnNewContactClick() {
    if (Editing()) return;
    m_picture.Reset();
    m_contacts->Append();
    m_contacts->FieldByName(QStringLiteral("Country"))->SetAsString(QStringLiteral("SVERIGE"));
    m_contacts->FieldByName(QStringLiteral("RefCount"))->SetAsInteger(0);
    SetNavigation(false);
    FillMembers();
    dbeditUserName->setFocus();
}

void TframeContacts::sbtnEditContactClick() {
    if (Editing() || m_members.Count() == 0 || IsProtectedContact()) return;
    m_picture.Reset();
    m_contacts->Edit();
    SetNavigation(false);
    UpdateButtons();
    dbeditUserName->setFocus();
}

void TframeContacts::sbtnDeleteContactClick() {
    if (Editing() || m_members.Count() == 0 || IsProtectedContact()) return;
    if (m_contacts->FieldByName(QStringLiteral("RefCount"))->AsInteger() >= 1) {
        UIServices::ShowInformation(QStringLiteral("En eller flera poster i databasen är skapade av den här kontakten. "
                                                   "Den går därför inte att radera."),
                                    kCaptionInfo);
        return;
    }
    const QString text =
        QStringLiteral("Du är på väg att radera kontakten \"%1\" från alla grupper. Skall raderingen genomföras?")
            .arg(m_contacts->FieldText(QStringLiteral("UserName")));
    if (!UIServices::AskYesNo(text, kCaptionDelete, UIServices::TMsgIcon::Warning)) return;
    const QString key = CurrentContactKey();
    const QString rowKey = m_rows->Active() && !m_rows->IsEmpty() ? GetUKey(m_rows) : QString();
    // The contact goes first: its group rows go only once it is gone.
    m_contacts->Delete();
    {
        const TDisabledControls quiet(m_rows);
        TAllGroupRows all(m_rows);
        m_rows->First();
        while (!m_rows->Eof()) {
            if (m_rows->FieldText(QStringLiteral("ContactUKey")) == key)
                m_rows->Delete();
            else
                m_rows->Next();
        }
    }
    if (!rowKey.isEmpty() && !LocateUKey(m_rows, rowKey)) m_rows->First();
    FillMembers();
    UpdateButtons();
}

void TframeContacts::sbtnMoveContactClick() {
    if (Editing() || m_members.Count() == 0 || !m_moveDialog) return;
    m_moveDialog->Prepare();
    if (UIServices::ExecDialog(m_moveDialog) == QDialog::Accepted) m_moveDialog->Apply();
    FillMembers();
}

void TframeContacts::sbtnPrintClick() {
    if (TformFRMain* main = MainForm()) main->ShowScriptMenu(sbtnPrint, QStringLiteral("ContactMain"));
}

void TframeContacts::sbtnMailContactClick() {
    if (Editing() || m_members.Count() == 0) return;
    MailToAddresses({m_contacts->FieldText(QStringLiteral("EMail"))});
}

void TframeContacts::AddGroupRow(const QString& groupKey, const QString& contactKey, const QString& name) {
    if (!LocateUKey(m_groupTable, groupKey)) return;
    TEditScope append(m_rows, TEditScope::Append);
    m_rows->FieldByName(QStringLiteral("ContactUKey"))->SetAsString(contactKey);
    m_rows->FieldByName(QStringLiteral("ContactName"))->SetAsString(name.left(110));
    append.Post();
}

void TframeContacts::SaveContact() {
    m_contacts->UpdateRecord();
    if (m_contacts->FieldText(QStringLiteral("UserName")).trimmed().isEmpty()) {
        dbeditUserName->setFocus();
        throw Exception(kNameMissing);
    }
    const bool inserted = m_contacts->State() == TDataSetState::dsInsert;
    const QString key = GetUKey(m_contacts);
    try {
        CheckRecordKey(key, m_contacts->DatasetId());
        // The picture waits beside its file until the record is stored.
        TPendingFile picture = m_picture.PrepareFile(GetContactPicFile(key),
                                                     m_contacts->FieldByName(QStringLiteral("HasPic"))->AsBoolean());
        m_contacts->Post();
        picture.Commit();
        const QString name = TFRContactScreen::GetContactDisplayName();
        const QString groupKey = CurrentGroupKey();
        const QString rowKey = m_rows->Active() && !m_rows->IsEmpty() ? GetUKey(m_rows) : QString();
        auto back = qScopeGuard([&] {
            if (LocateUKey(m_groupTable, groupKey) && !rowKey.isEmpty()) static_cast<void>(LocateUKey(m_rows, rowKey));
        });
        if (inserted) {
            // Shown among all contacts, a new contact is one of "Mina kontakter".
            const QString target = m_showingAll || groupKey.isEmpty() ? QLatin1String(MyContactsGroupKey) : groupKey;
            AddGroupRow(target, key, name);
            if (target != QLatin1String(MyContactsGroupKey)) AddGroupRow(QLatin1String(MyContactsGroupKey), key, name);
        } else {
            const TDisabledControls quiet(m_rows);
            TAllGroupRows all(m_rows);
            for (m_rows->First(); !m_rows->Eof(); m_rows->Next()) {
                if (m_rows->FieldText(QStringLiteral("ContactUKey")) != key) continue;
                TEditScope edit(m_rows);
                m_rows->FieldByName(QStringLiteral("ContactName"))->SetAsString(name.left(110));
                edit.Post();
            }
        }
    } catch (const Exception& e) {
        UIServices::ShowError(kSaveFailed.arg(e.Message()), kCaptionError);
    }
    // A post that failed leaves the edit open, so nothing typed is lost and the user may
    // try again or cancel.
    if (!EditingContact()) {
        m_picture.Reset();
        static_cast<void>(LocateUKey(m_contacts, key));
        SetNavigation(true);
    }
    FillMembers();
}

void TframeContacts::btnSaveClick() {
    if (EditingContact())
        SaveContact();
    else if (EditingGroup())
        SaveGroup();
}

void TframeContacts::btnCancelClick() {
    if (EditingContact()) m_contacts->Cancel();
    if (EditingGroup()) m_groupTable->Cancel();
    m_picture.Reset();
    SetNavigation(true);
    RefreshGroups();
}

// ---- Updating ----

void TframeContacts::UpdateFrame() {
    if (!Editing()) RefreshGroups();
    TFRFrameBase::UpdateFrame();
}

void TframeContacts::UpdateButtons() {
    if (!btnSave) return;
    const bool contactEdit = EditingContact();
    const bool groupEdit = EditingGroup();
    const bool browse = m_contacts->Active() && m_groupTable->Active() && !contactEdit && !groupEdit;
    const bool ownGroup =
        !m_showingAll && !CurrentGroupKey().isEmpty() && CurrentGroupKey() != QLatin1String(MyContactsGroupKey);
    const bool members = m_members.Count() > 0;

    comboGroups->setEnabled(browse);
    listboxGroupMembers->setEnabled(browse);
    sbtnNewGroup->setEnabled(browse);
    sbtnMailGroup->setEnabled(browse);
    sbtnNewContact->setEnabled(browse);
    sbtnRenameGroup->setEnabled(browse && ownGroup);
    sbtnDeleteGroup->setEnabled(browse && ownGroup);
    sbtnEditContact->setEnabled(browse && members && !IsProtectedContact());
    sbtnDeleteContact->setEnabled(browse && members && !IsProtectedContact());
    sbtnMoveContact->setEnabled(browse && members);
    sbtnMailContact->setEnabled(browse && members);
    TformFRMain* main = MainForm();
    sbtnPrint->setEnabled(browse && main && main->ScriptCount() > 0);

    panelGroupEdit->setVisible(groupEdit);
    if (groupEdit)
        lblGroupName->setText(m_groupTable->State() == TDataSetState::dsInsert ? QStringLiteral("Namn på ny grupp:")
                                                                               : QStringLiteral("Gruppnamn:"));
    for (TFRDBLock* lock : panelContact->findChildren<TFRDBLock*>()) lock->setEnabled(contactEdit);
    multicFungiKnowledge->setEnabled(contactEdit);
    btnPicFromFile->setVisible(contactEdit);
    btnPicFromClipboard->setVisible(contactEdit);
    btnRemovePic->setVisible(contactEdit);
    btnPicFromFile->setEnabled(contactEdit);
    btnPicFromClipboard->setEnabled(contactEdit && TRecordPicture::ClipboardHasPicture());
    btnRemovePic->setEnabled(contactEdit && m_contacts->FieldByName(QStringLiteral("HasPic"))->AsBoolean());
    btnSave->setEnabled(contactEdit || groupEdit);
    btnCancel->setEnabled(contactEdit || groupEdit);
}

#include "moc_unitFrameContacts.cpp"
