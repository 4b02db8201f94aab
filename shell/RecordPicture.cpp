#include "shell/RecordPicture.h"
#include "platform/PictureFit.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>

#include "core/FRIniFile.h"
#include "shell/MyVisualUtils.h"
#include "core/ProgramFolders.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

const QString kPictureFilter = QStringLiteral("Bildfiler (*.bmp *.jpg);;Alla filer (*.*)");
const QString kFolderKey = QStringLiteral("Settings/UserPicFolder");

}  // namespace

void TRecordPicture::Load(const QString& file) {
    QImage picture;
    if (!file.isEmpty()) picture.load(file);
    if (picture.isNull()) picture.load(GetNoPicFoundFile());
    m_picture = picture;
}

void TRecordPicture::Take(const QImage& source) {
    QImage fitted;
    DrawPictureFit(source, fitted, MaxWidth, true, MaxHeight);
    m_picture = fitted;
    m_replaced = true;
    m_removed = false;
}

void TRecordPicture::Remove() {
    m_replaced = false;
    m_removed = true;
    QImage stock;
    stock.load(GetNoPicFoundFile());
    m_picture = stock;
}

void TRecordPicture::ShowIn(QLabel* label) const {
    if (m_picture.isNull()) {
        label->setPixmap(QPixmap());
        label->setText(QStringLiteral("Ingen bild"));
    } else {
        label->setText(QString());
        label->setPixmap(
            QPixmap::fromImage(m_picture.scaled(label->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
}

TPendingFile TRecordPicture::PrepareFile(const QString& file, bool hasPic) const {
    TPendingFile pending;
    if (hasPic) {
        if (!m_replaced) return pending;
        QByteArray bytes;
        QBuffer buffer(&bytes);
        const QString failure = QStringLiteral("Bilden kunde inte sparas i \"%1\"");
        if (!buffer.open(QIODevice::WriteOnly) || !m_picture.save(&buffer, "JPG", 75))
            throw Exception(failure.arg(QDir::toNativeSeparators(file)));
        pending.Write(file, bytes, failure);
    } else if (m_removed) {
        pending.Remove(file);
    }
    return pending;
}

QImage TRecordPicture::PickFromFile(QWidget* parent, TFRIniFile* settings) {
    QString folder;
    // Never written before: the dialog opens in its own default folder.
    if (settings) folder = settings->ReadString(kFolderKey, QString());
    const QString file = UIServices::GetOpenFileName(parent, QStringLiteral("Välj bild"), folder, kPictureFilter);
    if (file.isEmpty()) return QImage();
    try {
        if (settings) settings->WriteString(kFolderKey, QFileInfo(file).absolutePath());
    } catch (const Exception&) {
        // The folder is only remembered for the next time.
    }
    QImage source;
    if (!source.load(file))
        throw Exception(QStringLiteral("Filen \"%1\" kunde inte läsas som bild").arg(QDir::toNativeSeparators(file)));
    return source;
}

bool TRecordPicture::ClipboardHasPicture() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasImage();
}

QImage TRecordPicture::FromClipboard() {
    return ClipboardHasPicture() ? QGuiApplication::clipboard()->image() : QImage();
}

namespace {
bool TakeInto(TRecordPicture& picture, const QImage& source, QLabel* label, TField* hasPic) {
    if (source.isNull()) return false;
    picture.Take(source);
    picture.ShowIn(label);
    hasPic->SetAsBoolean(true);
    return true;
}
}  // namespace

bool TRecordPicture::TakeFromFile(QWidget* parent, TFRIniFile* settings, QLabel* label, TField* hasPic) {
    return TakeInto(*this, PickFromFile(parent, settings), label, hasPic);
}

bool TRecordPicture::TakeFromClipboard(QLabel* label, TField* hasPic) {
    return TakeInto(*this, FromClipboard(), label, hasPic);
}

void TRecordPicture::RemoveFrom(QLabel* label, TField* hasPic) {
    hasPic->SetAsBoolean(false);
    Remove();
    ShowIn(label);
}
