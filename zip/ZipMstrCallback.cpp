// The zip component: the callback of the library modules, and the passwords it asks for.
#include "zip/ZipMstr.h"
#include "zip/ZipMstrShared.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QSet>
#include <QRandomGenerator>

#include <dlfcn.h>

#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/ziplibs/ZipLibApi.h"
#include "platform/ziplibs/common/ZipCommon.h"
#include "zip/ZipPrompts.h"

using namespace Zip;  // the component's option bits

using namespace zipmsg;
using namespace zipmaster;

extern "C" int32_t ZipCallbackEntry(CallbackRec* rec) {
    // Nothing may unwind into the library.
    try {
        if (!rec || !LiveComponents().contains(rec->Component)) return -1;
        return static_cast<TZipArchiver*>(rec->Component)->HandleCallback(rec) ? -1 : 0;
    } catch (...) {
        return -1;
    }
}

// ---- Callback ----

bool TZipArchiver::HandleCallback(CallbackRec* rec) {
    const int action = rec->Action;
    const int first = rec->FirstValue;
    const int64_t second = rec->SecondValue;
    try {
        const QString text = CallbackText(rec);
        switch (action) {
            case ziplibs::ActTick:
                if (OnTick) OnTick(this);
                break;
            case ziplibs::ActNewFile:
                if (OnProgress) OnProgress(this, ProgressType::NewFile, text, Clamp32(second));
                break;
            case ziplibs::ActProgress:
                if (OnProgress) OnProgress(this, ProgressType::ProgressUpdate, QString(), Clamp32(second));
                break;
            case ziplibs::ActEndBatch:
                if (OnProgress) OnProgress(this, ProgressType::EndOfBatch, ProgressText(first), 0);
                break;
            case ziplibs::ActMessage: {
                m_message = text;
                if (first != 0) {
                    m_errCode = first & 255;
                    m_fullErrCode = first;
                    if (m_errCode == ziplibs::ZipErrAborted && !m_eventErr.isEmpty())
                        m_message = QStringLiteral("Exception in Event ") + m_eventErr;
                }
                if (OnMessage) OnMessage(this, first, m_message);
                break;
            }
            case ziplibs::ActTotalFiles:
                if (OnProgress)
                    OnProgress(this, ProgressType::TotalFiles2Process, ProgressText(first), Clamp32(second));
                break;
            case ziplibs::ActTotalSize:
                m_totalSizeToProcess = second;
                if (OnProgress) OnProgress(this, ProgressType::TotalSize2Process, ProgressText(first), Clamp32(second));
                break;
            case ziplibs::ActNewName:
                if (OnSetNewName) {
                    QString name = text;
                    bool changed = false;
                    OnSetNewName(this, name, changed);
                    if (changed) {
                        WriteText(rec, name);
                        rec->FirstValue = 1;
                    } else {
                        rec->FirstValue = 0;
                    }
                }
                break;
            case ziplibs::ActPassword: {
                const bool forAdd = first & 1;
                QString password;
                quint32 repeat = Clamp32(second);
                TPasswordButton button = TPasswordButton::mbOK;
                int reply = 0;
                if (OnPasswordError) {
                    OnPasswordError(this, rec->FromZipLib != 0, password, text, repeat, button);
                    if (button != TPasswordButton::mbOK) password.clear();
                    if (button == TPasswordButton::mbCancelAll) reply = Zip::PasswordNoToAll;
                    if (button == TPasswordButton::mbAbort) reply = Zip::PasswordAbort;
                } else if (forAdd) {
                    password = GetAddPassword();
                    reply = m_passwordReply;
                } else {
                    password = GetExtrPassword(reply);
                }
                m_passwordReply = reply;
                if (!password.isEmpty()) {
                    WriteText(rec, password.left(ziplibs::MaxPasswordLength));
                    rec->FirstValue = 1;
                } else {
                    WriteText(rec, QString());
                    rec->FirstValue = 0;
                    repeat = 0;
                }
                rec->SecondValue = qMin<quint32>(repeat, 15);
                if (reply == Zip::PasswordNoToAll) rec->Action = 0;
                if (reply == Zip::PasswordAbort) m_cancel = true;
                break;
            }
            case ziplibs::ActCRCError:
                if (OnCRC32Error) {
                    bool doExtract = true;
                    OnCRC32Error(this, text, quint32(first), Clamp32(second), doExtract);
                    rec->FirstValue = doExtract ? 1 : 0;
                } else {
                    rec->FirstValue = 2;
                }
                break;
            case ziplibs::ActOverwrite:
                if (OnExtractOverwrite) {
                    bool doOverwrite = (second & 0xFF) != 0;
                    OnExtractOverwrite(this, text, (first & 0x10000) != 0, doOverwrite, first & 0xFFFF);
                    rec->SecondValue = doOverwrite ? 1 : 0;
                }
                break;
            case ziplibs::ActSkipped:
                if (first != 0) {
                    m_errCode = first & 255;
                    m_fullErrCode = first;
                }
                if (OnExtractSkipped) OnExtractSkipped(this, text, UnZipSkipTypes(int(second & 0xFF) - 1), first);
                break;
            case ziplibs::ActFileComment:
                if (OnFileComment) {
                    const char c = rec->Text[256];
                    QString comment = c ? QString(QChar(uchar(c))) : QString();
                    bool changed = false;
                    OnFileComment(this, text, comment, changed);
                    WriteText(rec, changed && !comment.isEmpty() ? comment : QString());
                    rec->FirstValue = changed ? 1 : 0;
                    rec->SecondValue = qMin<qsizetype>(comment.toUtf8().size(), ZipCallbackTextSize - 1);
                }
                break;
            case ziplibs::ActStream:
                try {
                    if (second < 0 || second > (int64_t(1) << 31)) throw std::bad_alloc();
                    m_zipStream.resize(qsizetype(second));
                    rec->SecondValue = int64_t(reinterpret_cast<quintptr>(m_zipStream.data()));
                } catch (const std::bad_alloc&) {
                    rec->FirstValue = 1;
                    rec->SecondValue = 0;
                }
                break;
            default:
                break;
        }
    } catch (const Exception& e) {
        if (m_eventErr.isEmpty())
            m_eventErr =
                QStringLiteral(" #") + QString::number(action) + QStringLiteral(" \"") + e.Message() + QLatin1Char('"');
        m_cancel = true;
    } catch (const std::exception& e) {
        if (m_eventErr.isEmpty())
            m_eventErr = QStringLiteral(" #") + QString::number(action) + QStringLiteral(" \"") +
                QString::fromUtf8(e.what()) + QLatin1Char('"');
        m_cancel = true;
    } catch (...) {
        if (m_eventErr.isEmpty()) m_eventErr = QStringLiteral(" #") + QString::number(action) + QStringLiteral(" \"\"");
        m_cancel = true;
    }
    if (OnAfterCallback) {
        bool abort = m_cancel;
        try {
            OnAfterCallback(this, abort);
        } catch (...) {
            abort = true;
        }
        if (abort) m_cancel = true;
    } else {
        // Keeps the window alive without paying for a pump on every block.
        static QElapsedTimer pump;
        if (!pump.isValid() || pump.elapsed() >= 30) {
            pump.start();
            QCoreApplication::processEvents();
        }
    }
    return m_cancel;
}

// ---- Passwords ----

QString TZipArchiver::PasswordDialog(const QString& prompt, int buttons, int& modalResult) {
    QString title = ResourceText(PasswordCaption);
    if (title.isEmpty()) title = ZipMsgFallback(PasswordCaption);
    return Zip::Prompts().Password(title, prompt, buttons, modalResult);
}

QString TZipArchiver::GetAddPassword() {
    if (m_unattended) {
        ShowZipMessage(UnattendedAddWithoutPassword);
        m_passwordReply = 1;
        return QString();
    }
    int result = 0;
    const QString first = PasswordDialog(ZipMessage(PasswordPrompt), Zip::PasswordCancelButton, result);
    m_passwordReply = result == Zip::PasswordAccepted ? 0 : 1;
    if (result != Zip::PasswordAccepted || first.isEmpty()) return QString();
    const QString second = PasswordDialog(ZipMessage(PasswordConfirmPrompt), Zip::PasswordCancelButton, result);
    m_passwordReply = result == Zip::PasswordAccepted ? 0 : 1;
    if (result != Zip::PasswordAccepted || second.isEmpty()) return QString();
    if (first != second) {
        ShowZipMessage(PasswordsDiffer);
        return QString();
    }
    return first;
}

QString TZipArchiver::GetExtrPassword(int& replyCode) {
    if (m_unattended) {
        ShowZipMessage(UnattendedExtractWithoutPassword);
        replyCode = 1;
        return QString();
    }
    int result = 0;
    const QString entry =
        PasswordDialog(ZipMessage(PasswordPrompt), Zip::PasswordCancelButton | Zip::PasswordCancelAllButton, result);
    replyCode = result == Zip::PasswordAccepted ? 0 : result == Zip::PasswordRejected ? 1 : result;
    return result == Zip::PasswordAccepted ? entry : QString();
}
