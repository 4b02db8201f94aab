#pragma once
// How a library module talks back to its caller: one callback record per call, filled
// here, read back after the call. Once the caller has asked to abort, the module stops at
// its next check.
#include <QByteArray>
#include <QString>
#include <cstring>

#include "platform/ziplibs/ZipLibApi.h"

namespace zipcommon {

class TReporter {
public:
    TReporter(ZipCallbackFn callback, void* caller, bool isZip)
        : m_callback(callback), m_caller(caller), m_isZip(isZip) {}

    // Sends one action; the record as the caller left it stays in Last().
    const CallbackRec& Send(int32_t action, int32_t first = 0, int64_t second = 0, const QString& text = QString()) {
        std::memset(&m_rec, 0, sizeof m_rec);
        m_rec.Component = m_caller;
        m_rec.Version = ziplibs::LibVersion;
        m_rec.FromZipLib = m_isZip ? 1 : 0;
        m_rec.Action = action;
        m_rec.FirstValue = first;
        m_rec.SecondValue = second;
        QByteArray bytes = text.toUtf8();
        if (bytes.size() > ZipCallbackTextSize - 1) bytes.truncate(ZipCallbackTextSize - 1);
        std::memcpy(m_rec.Text, bytes.constData(), size_t(bytes.size()));
        if (m_callback && m_callback(&m_rec) != 0) m_aborted = true;
        m_rec.Text[ZipCallbackTextSize - 1] = '\0';
        return m_rec;
    }

    // A message: code 0 is information, 1-255 an error (the last error is remembered).
    void Message(int32_t code, const QString& text) {
        if (code != 0) m_lastError = code;
        Send(ziplibs::ActMessage, code, 0, text);
    }

    const CallbackRec& Last() const { return m_rec; }
    QString LastText() const { return QString::fromUtf8(m_rec.Text); }
    bool Aborted() const { return m_aborted; }
    void SetAborted() { m_aborted = true; }
    int32_t LastError() const { return m_lastError; }

private:
    ZipCallbackFn m_callback;
    void* m_caller;
    bool m_isZip;
    bool m_aborted = false;
    int32_t m_lastError = 0;
    CallbackRec m_rec{};
};

// A text of a command record (UTF-8), empty for nullptr.
inline QString RecText(const char* text) { return text ? QString::fromUtf8(text) : QString(); }

}  // namespace zipcommon
