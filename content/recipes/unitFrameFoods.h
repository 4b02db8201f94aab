#pragma once
// The recipes' content frame. The browse page shows one button per category and a picture
// list of the category's recipes; the recipe page shows one recipe, or edits it. Only the
// author of a recipe may change or delete it. The ingredients and the preparation are rich
// text, kept in the text rows as the editor's HTML.
#include <QImage>
#include <QStyledItemDelegate>
#include <QTimer>
#include <functional>

#include "shell/FRScreens.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QTextEdit;
class QToolButton;
class TDM;
class TExtClientDataSet;
class TFRIniFile;

// The row flags of a recipe's two texts.
enum class TFoodTextFlag { Ingredients = 0, Preparation = 1 };
// The width of a recipe's text rows.
inline constexpr int FoodTextRowWidth = 120;

// The list entry of one recipe: its thumbnail in a 90-pixel frame, its name and two lines.
class TFoodListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    enum TRole { NameRole = Qt::UserRole + 1, ServingsRole, TimesRole, ThumbRole };
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// "%d portioner" and the times line of a recipe.
QString FoodServingsText(int servings);
QString FoodTimesText(int prepTime, int cookingTime);
// The plain text of a stored rich text.
QString FoodPlainText(const QString& html);

class TframeFoods : public TFRFrameBase {
    Q_OBJECT
public:
    TframeFoods(TDM* dm, TFRIniFile* settings, QWidget* parent = nullptr);
    ~TframeFoods() override;

    void InitFrame() override;
    void DoneFrame() override;
    void LoadSettings() override;
    void SaveSettings() override;
    void UpdateFrame() override;
    void UpdateButtons() override;
    TFRHistoryItem* CreateHistoryItem() override;
    void RestoreHistory(TFRHistoryItem* item) override;

    // The logged-in user's contact key; by default the one of the logged-in user.
    std::function<QString()> CurrentContactKey;

    // The recipe page is shown in browse state.
    bool ShowingInfo = false;
    bool PictureChanged() const { return m_pictureChanged; }
    // Whether the logged-in user wrote the current recipe.
    bool IsAuthor() const;
    bool Editing() const;
    // The category buttons, in table order.
    QList<QToolButton*> CategoryButtons() const { return m_categoryButtons; }

    // Starts editing: the editors take the current (or new) record's values.
    void BeginEdit();
    // The script externals "matingredienser" and "mattillagning": the current recipe's texts
    // as plain text; empty for any other name.
    QString ScriptExternal(const QString& name) const;

    // ---- Handlers ----
    void CategoryClick(QToolButton* button);
    void btnNewClick();
    void btnEditClick();
    void btnDeleteClick();
    void btnShowClick();
    void btnBackToListClick();
    void btnPriorClick();
    void btnNextClick();
    void btnSaveClick();
    void btnCancelClick();
    void btnHeaderClick();
    void btnPlainClick();
    void btnPicFromFileClick();
    void btnPicFromClipboardClick();
    void btnRemovePicClick();
    void listFoodsChanged(int row);

    // ---- Components ----
    QStackedWidget* pagesMain = nullptr;
    QWidget* tabsBrowse = nullptr;
    QWidget* tabsRecipe = nullptr;
    QWidget* panelCategories = nullptr;
    QButtonGroup* groupCategories = nullptr;
    QListWidget* listFoods = nullptr;
    QLabel* lblNoFoods = nullptr;
    QPushButton* btnNew = nullptr;  // "Nytt recept..."
    QPushButton* btnShow = nullptr;  // "Visa receptet"
    QPushButton* btnEdit = nullptr;  // "Ändra..."
    QPushButton* btnDelete = nullptr;  // "Radera..."

    QLabel* lblFoodName = nullptr;
    QLabel* lblServings = nullptr;
    QLabel* lblTimes = nullptr;
    QLabel* lblAuthor = nullptr;
    QWidget* panelEditors = nullptr;
    QLineEdit* editFoodName = nullptr;
    QLineEdit* editServeCount = nullptr;
    QLineEdit* editPrepTime = nullptr;
    QLineEdit* editCookingTime = nullptr;
    QLabel* imgFood = nullptr;
    QPushButton* btnPicFromFile = nullptr;
    QPushButton* btnPicFromClipboard = nullptr;
    QPushButton* btnRemovePic = nullptr;
    QTextEdit* memoIngredients = nullptr;
    QTextEdit* memoPreparation = nullptr;
    QToolButton* btnHeader = nullptr;  // "Rubrik"
    QToolButton* btnPlain = nullptr;  // "Normal"
    QPushButton* btnPrior = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnBackToList = nullptr;
    QPushButton* btnEditRecipe = nullptr;
    QPushButton* btnPrint = nullptr;  // "Skriv ut..." (the "FoodsMain" scripts)
    QPushButton* btnSave = nullptr;  // "Spara"
    QPushButton* btnCancel = nullptr;  // "Avbryt"
    QTimer timerClipboard;

private:
    void BuildCategoryButtons();
    void SelectCategory(int recNo);
    void FillList();
    void ShowRecipe();
    void ShowPicture();
    void SetEditorsVisible(bool editing);
    void ApplyTextStyle(bool header);
    void SetPicture(const QImage& image);
    void AddHistoryItem();
    QTextEdit* ActiveMemo() const;
    TExtClientDataSet* Foods() const;
    TExtClientDataSet* Types() const;

    TDM* m_dm;
    TFRIniFile* m_settings;
    QList<QToolButton*> m_categoryButtons;
    QImage m_picture;
    bool m_pictureChanged = false;
    bool m_filling = false;
    QTextEdit* m_lastMemo = nullptr;
};
