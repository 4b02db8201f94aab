#include <QtTest>
#include <QApplication>
#include <QWidget>
#include "support/TestSupport.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "shell/FRFormPlacement.h"
#include "core/FRIniFile.h"

namespace {

QByteArray readBytes(const QString& path) { return testsupport::ReadBytes(path); }

QString failureOf(const std::function<void()>& action) { return testsupport::FailureText(action); }

}  // namespace

class TestFormPlacement : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A store opened on a file holding the given text, with the program's defaults.
    std::unique_ptr<TFRIniFile> storeOn(const QString& name, const QByteArray& content) {
        return testsupport::IniStoreOn(path(name), content);
    }

private Q_SLOTS:
    void noWindow() {
        TFRIniFile store;
        QCOMPARE(failureOf([&] { SaveFormPlacement(store, nullptr, "x"); }), QStringLiteral("Fönsterpekare är NIL"));
        QCOMPARE(LoadFormPlacement(store, nullptr), false);
    }

    void formPlacementRoundTrip() {
        TFRIniFile store;
        store.SetFilename(path("form.ini"));
        store.Open();
        QWidget form;
        form.setObjectName("formFRMain");
        form.setGeometry(40, 50, 320, 240);
        SaveFormPlacement(store, &form, "formFRMain");
        QCOMPARE(store.ReadInteger("formFRMain/Left"), 40);
        QCOMPARE(store.ReadInteger("formFRMain/Top"), 50);
        QCOMPARE(store.ReadInteger("formFRMain/Width"), 320);
        QCOMPARE(store.ReadInteger("formFRMain/Height"), 240);
        QCOMPARE(store.ReadInteger("formFRMain/WindowState"), 0);

        QWidget again;
        again.setObjectName("formFRMain");
        again.setGeometry(0, 0, 100, 100);
        QVERIFY(LoadFormPlacement(store, &again));
        QCOMPARE(again.geometry(), QRect(40, 50, 320, 240));
        QVERIFY(!again.isMaximized());
        QCOMPARE(store.ActiveSection(), QString());
    }

    void formPlacementIsSane_data() {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("minimized comes back normal")
            << QByteArray("Left=10\nTop=10\nWidth=200\nHeight=150\nWindowState=1\n") << true << false;
        QTest::newRow("maximized") << QByteArray("Left=10\nTop=10\nWidth=200\nHeight=150\nWindowState=2\n") << true
                                   << true;
        QTest::newRow("far off the screen")
            << QByteArray("Left=-90000\nTop=70000\nWidth=90000\nHeight=150\nWindowState=0\n") << true << false;
        QTest::newRow("missing key") << QByteArray("Left=10\nTop=10\nWidth=200\nHeight=150\n") << false << false;
        QTest::newRow("not a number") << QByteArray("Left=x\nTop=10\nWidth=200\nHeight=150\nWindowState=0\n") << false
                                      << false;
        QTest::newRow("no size") << QByteArray("Left=10\nTop=10\nWidth=0\nHeight=150\nWindowState=0\n") << false
                                 << false;
    }
    void formPlacementIsSane() {
        QFETCH(QByteArray, section);
        QFETCH(bool, loaded);
        QFETCH(bool, maximized);
        auto store = storeOn("placement.ini", "[formTest]\n" + section + "\n");
        QWidget form;
        form.setObjectName("formTest");
        form.setGeometry(5, 6, 70, 80);
        form.setWindowState(Qt::WindowMinimized);
        QCOMPARE(LoadFormPlacement(*store, &form), loaded);
        if (!loaded) {
            QCOMPARE(form.geometry(), QRect(5, 6, 70, 80));
            QVERIFY(form.isMinimized());
            return;
        }
        QVERIFY(!form.isMinimized());
        QCOMPARE(form.isMaximized(), maximized);
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(avail.contains(form.normalGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(form.normalGeometry().x())
                                .arg(form.normalGeometry().y())
                                .arg(form.normalGeometry().width())
                                .arg(form.normalGeometry().height())));
    }

    // A placement made on a larger screen, restored before the window is shown (its frame not
    // yet known) on the 800 x 600 screen: the whole window, title bar and frame, is on it.
    void placementFromALargerScreenKeepsTheFrameOnScreen_data() {
        QTest::addColumn<QByteArray>("section");
        QTest::newRow("larger than the screen")
            << QByteArray("Left=100\nTop=80\nWidth=1200\nHeight=900\nWindowState=0\n");
        QTest::newRow("client at the corner") << QByteArray("Left=0\nTop=0\nWidth=640\nHeight=480\nWindowState=0\n");
        QTest::newRow("beyond the bottom right")
            << QByteArray("Left=1500\nTop=1100\nWidth=500\nHeight=400\nWindowState=0\n");
    }
    void placementFromALargerScreenKeepsTheFrameOnScreen() {
        QFETCH(QByteArray, section);
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(avail.size(), QSize(800, 600));
        auto store = storeOn("larger.ini", "[formFRMain]\n" + section + "\n");
        QWidget form;
        form.setObjectName("formFRMain");
        QVERIFY(LoadFormPlacement(*store, &form));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.frameGeometry() != form.geometry());
        QVERIFY2(avail.contains(form.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(form.frameGeometry().x())
                                .arg(form.frameGeometry().y())
                                .arg(form.frameGeometry().width())
                                .arg(form.frameGeometry().height())));
    }

    // A squeezed or partly hidden window does not overwrite the user's own placement.
    void placementOffTheScreenIsNotSaved() {
        auto store =
            storeOn("offscreen.ini", "[formFRMain]\nLeft=30\nTop=20\nWidth=700\nHeight=480\nWindowState=0\n\n");
        const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget form;
        form.setObjectName("formFRMain");
        form.setGeometry(avail.left() + 10, avail.top() - 30, 400, 300);  // title bar above the screen
        SaveFormPlacement(*store, &form, "formFRMain");
        form.setGeometry(avail.left(), avail.top(), avail.width() + 50, 300);  // wider than the screen
        SaveFormPlacement(*store, &form, "formFRMain");
        QCOMPARE(store->ReadInteger("formFRMain/Left"), 30);
        QCOMPARE(store->ReadInteger("formFRMain/Width"), 700);
        // One that lies on the screen is saved as before.
        form.setGeometry(avail.left() + 5, avail.top() + 6, 300, 200);
        SaveFormPlacement(*store, &form, "formFRMain");
        QCOMPARE(store->ReadInteger("formFRMain/Left"), avail.left() + 5);
        QCOMPARE(store->ReadInteger("formFRMain/Width"), 300);
    }

    void placementOfAFormWithoutSectionChangesNothing() {
        auto store = storeOn("nosection.ini", "[A]\nx=1\n\n");
        QWidget form;
        form.setObjectName("formUnknown");
        form.setGeometry(5, 6, 70, 80);
        QVERIFY(!LoadFormPlacement(*store, &form));
        QCOMPARE(form.geometry(), QRect(5, 6, 70, 80));
        store->Flush();
        QCOMPARE(readBytes(path("nosection.ini")), QByteArray("[A]\nx=1\n\n"));
    }
};

// On an 800 x 600 screen (the offscreen platform's own is 800 x 800), with window frames.
int main(int argc, char** argv) {
    const QString config = QDir::tempPath() + QStringLiteral("/myko_tst_formplacement_screen.json");
    {
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
        file.write(R"({"windowFrameMargins": true, "screens": [{"name": "Skärm", "x": 0, "y": 0, "width": 800, )"
                   R"("height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TestFormPlacement test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_formplacement.moc"
