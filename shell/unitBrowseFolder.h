#pragma once
// The folder browser: a tree of folders to pick one from. Root 0 ("rfMyComputer") is the
// file system's root with the user's home folder selected; root 1 ("rfNetwork") holds the
// mounted network and removable volumes, or the file system's root when there are none.
// Folders cannot be renamed in the tree.
#include <QDialog>
#include <QPointer>
#include <QStringList>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TformBrowseFolder : public QDialog {
    Q_OBJECT
public:
    enum TRootFolder { rfMyComputer = 0, rfNetwork = 1 };

    explicit TformBrowseFolder(QWidget* parent = nullptr);

    // Empties the folder, captions the dialog (an empty caption keeps "Sökväg till
    // filplats"), shows the tree from the root and runs the dialog. After OK the folder is
    // the selected folder's path and true is returned; cancelled, the folder stays empty.
    bool Execute(const QString& caption, int root, QString& folder);

    // Whether a mounted volume is one of the network or removable ones that root 1 shows,
    // by its file system type and where it is mounted.
    static bool IsNetworkOrRemovable(const QByteArray& fileSystemType, const QString& rootPath);
    // The root paths of the mounted network and removable volumes.
    static QStringList NetworkVolumes();

    // Fills the tree for a root (the tree's top items) and selects its start folder.
    void ShowRoot(int root);
    // The paths of the tree's top items.
    QStringList RootPaths() const;
    // Opens the tree down to a folder and selects it; false when it is not in the tree.
    bool SelectPath(const QString& path);
    // The selected folder's path, empty when none is selected.
    QString SelectedPath() const;

    QTreeWidget* shelltreeviewMain = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;

private:
    void SetupForm();
    QTreeWidgetItem* AddFolder(QTreeWidgetItem* parent, const QString& path, const QString& text);
    void FillChildren(QTreeWidgetItem* item);
    void btnHelpClick();
};

// The one folder browser of the program, made at start-up.
extern QPointer<TformBrowseFolder> formBrowseFolder;
