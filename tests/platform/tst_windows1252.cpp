#include <QtTest>

#include "platform/Windows1252.h"

// The one Windows-1252 table that settings files, map sheet titles, script files and zip entry
// names are read through.
class TestWindows1252 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decodes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QByteArray("Kantarell") << QStringLiteral("Kantarell");
        QTest::newRow("latin-1 letters") << QByteArray("\xC5\xC4\xD6\xE5\xE4\xF6") << QStringLiteral("ÅÄÖåäö");
        QTest::newRow("own characters") << QByteArray("\x80\x96\x9A\x9F") << QStringLiteral("€–šŸ");
        QTest::newRow("unused codes stand for themselves")
            << QByteArray("\x81\x8D\x8F\x90\x9D") << QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D");
        QTest::newRow("nul and no-break space") << QByteArray("a\0\xA0", 3) << QString::fromUtf16(u"a\0\u00A0", 3);
    }
    void decodes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Windows1252::Decode(bytes), text);
    }

    // Every code comes back as itself, so a file read and written again keeps its bytes.
    void every_code_round_trips() {
        for (int code = 0; code < 256; ++code) {
            const char16_t c = Windows1252::ToUnicode(uchar(code));
            unsigned char back = 0;
            QVERIFY2(Windows1252::FromUnicode(c, back), qPrintable(QString::number(code)));
            QCOMPARE(int(back), code);
        }
    }

    void refuses_what_it_cannot_hold() {
        unsigned char code = 7;
        // Characters of Latin-1's 0x80..0x9F that Windows-1252 puts elsewhere, and beyond.
        for (char16_t c : {char16_t(0x80), char16_t(0x96), char16_t(0x0100), char16_t(0x2212), char16_t(0xFFFD)})
            QVERIFY2(!Windows1252::FromUnicode(c, code), qPrintable(QString::number(c, 16)));
    }
};

QTEST_GUILESS_MAIN(TestWindows1252)
#include "tst_windows1252.moc"
