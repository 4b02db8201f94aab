#include "shell/FRFormPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "core/FRIniFile.h"

namespace {

// The placement rectangle moved and shrunk so that the whole window, frame included,
// lies on the available area of the screen it mostly lies on.
QRect keptOnScreen(QRect rect, const QMargins& frame) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* best = nullptr;
    qint64 bestArea = 0;
    const QRect outer = rect.marginsAdded(frame);
    for (QScreen* screen : screens) {
        const QRect common = screen->availableGeometry().intersected(outer);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    if (!best) best = QGuiApplication::primaryScreen();
    if (!best) return rect;
    const QRect avail = best->availableGeometry().marginsRemoved(frame);
    if (avail.width() <= 0 || avail.height() <= 0) return rect;
    rect.setWidth(std::min(rect.width(), avail.width()));
    rect.setHeight(std::min(rect.height(), avail.height()));
    rect.moveLeft(std::clamp(rect.left(), avail.left(), avail.left() + avail.width() - rect.width()));
    rect.moveTop(std::clamp(rect.top(), avail.top(), avail.top() + avail.height() - rect.height()));
    return rect;
}

// The window frame around the client area (nothing before the window is shown).
QMargins frameOf(const QWidget* form) {
    return QMargins(form->geometry().left() - form->frameGeometry().left(),
                    form->geometry().top() - form->frameGeometry().top(),
                    form->frameGeometry().right() - form->geometry().right(),
                    form->frameGeometry().bottom() - form->geometry().bottom());
}

// The frame a window will get, where the window system has not told it yet (a window not
// shown): room for a title bar and borders, so that the title bar stays on the screen.
QMargins expectedFrameOf(const QWidget* form) {
    const QMargins frame = frameOf(form);
    if (!frame.isNull() || !form->isWindow() || form->windowFlags().testFlag(Qt::FramelessWindowHint)) return frame;
    return QMargins(8, 40, 8, 8);
}

bool fitsAScreen(const QRect& outer) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return true;
    return std::any_of(screens.cbegin(), screens.cend(),
                       [&](const QScreen* s) { return s->availableGeometry().contains(outer); });
}

}  // namespace

void SaveFormPlacement(TFRIniFile& store, QWidget* form, const QString& section) {
    if (!form) throw Exception(FRIniErrorText(TFRIniError::FormIsNil));
    try {
        store.SelectSection(section);
        QRect normal = form->normalGeometry();
        if (!normal.isValid()) normal = form->geometry();
        const int state = form->isMinimized() ? 1 : (form->isMaximized() || form->isFullScreen()) ? 2 : 0;
        // A window that does not lie whole on a screen (squeezed onto a small one, its title
        // bar off the top) does not overwrite the placement the user chose.
        if (!fitsAScreen(normal.marginsAdded(frameOf(form)))) {
            store.CloseSection();
            return;
        }
        store.WriteInteger(QStringLiteral("Left"), normal.x());
        store.WriteInteger(QStringLiteral("Top"), normal.y());
        store.WriteInteger(QStringLiteral("Width"), normal.width());
        store.WriteInteger(QStringLiteral("Height"), normal.height());
        store.WriteInteger(QStringLiteral("WindowState"), state);
    } catch (const Exception&) {
        store.CloseSection();
        throw Exception(FRIniErrorText(TFRIniError::SaveFormPlacement));
    }
    store.CloseSection();
}

bool LoadFormPlacement(TFRIniFile& store, QWidget* form) {
    if (!form) return false;
    if (!store.SelectSection(form->objectName())) {
        store.CloseSection();
        return false;
    }
    int left = 0, top = 0, width = 0, height = 0, state = 0;
    try {
        left = store.ReadInteger(QStringLiteral("Left"));
        top = store.ReadInteger(QStringLiteral("Top"));
        width = store.ReadInteger(QStringLiteral("Width"));
        height = store.ReadInteger(QStringLiteral("Height"));
        state = store.ReadInteger(QStringLiteral("WindowState"));
    } catch (const Exception&) {
        store.CloseSection();
        return false;
    }
    store.CloseSection();
    if (width <= 0 || height <= 0) return false;

    const QRect rect = keptOnScreen(QRect(left, top, width, height), expectedFrameOf(form));
    // The normal geometry is set while the window is in normal state; a minimized
    // window comes back normal.
    const Qt::WindowStates others =
        form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    form->setWindowState(others);
    form->setGeometry(rect);
    if (state == 2) form->setWindowState(others | Qt::WindowMaximized);
    return true;
}
