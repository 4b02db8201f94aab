// The toolkit's print dialog and standard buttons speak Swedish; texts of other parts of the
// toolkit are left as they are.
#include <QAbstractButton>
#include <QComboBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "platform/ToolkitTexts.h"
#include "support/TestSupport.h"

namespace {

// Every text the dialog shows, mnemonics removed.
QStringList ShownTexts(const QWidget* dialog) {
    QStringList texts;
    auto add = [&texts](QString text) { texts << text.remove(QLatin1Char('&')); };
    for (const QLabel* l : dialog->findChildren<QLabel*>())
        if (l->isVisibleTo(dialog)) add(l->text());
    for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(dialog)) add(b->text());
    for (const QGroupBox* g : dialog->findChildren<QGroupBox*>())
        if (g->isVisibleTo(dialog)) add(g->title());
    for (const QComboBox* c : dialog->findChildren<QComboBox*>())
        if (c->isVisibleTo(dialog))
            for (int i = 0; i < c->count(); ++i) add(c->itemText(i));
    return texts;
}

}  // namespace

class TestToolkitTexts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { InstallSwedishToolkitTexts(QCoreApplication::instance()); }

    void printDialogIsSwedish() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPrintDialog dialog(&printer);
        dialog.setWindowTitle(QStringLiteral("Skriv ut"));
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintShowPageSize);
        dialog.setMinMax(1, 5);
        dialog.show();
        QCoreApplication::processEvents();
        QVERIFY(dialog.grab().save(testsupport::ArtefactDir() + "/printdialog.png"));

        // The options open below.
        QPushButton* options = nullptr;
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->text().remove('&').startsWith("Alternativ")) options = b;
        QVERIFY(options);
        options->click();
        QCoreApplication::processEvents();
        QVERIFY(dialog.grab().save(testsupport::ArtefactDir() + "/printdialog_options.png"));

        const QStringList shown = ShownTexts(&dialog);
        for (const char* swedish : {"Skriv ut", "Avbryt", "Skrivare", "Namn:", "Skriv ut till fil (PDF)",
                                    "Kopior:", "Utskriftsintervall", "Sidor från", "till"})
            QVERIFY2(shown.contains(QString::fromUtf8(swedish)), swedish);
        for (const char* english : {"Print", "Cancel", "Printer", "Name:", "Properties", "Location:", "Type:",
                                    "Output file:", "Options >>", "Options <<", "Copies:", "Print range", "Print all",
                                    "Collate", "Reverse", "Color", "Grayscale", "Pages from", "to"})
            QVERIFY2(!shown.contains(QString::fromLatin1(english)), english);
        dialog.reject();
    }

    // The printer's properties, opened from the print dialog: its tabs are Swedish too.
    void printerPropertiesAreSwedish() {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPrintDialog dialog(&printer);
        dialog.show();
        QCoreApplication::processEvents();
        QPushButton* properties = nullptr;
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->text().remove('&') == QStringLiteral("Egenskaper")) properties = b;
        QVERIFY(properties);
        QVERIFY(properties->isEnabled());
        QStringList tabs;
        bool opened = false;
        QTimer::singleShot(0, [&] {
            QWidget* shown = QApplication::activeModalWidget();
            if (!shown || shown == &dialog) return;
            opened = true;
            for (const QTabWidget* t : shown->findChildren<QTabWidget*>())
                for (int i = 0; i < t->count(); ++i)
                    if (t->isTabVisible(i)) tabs << t->tabText(i).remove('&');
            shown->grab().save(testsupport::ArtefactDir() + "/printerproperties.png");
            shown->close();
        });
        properties->click();
        QVERIFY(opened);
        QVERIFY2(tabs.contains(QStringLiteral("Sida")), qPrintable(tabs.join(',')));
        for (const char* english : {"Page", "Advanced", "Job Options"})
            QVERIFY2(!tabs.contains(QString::fromLatin1(english)), english);
        dialog.reject();
    }

    void choosersAreSwedish() {
        QFileDialog files(nullptr, QStringLiteral("Välj bild"), QDir::tempPath(), QStringLiteral("Bilder (*.jpg)"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.show();
        QCoreApplication::processEvents();
        QVERIFY(files.grab().save(testsupport::ArtefactDir() + "/filechooser.png"));
        QStringList shown = ShownTexts(&files);
        for (const char* swedish : {"Leta i:", "Filtyp:", "Öppna", "Avbryt"})
            QVERIFY2(shown.contains(QString::fromUtf8(swedish)), swedish);
        for (const char* english : {"Look in:", "Files of type:", "Open", "Cancel", "File name:"})
            QVERIFY2(!shown.contains(QString::fromLatin1(english)), english);

        QColorDialog colours;
        colours.show();
        QCoreApplication::processEvents();
        QVERIFY(colours.grab().save(testsupport::ArtefactDir() + "/colourchooser.png"));
        shown = ShownTexts(&colours);
        QVERIFY(shown.contains(QString::fromUtf8("Hämta färg från skärmen")));
        for (const char* english : {"Pick Screen Color", "Basic colors", "Custom colors", "Cancel"})
            QVERIFY2(!shown.contains(QString::fromLatin1(english)), english);
    }

    void otherTextsStayAsTheyAre() {
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Avbryt"));
        QCOMPARE(QCoreApplication::translate("TframeFungi", "Reverse"), QString("Reverse"));
        QCOMPARE(QCoreApplication::translate("QProgram", "to"), QString("to"));
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "not a toolkit text"), QString("not a toolkit text"));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("Avbryt"));
    }
};

QTEST_MAIN(TestToolkitTexts)
#include "tst_toolkittexts.moc"
