#include "content/contacts/unitContactScreen.h"

#include <QSet>
#include <QUrl>

#include "content/contacts/unitFrameContacts.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/ShellServices.h"
#include "platform/UIServices.h"

QPointer<TFRContactScreen> FRContactScreen;

namespace {

TDMServices* Services() {
    TDM* dm = ContactsDM();
    TDMServices* services = TDMServices::Of(dm);
    return services ? services : TDMServices::Install(dm);
}

// A control character or "?" would end the address list or start the mail's headers.
bool IsRefusedAddress(const QString& address) {
    for (QChar c : address)
        if (c.category() == QChar::Other_Control || c == u'?') return true;
    return false;
}

}  // namespace

TDM* ContactsDM() { return UsersDM(); }

QString ContactDisplayName(const QString& userName, const QString& email) {
    return email.isEmpty() ? userName : userName + QStringLiteral(" (%1)").arg(email);
}

QString MailToUrl(const QStringList& addresses, QString* refused) {
    QStringList unique;
    QSet<QString> seen;
    for (const QString& entry : addresses) {
        const QString address = entry.trimmed();
        if (address.isEmpty()) continue;
        if (IsRefusedAddress(address)) {
            if (refused) *refused = address;
            return QString();
        }
        if (seen.contains(address.toCaseFolded())) continue;
        seen.insert(address.toCaseFolded());
        unique.append(address);
    }
    if (unique.isEmpty()) return QString();
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(unique.join(QLatin1Char(',')));
    return url.toString(QUrl::FullyEncoded);
}

bool MailToAddresses(const QStringList& addresses) {
    QString refused;
    const QString url = MailToUrl(addresses, &refused);
    if (!refused.isEmpty()) {
        UIServices::ShowError(QStringLiteral("E-postadressen \"%1\" innehåller otillåtna tecken och kan inte användas.")
                                  .arg(refused.simplified()),
                              QStringLiteral("Mykotekshallen - Fel"));
        return false;
    }
    if (url.isEmpty()) return false;
    if (!ShellServices::OpenUrl(QUrl(url, QUrl::StrictMode))) {
        UIServices::ShowError(QStringLiteral("E-postprogrammet kunde inte startas."),
                              QStringLiteral("Mykotekshallen - Fel"));
        return false;
    }
    return true;
}

// ---- TFRContactScreen ----

TFRContactScreen::TFRContactScreen(QObject* owner) : TFRMainScreen(owner) {
    SetDataSet(ContactsDM()->cdsContacts);
    FRContactScreen = this;
}

TFRContactScreen::~TFRContactScreen() = default;

void TFRContactScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Kontakter"));
    MenuButton()->setToolTip(
        QStringLiteral("Håll reda på alla Dina svampvänner och skicka e-post till grupper eller individer"));
    TFRMainScreen::Initialize();
}

void TFRContactScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeContacts>(ContactsDM()));
}

QList<TClientDataSet*> TFRContactScreen::ScreenTables() const {
    return {ContactsDM()->cdsContacts, ContactsDM()->cdsContactGroups};
}

TframeContacts* TFRContactScreen::ContactsFrame() const { return qobject_cast<TframeContacts*>(Frame()); }

QString TFRContactScreen::GetRefText(const QString& ref) { return Services()->GetRefText(ref); }

QString TFRContactScreen::GetContactName(const QString& contactUKey) { return Services()->GetContactName(contactUKey); }

QString TFRContactScreen::GetContactDisplayName() {
    TExtClientDataSet* contacts = ContactsDM()->cdsContacts;
    if (!contacts->Active() || contacts->IsEmpty()) return QString();
    return ContactDisplayName(contacts->FieldByName(QStringLiteral("UserName"))->AsString(),
                              contacts->FieldByName(QStringLiteral("EMail"))->AsString());
}

int TFRContactScreen::ChangeRefCount(int op, const QString& ref) {
    return Services()->ChangeRefCount(op == 0 ? TDMServices::roAdd : TDMServices::roSubtract, ref);
}

void TFRContactScreen::ShowContact(const QString& contactUKey) {
    Activate(QString());
    if (TframeContacts* frame = ContactsFrame()) frame->ShowContact(contactUKey);
}

TFRMainScreen* CreateContactScreen(QObject* owner) { return TFRScreen::Create<TFRContactScreen>(owner); }

void RegisterContactScreen() {
    TformFRMain::RegisterScreenFactory(ssContact, [](TformFRMain* owner) { return CreateContactScreen(owner); });
}

#include "moc_unitContactScreen.cpp"
