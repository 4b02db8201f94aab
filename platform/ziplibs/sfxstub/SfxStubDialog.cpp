#include "platform/ziplibs/sfxstub/SfxStubDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

TSfxFolderDialog::TSfxFolderDialog(const QString& caption, const QString& folder, int fileCount, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        fileCount == 1 ? QStringLiteral("Arkivet innehåller 1 fil. Packa upp den till mappen:")
                       : QStringLiteral("Arkivet innehåller %1 filer. Packa upp dem till mappen:").arg(fileCount)));
    auto* row = new QHBoxLayout;
    m_folder = new QLineEdit(folder);
    m_folder->setMinimumWidth(360);
    auto* browse = new QPushButton(QStringLiteral("Bläddra…"));
    row->addWidget(m_folder, 1);
    row->addWidget(browse);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(QStringLiteral("Packa upp"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Avbryt"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, QStringLiteral("Välj mapp att packa upp till"), m_folder->text());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Välj"));
        dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Avbryt"));
        dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Sök i:"));
        dialog.setLabelText(QFileDialog::FileName, QStringLiteral("Mapp:"));
        dialog.setLabelText(QFileDialog::FileType, QStringLiteral("Typ:"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            m_folder->setText(dialog.selectedFiles().first());
    });
}

QString TSfxFolderDialog::Folder() const { return m_folder->text().trimmed(); }

namespace sfxui {

void Tell(const QString& caption, const QString& text, bool error) {
    QMessageBox box(error ? QMessageBox::Warning : QMessageBox::Information, caption, text);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

bool Confirm(const QString& caption, const QString& text, bool okCancel) {
    QMessageBox box(okCancel ? QMessageBox::Information : QMessageBox::Question, caption, text);
    QPushButton* yes = box.addButton(okCancel ? QStringLiteral("OK") : QStringLiteral("Ja"), QMessageBox::YesRole);
    box.addButton(okCancel ? QStringLiteral("Avbryt") : QStringLiteral("Nej"), QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes;
}

int AskOverwrite(const QString& caption, const QString& file) {
    QMessageBox box(QMessageBox::Question, caption,
                    QStringLiteral("Filen \"%1\" finns redan. Vill du skriva över den?").arg(file));
    QPushButton* yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Nej"), QMessageBox::NoRole);
    QPushButton* all = box.addButton(QStringLiteral("Ja till alla"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Nej till alla"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.exec();
    return box.clickedButton() == yes ? 1 : box.clickedButton() == no ? 0 : box.clickedButton() == all ? 2 : 3;
}

QString AskPassword(const QString& caption, const QString& file, bool* ok) {
    QInputDialog dialog;
    dialog.setWindowTitle(caption);
    dialog.setLabelText(QStringLiteral("Lösenord för \"%1\":").arg(file));
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Avbryt"));
    *ok = dialog.exec() == QDialog::Accepted;
    return dialog.textValue();
}

}  // namespace sfxui
