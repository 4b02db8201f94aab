// The shared helpers of the tests: where a test run leaves its artefacts.
#include <QtTest>

#include "support/TestSupport.h"

class TestTestSupport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void artefactsGoToTheBuildFolder() {
        const QByteArray buildDir = qgetenv("MYKO_BUILD_DIR");
        QTemporaryDir build;
        qputenv("MYKO_BUILD_DIR", QFile::encodeName(build.path()));
        const QString dir = testsupport::ArtefactDir();
        qputenv("MYKO_BUILD_DIR", buildDir);
        QCOMPARE(dir, build.path() + "/artefacts");
        QVERIFY(QFileInfo(dir).isDir());
    }

    // Started by hand in a source tree (no build folder given), a test leaves nothing in the
    // folder it was started from.
    void artefactsNeverGoToTheCurrentFolder() {
        const QByteArray buildDir = qgetenv("MYKO_BUILD_DIR");
        const QString startedIn = QDir::currentPath();
        QTemporaryDir source;
        QVERIFY(QDir::setCurrent(source.path()));
        qunsetenv("MYKO_BUILD_DIR");
        const QString dir = testsupport::ArtefactDir();
        QDir::setCurrent(startedIn);
        qputenv("MYKO_BUILD_DIR", buildDir);
        QVERIFY2(!dir.startsWith(source.path()), qPrintable(dir));
        QVERIFY(QDir(source.path()).isEmpty());
        QVERIFY(QFileInfo(dir).isDir());
    }
};

QTEST_GUILESS_MAIN(TestTestSupport)
#include "tst_testsupport.moc"
