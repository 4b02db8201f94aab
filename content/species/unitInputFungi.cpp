#include "content/species/unitInputFungi.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "content/species/FungiFieldItems.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiScreen.h"
#include "controls/FRColorbar.h"
#include "controls/FRDBSeason.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FREdits.h"
#include "controls/FRGuard.h"
#include "controls/FRInfoPanel.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "core/ExtClientDataSet.h"
#include "core/InfoTexts.h"
#include "shell/MyVisualUtils.h"
#include "shell/unitColorChoice.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitSaveCompleted.h"
#include "shell/unitUserScreen.h"
#include "platform/DataLink.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"

namespace {

constexpr int kInfoWidth = 270;
constexpr int kBarWidth = 220;
constexpr int kBarHeight = 16;

const char* const kSignatureTaken = "Signaturen \"%1\" är upptagen. Prova med en annan signatur";

// The index of the chosen item of a single choice, -1 when none is chosen.
int ChoiceIndex(const TFRMultiChoice* choice) {
    for (int i = 0; i < choice->Count(); ++i)
        if (choice->Selected(i)) return i;
    return -1;
}

// The field link of a data-aware control of the form, or nullptr.
TFieldLink* LinkOf(QWidget* control) {
    if (auto* edit = qobject_cast<TFRDBEdit*>(control)) return &edit->Link();
    if (auto* choice = qobject_cast<TFRDBMultiChoice*>(control)) return &choice->Link();
    if (auto* bar = qobject_cast<TFRDBColorbar*>(control)) return &bar->Link();
    return nullptr;
}

// The rows of a detail table of the current species (those of RowFlag flag when it is 0
// or more), one value of the field each, in the table's order.
QStringList DetailLines(TExtClientDataSet* table, const QString& field, int flag = -1) {
    QStringList lines;
    if (!table->Active()) return lines;
    const int value = table->FieldByName(field)->Index();
    const TField* flagField = flag >= 0 ? table->FindField(QStringLiteral("RowFlag")) : nullptr;
    for (int row = 0; row < table->RecordCount(); ++row) {
        if (flagField && table->RecordValue(row, flagField->Index()).toInt() != flag) continue;
        lines << table->RecordValue(row, value).toString();
    }
    return lines;
}

}  // namespace

TformInputFungi::TformInputFungi(TFRFungiScreen* screen, QWidget* parent) : QDialog(parent), m_screen(screen) {
    SetupForm();
}

TformInputFungi::~TformInputFungi() {
    // The controls leave the data source before it goes.
    const QList<QWidget*> bound = m_tags.keys();
    for (QWidget* control : bound)
        if (TFieldLink* link = LinkOf(control)) link->SetDataSource(nullptr);
    for (TFRDBSeason* season : findChildren<TFRDBSeason*>()) season->SetDataSource(nullptr);
    for (TFRDBSwedenMap* map : findChildren<TFRDBSwedenMap*>()) map->SetDataSource(nullptr);
}

TExtClientDataSet* TformInputFungi::Fungi() const { return m_screen->Fungi(); }

// ---- Building the form ----

void TformInputFungi::SetupForm() {
    setObjectName(QStringLiteral("formInputFungi"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Komplettering av svampart"));
    m_source = new TDataSource(this, QStringLiteral("dsInputFungi"));
    m_source->SetAutoEdit(false);
    m_source->SetDataSet(Fungi());

    auto* main = new QVBoxLayout(this);
    lblHeader = new QLabel(this);
    lblHeader->setObjectName(QStringLiteral("lblHeader"));
    QFont big = lblHeader->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 3);
    lblHeader->setFont(big);
    main->addWidget(lblHeader);

    auto* middle = new QHBoxLayout;
    pagesInput = new QStackedWidget(this);
    pagesInput->setObjectName(QStringLiteral("pagesInput"));
    middle->addWidget(pagesInput, 1);
    panelInfo = new TFRInfoPanel(this);
    panelInfo->setObjectName(QStringLiteral("panelInfo"));
    panelInfo->SetIcon(TInfoPanelIcon::icInfo);
    panelInfo->SetCornerRadius(12);
    panelInfo->SetBackgroundColor(0xE1FFFF);
    panelInfo->setFixedWidth(kInfoWidth);
    panelInfo->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    middle->addWidget(panelInfo);
    main->addLayout(middle, 1);

    auto* buttons = new QHBoxLayout;
    btnPrior = new QPushButton(QStringLiteral("< &Föregående"), this);
    btnPrior->setObjectName(QStringLiteral("btnPrior"));
    btnNext = new QPushButton(QStringLiteral("&Nästa >"), this);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    btnSave = new QPushButton(QStringLiteral("Spara och stäng"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter belongs to the edits and memos; no button answers it by itself.
    for (QPushButton* b : {btnPrior, btnNext, btnSave, btnCancel}) b->setAutoDefault(false);
    buttons->addWidget(btnPrior);
    buttons->addWidget(btnNext);
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    main->addLayout(buttons);
    connect(btnPrior, &QPushButton::clicked, this, [this] { Guarded([this] { PriorClick(); }); });
    connect(btnNext, &QPushButton::clicked, this, [this] { Guarded([this] { NextClick(); }); });
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { SaveClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { Guarded([this] { CancelClick(); }); });

    // 0: names and group.
    QWidget* page = NewPage("tabsSwedishNames", QStringLiteral("Namn och grupp"));
    memoSwedishNames = NewMemo(page, "memoSwedishNames");
    memoSwedishNames->installEventFilter(this);
    AddRow(page, QStringLiteral("Svenska synonymer:"), memoSwedishNames);
    dbeditFungiGroup = NewEdit(page, "dbeditFungiGroup", "FungiGroup", 260);
    if (TformFRMain* form = MainForm()) dbeditFungiGroup->SetItems(form->FungiGroups);
    dbeditFungiGroup->OnDropDownQuery = [](TFREdit* edit, bool, bool& allow) { allow = !edit->isReadOnly(); };
    AddRow(page, QStringLiteral("Grupp:"), dbeditFungiGroup);
    dbeditSignature = NewEdit(page, "dbeditSignature", "Signature", 100);
    AddRow(page, QStringLiteral("Signatur:"), dbeditSignature);
    memoLatinNames = NewMemo(page, "memoLatinNames");
    AddRow(page, QStringLiteral("Latinska synonymer:"), memoLatinNames);

    // 1: food value, taste and smell.
    page = NewPage("tabsFoodValue", QStringLiteral("Matvärde, smak och lukt"));
    multicFoodValue1 = NewChoice(page, "multicFoodValue1", "FoodValue1", FungiFoodItems(), 3, 90, false);
    AddRow(page, QStringLiteral("Matvärde:"), multicFoodValue1);
    multicCookingRequired =
        NewChoice(page, "multicCookingRequired", "CookingRequired", FungiYesNoItems(), 2, 45, false);
    AddRow(page, QStringLiteral("Avkokning krävs:"), multicCookingRequired);
    multicFoodValue2 = NewChoice(page, "multicFoodValue2", "FoodValue2", FungiFoodItems(), 3, 90, false);
    AddRow(page, QStringLiteral("Matvärde före avkokning:"), multicFoodValue2);
    dbeditTaste = NewEdit(page, "dbeditTaste", "Taste", 260);
    AddRow(page, QStringLiteral("Smak:"), dbeditTaste);
    dbeditSmell = NewEdit(page, "dbeditSmell", "Smell", 260);
    AddRow(page, QStringLiteral("Lukt:"), dbeditSmell);

    // 2: cap or not; the fruit body of a fungus without cap.
    page = NewPage("tabsHatFungi", QStringLiteral("Hatt eller fruktkropp"));
    multicHatFungi = NewChoice(page, "multicHatFungi", "HatFungi", FungiYesNoItems(), 2, 45, false);
    AddRow(page, QStringLiteral("Hattsvamp:"), multicHatFungi);
    cbarBodyColor = NewColorbar(page, "cbarBodyColor", "BodyColor");
    AddRow(page, QStringLiteral("Fruktkropp, färg:"), cbarBodyColor);
    dbeditBodyWidthMinimum = NewEdit(page, "dbeditBodyWidthMinimum", "BodySizeMinimum", 50);
    dbeditBodyWidthMaximum = NewEdit(page, "dbeditBodyWidthMaximum", "BodySizeMaximum", 50);
    AddRow(page, QStringLiteral("Fruktkropp bredd:"), {dbeditBodyWidthMinimum, dbeditBodyWidthMaximum},
           QStringLiteral("mm"));
    dbeditBodyHeightMinimum = NewEdit(page, "dbeditBodyHeightMinimum", "BodyHeightMinimum", 50);
    dbeditBodyHeightMaximum = NewEdit(page, "dbeditBodyHeightMaximum", "BodyHeightMaximum", 50);
    AddRow(page, QStringLiteral("Fruktkropp höjd:"), {dbeditBodyHeightMinimum, dbeditBodyHeightMaximum},
           QStringLiteral("mm"));
    multicBodyGroupedGrowth =
        NewChoice(page, "multicBodyGroupedGrowth", "GroupedGrowth", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Tuvat växtsätt:"), multicBodyGroupedGrowth);

    // 3: the underside of the cap.
    page = NewPage("tabsHatSubType", QStringLiteral("Hattens undersida"));
    multicHatSubType = NewChoice(page, "multicHatSubType", "HatSubType", FungiHatSubTypeItems(), 4, 55, false);
    AddRow(page, QStringLiteral("Hattundersida:"), multicHatSubType);
    multicHatSubGrowth = NewChoice(page, "multicHatSubGrowth", "HatSubGrowth", FungiGillGrowthItems(), 3, 90, true);
    AddRow(page, QStringLiteral("Skivor, växtsätt:"), multicHatSubGrowth);
    multicHatSubDensity =
        NewChoice(page, "multicHatSubDensity", "HatSubDensity", FungiGillDensityItems(), 3, 60, false);
    AddRow(page, QStringLiteral("Skivor, täthet:"), multicHatSubDensity);
    multicPoreGrowth = NewChoice(page, "multicPoreGrowth", "HatSubGrowth", FungiPoreGrowthItems(), 3, 90, true);
    AddRow(page, QStringLiteral("Rör, växtsätt:"), multicPoreGrowth);
    multicPoreDensity = NewChoice(page, "multicPoreDensity", "HatSubDensity", FungiPoreDensityItems(), 3, 60, false);
    AddRow(page, QStringLiteral("Porer, storlek:"), multicPoreDensity);
    cbarHatSubColor = NewColorbar(page, "cbarHatSubColor", "HatSubColor");
    AddRow(page, QStringLiteral("Skivor, färg:"), cbarHatSubColor);

    // 4: cap and foot.
    page = NewPage("tabsHatAttributes", QStringLiteral("Hatt och fot"));
    multicScaledHat = NewChoice(page, "multicScaledHat", "ScaledHat", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Fjällig hatt:"), multicScaledHat);
    multicLinedHat = NewChoice(page, "multicLinedHat", "LinedHat", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Strimmig hatt:"), multicLinedHat);
    multicDottedHat = NewChoice(page, "multicDottedHat", "DottedHat", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Prickig hatt:"), multicDottedHat);
    dbeditHatSizeMinimum = NewEdit(page, "dbeditHatSizeMinimum", "BodySizeMinimum", 50);
    dbeditHatSizeMaximum = NewEdit(page, "dbeditHatSizeMaximum", "BodySizeMaximum", 50);
    AddRow(page, QStringLiteral("Hatt, storlek:"), {dbeditHatSizeMinimum, dbeditHatSizeMaximum}, QStringLiteral("mm"));
    cbarHatColor = NewColorbar(page, "cbarHatColor", "BodyColor");
    AddRow(page, QStringLiteral("Hatt, färg:"), cbarHatColor);
    multicGroupedGrowth = NewChoice(page, "multicGroupedGrowth", "GroupedGrowth", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Tuvat växtsätt:"), multicGroupedGrowth);
    dbeditFootSizeMinimum = NewEdit(page, "dbeditFootSizeMinimum", "FootSizeMinimum", 50);
    dbeditFootSizeMaximum = NewEdit(page, "dbeditFootSizeMaximum", "FootSizeMaximum", 50);
    AddRow(page, QStringLiteral("Fot, tjocklek:"), {dbeditFootSizeMinimum, dbeditFootSizeMaximum},
           QStringLiteral("mm"));
    cbarFootColor = NewColorbar(page, "cbarFootColor", "FootColor");
    AddRow(page, QStringLiteral("Fot, färg:"), cbarFootColor);
    multicFootRing = NewChoice(page, "multicFootRing", "FootRing", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Ring på foten:"), multicFootRing);

    // 5: flesh, habitat and substrate.
    page = NewPage("tabsMeatColor", QStringLiteral("Fruktkött och växtplats"));
    cbarMeatColor = NewColorbar(page, "cbarMeatColor", "MeatColor");
    AddRow(page, QStringLiteral("Fruktkött, färg:"), cbarMeatColor);
    multicVisibleMeatJuice =
        NewChoice(page, "multicVisibleMeatJuice", "VisibleMeatJuice", FungiOftenItems(), 4, 50, false);
    AddRow(page, QStringLiteral("Färgad köttsaft:"), multicVisibleMeatJuice);
    cbarMeatJuiceColor = NewColorbar(page, "cbarMeatJuiceColor", "MeatJuiceColor");
    AddRow(page, QStringLiteral("Köttsaft, färg:"), cbarMeatJuiceColor);
    multicHabitat = NewChoice(page, "multicHabitat", "Habitat", FungiHabitatItems(), 4, 64, true);
    AddRow(page, QStringLiteral("Lokal:"), multicHabitat);
    multicGrowthMethod = NewChoice(page, "multicGrowthMethod", "GrowthMethod", FungiGrowthMethodItems(), 3, 90, true);
    AddRow(page, QStringLiteral("Substrat (växtplats):"), multicGrowthMethod);

    // 6: spores.
    page = NewPage("tabsSpores", QStringLiteral("Sporer"));
    cbarSporeColor = NewColorbar(page, "cbarSporeColor", "SporeColor");
    AddRow(page, QStringLiteral("Sporer, färg:"), cbarSporeColor);
    dbeditSporeWidthMin = NewEdit(page, "dbeditSporeWidthMin", "SporeWidthMin", 50);
    dbeditSporeWidthMax = NewEdit(page, "dbeditSporeWidthMax", "SporeWidthMax", 50);
    AddRow(page, QStringLiteral("Sporer, bredd:"), {dbeditSporeWidthMin, dbeditSporeWidthMax}, QStringLiteral("µm"));
    dbeditSporeHeightMin = NewEdit(page, "dbeditSporeHeightMin", "SporeHeightMin", 50);
    dbeditSporeHeightMax = NewEdit(page, "dbeditSporeHeightMax", "SporeHeightMax", 50);
    AddRow(page, QStringLiteral("Sporer, längd:"), {dbeditSporeHeightMin, dbeditSporeHeightMax}, QStringLiteral("µm"));
    multicSporeProps = NewChoice(page, "multicSporeProps", "SporeProps", FungiSporePropItems(), 3, 90, true);
    AddRow(page, QStringLiteral("Sporer, egenskaper:"), multicSporeProps);
    dbeditSporeNote = NewEdit(page, "dbeditSporeNote", "SporeNote", 300);
    AddRow(page, QStringLiteral("Sporer, övrigt:"), dbeditSporeNote);

    // 7: regions of Sweden.
    page = NewPage("tabsOccurence", QStringLiteral("Förekomst i Sverige"));
    dbswedenmapOccurence = new TFRDBSwedenMap(page);
    dbswedenmapOccurence->setObjectName(QStringLiteral("dbswedenmapOccurence"));
    dbswedenmapOccurence->SetCaption(QStringLiteral("Förekomst"));
    dbswedenmapOccurence->SetIntensityColors(FungiOccurenceLevels());
    // The regions are drawn at their own size; the map keeps to it.
    dbswedenmapOccurence->setFixedSize(280, 270);
    dbswedenmapOccurence->SetDataSource(m_source);
    dbswedenmapOccurence->SetDataField(QStringLiteral("Occurence"));
    AddRow(page, QStringLiteral("Landsdelar:"), dbswedenmapOccurence);

    // 8: season.
    page = NewPage("tabsSeason", QStringLiteral("Säsong"));
    dbseasonSeason = new TFRDBSeason(page);
    dbseasonSeason->setObjectName(QStringLiteral("dbseasonSeason"));
    dbseasonSeason->SetCaption(QStringLiteral("Säsong"));
    dbseasonSeason->setMinimumWidth(300);
    dbseasonSeason->setFixedHeight(200);
    dbseasonSeason->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    dbseasonSeason->SetDataSource(m_source);
    dbseasonSeason->SetDataField(QStringLiteral("Season"));
    AddRow(page, QStringLiteral("Månader:"), dbseasonSeason);

    // 9: free text.
    page = NewPage("tabsInformation", QStringLiteral("Övrig information"));
    memoInformation = NewMemo(page, "memoInformation");
    memoInformation->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    memoInformation->setMaximumHeight(QWIDGETSIZE_MAX);
    // A line of the text is a paragraph: it wraps on the screen and is stored whole.
    memoInformation->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    AddRow(page, QStringLiteral("Övrigt:"), memoInformation);

    for (TFRDBMultiChoice* choice : {multicCookingRequired, multicHatFungi, multicHatSubType, multicVisibleMeatJuice})
        choice->OnChange = [this](TFRMultiChoice*) { Guarded([this] { UpdateDetails(); }); };
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && isAncestorOf(now))
            if (QWidget* control = TaggedControl(now)) ControlEntered(control);
    });

    formSaveCompleted = new TformSaveCompleted(this);
}

QWidget* TformInputFungi::NewPage(const char* name, const QString& title) {
    auto* page = new QWidget(pagesInput);
    page->setObjectName(QLatin1String(name));
    auto* rows = new QVBoxLayout(page);
    rows->setContentsMargins(4, 4, 4, 4);
    auto* heading =
        new QLabel(QStringLiteral("Steg %1 av %2: %3").arg(m_pages.size() + 1).arg(PageCount).arg(title), page);
    heading->setObjectName(QStringLiteral("lblTitle"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    rows->addWidget(heading);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    rows->addLayout(grid);
    rows->addStretch(1);
    pagesInput->addWidget(page);
    m_pages.append(page);
    return page;
}

void TformInputFungi::AddRow(QWidget* page, const QString& caption, QWidget* control) {
    AddRow(page, caption, QList<QWidget*>{control}, QString());
}

void TformInputFungi::AddRow(QWidget* page, const QString& caption, QList<QWidget*> controls, const QString& unit) {
    auto* grid = static_cast<QGridLayout*>(static_cast<QVBoxLayout*>(page->layout())->itemAt(1)->layout());
    const int row = grid->rowCount();
    auto* label = new QLabel(caption, page);
    // The caption stands level with the control's first line.
    QWidget* first = controls.first();
    int line = label->sizeHint().height();
    if (auto* choice = qobject_cast<TFRMultiChoice*>(first))
        line = choice->ItemHeight();
    else if (qobject_cast<QLineEdit*>(first))
        line = first->sizeHint().height();
    else if (qobject_cast<TFRDBColorbar*>(first))
        line = kBarHeight;
    label->setFixedHeight(std::max(line, label->fontMetrics().height()));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
    // The controls of a row stand in a holder of their own, so that the row hides as one.
    auto* holder = new QWidget(page);
    auto* parts = new QHBoxLayout(holder);
    parts->setContentsMargins(0, 0, 0, 0);
    parts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    bool stretches = false;
    bool widens = false;
    for (int i = 0; i < controls.size(); ++i) {
        QWidget* control = controls[i];
        if (i > 0) parts->addWidget(new QLabel(unit + QStringLiteral("  –"), holder));
        if (auto* bar = qobject_cast<TFRDBColorbar*>(control)) {
            // The bar widens itself and shows its markers while it is being edited; its
            // holder keeps that room free.
            auto* room = new QWidget(holder);
            room->setFixedSize(kBarWidth + 2 * kBarHeight, kBarHeight + bar->SliderHeight());
            bar->setParent(room);
            bar->move(0, 0);
            bar->show();
            parts->addWidget(room);
        } else {
            parts->addWidget(control);
        }
        // Only a control without a height of its own (map, season, text) takes the page's room.
        stretches = stretches ||
            (control->sizePolicy().verticalPolicy() == QSizePolicy::Expanding &&
             control->maximumHeight() == QWIDGETSIZE_MAX);
        widens = widens ||
            (control->sizePolicy().horizontalPolicy() == QSizePolicy::Expanding &&
             control->maximumWidth() == QWIDGETSIZE_MAX);
        TagControl(page, control);
        m_captions.insert(control, label);
        m_rowParts.insert(control, {label, holder});
    }
    if (!unit.isEmpty()) parts->addWidget(new QLabel(unit, holder));
    if (!widens) parts->addStretch(1);
    grid->addWidget(holder, row, 1);
    if (stretches) {
        // The row takes the height the page has to spare.
        grid->setRowStretch(row, 1);
        auto* rows = static_cast<QVBoxLayout*>(page->layout());
        rows->setStretch(1, 1);
        rows->setStretch(2, 0);
    }
}

void TformInputFungi::TagControl(QWidget* page, QWidget* control) {
    const int index = int(m_pages.indexOf(page));
    int tag = FirstTag;
    for (auto it = m_pageOf.cbegin(); it != m_pageOf.cend(); ++it)
        if (it.value() == index) ++tag;
    m_tags.insert(control, tag);
    m_pageOf.insert(control, index);
}

TFRDBMultiChoice* TformInputFungi::NewChoice(QWidget* page, const char* name, const char* field,
                                             const QStringList& items, int cols, int width, bool multi) {
    auto* choice = new TFRDBMultiChoice(page);
    choice->setObjectName(QLatin1String(name));
    choice->SetMinSelected(0);
    choice->SetMaxSelected(multi ? 0 : 1);
    choice->SetColCount(cols);
    choice->SetColWidth(width);
    choice->SetItems(items);
    choice->SetDataSource(m_source);
    choice->SetDataField(QLatin1String(field));
    return choice;
}

TFRDBEdit* TformInputFungi::NewEdit(QWidget* page, const char* name, const char* field, int width) {
    auto* edit = new TFRDBEdit(page);
    edit->setObjectName(QLatin1String(name));
    edit->setFixedWidth(width);
    edit->SetDataSource(m_source);
    edit->SetDataField(QLatin1String(field));
    return edit;
}

TFRDBColorbar* TformInputFungi::NewColorbar(QWidget* page, const char* name, const char* field) {
    auto* bar = new TFRDBColorbar(page);
    bar->setObjectName(QLatin1String(name));
    bar->resize(kBarWidth, kBarHeight);
    bar->SetDataSource(m_source);
    bar->SetDataField(QLatin1String(field));
    bar->OnColorBarQuery = [this](TFRDBColorbar*, TColor& colour) {
        if (TformFRMain* form = MainForm())
            form->ColorDialogExecute(colour);
        else
            ExecuteColorDialog(this, colour);
    };
    return bar;
}

TFRMemo* TformInputFungi::NewMemo(QWidget* page, const char* name) {
    auto* memo = new TFRMemo(page);
    memo->setObjectName(QLatin1String(name));
    memo->setTabChangesFocus(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setMinimumWidth(260);
    memo->setMaximumHeight(6 * memo->fontMetrics().lineSpacing() + 12);
    return memo;
}

void TformInputFungi::SetRowShown(QWidget* control, bool shown) {
    for (QWidget* part : m_rowParts.value(control)) part->setVisible(shown);
}

// ---- Showing ----

int TformInputFungi::Execute() {
    PrepareForm();
    FitDialogToScreen(this, QSize(900, 600));
    return UIServices::ExecDialog(this);
}

void TformInputFungi::PrepareForm() {
    TExtClientDataSet* fungi = Fungi();
    TDM* dm = m_screen->DataModule();
    m_skipped.clear();
    m_saved = false;
    fungi->Edit();
    dbeditFungiGroup->setReadOnly(false);
    auto field = [fungi](const char* name) { return fungi->FieldByName(QLatin1String(name)); };
    if (field("FungiData")->AsString() == QLatin1String("UNCP")) {
        // A group given before the description is completed stays.
        dbeditFungiGroup->setReadOnly(!field("FungiGroup")->AsString().isEmpty());
        static const std::pair<const char*, int> starting[] = {
            {"Difficulty", 2},    {"FoodValue1", 2}, {"CookingRequired", 1}, {"FoodValue2", 2},    {"HatFungi", 0},
            {"GroupedGrowth", 3}, {"FootRing", 3},   {"HatSubType", 0},      {"HatSubDensity", 1}, {"ScaledHat", 3},
            {"DottedHat", 3},     {"LinedHat", 3},   {"VisibleMeatJuice", 2}};
        for (const auto& [name, value] : starting) field(name)->SetAsInteger(value);
        field("Smell")->SetAsString(QStringLiteral("Mild"));
        field("Taste")->SetAsString(QStringLiteral("Mild"));
        field("HatSubGrowth")->SetAsString(QStringLiteral("0"));
        field("GrowthMethod")->SetAsString(QStringLiteral("0"));
        field("CompletedBy")->SetAsString(GetCurrentUserContactUKey());
    }
    memoInformation->setPlainText(DetailLines(dm->cdsFungiTexts, QStringLiteral("RowText"), 0).join(u'\n'));
    memoSwedishNames->setPlainText(DetailLines(dm->cdsSwedishNames, QStringLiteral("SwedishName")).join(u'\n'));
    memoLatinNames->setPlainText(DetailLines(dm->cdsLatinNames, QStringLiteral("LatinName")).join(u'\n'));
    lblHeader->setText(m_screen->GetFungiFullName(QStringLiteral("*")));
    UpdateDetails();
    ShowPage(0);
}

void TformInputFungi::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QList<QWidget*> controls = TabControls(PageIndex());
    if (!controls.isEmpty() && !TaggedControl(focusWidget())) controls.first()->setFocus(Qt::OtherFocusReason);
    ShowInfoLines();
}

void TformInputFungi::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ShowInfoLines();
}

// ---- Pages ----

int TformInputFungi::PageIndex() const { return pagesInput->currentIndex(); }

int TformInputFungi::NextPage(int from, int step) const {
    int page = from + step;
    while (page >= 0 && page < PageCount && m_skipped.contains(page)) page += step;
    return std::clamp(page, 0, PageCount - 1);
}

void TformInputFungi::ShowPage(int page, bool last) {
    if (page < 0 || page >= PageCount) return;
    pagesInput->setCurrentIndex(page);
    UpdateButtons();
    const QList<QWidget*> controls = TabControls(page);
    if (controls.isEmpty()) return;
    QWidget* control = last ? controls.last() : controls.first();
    control->setFocus(last ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    ControlEntered(control);
}

void TformInputFungi::NextClick() { ShowPage(NextPage(PageIndex(), 1)); }

void TformInputFungi::PriorClick() { ShowPage(NextPage(PageIndex(), -1)); }

void TformInputFungi::UpdateButtons() {
    btnPrior->setEnabled(PageIndex() > 0);
    btnNext->setEnabled(PageIndex() < PageCount - 1);
}

void TformInputFungi::UpdateDetails() {
    SetRowShown(multicFoodValue2, ChoiceIndex(multicCookingRequired) == 0);

    // Fields that two pages show: what one control holds goes to the record before the
    // other one takes over.
    for (QWidget* twin : {static_cast<QWidget*>(cbarBodyColor), static_cast<QWidget*>(cbarHatColor),
                          static_cast<QWidget*>(dbeditBodyWidthMinimum), static_cast<QWidget*>(dbeditBodyWidthMaximum),
                          static_cast<QWidget*>(dbeditHatSizeMinimum), static_cast<QWidget*>(dbeditHatSizeMaximum),
                          static_cast<QWidget*>(multicBodyGroupedGrowth), static_cast<QWidget*>(multicGroupedGrowth),
                          static_cast<QWidget*>(multicHatSubGrowth), static_cast<QWidget*>(multicPoreGrowth),
                          static_cast<QWidget*>(multicHatSubDensity), static_cast<QWidget*>(multicPoreDensity)})
        if (TFieldLink* link = LinkOf(twin); link && link->Modified() && link->Editing()) link->UpdateRecord();

    const bool withoutCap = ChoiceIndex(multicHatFungi) == 1;
    m_skipped.clear();
    if (withoutCap) m_skipped = {3, 4};
    for (QWidget* row :
         {static_cast<QWidget*>(cbarBodyColor), static_cast<QWidget*>(dbeditBodyWidthMinimum),
          static_cast<QWidget*>(dbeditBodyHeightMinimum), static_cast<QWidget*>(multicBodyGroupedGrowth)})
        SetRowShown(row, withoutCap);

    const int underside = ChoiceIndex(multicHatSubType);
    SetRowShown(multicHatSubGrowth, underside == 0);
    SetRowShown(multicHatSubDensity, underside == 0);
    SetRowShown(multicPoreGrowth, underside == 1);
    SetRowShown(multicPoreDensity, underside == 1);
    static const QStringList colourCaptions = {QStringLiteral("Skivor, färg:"), QStringLiteral("Rörlager, färg:"),
                                               QStringLiteral("Taggar, färg:"), QStringLiteral("Åsar, färg:")};
    RowCaption(cbarHatSubColor)->setText(colourCaptions.value(underside, colourCaptions.first()));

    SetRowShown(cbarMeatJuiceColor, ChoiceIndex(multicVisibleMeatJuice) < 3);
}

QList<QWidget*> TformInputFungi::TabControls(int page) const {
    QList<QWidget*> controls;
    if (page < 0 || page >= m_pages.size()) return controls;
    for (auto it = m_pageOf.cbegin(); it != m_pageOf.cend(); ++it) {
        QWidget* control = it.key();
        if (it.value() == page && m_tags.value(control) >= FirstTag && control->isVisibleTo(m_pages[page]) &&
            control->isEnabled())
            controls.append(control);
    }
    std::sort(controls.begin(), controls.end(), [this](QWidget* a, QWidget* b) { return m_tags[a] < m_tags[b]; });
    return controls;
}

QWidget* TformInputFungi::TaggedControl(QWidget* widget) const {
    for (QWidget* w = widget; w && w != this; w = w->parentWidget())
        if (m_tags.contains(w)) return w;
    return nullptr;
}

bool TformInputFungi::focusNextPrevChild(bool next) {
    const int page = PageIndex();
    const QList<QWidget*> controls = TabControls(page);
    QWidget* current = TaggedControl(focusWidget());
    const int at = current ? int(controls.indexOf(current)) : -1;
    if (at >= 0) {
        const int to = next ? at + 1 : at - 1;
        if (to >= 0 && to < controls.size()) {
            controls[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            ControlEntered(controls[to]);
            return true;
        }
        ShowPage(NextPage(page, next ? 1 : -1), !next);
        return true;
    }
    // From a button or nowhere: into the page from its beginning or its end.
    ShowPage(page, !next);
    return true;
}

// ---- Info texts ----

void TformInputFungi::ControlEntered(QWidget* control) {
    QStringList lines;
    try {
        SetInfoText(control->objectName(), lines);
    } catch (const Exception&) {
        // A control without a text of its own shows an empty panel.
        lines.clear();
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
    m_info = lines;
    ShowInfoLines();
}

void TformInputFungi::ShowInfoLines() {
    // The panel draws whole lines: the paragraphs are wrapped to its width here.
    const QString icon = TFRInfoPanel::IconName(panelInfo->Icon());
    const int iconWidth = icon.isEmpty() ? 0 : Resources::Bitmap(icon).width() + 12;
    const int width = std::max(40, panelInfo->width() - 12 - iconWidth - 10);
    const QFontMetrics metrics(panelInfo->font());
    QStringList wrapped;
    for (const QString& paragraph : m_info) {
        QString rest = paragraph.trimmed();
        if (rest.isEmpty()) {
            wrapped << QString();
            continue;
        }
        while (!rest.isEmpty()) {
            QString line;
            GetWrappedLine(metrics, width, rest, line);
            if (line.isEmpty()) break;
            wrapped << line;
        }
    }
    panelInfo->SetInfo(wrapped);
}

// ---- Synonyms ----

bool TformInputFungi::eventFilter(QObject* watched, QEvent* event) {
    if (watched == memoSwedishNames && event->type() == QEvent::FocusOut) Guarded([this] { LeaveSwedishNames(); });
    return QDialog::eventFilter(watched, event);
}

void TformInputFungi::LeaveSwedishNames() {
    TExtClientDataSet* fungi = Fungi();
    if (fungi->State() != TDataSetState::dsEdit && fungi->State() != TDataSetState::dsInsert) return;
    TField* name = fungi->FieldByName(QStringLiteral("SwedishName"));
    QStringList lines = memoSwedishNames->toPlainText().split(u'\n');
    if (memoSwedishNames->toPlainText().isEmpty() || !name->AsString().isEmpty()) return;
    // The first synonym becomes the species' Swedish name when it has none.
    QString first = lines.first();
    while (!first.isEmpty() && first.front().isSpace()) first.remove(0, 1);
    if (first.isEmpty()) return;
    name->SetAsString(first);
    lines.removeFirst();
    memoSwedishNames->setPlainText(lines.join(u'\n'));
    lblHeader->setText(
        QStringLiteral("%1 (%2)").arg(first, fungi->FieldByName(QStringLiteral("LatinName"))->AsString()));
}

// ---- Saving ----

QStringList TformInputFungi::NameLines(const QString& text) {
    QStringList names;
    for (const QString& line : text.split(u'\n')) {
        const QString name = line.trimmed();
        if (!name.isEmpty()) names << name;
    }
    return names;
}

QStringList TformInputFungi::TextRows(const QString& text, int rowWidth) {
    QStringList rows;
    for (const QString& line : text.split(u'\n')) rows << CutNoteLine(line, rowWidth);
    while (!rows.isEmpty() && rows.last().trimmed().isEmpty()) rows.removeLast();
    return rows;
}

void TformInputFungi::SaveClick() {
    TExtClientDataSet* fungi = Fungi();
    TDM* dm = m_screen->DataModule();
    TDMServices* services = TDMServices::Of(dm);
    if (!services) throw Exception(QStringLiteral("Datamodulens tjänster saknas"));
    // What the focused control holds goes to the record first.
    fungi->UpdateRecord();
    TField* signature = fungi->FieldByName(QStringLiteral("Signature"));
    const QString sign = signature->AsString().trimmed();
    if (!sign.isEmpty()) {
        const QString owner = m_screen->FindUKeyBySignature(sign);
        if (!owner.isEmpty() && owner != GetUKey(fungi)) {
            ShowPage(0);
            dbeditSignature->setFocus(Qt::OtherFocusReason);
            ControlEntered(dbeditSignature);
            throw Exception(QString::fromUtf8(kSignatureTaken).arg(sign));
        }
    }

    const int how = formSaveCompleted->Execute();
    if (how == 0) return;
    TField* state = fungi->FieldByName(QStringLiteral("FungiData"));
    TField* completer = fungi->FieldByName(QStringLiteral("CompletedBy"));
    const QString stateBefore = state->AsString();
    const QString completerBefore = completer->AsString();
    if (signature->AsString() != sign) signature->SetAsString(sign);
    if (how == 2) {
        state->SetAsString(QStringLiteral("CPLD"));
        completer->SetAsString(GetCurrentUserContactUKey());
    } else {
        state->SetAsString(QStringLiteral("CPNG"));
    }

    TDMServices::TFungiDescription description;
    description.SwedishNames = NameLines(memoSwedishNames->toPlainText());
    description.LatinNames = NameLines(memoLatinNames->toPlainText());
    description.TextRows =
        TextRows(memoInformation->toPlainText(), dm->cdsFungiTexts->FieldByName(QStringLiteral("RowText"))->Size());
    try {
        services->SaveFungiDescription(description);
    } catch (...) {
        // The form stays open with the species as it was being edited.
        if (fungi->State() == TDataSetState::dsEdit) {
            state->SetAsString(stateBefore);
            completer->SetAsString(completerBefore);
        }
        throw;
    }
    m_saved = true;
    accept();
}

void TformInputFungi::CancelClick() { reject(); }

void TformInputFungi::done(int result) {
    if (!m_saved) {
        TExtClientDataSet* fungi = Fungi();
        if (fungi->State() == TDataSetState::dsEdit || fungi->State() == TDataSetState::dsInsert) fungi->Cancel();
    }
    QDialog::done(result);
}

#include "moc_unitInputFungi.cpp"
