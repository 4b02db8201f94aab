#include "content/tools/unitWizardForm.h"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "platform/UIServices.h"

TFRWizardForm::TFRWizardForm(const QString& name, const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    pcMain = new QStackedWidget(this);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    layout->addWidget(pcMain, 1);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    m_buttons = new QHBoxLayout;
    m_buttons->addStretch(1);
    m_buttons->addSpacing(12);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnHelp = new QPushButton(QStringLiteral("Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setEnabled(false);  // until the wizard has a help text
    m_buttons->addWidget(btnCancel);
    m_buttons->addWidget(btnHelp);
    layout->addLayout(m_buttons);
    setMinimumSize(480, 360);
    resize(560, 420);
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(btnHelp, &QPushButton::clicked, this,
            [this] { UIServices::ShowInformation(m_help, QStringLiteral("Mykotekshallen - Hjälp")); });
}

QWidget* TFRWizardForm::AddPage(const QString& name) {
    auto* page = new QWidget(pcMain);
    page->setObjectName(name);
    pcMain->addWidget(page);
    return page;
}

QPushButton* TFRWizardForm::AddButton(const QString& name, const QString& text) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    // Before the spacing that keeps "Avbryt" apart.
    m_buttons->insertWidget(m_buttons->count() - 3, button);
    return button;
}

QListWidget* TFRWizardForm::MakeFailureList(QWidget* page) {
    listFailures = new QListWidget(page);
    listFailures->setObjectName(QStringLiteral("listFailures"));
    listFailures->setSelectionMode(QAbstractItemView::NoSelection);
    // Long lines (a path, an address with its cause) wrap instead of scrolling sideways.
    listFailures->setWordWrap(true);
    listFailures->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listFailures->setResizeMode(QListView::Adjust);
    return listFailures;
}

void TFRWizardForm::ShowFailures(const QStringList& lines) {
    for (int i = listFailures->count(); i < lines.size(); ++i) listFailures->addItem(lines[i]);
    if (listFailures->count() > 0) listFailures->scrollToBottom();
    QCoreApplication::processEvents();
}

void TFRWizardForm::CloseWhenAsked() {
    if (m_closeWhenDone) QDialog::reject();
    m_closeWhenDone = false;
}

void TFRWizardForm::SetHelp(const QString& hint, const QString& text) {
    m_help = text;
    btnHelp->setToolTip(hint);
    btnHelp->setEnabled(!text.isEmpty());
}

void TFRWizardForm::reject() {
    if (Running()) {
        if (!Stopping())
            Stop();
        else
            m_closeWhenDone = true;
        return;
    }
    QDialog::reject();
}
