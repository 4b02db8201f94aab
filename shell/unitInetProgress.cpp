#include "shell/unitInetProgress.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <limits>

TformInetProgress::TformInetProgress(TFRIConnection* connection, QWidget* parent)
    : QWidget(parent), m_connection(connection) {
    SetupForm();
}

void TformInetProgress::SetupForm() {
    setObjectName(QStringLiteral("formInetProgress"));
    // A small tool window with only the system-menu icon.
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint);
    setAttribute(Qt::WA_ShowWithoutActivating, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);

    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    layout->addWidget(lblInfo);

    progbarMain = new QProgressBar(this);
    progbarMain->setObjectName(QStringLiteral("progbarMain"));
    progbarMain->setRange(0, 0);
    progbarMain->setTextVisible(false);
    layout->addWidget(progbarMain);

    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        if (m_connection) m_connection->Disconnect();
    });

    setMinimumWidth(360);
}

void TformInetProgress::SetCaption(const QString& text) { setWindowTitle(text); }

void TformInetProgress::SetInfo(const QString& text) { lblInfo->setText(text); }

int TformInetProgress::Scaled(qint64 bytes) const {
    return static_cast<int>(qBound(qint64(0), bytes / m_unit, qint64(std::numeric_limits<int>::max())));
}

void TformInetProgress::SetMaximum(qint64 maximum) {
    m_unit = 1;
    while (maximum / m_unit > std::numeric_limits<int>::max()) m_unit *= 1024;
    // An unknown size (0) makes the bar a busy indicator.
    progbarMain->setRange(0, Scaled(maximum));
}

void TformInetProgress::SetPosition(qint64 position) {
    if (progbarMain->maximum() > 0) progbarMain->setValue(qMin(Scaled(position), progbarMain->maximum()));
    update();
}

void TformInetProgress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    if (scr) {
        const QRect area = scr->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void TformInetProgress::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Losing the focus while visible repaints it, so a window above it leaves no trace.
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow()) update();
}

void InstallInetProgress(TFRIConnection& connection) {
    TFRIConnectionUI ui;
    ui.CreateProgress = [](TFRIConnection& owner) -> std::unique_ptr<TInetProgressView> {
        auto window = std::make_unique<TformInetProgress>(&owner);
        window->show();
        return window;
    };
    ui.SetBusyCursor = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    connection.SetUI(std::move(ui));
}
