#include <QtTest>

#include <QImage>

#include "shell/RecordPicture.h"
#include "support/TestSupport.h"

// What an edit of a record's picture does to its file once the record is stored.
class TestRecordPicture : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void fileFollowsTheEdit_data() {
        QTest::addColumn<QString>("edit");  // picture steps: t = take a new one, r = remove
        QTest::addColumn<bool>("hasPic");  // the record's flag when it is stored
        QTest::addColumn<QString>("expect");  // "old", "new" or "gone"
        QTest::newRow("nothing changed, picture kept") << "" << true << "old";
        QTest::newRow("nothing changed, record without picture") << "" << false << "old";
        QTest::newRow("new picture") << "t" << true << "new";
        QTest::newRow("removed") << "r" << false << "gone";
        QTest::newRow("new picture, then removed") << "tr" << false << "gone";
        QTest::newRow("removed, then a new picture") << "rt" << true << "new";
    }
    void fileFollowsTheEdit() {
        QFETCH(QString, edit);
        QFETCH(bool, hasPic);
        QFETCH(QString, expect);
        const QString target = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + "/US1.jpg");
        QVERIFY(testsupport::WriteBytes(target, "gammal bild"));

        QImage wide(960, 480, QImage::Format_RGB32);
        wide.fill(Qt::darkGreen);
        TRecordPicture picture;
        for (const QChar step : edit) {
            if (step == 't')
                picture.Take(wide);
            else
                picture.Remove();
        }
        QCOMPARE(picture.Changed(), !edit.isEmpty());

        TPendingFile file = picture.PrepareFile(target, hasPic);
        QCOMPARE(file.Pending(), expect != "old");
        // Nothing changes before the record is stored.
        QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
        file.Commit();

        if (expect == "old") {
            QCOMPARE(testsupport::ReadBytes(target), QByteArray("gammal bild"));
        } else if (expect == "gone") {
            QVERIFY(!QFileInfo::exists(target));
        } else {
            // A JPEG at most 192 x 240, the source's proportions kept.
            QImage stored;
            QVERIFY(stored.load(target, "JPG"));
            QCOMPARE(stored.size(), QSize(192, 96));
        }

        picture.Reset();
        QVERIFY(!picture.Changed());
        QVERIFY(!picture.PrepareFile(target, hasPic).Pending());
    }
};

QTEST_MAIN(TestRecordPicture)
#include "tst_recordpicture.moc"
