#pragma once
// The self-extractor's one window: the folder to unpack into, with a browse button.
#include <QDialog>

class QLineEdit;

class TSfxFolderDialog : public QDialog {
public:
    TSfxFolderDialog(const QString& caption, const QString& folder, int fileCount, QWidget* parent = nullptr);
    QString Folder() const;

private:
    QLineEdit* m_folder;
};

// Questions in a message box with Swedish buttons. Ask: 1 yes, 0 no, 2 yes to all, 3 no to all.
namespace sfxui {
void Tell(const QString& caption, const QString& text, bool error = false);
bool Confirm(const QString& caption, const QString& text, bool okCancel = false);
int AskOverwrite(const QString& caption, const QString& file);
QString AskPassword(const QString& caption, const QString& file, bool* ok);
}  // namespace sfxui
