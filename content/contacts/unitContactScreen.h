#pragma once
// Contacts: the user's mushroom friends with address, e-mail, telephone, picture and a count
// of the records that name them, sorted into named groups. The contact screen hosts the
// contacts' frame and serves the rest of the program with the contact reference: a text
// that names a contact (" UKEY=" and its key) or is a free name.
#include <QPointer>
#include <QString>
#include <QStringList>

#include "shell/FRScreens.h"

class TDM;
class TframeContacts;

// The built-in records.
inline constexpr const char* MyContactsGroupKey = "070AAAAAAAAAAAAAAA";
inline constexpr const char* MyContactsGroupName = "Mina kontakter";
inline constexpr const char* FixedContactKeyA = "060AAAAAAAAAAAAAAA";
inline constexpr const char* FixedContactKeyB = "060BBBBBBBBBBBBBBB";

// The display name of a contact: the name, and the address in parentheses when there is one.
QString ContactDisplayName(const QString& userName, const QString& email);

// Opens one "mailto:" URL with the addresses, each once (letter case ignored), empty ones
// left out. An address with a control character or "?" is refused with a message and
// nothing is opened. Returns whether a URL was handed to the desktop.
bool MailToAddresses(const QStringList& addresses);
// The URL that MailToAddresses opens; empty when there is no address or one is refused
// (refused then holds that address).
QString MailToUrl(const QStringList& addresses, QString* refused = nullptr);

class TFRContactScreen : public TFRMainScreen {
    Q_OBJECT
public:
    explicit TFRContactScreen(QObject* owner);
    ~TFRContactScreen() override;

    void Initialize() override;
    void CreateFrame() override;
    // The contacts and their groups.
    QList<TClientDataSet*> ScreenTables() const override;
    TframeContacts* ContactsFrame() const;

    // ---- Services for the other screens ----
    // The name of the contact a reference names (empty when no contact has the key);
    // any other text unchanged. The contacts' cursor does not move.
    static QString GetRefText(const QString& ref);
    // The contact's name; "Mykotekshallen" for an empty key, empty when none has the key.
    // The contacts' cursor does not move.
    static QString GetContactName(const QString& contactUKey);
    // The display name of the contacts table's current contact.
    static QString GetContactDisplayName();
    // Adds (0) or subtracts (1) one use of the contact a reference or bare key names, never
    // below 0 and without touching its Timestamp; the new count, or -1 when there is none.
    static int ChangeRefCount(int op, const QString& ref);
    // Shows the contact among all contacts.
    void ShowContact(const QString& contactUKey);
};

// The one contact screen, while it exists.
extern QPointer<TFRContactScreen> FRContactScreen;
// The data module the contacts work on (the users' environment, else the main window's).
TDM* ContactsDM();
TFRMainScreen* CreateContactScreen(QObject* owner);
// Registers the contact screen's factory with the main window under its number.
void RegisterContactScreen();
