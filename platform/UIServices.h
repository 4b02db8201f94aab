#pragma once
// The UI services: every message box and every modal dialog of the program is shown through
// here, so that tests can answer them without a person at the screen.
//
// Message boxes carry a caption (the application title when empty), a text, an icon and a
// button set, and return the button pressed; the buttons read "Ja", "Nej", "OK", "Avbryt".
// A test installs an answer hook: while one is set no box is shown, the hook receives what
// would have been shown and returns the answer, and every box is appended to the log.
//
// Modal dialogs built by the program (QDialog) are run with ExecDialog. A test installs a
// dialog hook that receives the dialog, may fill its widgets and accept or reject it; no
// nested message loop runs then.
//
// The file, folder and colour choosers are thin wrappers over QFileDialog and QColorDialog
// that a test answers through the chooser hook in the same way.
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

namespace UIServices {

// The icon of a message box.
enum class TMsgIcon { Information, Warning, Error, Question };
// The buttons of a message box.
enum class TMsgButtons { OK, YesNo, YesNoCancel, OKCancel, RetryCancel };
// The button the user pressed. Closing a box with Escape or its close button gives Cancel
// where there is one, else No, else OK.
enum class TMsgResult { OK, Yes, No, Cancel, Retry };

// One message box as it was (or would have been) shown.
struct TShownMessage {
    TMsgIcon Icon = TMsgIcon::Information;
    TMsgButtons Buttons = TMsgButtons::OK;
    QString Caption;
    QString Text;
    TMsgResult Answer = TMsgResult::OK;  // filled in the log
};

// Shows a message box and returns the button pressed.
TMsgResult MessageBox(TMsgIcon icon, TMsgButtons buttons, const QString& caption, const QString& text);

// The common forms. An empty caption gives the application title.
void ShowInformation(const QString& text, const QString& caption = QString());
void ShowWarning(const QString& text, const QString& caption = QString());
void ShowError(const QString& text, const QString& caption = QString());
// Yes/No question; true for "Ja". The icon is the question mark unless given (deletions
// are confirmed with the warning icon).
bool AskYesNo(const QString& text, const QString& caption = QString(), TMsgIcon icon = TMsgIcon::Question);
TMsgResult AskYesNoCancel(const QString& text, const QString& caption = QString(), TMsgIcon icon = TMsgIcon::Question);
// OK/Cancel question; true for "OK".
bool AskOKCancel(const QString& text, const QString& caption = QString(), TMsgIcon icon = TMsgIcon::Question);

// The caption used when none is given: the application title.
QString DefaultCaption();
// The Swedish text of a button.
QString ButtonText(TMsgResult button);

// ---- Answering in tests ----
using TMessageHook = std::function<TMsgResult(const TShownMessage&)>;
// Installs (or with an empty function removes) the answer hook.
void SetMessageHook(TMessageHook hook);
bool HasMessageHook();
// The boxes answered by the hook since the log was last cleared.
const QList<TShownMessage>& MessageLog();
void ClearMessageLog();

// ---- Watching boxes ----
// A watcher hears of every message box: with true just before it shows (or the answer hook
// answers it) and with false once it is closed, so that a window kept above all others can
// step aside and come back. Returns an id for RemoveMessageBoxWatcher.
using TBoxWatcher = std::function<void(bool showing)>;
int AddMessageBoxWatcher(TBoxWatcher watcher);
void RemoveMessageBoxWatcher(int id);

// ---- Modal dialogs ----
// Runs the dialog modally and returns its result (QDialog::Accepted or Rejected).
int ExecDialog(QDialog* dialog);
// The hook gets the dialog shown but without a message loop; whatever it leaves undecided
// counts as rejected.
using TDialogHook = std::function<void(QDialog*)>;
void SetDialogHook(TDialogHook hook);
bool HasDialogHook();

// ---- File, folder and colour choosers ----
enum class TChooserKind { OpenFile, OpenFiles, SaveFile, Folder, Color };
struct TChooserRequest {
    TChooserKind Kind = TChooserKind::OpenFile;
    QString Caption;
    QString Folder;  // start folder (or start file for saving)
    QString Filter;  // "Bilder (*.jpg *.bmp);;Alla filer (*)"
    QColor Color;  // start colour
};
struct TChooserAnswer {
    bool Accepted = false;
    QStringList Files;  // the chosen files or the one folder
    QColor Color;
};
using TChooserHook = std::function<TChooserAnswer(const TChooserRequest&)>;
void SetChooserHook(TChooserHook hook);
bool HasChooserHook();
// The requests answered by the chooser hook since the log was last cleared.
const QList<TChooserRequest>& ChooserLog();
void ClearChooserLog();

// Each returns an empty result when the user cancels.
QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filter);
QStringList GetOpenFileNames(QWidget* parent, const QString& caption, const QString& folder, const QString& filter);
QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter);
QString GetExistingFolder(QWidget* parent, const QString& caption, const QString& folder);
// Returns false when cancelled; color holds the start colour and receives the choice.
bool GetColor(QWidget* parent, const QString& caption, QColor& color);

}  // namespace UIServices
