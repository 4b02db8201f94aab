#pragma once
// The knowledge base's frame: the list view (tool bar, the tree and the data column of the
// chosen item) and the article view (tool bar with "Tillbaka" above the article), one shown
// at a time.
#include <QPointer>
#include <QString>
#include <QTreeWidgetItem>

#include "shell/FRScreens.h"

class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeWidget;
class TArticleBrowser;
class TFRDBEdit;
class TFRDBMemo;
class TFRScienceScreen;

// A tree node: its record's key and type; groups sort before articles, then by name.
class TScienceNode : public QTreeWidgetItem {
public:
    TScienceNode(const QString& ukey, int itemType, const QString& caption);
    QString UKey() const { return data(0, Qt::UserRole).toString(); }
    void SetUKey(const QString& ukey) { setData(0, Qt::UserRole, ukey); }
    int ItemType() const { return data(0, Qt::UserRole + 1).toInt(); }
    void SetItemType(int itemType);
    bool operator<(const QTreeWidgetItem& other) const override;
};

class TframeSciences : public TFRFrameBase {
    Q_OBJECT
public:
    explicit TframeSciences(QWidget* parent = nullptr);
    ~TframeSciences() override;

    void InitFrame() override;
    void LoadSettings() override;
    void UpdateFrame() override;
    void AfterExport() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;

    TFRScienceScreen* ScienceScreen() const;

    // ---- State ----
    bool ShowingArticle = false;
    QTreeWidgetItem* EditNode = nullptr;

    // ---- Handlers ----
    // The four entries of the new-item menu: 0 "Ny artikel", 1 "Ny artikelgrupp",
    // 2 "Ny underliggande artikel", 3 "Ny underliggande artikelgrupp".
    void NewItemClick(int entry);
    void sbtnEditClick();
    void sbtnDeleteClick();
    void sbtnOpenClick();
    void sbtnBackClick();
    void btnGetDataClick();
    void btnSaveClick();
    void btnCancelClick();
    void treeviewMainClick(QTreeWidgetItem* node);
    void treeviewMainDblClick();
    // The node that carries a key, or nullptr.
    TScienceNode* NodeOfKey(const QString& ukey) const;

    // ---- Components ----
    QWidget* panelList = nullptr;
    QWidget* panelListTools = nullptr;
    QToolButton* sbtnNew = nullptr;
    QToolButton* sbtnEdit = nullptr;
    QToolButton* sbtnDelete = nullptr;
    QToolButton* sbtnOpen = nullptr;
    QMenu* popupNew = nullptr;
    QTreeWidget* treeviewMain = nullptr;
    QWidget* panelData = nullptr;
    QLabel* lblName = nullptr;
    TFRDBEdit* dbeditItemName = nullptr;
    QLabel* lblDescription = nullptr;
    TFRDBMemo* dbmemoDescription = nullptr;
    QLabel* lblSource = nullptr;
    TFRDBEdit* dbeditSource = nullptr;
    QLabel* lblAuthor = nullptr;
    TFRDBEdit* dbeditAuthor = nullptr;
    QLabel* lblCreatedBy = nullptr;
    QLineEdit* editCreatedBy = nullptr;
    QPushButton* btnGetData = nullptr;
    QLabel* panelFetchedData = nullptr;
    QFrame* bevelSeparator = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* panelBrowser = nullptr;
    QToolButton* sbtnBack = nullptr;
    TArticleBrowser* webMain = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void SetupFrame();
    void PlaceDataColumn();
    void SelectNode(QTreeWidgetItem* node);
    bool Browsing() const;
    bool m_selecting = false;
};
