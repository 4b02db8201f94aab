#include "platform/UIServices.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QPushButton>

#include "platform/Application.h"

namespace UIServices {

namespace {
TMessageHook g_messageHook;
QList<TShownMessage> g_messageLog;
TDialogHook g_dialogHook;
TChooserHook g_chooserHook;
QList<TChooserRequest> g_chooserLog;

QMessageBox::Icon QtIcon(TMsgIcon icon) {
    switch (icon) {
        case TMsgIcon::Information:
            return QMessageBox::Information;
        case TMsgIcon::Warning:
            return QMessageBox::Warning;
        case TMsgIcon::Error:
            return QMessageBox::Critical;
        case TMsgIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QList<TMsgResult> ButtonsOf(TMsgButtons buttons) {
    switch (buttons) {
        case TMsgButtons::OK:
            return {TMsgResult::OK};
        case TMsgButtons::YesNo:
            return {TMsgResult::Yes, TMsgResult::No};
        case TMsgButtons::YesNoCancel:
            return {TMsgResult::Yes, TMsgResult::No, TMsgResult::Cancel};
        case TMsgButtons::OKCancel:
            return {TMsgResult::OK, TMsgResult::Cancel};
        case TMsgButtons::RetryCancel:
            return {TMsgResult::Retry, TMsgResult::Cancel};
    }
    return {TMsgResult::OK};
}

QMessageBox::ButtonRole RoleOf(TMsgResult button) {
    switch (button) {
        case TMsgResult::OK:
            return QMessageBox::AcceptRole;
        case TMsgResult::Yes:
            return QMessageBox::YesRole;
        case TMsgResult::No:
            return QMessageBox::NoRole;
        case TMsgResult::Cancel:
            return QMessageBox::RejectRole;
        case TMsgResult::Retry:
            return QMessageBox::AcceptRole;
    }
    return QMessageBox::AcceptRole;
}

// What Escape or the close button means for a button set.
TMsgResult EscapeAnswer(TMsgButtons buttons) {
    const QList<TMsgResult> all = ButtonsOf(buttons);
    if (all.contains(TMsgResult::Cancel)) return TMsgResult::Cancel;
    if (all.contains(TMsgResult::No)) return TMsgResult::No;
    return TMsgResult::OK;
}

QList<QPair<int, TBoxWatcher>> g_boxWatchers;
int g_nextWatcher = 0;

// Tells the watchers of a box from its start to its end, however it ends.
class TBoxWatch {
public:
    TBoxWatch() { Tell(true); }
    ~TBoxWatch() { Tell(false); }
    TBoxWatch(const TBoxWatch&) = delete;
    TBoxWatch& operator=(const TBoxWatch&) = delete;

private:
    static void Tell(bool showing) {
        // A copy: a watcher may remove itself.
        const auto watchers = g_boxWatchers;
        for (const auto& entry : watchers) {
            try {
                entry.second(showing);
            } catch (...) {
                // A watcher must not keep the box from showing or its caller from going on.
            }
        }
    }
};

QWidget* DialogParent() {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    return parent;
}
}  // namespace

QString DefaultCaption() { return TApplication::Title(); }

QString ButtonText(TMsgResult button) {
    switch (button) {
        case TMsgResult::OK:
            return QStringLiteral("OK");
        case TMsgResult::Yes:
            return QStringLiteral("Ja");
        case TMsgResult::No:
            return QStringLiteral("Nej");
        case TMsgResult::Cancel:
            return QStringLiteral("Avbryt");
        case TMsgResult::Retry:
            return QStringLiteral("Försök igen");
    }
    return QString();
}

int AddMessageBoxWatcher(TBoxWatcher watcher) {
    const int id = ++g_nextWatcher;
    g_boxWatchers.append({id, std::move(watcher)});
    return id;
}

void RemoveMessageBoxWatcher(int id) {
    for (qsizetype i = 0; i < g_boxWatchers.size(); ++i)
        if (g_boxWatchers.at(i).first == id) {
            g_boxWatchers.removeAt(i);
            return;
        }
}

TMsgResult MessageBox(TMsgIcon icon, TMsgButtons buttons, const QString& caption, const QString& text) {
    const TBoxWatch watch;
    TShownMessage shown;
    shown.Icon = icon;
    shown.Buttons = buttons;
    shown.Caption = caption.isEmpty() ? DefaultCaption() : caption;
    shown.Text = text;
    if (g_messageHook) {
        // Copy first: the hook may replace itself.
        const TMessageHook hook = g_messageHook;
        shown.Answer = hook(shown);
        // An answer the box could not have given counts as closing it.
        if (!ButtonsOf(buttons).contains(shown.Answer)) shown.Answer = EscapeAnswer(buttons);
        g_messageLog.append(shown);
        return shown.Answer;
    }

    // A long report (one paragraph per table, say) would make a box taller than the screen:
    // the first paragraph stands as the text, the rest in a scrolling area of bounded height.
    QString head = text;
    QString rest;
    const qsizetype cut = text.indexOf(QStringLiteral("\n\n"));
    if (cut > 0 && (text.count(QLatin1Char('\n')) > 8 || text.size() > 700)) {
        head = text.left(cut);
        rest = text.mid(cut + 2);
    }
    QMessageBox box(QtIcon(icon), shown.Caption, head, QMessageBox::NoButton, DialogParent());
    if (!rest.isEmpty()) {
        auto* details = new QPlainTextEdit(rest, &box);
        details->setObjectName(QStringLiteral("details"));
        details->setReadOnly(true);
        details->setMinimumWidth(420);
        details->setMaximumHeight(220);
        // Between the text and the buttons: the button row moves down one.
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
            auto* buttonRow = box.findChild<QDialogButtonBox*>();
            const int columns = grid->columnCount();
            const int row = grid->rowCount();
            if (buttonRow) grid->removeWidget(buttonRow);
            grid->addWidget(details, row - (buttonRow ? 1 : 0), 0, 1, columns);
            if (buttonRow) grid->addWidget(buttonRow, row, 0, 1, columns);
        }
    }
    // A short text makes a narrow box, and the window system then cuts its caption ("Myk…- Fel"):
    // the box is at least as wide as the caption in a bold title font with the title bar's
    // buttons beside it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        QFont title = box.font();
        title.setBold(true);
        const int captionRoom = QFontMetrics(title).horizontalAdvance(shown.Caption) * 5 / 4 + 140;
        grid->addItem(new QSpacerItem(captionRoom, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    QList<QPair<QAbstractButton*, TMsgResult>> made;
    for (TMsgResult b : ButtonsOf(buttons)) made.append({box.addButton(ButtonText(b), RoleOf(b)), b});
    box.setDefaultButton(qobject_cast<QPushButton*>(made.first().first));
    const TMsgResult escape = EscapeAnswer(buttons);
    for (const auto& [button, result] : made)
        if (result == escape) box.setEscapeButton(button);
    // The box takes the keyboard at once, whatever window was active before it.
    QTimer::singleShot(0, &box, [&box] {
        box.activateWindow();
        box.raise();
        if (QPushButton* def = box.defaultButton()) def->setFocus(Qt::ActiveWindowFocusReason);
    });
    box.exec();
    for (const auto& [button, result] : made)
        if (box.clickedButton() == button) return result;
    return escape;
}

void ShowInformation(const QString& text, const QString& caption) {
    MessageBox(TMsgIcon::Information, TMsgButtons::OK, caption, text);
}
void ShowWarning(const QString& text, const QString& caption) {
    MessageBox(TMsgIcon::Warning, TMsgButtons::OK, caption, text);
}
void ShowError(const QString& text, const QString& caption) {
    MessageBox(TMsgIcon::Error, TMsgButtons::OK, caption, text);
}
bool AskYesNo(const QString& text, const QString& caption, TMsgIcon icon) {
    return MessageBox(icon, TMsgButtons::YesNo, caption, text) == TMsgResult::Yes;
}
TMsgResult AskYesNoCancel(const QString& text, const QString& caption, TMsgIcon icon) {
    return MessageBox(icon, TMsgButtons::YesNoCancel, caption, text);
}
bool AskOKCancel(const QString& text, const QString& caption, TMsgIcon icon) {
    return MessageBox(icon, TMsgButtons::OKCancel, caption, text) == TMsgResult::OK;
}

void SetMessageHook(TMessageHook hook) { g_messageHook = std::move(hook); }
bool HasMessageHook() { return bool(g_messageHook); }
const QList<TShownMessage>& MessageLog() { return g_messageLog; }
void ClearMessageLog() { g_messageLog.clear(); }

int ExecDialog(QDialog* dialog) {
    if (!dialog) return QDialog::Rejected;
    if (g_dialogHook) {
        const TDialogHook hook = g_dialogHook;
        dialog->setResult(QDialog::Rejected);
        // Shown like a real run so that the dialog's show handling takes place.
        dialog->show();
        hook(dialog);
        if (dialog->isVisible()) dialog->reject();
        return dialog->result();
    }
    return dialog->exec();
}
void SetDialogHook(TDialogHook hook) { g_dialogHook = std::move(hook); }
bool HasDialogHook() { return bool(g_dialogHook); }

void SetChooserHook(TChooserHook hook) { g_chooserHook = std::move(hook); }
bool HasChooserHook() { return bool(g_chooserHook); }
const QList<TChooserRequest>& ChooserLog() { return g_chooserLog; }
void ClearChooserLog() { g_chooserLog.clear(); }

namespace {
// Asks the hook; false when no hook is set.
bool Answered(const TChooserRequest& request, TChooserAnswer& answer) {
    if (!g_chooserHook) return false;
    const TChooserHook hook = g_chooserHook;
    answer = hook(request);
    g_chooserLog.append(request);
    return true;
}
TChooserRequest Request(TChooserKind kind, const QString& caption, const QString& folder, const QString& filter) {
    TChooserRequest r;
    r.Kind = kind;
    r.Caption = caption;
    r.Folder = folder;
    r.Filter = filter;
    return r;
}
}  // namespace

QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) {
    TChooserAnswer a;
    if (Answered(Request(TChooserKind::OpenFile, caption, folder, filter), a))
        return a.Accepted && !a.Files.isEmpty() ? a.Files.first() : QString();
    return QFileDialog::getOpenFileName(parent ? parent : DialogParent(), caption, folder, filter);
}

QStringList GetOpenFileNames(QWidget* parent, const QString& caption, const QString& folder, const QString& filter) {
    TChooserAnswer a;
    if (Answered(Request(TChooserKind::OpenFiles, caption, folder, filter), a))
        return a.Accepted ? a.Files : QStringList();
    return QFileDialog::getOpenFileNames(parent ? parent : DialogParent(), caption, folder, filter);
}

QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter) {
    TChooserAnswer a;
    if (Answered(Request(TChooserKind::SaveFile, caption, start, filter), a))
        return a.Accepted && !a.Files.isEmpty() ? a.Files.first() : QString();
    return QFileDialog::getSaveFileName(parent ? parent : DialogParent(), caption, start, filter);
}

QString GetExistingFolder(QWidget* parent, const QString& caption, const QString& folder) {
    TChooserAnswer a;
    if (Answered(Request(TChooserKind::Folder, caption, folder, QString()), a))
        return a.Accepted && !a.Files.isEmpty() ? a.Files.first() : QString();
    return QFileDialog::getExistingDirectory(parent ? parent : DialogParent(), caption, folder,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

bool GetColor(QWidget* parent, const QString& caption, QColor& color) {
    TChooserRequest r = Request(TChooserKind::Color, caption, QString(), QString());
    r.Color = color;
    TChooserAnswer a;
    if (Answered(r, a)) {
        if (!a.Accepted || !a.Color.isValid()) return false;
        color = a.Color;
        return true;
    }
    const QColor chosen = QColorDialog::getColor(color, parent ? parent : DialogParent(), caption);
    if (!chosen.isValid()) return false;
    color = chosen;
    return true;
}

}  // namespace UIServices
