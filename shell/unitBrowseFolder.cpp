#include "shell/unitBrowseFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controls/FRGuard.h"
#include "platform/UIServices.h"

QPointer<TformBrowseFolder> formBrowseFolder;

namespace {

const int kPathRole = Qt::UserRole;
const int kFilledRole = Qt::UserRole + 1;
const char* const kDefaultCaption = "Sökväg till filplats";

}  // namespace

TformBrowseFolder::TformBrowseFolder(QWidget* parent) : QDialog(parent) { SetupForm(); }

void TformBrowseFolder::SetupForm() {
    setObjectName(QStringLiteral("formBrowseFolder"));
    setWindowTitle(QString::fromUtf8(kDefaultCaption));
    setModal(true);
    resize(420, 460);

    shelltreeviewMain = new QTreeWidget(this);
    shelltreeviewMain->setObjectName(QStringLiteral("shelltreeviewMain"));
    shelltreeviewMain->setColumnCount(1);
    shelltreeviewMain->setHeaderHidden(true);
    shelltreeviewMain->setSelectionMode(QAbstractItemView::SingleSelection);
    // Folders are chosen here, never renamed.
    shelltreeviewMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    shelltreeviewMain->setMinimumSize(300, 260);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    btnHelp = new QPushButton(QStringLiteral("Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(shelltreeviewMain, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnHelp);
    layout->addLayout(buttons);

    connect(shelltreeviewMain, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { Guarded([this, item] { FillChildren(item); }); });
    connect(shelltreeviewMain, &QTreeWidget::itemSelectionChanged, this,
            [this] { btnOK->setEnabled(!SelectedPath().isEmpty()); });
    connect(btnOK, &QPushButton::clicked, this, [this] {
        if (!SelectedPath().isEmpty()) accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { Guarded([this] { btnHelpClick(); }); });
    btnOK->setEnabled(false);
}

bool TformBrowseFolder::IsNetworkOrRemovable(const QByteArray& fileSystemType, const QString& rootPath) {
    const QByteArray type = fileSystemType.toLower();
    static const QList<QByteArray> network = {"nfs",   "nfs4",  "cifs",        "smb3", "smbfs", "fuse.sshfs",
                                              "sshfs", "davfs", "fuse.davfs2", "afs",  "ncpfs", "fuse.gvfsd-fuse"};
    if (network.contains(type)) return true;
    // Removable media are mounted below these folders by the desktop or by hand.
    for (const char* place : {"/media/", "/run/media/", "/mnt/"})
        if (rootPath.startsWith(QLatin1String(place)) && rootPath.size() > int(qstrlen(place))) return true;
    return false;
}

QStringList TformBrowseFolder::NetworkVolumes() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && IsNetworkOrRemovable(volume.fileSystemType(), volume.rootPath()))
            roots << volume.rootPath();
    roots.sort(Qt::CaseInsensitive);
    return roots;
}

QTreeWidgetItem* TformBrowseFolder::AddFolder(QTreeWidgetItem* parent, const QString& path, const QString& text) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(shelltreeviewMain);
    item->setText(0, text);
    item->setData(0, kPathRole, path);
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    // Whether it has sub-folders is learnt when it is opened.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void TformBrowseFolder::FillChildren(QTreeWidgetItem* item) {
    if (!item || item->data(0, kFilledRole).toBool()) return;
    item->setData(0, kFilledRole, true);
    const QDir dir(item->data(0, kPathRole).toString());
    const QFileInfoList folders =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo& folder : folders) AddFolder(item, folder.absoluteFilePath(), folder.fileName());
    if (folders.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TformBrowseFolder::ShowRoot(int root) {
    shelltreeviewMain->clear();
    const QStringList volumes = root == rfNetwork ? NetworkVolumes() : QStringList();
    if (volumes.isEmpty()) {
        AddFolder(nullptr, QDir::rootPath(), QStringLiteral("Datorn (%1)").arg(QDir::rootPath()));
        SelectPath(QDir::homePath());
        return;
    }
    for (const QString& volume : volumes) {
        const QString name = QStorageInfo(volume).displayName();
        AddFolder(nullptr, volume,
                  name.isEmpty() || name == volume ? volume : QStringLiteral("%1 (%2)").arg(name, volume));
    }
    shelltreeviewMain->setCurrentItem(shelltreeviewMain->topLevelItem(0));
}

QStringList TformBrowseFolder::RootPaths() const {
    QStringList paths;
    for (int i = 0; i < shelltreeviewMain->topLevelItemCount(); ++i)
        paths << shelltreeviewMain->topLevelItem(i)->data(0, kPathRole).toString();
    return paths;
}

bool TformBrowseFolder::SelectPath(const QString& path) {
    const QString wanted = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    auto inside = [](const QString& folder, const QString& target) {
        if (folder == target) return true;
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        return target.startsWith(prefix);
    };
    QTreeWidgetItem* found = nullptr;
    for (int i = 0; i < shelltreeviewMain->topLevelItemCount() && !found; ++i) {
        QTreeWidgetItem* item = shelltreeviewMain->topLevelItem(i);
        if (!inside(item->data(0, kPathRole).toString(), wanted)) continue;
        // Down the tree one folder at a time.
        while (item && item->data(0, kPathRole).toString() != wanted) {
            FillChildren(item);
            item->setExpanded(true);
            QTreeWidgetItem* next = nullptr;
            for (int c = 0; c < item->childCount() && !next; ++c)
                if (inside(item->child(c)->data(0, kPathRole).toString(), wanted)) next = item->child(c);
            item = next;
        }
        found = item;
    }
    if (!found) return false;
    shelltreeviewMain->setCurrentItem(found);
    shelltreeviewMain->scrollToItem(found);
    return true;
}

QString TformBrowseFolder::SelectedPath() const {
    const QList<QTreeWidgetItem*> selected = shelltreeviewMain->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->data(0, kPathRole).toString();
}

bool TformBrowseFolder::Execute(const QString& caption, int root, QString& folder) {
    folder.clear();
    setWindowTitle(caption.isEmpty() ? QString::fromUtf8(kDefaultCaption) : caption);
    ShowRoot(root);
    if (UIServices::ExecDialog(this) != QDialog::Accepted) return false;
    folder = SelectedPath();
    return !folder.isEmpty();
}

void TformBrowseFolder::btnHelpClick() {
    UIServices::ShowInformation(
        QStringLiteral("Öppna mapparna i trädet med ett klick på pilen framför dem, markera mappen Du vill "
                       "använda och tryck OK."),
        QStringLiteral("Mykotekshallen - Hjälp"));
}
