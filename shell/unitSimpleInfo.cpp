#include "shell/unitSimpleInfo.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>

#include "platform/Clock.h"
#include "platform/UIServices.h"

QPointer<TformSimpleInfo> formSimpleInfo;

namespace {

// A small mushroom drawn in code, the window's picture at the left.
QPixmap infoPicture() {
    const int w = 64, h = 80;
    QPixmap pix(w, h);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    // stem
    QPainterPath stem;
    stem.moveTo(25, 40);
    stem.cubicTo(23, 58, 20, 70, 19, 76);
    stem.lineTo(45, 76);
    stem.cubicTo(44, 70, 41, 58, 39, 40);
    stem.closeSubpath();
    p.setPen(QPen(QColor(120, 100, 70), 1.5));
    p.setBrush(QColor(238, 228, 205));
    p.drawPath(stem);
    // cap
    QPainterPath cap;
    cap.moveTo(3, 42);
    cap.cubicTo(4, 12, 60, 12, 61, 42);
    cap.cubicTo(44, 47, 20, 47, 3, 42);
    cap.closeSubpath();
    p.setPen(QPen(QColor(110, 50, 20), 1.5));
    p.setBrush(QColor(176, 82, 38));
    p.drawPath(cap);
    // spots
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 240, 225));
    p.drawEllipse(QPointF(20, 28), 4, 3);
    p.drawEllipse(QPointF(36, 22), 5, 3.5);
    p.drawEllipse(QPointF(49, 32), 3.5, 2.5);
    return pix;
}

}  // namespace

TformSimpleInfo::TformSimpleInfo(const QString& version, QWidget* parent) : QWidget(parent) {
    SetupForm(version);
    m_boxWatcher = UIServices::AddMessageBoxWatcher([this](bool showing) { MessageBoxShowing(showing); });
}

TformSimpleInfo::~TformSimpleInfo() {
    UIServices::RemoveMessageBoxWatcher(m_boxWatcher);
    RestoreCursor();
}

void TformSimpleInfo::MessageBoxShowing(bool showing) {
    if (showing) {
        if (m_boxDepth++ > 0 || !isVisible()) return;
        m_steppedAside = true;
        m_hidingForBox = true;
        QWidget::setVisible(false);
        m_hidingForBox = false;
        // The box is answered with the ordinary pointer, and a box over the main window
        // must not share its being disabled while a timed text shows.
        m_busyBeforeBox = m_busyCursor;
        RestoreCursor();
        m_mainEnabledForBox = m_mainWindow && !m_mainWindow->isEnabled();
        if (m_mainEnabledForBox) m_mainWindow->setEnabled(true);
        return;
    }
    if (m_boxDepth == 0 || --m_boxDepth > 0 || !m_steppedAside) return;
    // The work goes on after the box: the window comes back as it was.
    m_steppedAside = false;
    if (m_mainEnabledForBox && m_mainWindow) m_mainWindow->setEnabled(false);
    m_mainEnabledForBox = false;
    QWidget::setVisible(true);
    repaint();
    if (m_busyBeforeBox) SetBusyCursor();
}

void TformSimpleInfo::SetupForm(const QString& version) {
    setObjectName(QStringLiteral("formSimpleInfo"));
    // A tool window with a title but no border icons, above every other window.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Mykotekshallen - v") + version);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);

    imageInfo = new QLabel(this);
    imageInfo->setObjectName(QStringLiteral("imageInfo"));
    imageInfo->setPixmap(infoPicture());
    imageInfo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    imageInfo->setFixedWidth(72);
    layout->addWidget(imageInfo);

    memoInfo = new QPlainTextEdit(this);
    memoInfo->setObjectName(QStringLiteral("memoInfo"));
    memoInfo->setReadOnly(true);
    memoInfo->setFocusPolicy(Qt::NoFocus);
    memoInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoInfo->setTextInteractionFlags(Qt::NoTextInteraction);
    layout->addWidget(memoInfo, 1);

    setFixedSize(440, 160);
}

void TformSimpleInfo::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    // Centred on the screen it shows on.
    QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    if (scr) {
        const QRect area = scr->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TformSimpleInfo::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A window manager's minimising is no hide of ours, and standing aside for a box keeps
    // the lines for the window's return.
    if (!event->spontaneous() && !m_hidingForBox) FormHide();
}

void TformSimpleInfo::FormHide() {
    RestoreCursor();
    if (m_mainWindow) m_mainWindow->setEnabled(true);
    m_lines.clear();
    ShowLines();
}

void TformSimpleInfo::SetBusyCursor() {
    if (m_busyCursor || !qApp) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busyCursor = true;
}

void TformSimpleInfo::RestoreCursor() {
    if (!m_busyCursor) return;
    m_busyCursor = false;
    if (qApp) QApplication::restoreOverrideCursor();
}

void TformSimpleInfo::AddLine(const QString& text) {
    if (!m_lines.isEmpty() && m_lines.last() == text) return;
    m_lines.append(text);
}

void TformSimpleInfo::DeleteLastLine() {
    if (!m_lines.isEmpty()) m_lines.removeLast();
}

void TformSimpleInfo::ShowLines() {
    memoInfo->setPlainText(m_lines.join(QLatin1Char('\n')));
    memoInfo->verticalScrollBar()->setValue(memoInfo->verticalScrollBar()->maximum());
}

void TformSimpleInfo::WaitForHeldText() {
    if (!m_holding) return;
    m_holding = false;
    const quint64 until = m_holdUntil;
    while (!Clock::SkipWaits() && QCoreApplication::instance()) {
        const quint64 now = Clock::TickCount();
        if (now > until) break;
        Clock::Wait(int(until - now + 1));
    }
}

void TformSimpleInfo::setVisible(bool visible) {
    if (m_steppedAside) {
        // Hidden or shown for good while a box stands in its place: the box no longer
        // brings it back.
        m_steppedAside = false;
        m_mainEnabledForBox = false;
        if (!visible) {
            m_holding = false;
            FormHide();
            return;
        }
    }
    if (!visible && isVisible()) WaitForHeldText();
    if (!visible) m_holding = false;
    QWidget::setVisible(visible);
}

void TformSimpleInfo::AddInfo(const QString& text) {
    SetBusyCursor();

    const qsizetype comma = text.indexOf(QLatin1Char(','));
    bool timed = false;
    int milliseconds = 0;
    if (comma >= 0) milliseconds = text.left(comma).toInt(&timed);

    // The text before stays its time before another joins or replaces it.
    WaitForHeldText();
    if (!timed) {
        // A plain text, or one whose prefix is no number: shown whole, without waiting.
        AddLine(text);
        ShowLines();
        if (isHidden()) show();
        repaint();
        return;
    }

    QString rest = text.mid(comma + 1);
    if (rest.startsWith(QLatin1Char('*'))) {
        rest.remove(0, 1);
        DeleteLastLine();
    }
    AddLine(rest);
    ShowLines();
    if (isHidden()) {
        if (m_mainWindow) m_mainWindow->setEnabled(false);
        show();
    }
    repaint();

    // The time counts from now, while the work the text announces runs; the pending events
    // are processed once.
    m_holdUntil = Clock::TickCount() + quint64(qMax(milliseconds, 0));
    m_holding = true;
    Clock::Wait(0);
}
