#include "content/recipes/unitFrameFoods.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <utility>

#include "content/recipes/FoodPictures.h"
#include "content/recipes/unitFoodScreen.h"
#include "controls/FRGuard.h"
#include "core/ExtClientDataSet.h"
#include "shell/FRHistory.h"
#include "core/FRIniFile.h"
#include "core/PendingFile.h"
#include "core/ProgramFolders.h"
#include "shell/RecordPicture.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {
const QString kPictureFilter = QStringLiteral("Bildfiler (*.bmp *.jpg);;Alla filer (*.*)");
// The background of the input controls while a recipe is edited ($D2FFFF).
const QString kEditColour = QStringLiteral("#FFFFD2");
constexpr int kCategoryTagOffset = 9;

QImage LoadImage(const QString& file) {
    QImage image;
    if (!file.isEmpty()) image.load(file);
    return image;
}

QString KeyFileOrEmpty(QString (*builder)(const QString&), const QString& key) {
    try {
        return builder(key);
    } catch (const Exception&) {
        return QString();
    }
}

void Wire(QAbstractButton* button, QObject* context, std::function<void()> handler) {
    QObject::connect(button, &QAbstractButton::clicked, context, [handler = std::move(handler)] { Guarded(handler); });
}
}  // namespace

QString FoodServingsText(int servings) { return QStringLiteral("%1 portioner").arg(servings); }

QString FoodTimesText(int prepTime, int cookingTime) {
    return QStringLiteral("%1 min. förberedelsetid, %2 min. tillagningstid").arg(prepTime).arg(cookingTime);
}

QString FoodPlainText(const QString& html) {
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

// ---- List entries ----------------------------------------------------------------------------

void TFoodListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    painter->fillRect(r, selected ? option.palette.highlight() : option.palette.base());
    const QRect frame(r.left() + 4, r.top() + 4, 90, 90);
    painter->fillRect(frame, Qt::white);
    const QImage thumb = index.data(ThumbRole).value<QImage>();
    if (!thumb.isNull()) {
        const QImage fitted = thumb.scaled(frame.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        painter->drawImage(frame.left() + (90 - fitted.width()) / 2, frame.top() + (90 - fitted.height()) / 2, fitted);
    }
    painter->setPen(Qt::black);
    painter->drawRect(frame.adjusted(0, 0, -1, -1));

    painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
    QFont nameFont = option.font;
    nameFont.setPointSize(12);
    nameFont.setBold(true);
    QFont lineFont = option.font;
    lineFont.setPointSize(10);
    const int x = frame.right() + 12;
    int y = frame.top() + 2;
    painter->setFont(nameFont);
    const int nameHeight = QFontMetrics(nameFont).height();
    painter->drawText(
        QRect(x, y, r.right() - x - 4, nameHeight), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(nameFont).elidedText(index.data(NameRole).toString(), Qt::ElideRight, r.right() - x - 4));
    y += nameHeight;
    painter->setFont(lineFont);
    const int lineHeight = QFontMetrics(lineFont).height();
    painter->drawText(QRect(x, y, r.right() - x - 4, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(ServingsRole).toString());
    y += lineHeight;
    painter->drawText(QRect(x, y, r.right() - x - 4, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(TimesRole).toString());
    painter->restore();
}

QSize TFoodListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), 98);
}

// ---- The frame -------------------------------------------------------------------------------

TframeFoods::TframeFoods(TDM* dm, TFRIniFile* settings, QWidget* parent)
    : TFRFrameBase(parent), m_dm(dm), m_settings(settings) {}

TframeFoods::~TframeFoods() {
    if (TformFRMain* main = MainForm()) main->ForgetScriptAnswers(this);
}

TExtClientDataSet* TframeFoods::Foods() const { return m_dm->cdsFoods; }
TExtClientDataSet* TframeFoods::Types() const { return m_dm->cdsFoodTypes; }

bool TframeFoods::Editing() const {
    const TDataSetState state = Foods()->State();
    return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

bool TframeFoods::IsAuthor() const {
    if (Foods()->RecordCount() == 0 && !Editing()) return false;
    const QString author = Foods()->FieldByName(QStringLiteral("CreatedBy"))->AsString();
    const QString me = CurrentContactKey ? CurrentContactKey() : GetCurrentUserContactUKey();
    return !author.isEmpty() && author == me;
}

void TframeFoods::InitFrame() {
    TDMServices::Install(m_dm);
    // A recipe sheet reads the current recipe's two texts.
    if (TformFRMain* main = MainForm())
        for (const QString& name : {QStringLiteral("matingredienser"), QStringLiteral("mattillagning")})
            main->SetScriptAnswer(name, this, [this, name] { return QVariant(ScriptExternal(name)); });
    pagesMain = new QStackedWidget(this);
    BodyLayout()->addWidget(pagesMain, 1);

    // Browse page: the categories on the left, the recipes beside them.
    tabsBrowse = new QWidget(pagesMain);
    auto* browse = new QHBoxLayout(tabsBrowse);
    panelCategories = new QWidget(tabsBrowse);
    panelCategories->setFixedWidth(8 + 129 + 8);
    groupCategories = new QButtonGroup(this);
    groupCategories->setExclusive(true);
    browse->addWidget(panelCategories);
    auto* right = new QVBoxLayout;
    listFoods = new QListWidget(tabsBrowse);
    listFoods->setItemDelegate(new TFoodListDelegate(listFoods));
    listFoods->setUniformItemSizes(true);
    connect(listFoods, &QListWidget::currentRowChanged, this,
            [this](int row) { Guarded([&] { listFoodsChanged(row); }); });
    connect(listFoods, &QListWidget::itemDoubleClicked, this, [this] { Guarded([this] { btnShowClick(); }); });
    lblNoFoods = new QLabel(QStringLiteral("Det finns inga recept i den här kategorin."), tabsBrowse);
    right->addWidget(listFoods, 1);
    right->addWidget(lblNoFoods);
    auto* buttons = new QHBoxLayout;
    btnNew = new QPushButton(QStringLiteral("Nytt recept..."), tabsBrowse);
    btnShow = new QPushButton(QStringLiteral("Visa receptet"), tabsBrowse);
    btnEdit = new QPushButton(QStringLiteral("Ändra..."), tabsBrowse);
    btnDelete = new QPushButton(QStringLiteral("Radera..."), tabsBrowse);
    for (QPushButton* b : {btnNew, btnShow, btnEdit, btnDelete}) buttons->addWidget(b);
    buttons->addStretch(1);
    right->addLayout(buttons);
    browse->addLayout(right, 1);
    pagesMain->addWidget(tabsBrowse);
    Wire(btnNew, this, [this] { btnNewClick(); });
    Wire(btnShow, this, [this] { btnShowClick(); });
    Wire(btnEdit, this, [this] { btnEditClick(); });
    Wire(btnDelete, this, [this] { btnDeleteClick(); });

    // Recipe page.
    tabsRecipe = new QWidget(pagesMain);
    auto* recipe = new QVBoxLayout(tabsRecipe);
    auto* top = new QHBoxLayout;
    auto* facts = new QVBoxLayout;
    lblFoodName = new QLabel(tabsRecipe);
    QFont nameFont = lblFoodName->font();
    nameFont.setPointSize(14);
    nameFont.setBold(true);
    lblFoodName->setFont(nameFont);
    lblFoodName->setWordWrap(true);
    lblServings = new QLabel(tabsRecipe);
    lblTimes = new QLabel(tabsRecipe);
    lblAuthor = new QLabel(tabsRecipe);
    for (QLabel* l : {lblFoodName, lblServings, lblTimes, lblAuthor}) facts->addWidget(l);
    panelEditors = new QWidget(tabsRecipe);
    auto* grid = new QGridLayout(panelEditors);
    grid->setContentsMargins(0, 0, 0, 0);
    editFoodName = new QLineEdit(panelEditors);
    editFoodName->setMaxLength(80);
    editServeCount = new QLineEdit(panelEditors);
    editPrepTime = new QLineEdit(panelEditors);
    editCookingTime = new QLineEdit(panelEditors);
    const QStringList captions = {"Namn:", "Antal portioner:", "Förberedelsetid (min.):", "Tillagningstid (min.):"};
    const QList<QLineEdit*> edits = {editFoodName, editServeCount, editPrepTime, editCookingTime};
    for (int i = 0; i < edits.size(); ++i) {
        grid->addWidget(new QLabel(captions[i], panelEditors), i, 0);
        grid->addWidget(edits[i], i, 1);
        edits[i]->setStyleSheet(QStringLiteral("background-color: %1;").arg(kEditColour));
    }
    for (QLineEdit* e : {editServeCount, editPrepTime, editCookingTime}) e->setMaximumWidth(80);
    facts->addWidget(panelEditors);
    facts->addStretch(1);
    top->addLayout(facts, 1);
    auto* pictureColumn = new QVBoxLayout;
    imgFood = new QLabel(tabsRecipe);
    imgFood->setFixedSize(200, 150);
    imgFood->setAlignment(Qt::AlignCenter);
    imgFood->setFrameShape(QFrame::Box);
    pictureColumn->addWidget(imgFood);
    auto* picButtons = new QHBoxLayout;
    btnPicFromFile = new QPushButton(QStringLiteral("Från fil..."), tabsRecipe);
    btnPicFromClipboard = new QPushButton(QStringLiteral("Från Urklipp"), tabsRecipe);
    btnRemovePic = new QPushButton(QStringLiteral("Ta bort"), tabsRecipe);
    for (QPushButton* b : {btnPicFromFile, btnPicFromClipboard, btnRemovePic}) picButtons->addWidget(b);
    pictureColumn->addLayout(picButtons);
    pictureColumn->addStretch(1);
    top->addLayout(pictureColumn);
    recipe->addLayout(top);
    Wire(btnPicFromFile, this, [this] { btnPicFromFileClick(); });
    Wire(btnPicFromClipboard, this, [this] { btnPicFromClipboardClick(); });
    Wire(btnRemovePic, this, [this] { btnRemovePicClick(); });

    auto* style = new QHBoxLayout;
    btnHeader = new QToolButton(tabsRecipe);
    btnHeader->setText(QStringLiteral("Rubrik"));
    btnHeader->setToolTip(QStringLiteral("Gör den markerade texten till rubrik"));
    btnPlain = new QToolButton(tabsRecipe);
    btnPlain->setText(QStringLiteral("Normal"));
    btnPlain->setToolTip(QStringLiteral("Gör den markerade texten till vanlig text"));
    style->addWidget(btnHeader);
    style->addWidget(btnPlain);
    style->addStretch(1);
    recipe->addLayout(style);
    Wire(btnHeader, this, [this] { btnHeaderClick(); });
    Wire(btnPlain, this, [this] { btnPlainClick(); });

    auto* texts = new QHBoxLayout;
    memoIngredients = new QTextEdit(tabsRecipe);
    memoPreparation = new QTextEdit(tabsRecipe);
    for (auto [memo, caption] :
         {std::pair{memoIngredients, "Ingredienser"}, std::pair{memoPreparation, "Tillagning"}}) {
        auto* column = new QVBoxLayout;
        auto* label = new QLabel(QString::fromUtf8(caption), tabsRecipe);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        column->addWidget(label);
        column->addWidget(memo, 1);
        memo->setAcceptRichText(true);
        texts->addLayout(column, 1);
        QTextEdit* self = memo;
        connect(memo, &QTextEdit::cursorPositionChanged, this, [this, self] { m_lastMemo = self; });
    }
    recipe->addLayout(texts, 1);

    auto* nav = new QHBoxLayout;
    btnBackToList = new QPushButton(QStringLiteral("Till listan"), tabsRecipe);
    btnPrior = new QPushButton(QStringLiteral("Föregående"), tabsRecipe);
    btnNext = new QPushButton(QStringLiteral("Nästa"), tabsRecipe);
    btnEditRecipe = new QPushButton(QStringLiteral("Ändra..."), tabsRecipe);
    btnPrint = new QPushButton(QStringLiteral("Skriv ut..."), tabsRecipe);
    btnSave = new QPushButton(QStringLiteral("Spara"), tabsRecipe);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), tabsRecipe);
    for (QPushButton* b : {btnBackToList, btnPrior, btnNext, btnEditRecipe, btnPrint}) nav->addWidget(b);
    nav->addStretch(1);
    nav->addWidget(btnSave);
    nav->addWidget(btnCancel);
    recipe->addLayout(nav);
    pagesMain->addWidget(tabsRecipe);
    Wire(btnBackToList, this, [this] { btnBackToListClick(); });
    Wire(btnPrior, this, [this] { btnPriorClick(); });
    Wire(btnNext, this, [this] { btnNextClick(); });
    Wire(btnEditRecipe, this, [this] { btnEditClick(); });
    Wire(btnSave, this, [this] { btnSaveClick(); });
    Wire(btnCancel, this, [this] { btnCancelClick(); });
    connect(btnPrint, &QPushButton::clicked, this, [this] {
        if (TformFRMain* main = MainForm()) main->ShowScriptMenu(btnPrint, QStringLiteral("FoodsMain"));
    });

    timerClipboard.setInterval(500);
    connect(&timerClipboard, &QTimer::timeout, this,
            [this] { btnPicFromClipboard->setEnabled(Editing() && TRecordPicture::ClipboardHasPicture()); });
    timerClipboard.start();

    BuildCategoryButtons();
}

void TframeFoods::DoneFrame() {
    timerClipboard.stop();
    // A recipe left half-edited is not stored.
    if (Editing()) {
        Foods()->Cancel();
        if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    }
}

void TframeFoods::BuildCategoryButtons() {
    TExtClientDataSet* types = Types();
    QFont heavy = font();
    heavy.setWeight(QFont::Black);
    int recNo = 0;
    for (types->First(); !types->Eof(); types->Next()) {
        ++recNo;
        auto* button = new QToolButton(panelCategories);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFont(heavy);
        button->setText(types->FieldByName(QStringLiteral("CategoryName"))->AsString());
        button->setGeometry(8, 8 + 24 * (recNo - 1), 129, 22);
        button->setProperty("Tag", recNo + kCategoryTagOffset);
        groupCategories->addButton(button);
        m_categoryButtons.append(button);
        connect(button, &QToolButton::clicked, this, [this, button] { Guarded([&] { CategoryClick(button); }); });
    }
    panelCategories->setMinimumHeight(8 + 24 * recNo);
    if (recNo > 0) types->First();
}

void TframeFoods::SelectCategory(int recNo) {
    if (m_categoryButtons.isEmpty()) return;
    recNo = std::clamp(recNo, 1, int(m_categoryButtons.size()));
    Types()->SetRecNo(recNo);
    m_categoryButtons[recNo - 1]->setChecked(true);
}

void TframeFoods::CategoryClick(QToolButton* button) {
    if (Editing()) return;
    AddHistoryItem();
    Types()->SetRecNo(button->property("Tag").toInt() - kCategoryTagOffset);
    button->setChecked(true);
    ShowingInfo = false;
    UpdateFrame();
}

void TframeFoods::LoadSettings() {
    const int index = m_settings ? m_settings->ReadInteger(QStringLiteral("Food/GroupIndex"), 1) : 1;
    // A stale number (a category removed since) falls back into the categories there are.
    SelectCategory(index);
}

void TframeFoods::SaveSettings() {
    if (!m_settings || m_categoryButtons.isEmpty()) return;
    try {
        m_settings->WriteInteger(QStringLiteral("Food/GroupIndex"), Types()->RecNo());
    } catch (const Exception&) {
        // Only a remembered choice.
    }
}

void TframeFoods::UpdateFrame() {
    TExtClientDataSet* foods = Foods();
    const TDataSetState state = foods->State();
    QString header = QStringLiteral("   Svamp i maten");
    if (state == TDataSetState::dsEdit)
        header += QStringLiteral(" - ") + Types()->FieldByName(QStringLiteral("EditHeader"))->AsString();
    else if (state == TDataSetState::dsInsert)
        header += QStringLiteral(" - ") + Types()->FieldByName(QStringLiteral("InsertHeader"))->AsString();
    else if (ShowingInfo && foods->RecordCount() > 0)
        header += QStringLiteral(" - %1 (%2 av %3)")
                      .arg(Types()->FieldByName(QStringLiteral("CategoryName"))->AsString())
                      .arg(foods->RecNo())
                      .arg(foods->RecordCount());
    panelFrameHeader->setText(header);

    if (ShowingInfo && foods->RecordCount() == 0 && !Editing()) ShowingInfo = false;
    const bool recipePage = Editing() || ShowingInfo;
    pagesMain->setCurrentWidget(recipePage ? tabsRecipe : tabsBrowse);
    if (recipePage) {
        if (!Editing()) ShowRecipe();
        SetEditorsVisible(Editing());
    } else {
        FillList();
    }
    TFRFrameBase::UpdateFrame();
}

void TframeFoods::UpdateButtons() {
    TExtClientDataSet* foods = Foods();
    const bool browsing = !Editing();
    const bool any = foods->RecordCount() > 0;
    const bool mayChange = browsing && any && IsAuthor();
    btnNew->setEnabled(browsing && !m_categoryButtons.isEmpty());
    btnShow->setEnabled(browsing && any);
    btnEdit->setEnabled(mayChange);
    btnDelete->setEnabled(mayChange);
    btnEditRecipe->setEnabled(mayChange);
    btnPrior->setEnabled(browsing && any && foods->RecNo() > 1);
    btnNext->setEnabled(browsing && any && foods->RecNo() < foods->RecordCount());
    btnBackToList->setEnabled(browsing);
    for (QToolButton* b : m_categoryButtons) b->setEnabled(browsing);
}

void TframeFoods::FillList() {
    TExtClientDataSet* foods = Foods();
    const int current = foods->RecNo();
    m_filling = true;
    struct Restore {
        TframeFoods* f;
        ~Restore() { f->m_filling = false; }
    } restore{this};
    const int count = foods->RecordCount();
    while (listFoods->count() > count) delete listFoods->takeItem(listFoods->count() - 1);
    while (listFoods->count() < count) listFoods->addItem(new QListWidgetItem);
    const QImage stock = LoadImage(GetPicsPath(QStringLiteral("_NoFoodPic_sml.bmp")));
    int row = 0;
    for (foods->First(); !foods->Eof(); foods->Next(), ++row) {
        QListWidgetItem* item = listFoods->item(row);
        const QString key = GetUKey(foods);
        item->setData(TFoodListDelegate::NameRole, foods->FieldByName(QStringLiteral("FoodName"))->AsString());
        item->setData(TFoodListDelegate::ServingsRole,
                      FoodServingsText(foods->FieldByName(QStringLiteral("ServeCount"))->AsInteger()));
        item->setData(TFoodListDelegate::TimesRole,
                      FoodTimesText(foods->FieldByName(QStringLiteral("PrepTime"))->AsInteger(),
                                    foods->FieldByName(QStringLiteral("CookingTime"))->AsInteger()));
        QImage thumb;
        if (foods->FieldByName(QStringLiteral("HasPic"))->AsBoolean())
            thumb = LoadImage(KeyFileOrEmpty(&GetFoodPicThumbFile, key));
        item->setData(TFoodListDelegate::ThumbRole, thumb.isNull() ? stock : thumb);
        item->setText(item->data(TFoodListDelegate::NameRole).toString());
    }
    if (count > 0) {
        foods->SetRecNo(std::max(1, current));
        listFoods->setCurrentRow(foods->RecNo() - 1);
    }
    listFoods->setVisible(count > 0);
    lblNoFoods->setVisible(count == 0 && !m_categoryButtons.isEmpty());
}

void TframeFoods::listFoodsChanged(int row) {
    if (m_filling || row < 0 || Editing()) return;
    Foods()->SetRecNo(row + 1);
    UpdateButtons();
}

void TframeFoods::ShowRecipe() {
    TExtClientDataSet* foods = Foods();
    TDMServices* services = TDMServices::Install(m_dm);
    lblFoodName->setText(foods->FieldByName(QStringLiteral("FoodName"))->AsString());
    lblServings->setText(FoodServingsText(foods->FieldByName(QStringLiteral("ServeCount"))->AsInteger()));
    lblTimes->setText(FoodTimesText(foods->FieldByName(QStringLiteral("PrepTime"))->AsInteger(),
                                    foods->FieldByName(QStringLiteral("CookingTime"))->AsInteger()));
    lblAuthor->setText(QStringLiteral("Recept av: %1")
                           .arg(services->GetContactName(foods->FieldByName(QStringLiteral("CreatedBy"))->AsString())));
    memoIngredients->setHtml(
        services->LoadTextRows(m_dm->cdsFoodTexts, int(TFoodTextFlag::Ingredients)).join(QLatin1Char('\n')));
    memoPreparation->setHtml(
        services->LoadTextRows(m_dm->cdsFoodTexts, int(TFoodTextFlag::Preparation)).join(QLatin1Char('\n')));
    m_picture = QImage();
    if (foods->FieldByName(QStringLiteral("HasPic"))->AsBoolean())
        m_picture = LoadImage(KeyFileOrEmpty(&GetFoodPicFile, GetUKey(foods)));
    ShowPicture();
}

void TframeFoods::ShowPicture() {
    QImage shown = m_picture;
    if (shown.isNull()) shown = LoadImage(GetPicsPath(QStringLiteral("_NoFoodPic.bmp")));
    if (shown.isNull()) {
        imgFood->setPixmap(QPixmap());
        imgFood->setText(QStringLiteral("Ingen bild"));
    } else {
        imgFood->setText(QString());
        imgFood->setPixmap(
            QPixmap::fromImage(shown.scaled(imgFood->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
}

void TframeFoods::SetEditorsVisible(bool editing) {
    panelEditors->setVisible(editing);
    for (QLabel* l : {lblFoodName, lblServings, lblTimes, lblAuthor}) l->setVisible(!editing);
    for (QWidget* w :
         {static_cast<QWidget*>(btnPicFromFile), static_cast<QWidget*>(btnPicFromClipboard),
          static_cast<QWidget*>(btnRemovePic), static_cast<QWidget*>(btnHeader), static_cast<QWidget*>(btnPlain),
          static_cast<QWidget*>(btnSave), static_cast<QWidget*>(btnCancel)})
        w->setVisible(editing);
    for (QWidget* w :
         {static_cast<QWidget*>(btnBackToList), static_cast<QWidget*>(btnPrior), static_cast<QWidget*>(btnNext),
          static_cast<QWidget*>(btnEditRecipe), static_cast<QWidget*>(btnPrint)})
        w->setVisible(!editing);
    const TformFRMain* main = MainForm();
    btnPrint->setEnabled(!editing && Foods()->RecordCount() > 0 && main && main->ScriptCount() > 0);
    btnPicFromClipboard->setEnabled(editing && TRecordPicture::ClipboardHasPicture());
    btnRemovePic->setEnabled(editing && !m_picture.isNull());
    for (QTextEdit* memo : {memoIngredients, memoPreparation}) {
        memo->setReadOnly(!editing);
        memo->setStyleSheet(editing ? QStringLiteral("QTextEdit { background-color: %1; }").arg(kEditColour)
                                    : QString());
    }
}

void TframeFoods::BeginEdit() {
    TExtClientDataSet* foods = Foods();
    const bool inserting = foods->State() == TDataSetState::dsInsert;
    editFoodName->setText(foods->FieldByName(QStringLiteral("FoodName"))->AsString());
    editServeCount->setText(inserting ? QString() : foods->FieldByName(QStringLiteral("ServeCount"))->AsString());
    editPrepTime->setText(inserting ? QString() : foods->FieldByName(QStringLiteral("PrepTime"))->AsString());
    editCookingTime->setText(inserting ? QString() : foods->FieldByName(QStringLiteral("CookingTime"))->AsString());
    TDMServices* services = TDMServices::Install(m_dm);
    if (inserting) {
        memoIngredients->clear();
        memoPreparation->clear();
        m_picture = QImage();
    } else {
        memoIngredients->setHtml(
            services->LoadTextRows(m_dm->cdsFoodTexts, int(TFoodTextFlag::Ingredients)).join(QLatin1Char('\n')));
        memoPreparation->setHtml(
            services->LoadTextRows(m_dm->cdsFoodTexts, int(TFoodTextFlag::Preparation)).join(QLatin1Char('\n')));
        m_picture = foods->FieldByName(QStringLiteral("HasPic"))->AsBoolean()
            ? LoadImage(KeyFileOrEmpty(&GetFoodPicFile, GetUKey(foods)))
            : QImage();
    }
    m_pictureChanged = false;
    ShowPicture();
    pagesMain->setCurrentWidget(tabsRecipe);
    SetEditorsVisible(true);
    editFoodName->setFocus();
}

void TframeFoods::btnNewClick() {
    if (auto* screen = qobject_cast<TFRFoodScreen*>(Screen.data())) screen->NewRecipe();
}

void TframeFoods::btnEditClick() {
    if (!IsAuthor()) return;
    if (auto* screen = qobject_cast<TFRFoodScreen*>(Screen.data())) screen->EditRecipe();
}

void TframeFoods::btnDeleteClick() {
    TExtClientDataSet* foods = Foods();
    if (Editing() || foods->RecordCount() == 0 || !IsAuthor()) return;
    const QString name = foods->FieldByName(QStringLiteral("FoodName"))->AsString();
    if (UIServices::MessageBox(
            UIServices::TMsgIcon::Warning, UIServices::TMsgButtons::YesNo, QStringLiteral("Mykotekshallen - Varning"),
            QStringLiteral("Du är på väg att radera receptet \"%1\". Skall raderingen genomföras?").arg(name)) !=
        UIServices::TMsgResult::Yes)
        return;
    foods->Delete();
    if (foods->RecordCount() == 0) ShowingInfo = false;
    if (Screen)
        UpdateScreen();
    else
        UpdateFrame();
}

void TframeFoods::btnShowClick() {
    if (Editing() || Foods()->RecordCount() == 0) return;
    AddHistoryItem();
    ShowingInfo = true;
    UpdateFrame();
}

void TframeFoods::btnBackToListClick() {
    if (Editing()) return;
    AddHistoryItem();
    ShowingInfo = false;
    UpdateFrame();
}

void TframeFoods::btnPriorClick() {
    if (Editing()) return;
    Foods()->Prior();
    UpdateFrame();
}

void TframeFoods::btnNextClick() {
    if (Editing()) return;
    Foods()->Next();
    UpdateFrame();
}

void TframeFoods::btnSaveClick() {
    if (!Editing()) return;
    CheckEditNumber(0, editFoodName, QStringLiteral("Receptet måste ha ett namn!"));
    CheckEditNumber(1, editServeCount, QStringLiteral("Ogiltigt portionsantal!"));
    CheckEditNumber(2, editPrepTime, QStringLiteral("Ogiltig förberedelsetid!"));
    CheckEditNumber(2, editCookingTime, QStringLiteral("Ogiltig tillagningstid!"));
    TExtClientDataSet* foods = Foods();
    foods->FieldByName(QStringLiteral("FoodName"))->SetAsString(editFoodName->text().trimmed());
    foods->FieldByName(QStringLiteral("ServeCount"))->SetAsInteger(editServeCount->text().trimmed().toInt());
    foods->FieldByName(QStringLiteral("PrepTime"))->SetAsInteger(editPrepTime->text().trimmed().toInt());
    foods->FieldByName(QStringLiteral("CookingTime"))->SetAsInteger(editCookingTime->text().trimmed().toInt());

    // The picture files follow the record: they change only once it is posted, and only
    // when the picture itself was changed.
    const QString key = GetUKey(foods);
    TPendingFile picture, thumbnail;
    if (m_pictureChanged) {
        const bool hasPic = foods->FieldByName(QStringLiteral("HasPic"))->AsBoolean() && !m_picture.isNull();
        if (hasPic) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            if (!m_picture.save(&buffer, "JPG", 90)) throw Exception(QStringLiteral("Bilden kunde inte sparas"));
            picture.Write(GetFoodPicFile(key), bytes);
            thumbnail = MakeFoodThumbnail(m_picture, key);
        } else {
            foods->FieldByName(QStringLiteral("HasPic"))->SetAsBoolean(false);
            picture.Remove(GetFoodPicFile(key));
            thumbnail.Remove(GetFoodPicThumbFile(key));
        }
    }
    const QStringList ingredients = memoIngredients->toPlainText().trimmed().isEmpty()
        ? QStringList()
        : memoIngredients->toHtml().split(QLatin1Char('\n'));
    const QStringList preparation = memoPreparation->toPlainText().trimmed().isEmpty()
        ? QStringList()
        : memoPreparation->toHtml().split(QLatin1Char('\n'));
    foods->Post();
    // The recipe is stored from here on: whatever fails next, the frame leaves editing.
    auto leaveEditing = qScopeGuard([this] {
        m_pictureChanged = false;
        ShowingInfo = true;
        if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
        // Runs while an exception may be on its way; it must not raise another.
        Guarded([this] {
            if (Screen)
                UpdateScreen();
            else
                UpdateFrame();
        });
    });
    picture.Commit();
    thumbnail.Commit();
    TDMServices* services = TDMServices::Install(m_dm);
    services->SaveTextRows(ingredients, m_dm->cdsFoodTexts, FoodTextRowWidth, int(TFoodTextFlag::Ingredients));
    services->SaveTextRows(preparation, m_dm->cdsFoodTexts, FoodTextRowWidth, int(TFoodTextFlag::Preparation));
}

void TframeFoods::btnCancelClick() {
    if (!Editing()) return;
    const bool inserting = Foods()->State() == TDataSetState::dsInsert;
    Foods()->Cancel();
    m_pictureChanged = false;
    if (inserting) ShowingInfo = false;
    if (TFRScreenHost* host = ScreenHost()) host->SetNavigationEnabled(true);
    if (Screen)
        UpdateScreen();
    else
        UpdateFrame();
}

QTextEdit* TframeFoods::ActiveMemo() const {
    if (memoPreparation->hasFocus()) return memoPreparation;
    if (memoIngredients->hasFocus()) return memoIngredients;
    return m_lastMemo ? m_lastMemo : memoIngredients;
}

void TframeFoods::ApplyTextStyle(bool header) {
    if (!Editing()) return;
    QTextEdit* memo = ActiveMemo();
    QTextCursor cursor = memo->textCursor();
    if (!cursor.hasSelection()) return;
    QTextCharFormat format;
    format.setFontWeight(header ? QFont::Black : QFont::Normal);
    format.setFontPointSize(header ? 12 : memo->font().pointSizeF());
    cursor.mergeCharFormat(format);
    memo->setTextCursor(cursor);
}

void TframeFoods::btnHeaderClick() { ApplyTextStyle(true); }
void TframeFoods::btnPlainClick() { ApplyTextStyle(false); }

void TframeFoods::SetPicture(const QImage& image) {
    m_picture = image;
    m_pictureChanged = true;
    Foods()->FieldByName(QStringLiteral("HasPic"))->SetAsBoolean(!image.isNull());
    ShowPicture();
    btnRemovePic->setEnabled(!image.isNull());
}

void TframeFoods::btnPicFromFileClick() {
    if (!Editing()) return;
    QString folder;
    // Never written before: the dialog opens in the user-picture folder, else its own.
    for (const char* key : {"Settings/FoodPicFolder", "Settings/UserPicFolder"}) {
        if (!m_settings || !folder.isEmpty()) break;
        folder = m_settings->ReadString(QString::fromLatin1(key), QString());
    }
    const QString file = UIServices::GetOpenFileName(this, QStringLiteral("Välj bild"), folder, kPictureFilter);
    if (file.isEmpty()) return;
    try {
        if (m_settings)
            m_settings->WriteString(QStringLiteral("Settings/FoodPicFolder"), QFileInfo(file).absolutePath());
    } catch (const Exception&) {
        // Only remembered for the next time.
    }
    QImage source;
    if (!source.load(file))
        throw Exception(QStringLiteral("Filen \"%1\" kunde inte läsas som bild").arg(QDir::toNativeSeparators(file)));
    SetPicture(source);
}

void TframeFoods::btnPicFromClipboardClick() {
    if (!Editing()) return;
    const QImage source = TRecordPicture::FromClipboard();
    if (!source.isNull()) SetPicture(source);
}

void TframeFoods::btnRemovePicClick() {
    if (!Editing()) return;
    SetPicture(QImage());
}

QString TframeFoods::ScriptExternal(const QString& name) const {
    int flag = -1;
    if (name.compare(QLatin1String("matingredienser"), Qt::CaseInsensitive) == 0)
        flag = int(TFoodTextFlag::Ingredients);
    if (name.compare(QLatin1String("mattillagning"), Qt::CaseInsensitive) == 0) flag = int(TFoodTextFlag::Preparation);
    if (flag < 0 || Foods()->RecordCount() == 0) return QString();
    TDMServices* services = TDMServices::Install(m_dm);
    return FoodPlainText(services->LoadTextRows(m_dm->cdsFoodTexts, flag).join(QLatin1Char('\n')));
}

void TframeFoods::AddHistoryItem() {
    if (!Screen || !Screen->RecordHistory) return;
    if (TFRHistoryItems* history = History()) history->Add(CreateHistoryItem());
}

TFRHistoryItem* TframeFoods::CreateHistoryItem() {
    auto* item = new TFRHistoryItem;
    item->Screen = Screen.data();
    item->DataSet = Foods();
    item->Title = QStringLiteral("Till Svamp i maten");
    item->SetValues(QStringLiteral("TypeUKey"), m_categoryButtons.isEmpty() ? QString() : GetUKey(Types()));
    item->SetValues(QStringLiteral("FoodUKey"), Foods()->RecordCount() > 0 ? GetUKey(Foods()) : QString());
    item->SetBoolValues(QStringLiteral("ShowingInfo"), ShowingInfo);
    return item;
}

void TframeFoods::RestoreHistory(TFRHistoryItem* item) {
    const QString typeKey = item->Values(QStringLiteral("TypeUKey"));
    if (!typeKey.isEmpty() && LocateUKey(Types(), typeKey)) SelectCategory(Types()->RecNo());
    const QString foodKey = item->Values(QStringLiteral("FoodUKey"));
    if (!foodKey.isEmpty()) static_cast<void>(LocateUKey(Foods(), foodKey));
    ShowingInfo = item->BoolValues(QStringLiteral("ShowingInfo"));
}

#include "moc_unitFrameFoods.cpp"
