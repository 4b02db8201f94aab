// The quick selection dialog: the controls over the quick selection, the selection it builds,
// what every way of closing writes to the settings, clearing with and without locks, the
// refused group, the placement under the "Urval" button and a screenshot.
#include <QtTest>

#include <QPushButton>
#include <QScreen>

#include "content/FungiTestSupport.h"
#include "content/species/unitFungiSelection.h"
#include "controls/FREdits.h"
#include "controls/FRLocks.h"
#include "controls/FRMultiChoice.h"
#include "core/FRIniFile.h"
#include "core/SelLanguage.h"
#include "core/unitDMServices.h"
#include "platform/UIServices.h"

namespace {

struct SelectionFixture : FungiFixture {
    QString june, july, unfinished;
    SelectionFixture() {
        FieldValues a = CapFungus("Kantarell", "Cantharellus cibarius");
        SetValues(a, {{"Season", "000001000000"}, {"Occurence", "12000000"}, {"Habitat", "100100000000000"}});
        june = AddSpecies(a);
        FieldValues b = CapFungus("Karljohan", "Boletus edulis");
        SetValues(b, {{"Season", "000000100000"}});
        july = AddSpecies(b);
        FieldValues c = CapFungus("Flugsvamp", "Amanita muscaria");
        SetValues(c, {{"Season", "000001000000"}, {"FungiData", "UNCP"}});
        unfinished = AddSpecies(c);
        ui.AnswerBoxes(UIServices::TMsgResult::OK);
    }
    TQuickSelectionHandler& State() const { return TDMServices::Of(dm.get())->QuickSelection(); }
    QString Stored(const char* key) const {
        return settings->ReadString(QStringLiteral("QuickSelection/") + QLatin1String(key));
    }
};

}  // namespace

class TestFungiSelection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls_followTheQuickSelection();
    void execute_buildsTheSelection();
    void escape_writesButDoesNotRebuild();
    void clearFields_keepsLockedConditions_data();
    void clearFields_keepsLockedConditions();
    void cancelSelection_storesEmptySelection();
    void group_withQuote_data();
    void group_withQuote();
    void backspace_emptiesTheGroup();
    void placement_underTheButton();
    void screenshot();
};

void TestFungiSelection::controls_followTheQuickSelection() {
    SelectionFixture f;
    TQuickSelectionHandler& state = f.State();
    state.Complete = true;
    state.CompleteLocked = true;
    state.HasPicture = true;
    state.CountryPart = "10000001";
    state.Season = "000011000000";
    state.Habitat = "000000000000011";
    state.FungiGroup = "Soppar";
    const TQuickSelectionHandler before = state;
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(nullptr);
    QVERIFY(dialog.multicComplete->Selected(0));
    QVERIFY(dialog.lockComplete->Locked());
    QVERIFY(!dialog.multicSwedishName->Selected(0));
    QVERIFY(dialog.multicHasPicture->Selected(0));
    QCOMPARE(dialog.multicCountryPart->SelectionOrder(), (QList<int>{0, 7}));
    QCOMPARE(dialog.multicSeason->SelectionOrder(), (QList<int>{4, 5}));
    QCOMPARE(dialog.multicHabitat->SelectionOrder(), (QList<int>{13, 14}));
    QCOMPARE(dialog.editFungiGroup->text(), QString("Soppar"));
    // Read back unchanged, the state is the same.
    dialog.ReadControls();
    QVERIFY(state == before);
}

void TestFungiSelection::execute_buildsTheSelection() {
    SelectionFixture f;
    QCOMPARE(f.VisibleKeys().size(), 3);
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(nullptr);
    dialog.show();
    dialog.multicComplete->SetSelected(0, true);
    dialog.multicSeason->SetSelected(5, true);  // June
    dialog.btnExecute->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.Fungi()->Sel(), (QStringList{"(", "Str(FungiData = \"CPLD\")", "AND (", "Pos(Season,6 > 0)", ")", ")"}));
    QCOMPARE(f.VisibleKeys(), QStringList{f.june});
    QCOMPARE(f.Stored("Complete"), QString("1"));
    QCOMPARE(f.Stored("Season"), QString("000001000000"));
}

void TestFungiSelection::escape_writesButDoesNotRebuild() {
    SelectionFixture f;
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(nullptr);
    dialog.show();
    dialog.multicEdible->SetSelected(0, true);
    dialog.multicCountryPart->SetSelected(2, true);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(f.State().Edible);
    QCOMPARE(f.Stored("Edible"), QString("1"));
    QCOMPARE(f.Stored("CountryPart"), QString("00100000"));
    QVERIFY(f.settings->SelectSection("QuickSelection"));
    f.settings->CloseSection();
    // The species list is as it was.
    QVERIFY(f.Fungi()->Sel().isEmpty());
    QCOMPARE(f.VisibleKeys().size(), 3);
}

void TestFungiSelection::clearFields_keepsLockedConditions_data() {
    QTest::addColumn<bool>("completeLocked");
    QTest::addColumn<bool>("swedishLocked");
    QTest::newRow("complete locked") << true << false;
    QTest::newRow("Swedish name locked") << false << true;
    QTest::newRow("nothing locked") << false << false;
}

void TestFungiSelection::clearFields_keepsLockedConditions() {
    QFETCH(bool, completeLocked);
    QFETCH(bool, swedishLocked);
    SelectionFixture f;
    TQuickSelectionHandler& state = f.State();
    state.Complete = true;
    state.SwedishName = true;
    state.Edible = true;
    state.Season = "111000000000";
    state.FungiGroup = "Soppar";
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(nullptr);
    dialog.show();
    // The locks are set in the dialog itself.
    if (completeLocked) QTest::mouseClick(dialog.lockComplete, Qt::LeftButton);
    if (swedishLocked) QTest::mouseClick(dialog.lockSwedishName, Qt::LeftButton);
    dialog.btnClearFields->click();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.multicComplete->Selected(0), completeLocked);
    QCOMPARE(dialog.multicSwedishName->Selected(0), swedishLocked);
    QVERIFY(!dialog.multicEdible->Selected(0));
    QCOMPARE(dialog.multicSeason->SelectedCount(), 0);
    QVERIFY(dialog.editFungiGroup->text().isEmpty());
    dialog.btnClose->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(f.Stored("Complete"), QString(completeLocked ? "1" : "0"));
    QCOMPARE(f.Stored("CompleteLocked"), QString(completeLocked ? "1" : "0"));
    QCOMPARE(f.Stored("SwedishName"), QString(swedishLocked ? "1" : "0"));
    QCOMPARE(f.Stored("Season"), QString("000000000000"));
    // "Stäng" rebuilds nothing.
    QVERIFY(f.Fungi()->Sel().isEmpty());
}

void TestFungiSelection::cancelSelection_storesEmptySelection() {
    SelectionFixture f;
    TQuickSelectionHandler& state = f.State();
    state.Complete = true;
    state.CountryPart = "11000000";
    state.Season = "000001000000";
    state.Habitat = "100000000000000";
    state.FungiGroup = "Skivlingar";
    TDMServices::Of(f.dm.get())->BuildQuickSelection(false);
    QCOMPARE(f.VisibleKeys().size(), 1);
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(nullptr);
    dialog.show();
    dialog.btnCancelSelection->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(f.Stored("Complete"), QString("0"));
    QCOMPARE(f.Stored("CountryPart"), QString("00000000"));
    QCOMPARE(f.Stored("Season"), QString("000000000000"));
    QCOMPARE(f.Stored("Habitat"), QString("000000000000000"));
    QCOMPARE(f.Stored("FungiGroup"), QString());
    QVERIFY(f.Fungi()->Sel().isEmpty());
    QCOMPARE(f.VisibleKeys().size(), 3);
}

void TestFungiSelection::group_withQuote_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("listed group") << "Soppar" << QStringList{"Soppar", "Tickor"} << true;
    QTest::newRow("unlisted without quotes") << "Egna fynd" << QStringList{"Soppar"} << true;
    QTest::newRow("unlisted with a quote") << "Sopp\"ar" << QStringList{"Soppar"} << false;
    QTest::newRow("unlisted that ends the text") << "x\") OR (\"" << QStringList{"Soppar"} << false;
    QTest::newRow("listed with a quote") << "\"Citat\"" << QStringList{"\"Citat\""} << true;
}

void TestFungiSelection::group_withQuote() {
    QFETCH(QString, typed);
    QFETCH(QStringList, groups);
    QFETCH(bool, accepted);
    SelectionFixture f;
    f.State().FungiGroup = "Tickor";
    TformFungiSelection dialog(f.dm.get());
    dialog.editFungiGroup->SetItems(groups);
    dialog.Prepare(nullptr);
    dialog.show();
    dialog.editFungiGroup->setText(typed);
    UIServices::ClearMessageLog();
    dialog.btnExecute->click();
    if (accepted) {
        QVERIFY(!dialog.isVisible());
        QVERIFY(UIServices::MessageLog().isEmpty());
        QCOMPARE(f.State().FungiGroup, typed);
        QCOMPARE(f.Fungi()->Sel().value(1), "Str(FungiGroup = " + SelQuote(typed) + ")");
        return;
    }
    // Refused: said in Swedish, the dialog stays open and nothing is built or stored.
    QVERIFY(dialog.isVisible());
    QCOMPARE(UIServices::MessageLog().size(), 1);
    QCOMPARE(UIServices::MessageLog().first().Text, QString::fromUtf8(RefusedGroupText).arg(typed));
    QVERIFY(f.Fungi()->Sel().isEmpty());
    // Closing some other way keeps the group that was there.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(f.State().FungiGroup, QString("Tickor"));
    QCOMPARE(f.Stored("FungiGroup"), QString("Tickor"));
}

void TestFungiSelection::backspace_emptiesTheGroup() {
    SelectionFixture f;
    f.State().FungiGroup = "Kremlor och riskor";
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(nullptr);
    dialog.show();
    dialog.editFungiGroup->setCursorPosition(4);
    QTest::keyClick(dialog.editFungiGroup, Qt::Key_Backspace);
    QVERIFY(dialog.editFungiGroup->text().isEmpty());
    // Other keys edit as usual.
    QTest::keyClicks(dialog.editFungiGroup, "Tickor");
    QCOMPARE(dialog.editFungiGroup->text(), QString("Tickor"));
}

void TestFungiSelection::placement_underTheButton() {
    SelectionFixture f;
    f.screen->Activate(QString());
    QPushButton* button = f.Frame()->btnSelection;
    QVERIFY(button->isVisible());
    // Opened from the frame, the dialog lies under the button.
    QPoint at;
    QString caption;
    f.ui.Dialogs([&](QDialog* d) {
        if (auto* dialog = qobject_cast<TformFungiSelection*>(d)) {
            at = dialog->pos();
            caption = dialog->windowTitle();
            dialog->btnExecute->click();
        }
    });
    button->click();
    QCOMPARE(caption, QString("Mykotekshallen - Urval"));
    const QRect area = button->screen()->availableGeometry();
    const QPoint wanted = button->mapToGlobal(QPoint(0, button->height())) - QPoint(2, 2);
    TformFungiSelection probe(f.dm.get());
    probe.Prepare(nullptr);
    const bool fits =
        wanted.x() + probe.width() <= area.right() + 1 && wanted.y() + probe.height() <= area.bottom() + 1;
    if (fits) QCOMPARE(at, wanted);
    QVERIFY(area.contains(QRect(at, probe.size())));

    // An anchor in the screen's bottom right corner keeps the dialog on the screen.
    QWidget corner;
    corner.setGeometry(area.right() - 40, area.bottom() - 30, 40, 20);
    corner.show();
    TformFungiSelection dialog(f.dm.get());
    dialog.Prepare(&corner);
    QVERIFY(area.contains(QRect(dialog.pos(), dialog.size())));
}

void TestFungiSelection::screenshot() {
    SelectionFixture f;
    TQuickSelectionHandler& state = f.State();
    state.Complete = true;
    state.CompleteLocked = true;
    state.Season = "000001110000";
    state.CountryPart = "11100000";
    state.Habitat = "100100010000000";
    state.FungiGroup = "Kantareller";
    TformFungiSelection dialog(f.dm.get());
    dialog.editFungiGroup->SetItems({"Kantareller", "Soppar", "Kremlor och riskor", "Flugsvampar"});
    dialog.Prepare(nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // It fits the smallest screen the program runs on.
    QVERIFY(dialog.width() <= 800 && dialog.height() <= 600);
    QVERIFY(dialog.grab().save(testsupport::ArtefactDir() + "/fungi_selection.png"));
    dialog.editFungiGroup->setFocus();
    dialog.editFungiGroup->DropDown();
    QVERIFY(dialog.grab().save(testsupport::ArtefactDir() + "/fungi_selection_groups.png"));
}

QTEST_MAIN(TestFungiSelection)
#include "tst_fungiselection.moc"
