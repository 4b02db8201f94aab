#include "shell/unitFrameUsers.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "core/ExtClientDataSet.h"
#include "core/FRIniFile.h"
#include "core/MyUtils.h"
#include "core/PendingFile.h"
#include "shell/PersonForm.h"
#include "core/UserAccounts.h"
#include "shell/MyVisualUtils.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const QString kNewUserEntry = QStringLiteral("Ny användare...");

// The users table's DatasetId, which every user key begins with.
QString UsersDatasetId() { return UsersDM()->cdsUsers->DatasetId(); }

}  // namespace

// ---- TUserChoice ------------------------------------------------------------------------

TUserChoice::TUserChoice(const QStringList& items, QWidget* parent) : QWidget(parent), m_items(items) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    for (int i = 0; i < items.size(); ++i) {
        auto* cell = new QToolButton(this);
        cell->setText(items.at(i));
        cell->setCheckable(true);
        cell->setAutoRaise(false);
        cell->setMinimumWidth(40);
        connect(cell, &QToolButton::clicked, this, [this, i] { Clicked(i); });
        row->addWidget(cell);
        m_cells.append(cell);
    }
    row->addStretch(1);
}

QToolButton* TUserChoice::Cell(int index) const { return m_cells.value(index); }

void TUserChoice::SetItemIndex(int index) {
    m_index = index >= 0 && index < m_cells.size() ? index : -1;
    for (int i = 0; i < m_cells.size(); ++i) m_cells.at(i)->setChecked(i == m_index);
}

void TUserChoice::Clicked(int index) {
    // One cell is always the chosen one once chosen: clicking it again keeps it.
    SetItemIndex(index);
    if (OnChange) OnChange(index);
}

// ---- The frame's link to the users table -----------------------------------------------

class TframeUsers::TUsersLink : public TDataLink {
public:
    explicit TUsersLink(TframeUsers* frame) : m_frame(frame) {}
    void RecordChanged(TField* field) override {
        if (!field) m_frame->ReadRecord();
    }
    void ActiveChanged() override { m_frame->ReadRecord(); }
    void DataSetChanged() override { m_frame->ReadRecord(); }
    void EditingChanged() override { m_frame->UpdateButtons(); }

private:
    TframeUsers* m_frame;
};

// ---- TframeUsers ------------------------------------------------------------------------

TframeUsers::TframeUsers(TClientDataSet* users, TUsersMode mode, QWidget* parent)
    : TFRFrameBase(parent), m_users(users), m_mode(mode) {
    setObjectName(QStringLiteral("frameUsers"));
    DataSet = users;
}

TframeUsers::~TframeUsers() {
    // The link goes before its source, which is one of the frame's children.
    m_link.reset();
}

void TframeUsers::InitFrame() {
    SetupFrame();
    auto* source = new TDataSource(this, QStringLiteral("dsFrameUsers"));
    source->SetAutoEdit(false);
    source->SetDataSet(m_users);
    m_link = std::make_unique<TUsersLink>(this);
    m_link->SetDataSource(source);
    for (TFRDBEdit* edit : findChildren<TFRDBEdit*>()) edit->SetDataSource(source);
    for (TFRDBLock* lock : findChildren<TFRDBLock*>()) lock->SetDataSource(source);
    multicFungiKnowledge->SetDataSource(source);
    ReadRecord();
    UpdateButtons();
    timerClipboard->start();
}

void TframeUsers::DoneFrame() {
    timerClipboard->stop();
    m_link.reset();
}

void TframeUsers::SetupFrame() {
    panelFrameHeader->setText(m_mode == TUsersMode::FirstUser ? QStringLiteral("Första användaren")
                                                              : QStringLiteral("Användarhantering"));
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("panelUsersBody"));
    auto* columns = new QHBoxLayout(body);
    BodyLayout()->addWidget(body, 1);

    // The left page: the info text of the first user, or the user list.
    pagesUsers = new QStackedWidget(body);
    pagesUsers->setObjectName(QStringLiteral("pagesUsers"));
    // At least as wide as the picture below it; wider where the window gives room.
    pagesUsers->setMinimumWidth(TRecordPicture::MaxWidth + 16);
    tabsFirstUserInfo = new QWidget(pagesUsers);
    tabsFirstUserInfo->setObjectName(QStringLiteral("tabsFirstUserInfo"));
    {
        auto* l = new QVBoxLayout(tabsFirstUserInfo);
        l->setContentsMargins(0, 0, 0, 0);
        lblFirstUserInfo = new QLabel(tabsFirstUserInfo);
        lblFirstUserInfo->setObjectName(QStringLiteral("lblFirstUserInfo"));
        lblFirstUserInfo->setWordWrap(true);
        lblFirstUserInfo->setText(
            QStringLiteral("Välkommen till Mykotekshallen!\n\n"
                           "Innan programmet kan användas måste den första användaren registreras. "
                           "Den första användaren blir programmets administratör och kan sedan lägga till "
                           "och ta bort andra användare.\n\n"
                           "Fyll i Dina uppgifter och tryck på \"Spara uppgifterna\". Ett lösenord är frivilligt."));
        lblFirstUserInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        lblFirstUserInfo->setMargin(6);
        l->addWidget(lblFirstUserInfo);
    }
    tabsUserlist = new QWidget(pagesUsers);
    tabsUserlist->setObjectName(QStringLiteral("tabsUserlist"));
    {
        auto* l = new QVBoxLayout(tabsUserlist);
        lblUserList = new QLabel(QStringLiteral("Registrerade användare:"), tabsUserlist);
        lblUserList->setObjectName(QStringLiteral("lblUserList"));
        listboxUsers = new QListWidget(tabsUserlist);
        listboxUsers->setObjectName(QStringLiteral("listboxUsers"));
        btnNewUser = new QPushButton(QStringLiteral("Ny..."), tabsUserlist);
        btnNewUser->setObjectName(QStringLiteral("btnNewUser"));
        btnEditUser = new QPushButton(QStringLiteral("Ändra..."), tabsUserlist);
        btnEditUser->setObjectName(QStringLiteral("btnEditUser"));
        btnDeleteUser = new QPushButton(QStringLiteral("Radera..."), tabsUserlist);
        btnDeleteUser->setObjectName(QStringLiteral("btnDeleteUser"));
        l->addWidget(lblUserList);
        l->addWidget(listboxUsers, 1);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(btnNewUser);
        buttons->addWidget(btnEditUser);
        buttons->addWidget(btnDeleteUser);
        l->addLayout(buttons);
    }
    pagesUsers->addWidget(tabsFirstUserInfo);
    // The first user has no list to show, and its page would make the welcome text's room taller.
    if (m_mode == TUsersMode::FirstUser)
        tabsUserlist->hide();
    else
        pagesUsers->addWidget(tabsUserlist);
    pagesUsers->setCurrentWidget(m_mode == TUsersMode::FirstUser ? tabsFirstUserInfo : tabsUserlist);
    // The list and the picture share the left column, so the user's data get the middle. The
    // first user's welcome text runs across the whole frame above them instead: in the left
    // column it would need more height than a small screen leaves beside the picture.
    auto* left = new QVBoxLayout;
    if (m_mode == TUsersMode::FirstUser) {
        pagesUsers->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        BodyLayout()->insertWidget(BodyLayout()->indexOf(body), pagesUsers);
    } else {
        left->addWidget(pagesUsers, 1);
    }
    columns->addLayout(left, 1);

    // The user's data.
    auto* form = new QWidget(body);
    form->setObjectName(QStringLiteral("panelUserData"));
    auto* grid = new QGridLayout(form);
    int row = 0;
    TPersonEdits person;
    row = AddPersonEdits(form, grid, row, person);
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
    auto addEdit = [&](TFRDBEdit*& edit, const char* name, const QString& label, const QString& field) {
        edit = new TFRDBEdit(form);
        edit->setObjectName(QLatin1String(name));
        edit->SetDataField(field);
        grid->addWidget(PersonFieldLabel(label, form), row, 0);
        grid->addWidget(edit, row, 1);
        ++row;
    };
    addEdit(dbeditPassword, "dbeditPassword", QStringLiteral("Lösenord:"), QStringLiteral("Password"));
    dbeditPassword->setEchoMode(QLineEdit::Password);

    editRepeatPassword = new TFREdit(form);
    editRepeatPassword->setObjectName(QStringLiteral("editRepeatPassword"));
    editRepeatPassword->setEchoMode(QLineEdit::Password);
    for (QLineEdit* edit : {static_cast<QLineEdit*>(dbeditPassword), static_cast<QLineEdit*>(editRepeatPassword)})
        connect(edit, &QLineEdit::textEdited, this, [this] { m_passwordRefused = false; });
    grid->addWidget(PersonFieldLabel(QStringLiteral("Upprepa lösenord:"), form), row, 0);
    grid->addWidget(editRepeatPassword, row++, 1);

    multicFungiKnowledge = new TFRDBMultiChoice(form);
    multicFungiKnowledge->setObjectName(QStringLiteral("multicFungiKnowledge"));
    multicFungiKnowledge->SetItems(
        {QStringLiteral("Nybörjare"), QStringLiteral("Medel"), QStringLiteral("Van"), QStringLiteral("Expert")});
    // Two columns, each wide enough for the longest word and its mark.
    multicFungiKnowledge->SetColCount(2);
    multicFungiKnowledge->SetColWidth(
        multicFungiKnowledge->fontMetrics().horizontalAdvance(QStringLiteral("Nybörjare")) + 32);
    multicFungiKnowledge->SetDataField(QStringLiteral("FungiKnowledge"));
    grid->addWidget(PersonFieldLabel(QStringLiteral("Svampkunskap:"), form), row, 0);
    grid->addWidget(multicFungiKnowledge, row++, 1, 1, 2);

    lblFirstUser = PersonFieldLabel(QStringLiteral("Administratör:"), form);
    lblFirstUser->setObjectName(QStringLiteral("lblFirstUser"));
    multicFirstUser = new TUserChoice({QStringLiteral("Ja"), QStringLiteral("Nej")}, form);
    multicFirstUser->setObjectName(QStringLiteral("multicFirstUser"));
    multicFirstUser->OnChange = [this](int index) { multicFirstUserChange(index); };
    grid->addWidget(lblFirstUser, row, 0);
    grid->addWidget(multicFirstUser, row++, 1, 1, 2);

    btnSave = new QPushButton(QStringLiteral("Spara uppgifterna"), form);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), form);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(btnSave);
    saveRow->addWidget(btnCancel);
    saveRow->addStretch(1);
    grid->addLayout(saveRow, row++, 0, 1, 3);
    grid->setRowStretch(row, 1);
    columns->addWidget(form, 2);

    // The picture.
    auto* picture = new QWidget(body);
    picture->setObjectName(QStringLiteral("panelUserPic"));
    auto* pl = new QVBoxLayout(picture);
    imgUserPic = new QLabel(picture);
    imgUserPic->setObjectName(QStringLiteral("imgUserPic"));
    imgUserPic->setFixedSize(TRecordPicture::MaxWidth, TRecordPicture::MaxHeight);
    imgUserPic->setAlignment(Qt::AlignCenter);
    imgUserPic->setFrameShape(QFrame::Box);
    auto* lockRow = new QHBoxLayout;
    lockRow->addWidget(new QLabel(QStringLiteral("Bild:"), picture));
    dblockImage = new TFRDBLock(picture);
    dblockImage->setObjectName(QStringLiteral("dblockImage"));
    dblockImage->SetDataField(QStringLiteral("ImageLocked"));
    lockRow->addWidget(dblockImage);
    lockRow->addStretch(1);
    btnPicFromFile = new QPushButton(QStringLiteral("Från fil..."), picture);
    btnPicFromFile->setObjectName(QStringLiteral("btnPicFromFile"));
    btnPicFromClipboard = new QPushButton(QStringLiteral("Från Urklipp"), picture);
    btnPicFromClipboard->setObjectName(QStringLiteral("btnPicFromClipboard"));
    btnRemovePic = new QPushButton(QStringLiteral("Ta bort bild"), picture);
    btnRemovePic->setObjectName(QStringLiteral("btnRemovePic"));
    pl->addLayout(lockRow);
    pl->addWidget(imgUserPic);
    pl->addWidget(btnPicFromFile);
    pl->addWidget(btnPicFromClipboard);
    pl->addWidget(btnRemovePic);
    pl->addStretch(1);
    pl->setContentsMargins(0, 0, 0, 0);
    left->addWidget(picture);

    connect(btnNewUser, &QPushButton::clicked, this, [this] { btnNewUserClick(); });
    connect(btnEditUser, &QPushButton::clicked, this, [this] { btnEditUserClick(); });
    connect(btnDeleteUser, &QPushButton::clicked, this, [this] { btnDeleteUserClick(); });
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnPicFromFile, &QPushButton::clicked, this, [this] { btnPicFromFileClick(); });
    connect(btnPicFromClipboard, &QPushButton::clicked, this, [this] { btnPicFromClipboardClick(); });
    connect(btnRemovePic, &QPushButton::clicked, this, [this] { btnRemovePicClick(); });
    connect(listboxUsers, &QListWidget::currentRowChanged, this, [this](int r) {
        if (!m_reading) listboxUsersClick(r);
    });

    // Text beyond a field's length is refused, and said so, rather than cut silently.
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::inputRejected, this, [edit] {
            if (edit->text().size() < edit->maxLength()) return;  // a validator's refusal says nothing here
            QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())),
                               QStringLiteral("Fältet rymmer högst %1 tecken.").arg(edit->maxLength()), edit);
        });

    timerClipboard = new QTimer(this);
    timerClipboard->setObjectName(QStringLiteral("timerClipboard"));
    timerClipboard->setInterval(500);
    connect(timerClipboard, &QTimer::timeout, this, [this] { ClipboardTick(); });
}

// ---- State ----

bool TframeUsers::Editing() const {
    return m_users && m_users->Active() &&
        (m_users->State() == TDataSetState::dsEdit || m_users->State() == TDataSetState::dsInsert);
}

bool TframeUsers::AdminChoiceVisible() const {
    // Only the administrator hands the role over, and never to the administrator.
    if (m_mode != TUsersMode::UserManagement || !Editing() || !IsLoggedInAdministrator()) return false;
    const TField* role = m_users->FindField(QStringLiteral("UserData"));
    return !role || role->AsString() != QLatin1String(AdministratorMark);
}

void TframeUsers::ResetEditFlags() {
    m_picture.Reset();
    m_handOver = false;
    m_passwordRefused = false;
}

// ---- Reading the record ----

void TframeUsers::ReadRecord() {
    if (!m_link) return;
    const bool wasReading = m_reading;
    m_reading = true;
    multicFirstUser->SetItemIndex(m_handOver ? 0 : 1);
    // The repeat holds what the password field can.
    editRepeatPassword->setMaxLength(dbeditPassword->maxLength());
    // A picture put in or removed during this edit stays until the edit ends.
    if (!(Editing() && m_picture.Changed())) LoadPicture();
    m_reading = wasReading;
    UpdateButtons();
}

// ---- The picture ----

void TframeUsers::LoadPicture() {
    QString file;
    if (m_users && m_users->Active() && !m_users->IsEmpty()) {
        const TField* hasPic = m_users->FindField(QStringLiteral("HasPic"));
        const QString key = GetUKey(m_users);
        if (hasPic && hasPic->AsBoolean() && IsValidRecordKey(key, UsersDatasetId())) file = GetContactPicFile(key);
    }
    m_picture.Load(file);
    m_picture.ShowIn(imgUserPic);
}

TField* TframeUsers::HasPicField() const { return m_users->FieldByName(QStringLiteral("HasPic")); }

void TframeUsers::btnPicFromFileClick() {
    if (Editing() && m_picture.TakeFromFile(this, UsersSettings(), imgUserPic, HasPicField())) UpdateButtons();
}

void TframeUsers::btnPicFromClipboardClick() {
    if (Editing() && m_picture.TakeFromClipboard(imgUserPic, HasPicField())) UpdateButtons();
}

void TframeUsers::btnRemovePicClick() {
    if (!Editing()) return;
    m_picture.RemoveFrom(imgUserPic, HasPicField());
    UpdateButtons();
}

void TframeUsers::ClipboardTick() {
    btnPicFromClipboard->setEnabled(Editing() && TRecordPicture::ClipboardHasPicture());
}

// ---- The user list ----

void TframeUsers::FillUserList() {
    const bool wasReading = m_reading;
    m_reading = true;
    listboxUsers->clear();
    m_placeholder = false;
    if (m_users && m_users->Active()) {
        const int nameField = m_users->FieldByName(QStringLiteral("UserName"))->Index();
        const int roleField = m_users->FieldByName(QStringLiteral("UserData"))->Index();
        if (IsLoggedInAdministrator()) {
            lblUserList->setText(QStringLiteral("Registrerade användare:"));
            for (int i = 0; i < m_users->RecordCount(); ++i) {
                QString name = m_users->RecordValue(i, nameField).toString();
                if (m_users->RecordValue(i, roleField).toString() == QLatin1String(AdministratorMark))
                    name += QStringLiteral(" (administratör)");
                listboxUsers->addItem(name);
            }
            if (m_users->RecNo() > 0) listboxUsers->setCurrentRow(m_users->RecNo() - 1);
        } else {
            lblUserList->setText(QStringLiteral("Inloggad användare:"));
            if (!Editing() && LocateUKey(m_users, LoggedInUserKey())) {
                listboxUsers->addItem(m_users->FieldByName(QStringLiteral("UserName"))->AsString());
                listboxUsers->setCurrentRow(0);
            }
        }
    }
    m_reading = wasReading;
}

void TframeUsers::listboxUsersClick(int row) {
    if (Editing() || row < 0 || !IsLoggedInAdministrator()) return;
    if (row < m_users->RecordCount()) m_users->SetRecNo(row + 1);
    UpdateFrame();
}

void TframeUsers::RemovePlaceholder() {
    if (!m_placeholder) return;
    const bool wasReading = m_reading;
    m_reading = true;
    if (listboxUsers->count() > 0) delete listboxUsers->takeItem(listboxUsers->count() - 1);
    m_reading = wasReading;
    m_placeholder = false;
}

// ---- Buttons ----

void TframeUsers::btnNewUserClick() {
    if (Editing() || !IsLoggedInAdministrator()) return;
    ResetEditFlags();
    m_users->Append();
    editRepeatPassword->clear();
    const bool wasReading = m_reading;
    m_reading = true;
    listboxUsers->addItem(kNewUserEntry);
    listboxUsers->setCurrentRow(listboxUsers->count() - 1);
    m_reading = wasReading;
    m_placeholder = true;
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    ReadRecord();
    dbeditUserName->setFocus();
}

void TframeUsers::btnEditUserClick() {
    if (Editing() || m_users->IsEmpty()) return;
    if (!IsLoggedInAdministrator() && GetUKey(m_users) != LoggedInUserKey()) return;
    ResetEditFlags();
    m_users->Edit();
    // The stored password stands in both edits, so a save without retyping keeps it.
    editRepeatPassword->setText(m_users->FieldByName(QStringLiteral("Password"))->AsString());
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    ReadRecord();
    dbeditUserName->setFocus();
}

void TframeUsers::btnDeleteUserClick() {
    if (Editing() || !IsLoggedInAdministrator() || m_users->RecordCount() <= 1) return;
    if (GetUKey(m_users) == LoggedInUserKey()) return;
    const QString name = m_users->FieldByName(QStringLiteral("UserName"))->AsString();
    if (!UIServices::AskYesNo(
            QStringLiteral("Du är på väg att radera användaren \"%1\". Skall raderingen genomföras?").arg(name),
            QStringLiteral("Mykotekshallen - Radering av användare"), UIServices::TMsgIcon::Warning))
        return;
    m_users->Delete();
    FillUserList();
    UpdateFrame();
}

void TframeUsers::btnCancelClick() {
    if (m_users && m_users->Active()) m_users->Cancel();
    RemovePlaceholder();
    ResetEditFlags();
    editRepeatPassword->clear();
    if (m_mode == TUsersMode::FirstUser) {
        ReadRecord();
        if (OnCancelled) OnCancelled();
        return;
    }
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    FillUserList();
    UpdateFrame();
}

void TframeUsers::multicFirstUserChange(int index) {
    if (!AdminChoiceVisible()) {
        multicFirstUser->SetItemIndex(m_handOver ? 0 : 1);
        return;
    }
    if (index == 0 && !m_handOver) {
        UIServices::ShowWarning(QStringLiteral("Endast en användare kan vara administratör. Om Du tilldelar den här "
                                               "användaren administratörs-funktionen kommer Du själv att förlora den."),
                                QStringLiteral("Mykotekshallen - Varning"));
        m_handOver = true;
    } else if (index == 1) {
        m_handOver = false;
    }
    multicFirstUser->SetItemIndex(m_handOver ? 0 : 1);
}

void TframeUsers::btnSaveClick() {
    if (!Editing()) return;

    TUserSaveRequest request;
    request.Users = m_users;
    request.Contacts = UsersDM()->cdsContacts;
    request.RepeatedPassword = editRepeatPassword->text();
    request.PasswordRefused = m_passwordRefused;
    if (m_mode == TUsersMode::FirstUser) {
        request.Role = TUserSaveRequest::TRole::Administrator;
    } else if (AdminChoiceVisible()) {
        request.Role = TUserSaveRequest::TRole::Choice;
        request.AdministratorChosen = m_handOver && multicFirstUser->ItemIndex() == 0;
    }
    request.LoggedInUserKey = LoggedInUserKey();
    request.PreparePicture = [this](const QString& file, bool hasPic) { return m_picture.PrepareFile(file, hasPic); };

    TUserSaveResult saved;
    try {
        saved = SaveUserRecord(request);
    } catch (const TUserSaveRefused& refused) {
        if (refused.Entry() == TUserSaveRefused::TEntry::UserName) {
            dbeditUserName->setFocus();
        } else {
            // Refused until both edits are typed alike (an emptied password would pass as a match).
            m_passwordRefused = true;
            editRepeatPassword->clear();
            dbeditPassword->setFocus();
            dbeditPassword->selectAll();
        }
        throw;
    }
    RemovePlaceholder();
    ResetEditFlags();
    editRepeatPassword->clear();

    QString failure = saved.Failure;
    if (m_mode == TUsersMode::UserManagement) {
        // The record is stored: whatever the re-selection says, the frame leaves its edit.
        static_cast<void>(LocateUKey(m_users, saved.UserKey));
        try {
            SelectCurrentUser(LoggedInUserKey());
        } catch (const Exception& e) {
            if (failure.isEmpty()) failure = e.Message();
        }
        FillUserList();
        if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
        UpdateFrame();
    } else if (OnUserSaved) {
        OnUserSaved();
    }
    if (!failure.isEmpty()) throw Exception(failure);
}

// ---- Updating ----

void TframeUsers::UpdateFrame() {
    ReadRecord();
    TFRFrameBase::UpdateFrame();
}

void TframeUsers::UpdateButtons() {
    if (!btnSave) return;
    const bool active = m_users && m_users->Active();
    const bool editing = Editing();
    const bool browse = active && m_users->State() == TDataSetState::dsBrowse;
    const bool admin = IsLoggedInAdministrator();
    const bool management = m_mode == TUsersMode::UserManagement;
    const bool hasRecord = active && !m_users->IsEmpty();
    const bool own = hasRecord && GetUKey(m_users) == LoggedInUserKey();

    btnNewUser->setEnabled(management && browse && admin);
    btnEditUser->setEnabled(management && browse && hasRecord && (admin || own));
    btnDeleteUser->setEnabled(management && browse && admin && m_users->RecordCount() > 1 && hasRecord && !own);
    listboxUsers->setEnabled(!editing);

    editRepeatPassword->setReadOnly(!editing);
    // While browsing the stored password shows nothing, not even its length.
    dbeditPassword->setEchoMode(editing ? QLineEdit::Password : QLineEdit::NoEcho);
    for (TFRDBLock* lock : findChildren<TFRDBLock*>()) lock->setEnabled(editing);
    multicFungiKnowledge->setEnabled(editing);

    const TField* hasPic = active ? m_users->FindField(QStringLiteral("HasPic")) : nullptr;
    btnPicFromFile->setEnabled(editing);
    btnPicFromClipboard->setEnabled(editing && TRecordPicture::ClipboardHasPicture());
    btnRemovePic->setEnabled(editing && hasPic && hasPic->AsBoolean());
    btnSave->setEnabled(editing);
    btnCancel->setEnabled(editing || m_mode == TUsersMode::FirstUser);

    const bool choice = AdminChoiceVisible();
    lblFirstUser->setVisible(choice);
    multicFirstUser->setVisible(choice);
    multicFirstUser->SetItemIndex(m_handOver ? 0 : 1);
}

#include "moc_unitFrameUsers.cpp"
