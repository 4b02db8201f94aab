#include <QtTest>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/ProgramLock.h"
#include "platform/UIServices.h"

using namespace UIServices;
Q_DECLARE_METATYPE(UIServices::TMsgButtons)
Q_DECLARE_METATYPE(UIServices::TMsgResult)
Q_DECLARE_METATYPE(UIServices::TMsgIcon)

namespace {
// A small dialog as the program builds them: an edit and OK/Cancel.
class NameDialog : public QDialog {
public:
    NameDialog() {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        edit->setObjectName("editName");
        layout->addWidget(edit);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }
    QLineEdit* edit;
    int shows = 0;

protected:
    void showEvent(QShowEvent* e) override {
        ++shows;
        QDialog::showEvent(e);
    }
};
}  // namespace

class TestUIServices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        SetMessageHook({});
        SetDialogHook({});
        SetChooserHook({});
        ClearMessageLog();
        ClearChooserLog();
    }

    void hookAnswersEveryBox_data() {
        QTest::addColumn<TMsgButtons>("buttons");
        QTest::addColumn<TMsgResult>("given");
        QTest::addColumn<TMsgResult>("expected");
        QTest::newRow("ok") << TMsgButtons::OK << TMsgResult::OK << TMsgResult::OK;
        QTest::newRow("yes") << TMsgButtons::YesNo << TMsgResult::Yes << TMsgResult::Yes;
        QTest::newRow("no") << TMsgButtons::YesNo << TMsgResult::No << TMsgResult::No;
        QTest::newRow("cancel of three") << TMsgButtons::YesNoCancel << TMsgResult::Cancel << TMsgResult::Cancel;
        QTest::newRow("no of three") << TMsgButtons::YesNoCancel << TMsgResult::No << TMsgResult::No;
        QTest::newRow("ok of ok/cancel") << TMsgButtons::OKCancel << TMsgResult::OK << TMsgResult::OK;
        // An answer the box has no button for counts as closing the box.
        QTest::newRow("cancel to yes/no") << TMsgButtons::YesNo << TMsgResult::Cancel << TMsgResult::No;
        QTest::newRow("yes to ok/cancel") << TMsgButtons::OKCancel << TMsgResult::Yes << TMsgResult::Cancel;
    }
    void hookAnswersEveryBox() {
        QFETCH(TMsgButtons, buttons);
        QFETCH(TMsgResult, given);
        QFETCH(TMsgResult, expected);
        TShownMessage seen;
        SetMessageHook([&](const TShownMessage& m) {
            seen = m;
            return given;
        });
        QCOMPARE(MessageBox(TMsgIcon::Warning, buttons, "Radera", "Vill du radera posten?"), expected);
        QCOMPARE(seen.Caption, QString("Radera"));
        QCOMPARE(seen.Text, QString("Vill du radera posten?"));
        QCOMPARE(seen.Icon, TMsgIcon::Warning);
        QCOMPARE(seen.Buttons, buttons);
        QCOMPARE(MessageLog().size(), 1);
        QCOMPARE(MessageLog().first().Answer, expected);
    }

    void shortFormsPassIconAndTitleCaption() {
        TApplication::SetTitle("Mykotekshallen");
        QList<TMsgResult> answers{TMsgResult::Yes, TMsgResult::No, TMsgResult::Cancel, TMsgResult::OK, TMsgResult::OK};
        SetMessageHook([&](const TShownMessage&) { return answers.takeFirst(); });
        QVERIFY(AskYesNo("Radera?", QString(), TMsgIcon::Warning));
        QVERIFY(!AskYesNo("Radera?"));
        QCOMPARE(AskYesNoCancel("Spara?"), TMsgResult::Cancel);
        ShowError("Fel");
        ShowInformation("Klart", "Export");
        const auto& log = MessageLog();
        QCOMPARE(log.size(), 5);
        QCOMPARE(log[0].Icon, TMsgIcon::Warning);
        QCOMPARE(log[1].Icon, TMsgIcon::Question);
        QCOMPARE(log[2].Buttons, TMsgButtons::YesNoCancel);
        QCOMPARE(log[3].Icon, TMsgIcon::Error);
        QCOMPARE(log[3].Caption, QString("Mykotekshallen"));
        QCOMPARE(log[4].Caption, QString("Export"));
        QCOMPARE(log[4].Icon, TMsgIcon::Information);
    }

    // Without a hook a real box is shown with Swedish buttons; press "Nej".
    void realBoxHasSwedishButtons_data() {
        QTest::addColumn<TMsgButtons>("buttons");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("press");
        QTest::addColumn<TMsgResult>("expected");
        QTest::newRow("yes/no") << TMsgButtons::YesNo << QStringList{"Ja", "Nej"} << "Nej" << TMsgResult::No;
        QTest::newRow("yes/no/cancel") << TMsgButtons::YesNoCancel << QStringList{"Ja", "Nej", "Avbryt"} << "Avbryt"
                                       << TMsgResult::Cancel;
        QTest::newRow("ok/cancel") << TMsgButtons::OKCancel << QStringList{"OK", "Avbryt"} << "OK" << TMsgResult::OK;
        QTest::newRow("ok") << TMsgButtons::OK << QStringList{"OK"} << "OK" << TMsgResult::OK;
    }
    // Twenty paragraphs (one per table) make a box of bounded height: the first paragraph as
    // the text, the rest in a scrolling area; the OK button has the focus.
    void longReportFitsTheScreen() {
        QStringList paragraphs;
        for (int i = 1; i <= 20; ++i)
            paragraphs
                << QStringLiteral("Tabellfilen \"/hem/greta/Data/Db/Tabell%1.dat\" är skadad: filen är tom").arg(i);
        QSize size;
        bool focused = false;
        QString head;
        QString detail;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            QTest::qWait(20);
            size = box->size();
            head = box->text();
            if (auto* details = box->findChild<QPlainTextEdit*>("details")) detail = details->toPlainText();
            focused = QApplication::focusWidget() == box->defaultButton();
            box->grab().save(testsupport::ArtefactDir() + "/messagebox_long_report.png");
            box->defaultButton()->click();
        });
        MessageBox(TMsgIcon::Error, TMsgButtons::OK, "Mykotekshallen", paragraphs.join("\n\n"));
        QCOMPARE(head, paragraphs.first());
        QCOMPARE(detail, paragraphs.mid(1).join("\n\n"));
        QVERIFY2(size.height() > 0 && size.height() < 560, qPrintable(QString::number(size.height())));
        QVERIFY(focused);
    }

    // A short text in a box whose caption is longer: the box leaves the title bar room for the
    // whole caption beside its buttons.
    void shortTextLeavesRoomForTheCaption() {
        int width = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            QTest::qWait(20);
            width = box->width();
            box->grab().save(testsupport::ArtefactDir() + "/messagebox_short_text.png");
            box->defaultButton()->click();
        });
        const QString caption = QStringLiteral("Mykotekshallen - Fel");
        MessageBox(TMsgIcon::Error, TMsgButtons::OK, caption, QStringLiteral("Ogiltigt datum"));
        QFont title = QApplication::font();
        title.setBold(true);
        QVERIFY2(width >= QFontMetrics(title).horizontalAdvance(caption) + 120, qPrintable(QString::number(width)));

        // The refusal of a second copy, its folder on a line of its own (looked at).
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            QTest::qWait(20);
            box->grab().save(testsupport::ArtefactDir() + "/messagebox_lock.png");
            box->defaultButton()->click();
        });
        MessageBox(TMsgIcon::Error, TMsgButtons::OK, caption,
                   TProgramLock::RefusedMessage(QStringLiteral("/home/greta/Program/Svampar/Mykotekshallen/")));
    }

    void realBoxHasSwedishButtons() {
        QFETCH(TMsgButtons, buttons);
        QFETCH(QStringList, texts);
        QFETCH(QString, press);
        QFETCH(TMsgResult, expected);
        QStringList seen;
        QString caption;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            caption = box->windowTitle();
            QAbstractButton* target = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                seen << b->text();
                if (b->text() == press) target = b;
            }
            if (target) target->click();
        });
        QCOMPARE(MessageBox(TMsgIcon::Question, buttons, "Fråga", "Text"), expected);
        seen.sort();
        texts.sort();
        QCOMPARE(seen, texts);
        QCOMPARE(caption, QString("Fråga"));
        QVERIFY(MessageLog().isEmpty());
    }

    void escapeClosesWithCancelOrNo() {
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(MessageBox(TMsgIcon::Question, TMsgButtons::YesNo, "F", "T"), TMsgResult::No);
    }

    void dialogHookFillsAndAccepts() {
        NameDialog dlg;
        SetDialogHook([](QDialog* d) {
            d->findChild<QLineEdit*>("editName")->setText("Kantarell");
            d->accept();
        });
        QCOMPARE(ExecDialog(&dlg), int(QDialog::Accepted));
        QCOMPARE(dlg.edit->text(), QString("Kantarell"));
        QCOMPARE(dlg.shows, 1);
        QVERIFY(!dlg.isVisible());
    }

    void dialogLeftUndecidedIsRejected() {
        NameDialog dlg;
        bool rejected = false;
        connect(&dlg, &QDialog::rejected, [&] { rejected = true; });
        SetDialogHook([](QDialog*) {});
        QCOMPARE(ExecDialog(&dlg), int(QDialog::Rejected));
        QVERIFY(rejected);
        QVERIFY(!dlg.isVisible());
        // An earlier accepted run does not carry over.
        SetDialogHook([](QDialog* d) { d->accept(); });
        QCOMPARE(ExecDialog(&dlg), int(QDialog::Accepted));
        SetDialogHook([](QDialog*) {});
        QCOMPARE(ExecDialog(&dlg), int(QDialog::Rejected));
    }

    void realDialogRunsModally() {
        NameDialog dlg;
        QTimer::singleShot(0, [&] {
            dlg.edit->setText("Karljohan");
            dlg.accept();
        });
        QCOMPARE(ExecDialog(&dlg), int(QDialog::Accepted));
        QCOMPARE(dlg.edit->text(), QString("Karljohan"));
    }

    void choosersAreAnsweredByTheHook() {
        SetChooserHook([](const TChooserRequest& r) {
            TChooserAnswer a;
            a.Accepted = r.Caption != "Avbryts";
            switch (r.Kind) {
                case TChooserKind::OpenFile:
                    a.Files = {"/tmp/a.jpg"};
                    break;
                case TChooserKind::OpenFiles:
                    a.Files = {"/tmp/a.jpg", "/tmp/b.jpg"};
                    break;
                case TChooserKind::SaveFile:
                    a.Files = {"/tmp/ut.txt"};
                    break;
                case TChooserKind::Folder:
                    a.Files = {"/tmp/mapp"};
                    break;
                case TChooserKind::Color:
                    a.Color = QColor(10, 20, 30);
                    break;
            }
            return a;
        });
        QCOMPARE(GetOpenFileName(nullptr, "Öppna bild", "/tmp", "Bilder (*.jpg)"), QString("/tmp/a.jpg"));
        QCOMPARE(GetOpenFileNames(nullptr, "Öppna", "/tmp", QString()).size(), 2);
        QCOMPARE(GetSaveFileName(nullptr, "Spara", "/tmp/x.txt", QString()), QString("/tmp/ut.txt"));
        QCOMPARE(GetExistingFolder(nullptr, "Välj mapp", QString()), QString("/tmp/mapp"));
        QColor c(Qt::red);
        QVERIFY(GetColor(nullptr, "Färg", c));
        QCOMPARE(c, QColor(10, 20, 30));
        QCOMPARE(GetOpenFileName(nullptr, "Avbryts", "/tmp", QString()), QString());
        QColor kept(Qt::green);
        QVERIFY(!GetColor(nullptr, "Avbryts", kept));
        QCOMPARE(kept, QColor(Qt::green));

        const auto& log = ChooserLog();
        QCOMPARE(log.size(), 7);
        QCOMPARE(log[0].Kind, TChooserKind::OpenFile);
        QCOMPARE(log[0].Folder, QString("/tmp"));
        QCOMPARE(log[0].Filter, QString("Bilder (*.jpg)"));
        QCOMPARE(log[4].Color, QColor(Qt::red));
    }

    // An exception raised in an event handler is shown captioned with the title; the
    // events after it are handled as usual.
    void exceptionInEventIsShownAndProgramGoesOn_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("program exception") << 0 << "Ogiltig eller orimlig hattstorlek.";
        QTest::newRow("standard exception") << 1 << "bad thing";
    }
    void exceptionInEventIsShownAndProgramGoesOn() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        TApplication::SetTitle("Mykotekshallen");
        SetMessageHook([](const TShownMessage&) { return TMsgResult::OK; });
        bool after = false;
        QPushButton button;
        connect(&button, &QPushButton::clicked, [&] {
            if (kind == 0) throw Exception(text);
            throw std::runtime_error(text.toStdString());
        });
        QTimer::singleShot(0, &button, [&] { button.click(); });
        QTimer::singleShot(1, [&] { after = true; });
        QTRY_VERIFY(after);
        QCOMPARE(MessageLog().size(), 1);
        const TShownMessage m = MessageLog().first();
        QCOMPARE(m.Caption, QString("Mykotekshallen"));
        QCOMPARE(m.Text, text);
        QCOMPARE(m.Icon, TMsgIcon::Error);
        QCOMPARE(m.Buttons, TMsgButtons::OK);
        // The same handler raising again is shown again.
        QTimer::singleShot(0, &button, [&] { button.click(); });
        QTRY_COMPARE(MessageLog().size(), 2);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    TestUIServices test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_uiservices.moc"
