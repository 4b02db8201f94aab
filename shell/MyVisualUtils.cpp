#include "shell/MyVisualUtils.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// ---- Tab key state ----

class TabKeyWatch : public QObject {
public:
    bool down = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                const auto* key = static_cast<QKeyEvent*>(event);
                if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && !key->isAutoRepeat())
                    down = event->type() == QEvent::KeyPress;
                break;
            }
            case QEvent::ApplicationDeactivate:
                // The release may go to another program.
                down = false;
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

TabKeyWatch* tabKeyWatch = nullptr;

void installTabKeyWatch() {
    if (tabKeyWatch || !QCoreApplication::instance()) return;
    tabKeyWatch = new TabKeyWatch;
    tabKeyWatch->setParent(QCoreApplication::instance());
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { tabKeyWatch = nullptr; });
    QCoreApplication::instance()->installEventFilter(tabKeyWatch);
}

}  // namespace

// Installed at start so that the first Tab press is already seen.
Q_COREAPP_STARTUP_FUNCTION(installTabKeyWatch)

// The key state as the window system has it at this moment (none without a GUI).
static Qt::KeyboardModifiers modifiersNow() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return Qt::NoModifier;
    return QGuiApplication::queryKeyboardModifiers();
}

bool IsCtrlDown() { return modifiersNow().testFlag(Qt::ControlModifier); }

bool IsShiftDown() { return modifiersNow().testFlag(Qt::ShiftModifier); }

bool IsTabDown() {
    installTabKeyWatch();
    return tabKeyWatch && tabKeyWatch->down;
}

void GetWrappedLine(const QFontMetrics& metrics, int maxWidth, QString& text, QString& line) {
    // At ", " the break is the blank's: the comma stays on the line and the blank goes.
    enum class Break { None, Blank, Dash };
    Break kind = Break::None;
    qsizetype at = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (; i < n; ++i) {
        const QChar c = text[i];
        // A line break ends the line at once; a bare "\n" counts as one too.
        if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))) {
            line = text.left(i);
            text = text.mid(i + (c == QLatin1Char('\r') ? 2 : 1));
            return;
        }
        // A blank is a break even when it would itself overflow: it is dropped.
        if (c == QLatin1Char(' ')) {
            kind = Break::Blank;
            at = i;
        }
        if (metrics.horizontalAdvance(text.left(i + 1)) > maxWidth) break;
        if (c == QLatin1Char('-')) {
            kind = Break::Dash;
            at = i;
        }
    }
    if (i >= n) {
        line = text;
        text.clear();
        return;
    }
    switch (kind) {
        case Break::Blank:
            line = text.left(at);
            text = text.mid(at + 1);
            return;
        case Break::Dash:
            line = text.left(at + 1);
            text = text.mid(at + 1);
            return;
        case Break::None:
            break;
    }
    // No break within the width: cut after the last character that fits, at least one,
    // never inside a surrogate pair.
    qsizetype cut = std::max<qsizetype>(i, 1);
    if (cut < n && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate()) ++cut;
    line = text.left(cut);
    text = text.mid(cut);
}

void GetWrappedLine(QPainter& canvas, int maxWidth, QString& text, QString& line) {
    GetWrappedLine(canvas.fontMetrics(), maxWidth, text, line);
}

void FitDialogToScreen(QWidget* dialog, const QRect& available, QSize preferred) {
    if (!preferred.isValid()) preferred = dialog->property("preferredSize").toSize();
    if (preferred.isValid())
        dialog->setProperty("preferredSize", preferred);
    else
        preferred = dialog->sizeHint();
    // The title bar and frame need room of their own.
    const QSize room = (available.size() - QSize(16, 48)).expandedTo(QSize(1, 1));
    const QSize size = preferred.expandedTo(dialog->minimumSizeHint()).boundedTo(room);
    dialog->resize(size);
    dialog->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void FitDialogToScreen(QWidget* dialog, QSize preferred) {
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (screen) FitDialogToScreen(dialog, screen->availableGeometry(), preferred);
}
