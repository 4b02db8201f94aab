// Random bytes as a whole script file. Only the program's Exception may come out; a file that
// is read is written and read again to the same bytes.
#include <cstdint>
#include <cstdlib>

#include <QBuffer>

#include "platform/Clock.h"
#include "script/QSScript.h"

namespace {

QByteArray Save(const TQSScript& script) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    script.SaveToStream(buffer);
    return buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The blocks carry the time of writing; both writes must see the same.
    static const bool fixed = (Clock::SetFixedNow(QDateTime(QDate(2024, 1, 1), QTime(12, 0))), true);
    (void)fixed;
    QBuffer input;
    input.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    input.open(QIODevice::ReadOnly);
    TQSScript script;
    try {
        script.LoadFromStream(input);
    } catch (const Exception&) {
        return 0;
    }
    const QByteArray first = Save(script);
    TQSScript again;
    QBuffer written;
    written.setData(first);
    written.open(QIODevice::ReadOnly);
    try {
        again.LoadFromStream(written);
    } catch (const Exception&) {
        std::abort();
    }
    if (Save(again) != first) std::abort();
    return 0;
}
