#include <QtTest>
#include "support/TestSupport.h"

#include "platform/Clock.h"
#include "script/QSPrinter.h"
#include "script/QSScript.h"

class TestQSPrinter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deviceMode_data() {
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<double>("customX");
        QTest::addColumn<double>("customY");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("deviceOrientation");
        QTest::newRow("A4 landscape") << 1 << 1 << 0.0 << 0.0 << 9 << 2970 << 2100 << 2;
        QTest::newRow("A3 landscape") << 0 << 1 << 0.0 << 0.0 << 8 << 4200 << 2970 << 2;
        QTest::newRow("A5 portrait") << 2 << 0 << 0.0 << 0.0 << 11 << 1485 << 2100 << 1;
        // A custom page keeps the code the printer had.
        QTest::newRow("custom") << 3 << 0 << 100.0 << 150.0 << 9 << 1000 << 1500 << 1;
    }
    void deviceMode() {
        QFETCH(int, paperSize);
        QFETCH(int, orientation);
        QFETCH(double, customX);
        QFETCH(double, customY);
        TQSScript script;
        TQSScriptSettings* settings = script.Root()->GetScriptSettings();
        settings->SetPaperSize(paperSize);
        settings->SetOrientation(orientation);
        if (paperSize == 3) {
            settings->SetValue("PrintSizeX", QString::number(customX));
            settings->SetValue("PrintSizeY", QString::number(customY));
        }
        TQSPRNData data;
        data.SetTarget(std::make_unique<TQSRecordingTarget>());
        data.SetupPrinter(*settings);
        const TQSDeviceMode mode = data.Target()->DeviceMode();
        QTEST(mode.PaperCode, "code");
        QTEST(mode.PaperWidth, "width");
        QTEST(mode.PaperLength, "length");
        QTEST(mode.Orientation, "deviceOrientation");
    }

    void deviceValues() {
        TQSScript script;
        TQSPRNData data;
        data.SetTarget(std::make_unique<TQSRecordingTarget>(600, QPoint(100, 50)));
        data.SetupPrinter(*script.Root()->GetScriptSettings());
        QCOMPARE(data.DPIX, 600);
        QVERIFY(qAbs(data.OffsetX - 4.2333) < 1e-3);
        QVERIFY(qAbs(data.OffsetY - 2.1167) < 1e-3);
        QCOMPARE(data.PrintableWidth, 210.0);
    }

    void brokenDeviceFallsBack() {
        TQSScript script;
        TQSPRNData data;
        data.FallbackTarget = [] { return std::make_unique<TQSRecordingTarget>(300); };
        data.SetTarget(std::make_unique<TQSRecordingTarget>(0));
        data.SetupPrinter(*script.Root()->GetScriptSettings());
        QCOMPARE(data.DPIX, 300);
        QCOMPARE(data.Target()->DeviceMode().PaperCode, TQSDeviceMode::kA4);
    }

    void printerByIndex() {
        TQSScript script;
        script.Root()->GetScriptSettings()->SetOrientation(1);
        TQSPRNData& data = script.ExecData().PrinterData;
        QList<int> asked;
        data.PrinterFactory = [&](int index) {
            asked << index;
            return std::make_unique<TQSRecordingTarget>(300 * (index + 1), QPoint(10, 20));
        };
        data.SetPrinterIndex(1);
        QCOMPARE(asked, QList<int>{1});
        QCOMPARE(data.DPIX, 600);
        const TQSDeviceMode mode = data.Target()->DeviceMode();
        QCOMPARE(mode.Orientation, TQSDeviceMode::kLandscape);
        QCOMPARE(mode.PaperWidth, 2970);
        QCOMPARE(mode.PaperLength, 2100);
        // A reset sets the chosen printer up again from the script.
        script.Root()->GetScriptSettings()->SetPaperSize(2);
        script.Reset();
        QCOMPARE(data.Target()->DeviceMode().PaperCode, TQSDeviceMode::kA5);
    }

    void job() {
        Clock::SetFixedNow(QDateTime(QDate(2004, 3, 5), QTime(18, 0)));
        TQSPRNData data;
        auto* target = new TQSRecordingTarget;
        data.SetTarget(std::unique_ptr<TQSPrintTarget>(target));
        QCOMPARE(target->Canvas(), nullptr);
        data.BeginDoc("Mykotekshallen - Artlista");
        QVERIFY(target->Canvas());
        data.NewPage();
        data.EndDoc();
        QCOMPARE(target->Job, QStringList({"begin Mykotekshallen - Artlista", "page", "end"}));
        QCOMPARE(data.PrintTime, 38051.75);
        Clock::SetFixedNow(std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestQSPrinter)
#include "tst_qsprinter.moc"
