#pragma once
// The knowledge base ("Svampvetenskap"): a tree of article groups and articles. Each article
// is a folder of HTML pages packed into one file, Data/KnowBase/<key>.dat, and unpacked into
// Temp/KnowBase/ for reading.
#include <QPointer>
#include <QString>

#include "shell/FRScreens.h"

class QTreeWidget;
class TframeSciences;

// The most an article folder may hold without a question, in MiB.
inline constexpr int MaxArticleSizeMb = 5;

class TFRScienceScreen : public TFRMainScreen {
    Q_OBJECT
public:
    explicit TFRScienceScreen(QObject* owner);
    ~TFRScienceScreen() override;

    void Initialize() override;
    void CreateFrame() override;

    // Rebuilds the tree from the table: groups first, names in Swedish order; a node whose
    // parent is missing, or whose parent chain leads back to itself, stays at the top.
    void FillTree(QTreeWidget* tree);
    // A new record (ItemType 1 "Ny artikel" or 0 "Ny grupp") below masterUKey, by the
    // current user; navigation is locked until it is saved or cancelled.
    void NewArticle(const QString& masterUKey);
    void NewGroup(const QString& masterUKey);
    // Edits the current record; navigation is locked.
    void EditItem();

    // Article data has been packed for the record being edited.
    bool DataFetched = false;

    TframeSciences* ScienceFrame() const;

private:
    void NewItem(int itemType, const QString& name, const QString& masterUKey);
};

// Makes the screen (the main window's factory for its slot) and registers it.
TFRMainScreen* CreateScienceScreen(QObject* owner);
void RegisterScienceScreen();
