#include <QtTest>
#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>

#include "ScreenTestHost.h"
#include "UserTestSupport.h"
#include "shell/MyVisualUtils.h"
#include "shell/unitFirstUser.h"
#include "shell/unitFrameUsers.h"
#include "shell/unitLogin.h"
#include "shell/unitUserScreen.h"
#include "support/TestSupport.h"

namespace {

QString nameOf(const QWidget* w) {
    return QStringLiteral("%1 \"%2\"").arg(QLatin1String(w->metaObject()->className()), w->objectName());
}

// What does not fit in a window: a widget outside it, a text wider than its widget, a
// list entry wider than its list, an edit too narrow to type in.
QStringList Misfits(QWidget* window) {
    QStringList found;
    const QRect inside = window->rect();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->isWindow()) continue;
        // What lies in a scrolling area may lie outside; the area itself is checked.
        bool scrolled = false;
        for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
            if (qobject_cast<QAbstractScrollArea*>(p)) scrolled = true;
        if (scrolled) continue;
        const QRect at(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!inside.contains(at)) found << QStringLiteral("%1 lies outside the window").arg(nameOf(w));
        // Nor does a widget lie over one of its visible brothers.
        if (QWidget* parent = w->parentWidget(); parent && !qobject_cast<QAbstractScrollArea*>(parent))
            for (QObject* o : parent->children())
                if (auto* other = qobject_cast<QWidget*>(o); other && other != w && other > w && !other->isWindow() &&
                    other->isVisibleTo(window) && other->geometry().intersects(w->geometry()))
                    found << QStringLiteral("%1 and %2 overlap").arg(nameOf(w), nameOf(other));
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (!label->wordWrap() && !label->text().isEmpty() && label->sizeHint().width() > label->width())
                found << QStringLiteral("%1 cuts \"%2\"").arg(nameOf(w), label->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // The text and a little room on each side (a style's minimum button width is no cut).
            const int needed = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&'))) + 8;
            if (!button->text().isEmpty() && needed > button->width())
                found << QStringLiteral("%1 cuts \"%2\"").arg(nameOf(w), button->text());
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            if (edit->width() < 140) found << QStringLiteral("%1 is %2 px wide").arg(nameOf(w)).arg(edit->width());
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            const QFontMetrics fm(list->font());
            for (int i = 0; i < list->count(); ++i)
                if (fm.horizontalAdvance(list->item(i)->text()) + 8 > list->viewport()->width())
                    found << QStringLiteral("%1 cuts \"%2\"").arg(nameOf(w), list->item(i)->text());
        }
    }
    return found;
}

void Shoot(QWidget* window, const QString& name) {
    QVERIFY(window->grab().save(testsupport::ArtefactDir() + "/" + name + ".png"));
}

}  // namespace

class TestFormsFit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizes_data() {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("800x600") << QSize(800, 600);
        QTest::newRow("1280x1024") << QSize(1280, 1024);
    }

    // The users screen in a main window of the screen's size.
    void usersScreen_data() { sizes_data(); }
    void usersScreen() {
        QFETCH(QSize, screen);
        UserFixture f;
        const QString anna = f.AddUser("Anna Andersson", "anna", true);
        f.AddUser("Bertil Blek", "svamp");
        TestMainWindow window;
        window.panelMainMenu->setFixedWidth(169);  // as wide as the real menu column
        window.resize(screen);
        window.show();
        auto* screenObject = static_cast<TFRUserScreen*>(CreateUserScreen(&window));
        QVERIFY(LocateUKey(f.Users(), anna));
        SelectCurrentUser();
        screenObject->Activate(QString());
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QApplication::processEvents();
        Shoot(&window, QStringLiteral("users_screen_%1x%2").arg(screen.width()).arg(screen.height()));
        const QStringList misfits = Misfits(&window);
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join('\n')));
        // The list uses the room a larger screen gives.
        TframeUsers* frame = screenObject->UsersFrame();
        if (screen.width() >= 1280) QVERIFY(frame->listboxUsers->width() > 200);
    }

    void firstUserDialog_data() { sizes_data(); }
    void firstUserDialog() {
        QFETCH(QSize, screen);
        UserFixture f;
        TformCreateFirstUser form;
        FitDialogToScreen(&form, QRect(QPoint(0, 0), screen));
        QVERIFY(form.width() <= screen.width() && form.height() <= screen.height());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::processEvents();
        Shoot(&form, QStringLiteral("first_user_%1x%2").arg(screen.width()).arg(screen.height()));
        // The welcome text is shown whole, not cut at the foot of a small box.
        QLabel* info = form.frameUsers->lblFirstUserInfo;
        QVERIFY(info->isVisible());
        const int shown = info->visibleRegion().boundingRect().height();
        QVERIFY2(shown >= info->heightForWidth(info->width()),
                 qPrintable(QStringLiteral("%1 < %2").arg(shown).arg(info->heightForWidth(info->width()))));
        const QStringList misfits = Misfits(&form);
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join('\n')));
        QCOMPARE(form.focusWidget(), form.frameUsers->dbeditUserName);
        form.frameUsers->btnCancelClick();
    }

    void loginDialog_data() { sizes_data(); }
    void loginDialog() {
        QFETCH(QSize, screen);
        UserFixture f;
        f.AddUser("Anna Andersson", "anna", true);
        f.AddUser("Bertil Blek", "svamp");
        TformLoginUser form;
        FitDialogToScreen(&form, QRect(QPoint(0, 0), screen));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QApplication::processEvents();
        Shoot(&form, QStringLiteral("login_%1x%2").arg(screen.width()).arg(screen.height()));
        const QStringList misfits = Misfits(&form);
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join('\n')));
        QVERIFY(form.width() <= screen.width() && form.height() <= screen.height());
    }
};

QTEST_MAIN(TestFormsFit)
#include "tst_formsfit.moc"
