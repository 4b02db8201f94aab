#include "content/knowledge/unitScienceScreen.h"

#include <QFile>
#include <QHash>
#include <QStyle>
#include <QTreeWidget>

#include "content/knowledge/unitFrameSciences.h"
#include "controls/FREdits.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/DataSetScopes.h"
#include "platform/Exception.h"

namespace {

TDM* ScienceDM() {
    TformFRMain* main = MainForm();
    TDM* dm = main ? main->DataModule() : nullptr;
    if (!dm) throw Exception(QStringLiteral("Datamodulen saknas"));
    return dm;
}

bool IsAncestor(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* node) {
    for (const QTreeWidgetItem* p = node; p; p = p->parent())
        if (p == ancestor) return true;
    return false;
}

}  // namespace

TFRScienceScreen::TFRScienceScreen(QObject* owner) : TFRMainScreen(owner) { SetDataSet(ScienceDM()->cdsKnowbase); }

TFRScienceScreen::~TFRScienceScreen() = default;

void TFRScienceScreen::Initialize() {
    MenuButton()->setText(QStringLiteral("Svampvetenskap"));
    MenuButton()->setToolTip(QStringLiteral("Lär Dig ännu mer om svampar!"));
    TFRMainScreen::Initialize();
}

void TFRScienceScreen::CreateFrame() {
    if (Frame()) return;
    SetFrame(TFRFrameBase::Create<TframeSciences>());
}

TframeSciences* TFRScienceScreen::ScienceFrame() const { return qobject_cast<TframeSciences*>(Frame()); }

void TFRScienceScreen::FillTree(QTreeWidget* tree) {
    tree->clear();
    TClientDataSet* table = DataSet();
    if (!table || !table->Active()) return;
    QList<TScienceNode*> nodes;
    QStringList masters;
    QHash<QString, TScienceNode*> byKey;
    {
        TDisabledControls quiet(table);
        const int recNo = table->RecNo();
        for (table->First(); !table->Eof(); table->Next()) {
            const QString key = table->FieldByName(QStringLiteral("UKey"))->AsString();
            auto* node = new TScienceNode(key, table->FieldByName(QStringLiteral("ItemType"))->AsInteger(),
                                          table->FieldByName(QStringLiteral("ItemName"))->AsString());
            tree->addTopLevelItem(node);
            nodes << node;
            masters << table->FieldByName(QStringLiteral("MasterUKey"))->AsString();
            if (!byKey.contains(key)) byKey.insert(key, node);
        }
        if (recNo > 0) table->SetRecNo(recNo);
    }
    for (int i = 0; i < nodes.size(); ++i) {
        TScienceNode* parent = byKey.value(masters[i]);
        // A parent chain that leads back to the node would hang it nowhere: it stays on top.
        if (!parent || IsAncestor(nodes[i], parent)) continue;
        tree->takeTopLevelItem(tree->indexOfTopLevelItem(nodes[i]));
        parent->addChild(nodes[i]);
    }
    tree->sortItems(0, Qt::AscendingOrder);
}

void TFRScienceScreen::NewItem(int itemType, const QString& name, const QString& masterUKey) {
    TClientDataSet* table = DataSet();
    table->Append();
    table->FieldByName(QStringLiteral("ItemType"))->SetAsInteger(itemType);
    table->FieldByName(QStringLiteral("ItemName"))->SetAsString(name);
    table->FieldByName(QStringLiteral("CreatedBy"))->SetAsString(GetCurrentUserContactUKey());
    table->FieldByName(QStringLiteral("MasterUKey"))->SetAsString(masterUKey);
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    TframeSciences* frame = ScienceFrame();
    if (frame && frame->EditNode) {
        auto* node = static_cast<TScienceNode*>(frame->EditNode);
        node->SetUKey(GetUKey(table));
        node->SetItemType(itemType);
        node->setText(0, name);
        frame->treeviewMain->setCurrentItem(node);
    }
    UpdateFrame();
    if (frame) {
        frame->dbeditItemName->setFocus();
        frame->dbeditItemName->selectAll();
    }
}

void TFRScienceScreen::NewArticle(const QString& masterUKey) {
    // A temporary file left by an earlier fetch must never be saved over this record.
    DataFetched = false;
    NewItem(1, QStringLiteral("Ny artikel"), masterUKey);
    QFile::remove(GetTempKnowBaseFile(GetUKey(DataSet())));
}

void TFRScienceScreen::NewGroup(const QString& masterUKey) { NewItem(0, QStringLiteral("Ny grupp"), masterUKey); }

void TFRScienceScreen::EditItem() {
    TClientDataSet* table = DataSet();
    // Only what this edit fetches may be saved over the stored article.
    QFile::remove(GetTempKnowBaseFile(GetUKey(table)));
    DataFetched = true;
    table->Edit();
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(false);
    UpdateFrame();
    if (TframeSciences* frame = ScienceFrame()) frame->dbeditItemName->setFocus();
}

TFRMainScreen* CreateScienceScreen(QObject* owner) { return TFRScreen::Create<TFRScienceScreen>(owner); }

void RegisterScienceScreen() {
    TformFRMain::RegisterScreenFactory(ssScience, [](TformFRMain* owner) { return CreateScienceScreen(owner); });
}
