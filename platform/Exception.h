#pragma once
// The one exception base class of the program: it carries the message text that the
// standard error box shows. Every operation that fails raises it (or a subclass) with
// its exact text.
#include <QString>
#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
