#include "content/species/FungiDescriptionColumn.h"
// The description column of the species frame: building its rows, filling them from the
// current species and stacking the rows it shows.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QToolButton>

#include "content/species/FungiFieldItems.h"
#include "content/species/unitFrameFungi.h"
#include "content/species/unitFungiScreen.h"
#include "controls/FRColorbar.h"
#include "controls/FRLabel.h"
#include "controls/FRMemos.h"
#include "controls/FRMultiChoice.h"
#include "core/ExtClientDataSet.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "platform/DataLink.h"
#include "platform/Resources.h"

void TColumnScroll::resizeEvent(QResizeEvent* e) {
    QScrollArea::resizeEvent(e);
    if (OnResize) OnResize();
}

QLabel* TframeFungi::AddLabel(const QString& caption, int x) {
    auto* label = new TFRLabel(caption, panelColumn);
    label->move(x, 0);
    label->hide();
    m_labels.insert(caption, label);
    return label;
}

QLabel* TframeFungi::AddText(const QString& field, int x, int width) {
    auto* text = new QLabel(panelColumn);
    text->setObjectName(QStringLiteral("text") + field);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(11);
    f.setBold(true);
    text->setFont(f);
    text->setGeometry(x, 0, width, 14);
    text->hide();
    m_fields.insert(field, text);
    return text;
}

TFRDBMultiChoice* TframeFungi::AddChoice(const QString& field, const QStringList& items, int cols, int width,
                                         bool multi) {
    auto* choice = new TFRDBMultiChoice(panelColumn);
    choice->setObjectName(QStringLiteral("multic") + field);
    choice->SetMinSelected(0);
    choice->SetMaxSelected(multi ? 0 : 1);
    choice->SetColCount(cols);
    choice->SetColWidth(width);
    choice->SetItems(items);
    choice->setFocusPolicy(Qt::NoFocus);
    choice->move(kFieldX, 0);
    choice->hide();
    choice->SetDataSource(m_source);
    choice->SetDataField(field.section(QLatin1Char('/'), 0, 0));
    if (!m_fields.contains(field)) m_fields.insert(field, choice);
    return choice;
}

TFRDBColorbar* TframeFungi::AddColorbar(const QString& field) {
    auto* bar = new TFRDBColorbar(panelColumn);
    bar->setObjectName(QStringLiteral("cbar") + field);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->SetDataSource(m_source);
    bar->SetDataField(field);
    bar->setFixedSize(200, 14);
    bar->move(kFieldX, 0);
    bar->hide();
    m_fields.insert(field, bar);
    return bar;
}

QLabel* TframeFungi::RowLabel(const QString& caption) const {
    for (QLabel* l : panelColumn->findChildren<QLabel*>())
        if (l->text() == caption && qobject_cast<TFRLabel*>(l)) return l;
    return nullptr;
}

QWidget* TframeFungi::RowField(const QString& field) const { return m_fields.value(field); }

void TframeFungi::SetupColumn() {
    SourceOfBoundControls();
    listSwedishNames = new QListWidget(panelColumn);
    listSwedishNames->setObjectName(QStringLiteral("listSwedishNames"));
    listLatinNames = new QListWidget(panelColumn);
    listLatinNames->setObjectName(QStringLiteral("listLatinNames"));
    for (QListWidget* list : {listSwedishNames, listLatinNames}) {
        list->setFrameShape(QFrame::NoFrame);
        list->setFocusPolicy(Qt::NoFocus);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setStyleSheet(QStringLiteral("QListWidget { background: transparent; }"));
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        f.setBold(true);
        list->setFont(f);
        list->hide();
    }
    listSwedishNames->move(kLabelX, 0);
    listLatinNames->move(kFieldX, 0);

    AddLabel(QStringLiteral("Latinska namn:"));
    AddText(QStringLiteral("LatinName"), kFieldX, 260)->setFont([] {
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        f.setItalic(true);
        f.setBold(true);
        return f;
    }());
    AddLabel(QStringLiteral("Signatur:"));
    AddText(QStringLiteral("Signature"), kFieldX, 100);
    AddLabel(QStringLiteral("Grupp:"));
    AddText(QStringLiteral("FungiGroup"), kFieldX, 260);
    AddLabel(QStringLiteral("Kompletterad av:"));
    AddText(QStringLiteral("CompletedBy"), kFieldX, 260);
    AddLabel(QStringLiteral("Matvärde:"));
    AddChoice(QStringLiteral("FoodValue1"), FungiFoodItems(), 3, 82, false);
    AddLabel(QStringLiteral("Avkokning krävs:"));
    AddChoice(QStringLiteral("CookingRequired"), FungiYesNoItems(), 2, 40, false);
    AddLabel(QStringLiteral("Matvärde före förvällning:"));
    AddChoice(QStringLiteral("FoodValue2"), FungiFoodItems(), 3, 82, false);
    AddLabel(QStringLiteral("Hattsvamp:"));
    AddChoice(QStringLiteral("HatFungi"), FungiYesNoItems(), 2, 40, false);
    AddLabel(QStringLiteral("Hattundersida:"));
    AddChoice(QStringLiteral("HatSubType"), FungiHatSubTypeItems(), 4, 55, false);
    m_labels.insert(QStringLiteral("#undersidecolor"), AddLabel(QStringLiteral("Skivor, färg:")));
    AddColorbar(QStringLiteral("HatSubColor"));
    m_labels.insert(QStringLiteral("#growth"), AddLabel(QStringLiteral("Skivor, växtsätt:")));
    AddChoice(QStringLiteral("HatSubGrowth"), FungiGillGrowthItems(), 3, 82, true);
    AddChoice(QStringLiteral("HatSubGrowth/pore"), FungiPoreGrowthItems(), 3, 82, true);
    m_labels.insert(QStringLiteral("#density"), AddLabel(QStringLiteral("Skivor, täthet:")));
    AddChoice(QStringLiteral("HatSubDensity"), FungiGillDensityItems(), 3, 55, false);
    AddChoice(QStringLiteral("HatSubDensity/pore"), FungiPoreDensityItems(), 3, 55, false);
    AddLabel(QStringLiteral("Fjällig hatt:"));
    AddChoice(QStringLiteral("ScaledHat"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Strimmig hatt:"));
    AddChoice(QStringLiteral("LinedHat"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Prickig hatt:"));
    AddChoice(QStringLiteral("DottedHat"), FungiOftenItems(), 4, 45, false);
    // Size rows: label, minimum, "mm  -", maximum, "mm".
    auto sizeRow = [this](const QString& key, const QString& caption, const QString& minField,
                          const QString& maxField) {
        m_labels.insert(key, AddLabel(caption));
        AddText(minField, kFieldX, 30)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* dash = new QLabel(QStringLiteral("mm  -"), panelColumn);
        dash->setGeometry(kFieldX + 34, 0, 34, 14);
        dash->hide();
        m_fields.insert(key + QStringLiteral("/dash"), dash);
        AddText(maxField, kFieldX + 68, 30)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* unit = new QLabel(QStringLiteral("mm"), panelColumn);
        unit->setGeometry(kFieldX + 102, 0, 30, 14);
        unit->hide();
        m_fields.insert(key + QStringLiteral("/unit"), unit);
    };
    sizeRow(QStringLiteral("#size"), QStringLiteral("Hatt, storlek:"), QStringLiteral("BodySizeMinimum"),
            QStringLiteral("BodySizeMaximum"));
    sizeRow(QStringLiteral("#height"), QStringLiteral("Fruktkr. höjd:"), QStringLiteral("BodyHeightMinimum"),
            QStringLiteral("BodyHeightMaximum"));
    m_labels.insert(QStringLiteral("#bodycolor"), AddLabel(QStringLiteral("Hatt, färg:")));
    AddColorbar(QStringLiteral("BodyColor"));
    sizeRow(QStringLiteral("#foot"), QStringLiteral("Fot, tjocklek:"), QStringLiteral("FootSizeMinimum"),
            QStringLiteral("FootSizeMaximum"));
    AddLabel(QStringLiteral("Fot, färg:"));
    AddColorbar(QStringLiteral("FootColor"));
    AddLabel(QStringLiteral("Ring på foten:"));
    AddChoice(QStringLiteral("FootRing"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Fruktkött, färg:"));
    AddColorbar(QStringLiteral("MeatColor"));
    AddLabel(QStringLiteral("Synlig köttsaft:"));
    AddChoice(QStringLiteral("VisibleMeatJuice"), FungiOftenItems(), 4, 45, false);
    AddLabel(QStringLiteral("Köttsaft, färg:"));
    AddColorbar(QStringLiteral("MeatJuiceColor"));
    AddLabel(QStringLiteral("Smak:"));
    AddText(QStringLiteral("Taste"), kFieldX, 260);
    AddLabel(QStringLiteral("Lukt:"));
    AddText(QStringLiteral("Smell"), kFieldX, 260);
    AddLabel(QStringLiteral("Lokal:"));
    AddChoice(QStringLiteral("Habitat"), FungiHabitatItems(), 4, 62, true);
    AddLabel(QStringLiteral("Substrat (växtplats):"));
    AddChoice(QStringLiteral("GrowthMethod"), FungiGrowthMethodItems(), 3, 82, true);
    AddLabel(QStringLiteral("Tuvat växtsätt:"));
    AddChoice(QStringLiteral("GroupedGrowth"), FungiOftenItems(), 4, 45, false);

    // The spore panel.
    panelSpores = new QFrame(panelColumn);
    panelSpores->setObjectName(QStringLiteral("panelSpores"));
    static_cast<QFrame*>(panelSpores)->setFrameShape(QFrame::StyledPanel);
    panelSpores->setGeometry(kLabelX, 0, kColumnWidth - 2 * kLabelX, kSporesClosed);
    btnSpores = new QToolButton(panelSpores);
    btnSpores->setObjectName(QStringLiteral("btnSpores"));
    btnSpores->setAutoRaise(true);
    btnSpores->setGeometry(1, 1, 16, 16);
    btnSpores->setToolTip(QStringLiteral("Visa eller dölj sporuppgifterna"));
    btnSpores->setIcon(QIcon(Resources::Bitmap(QStringLiteral("SPOREARROWDN"))));
    connect(btnSpores, &QToolButton::clicked, this, [this] { SporeClick(); });
    auto* sporeTitle = new QLabel(QStringLiteral("Sporer"), panelSpores);
    QFont bold(QStringLiteral("Arial"));
    bold.setPixelSize(11);
    bold.setBold(true);
    sporeTitle->setFont(bold);
    sporeTitle->setGeometry(20, 2, 44, 14);
    // The hint has the rest of the closed panel's one line, in the title's size, so it is never cut.
    lblSporeHint =
        new QLabel(QStringLiteral("Klicka på pilen för att se sporernas storlek, form och färg."), panelSpores);
    QFont hint(QStringLiteral("Arial"));
    hint.setPixelSize(11);
    lblSporeHint->setFont(hint);
    lblSporeHint->setGeometry(66, 2, panelSpores->width() - 66 - 4, 14);
    auto sporeLabel = [this](const QString& caption, int y) {
        auto* l = new TFRLabel(caption, panelSpores);
        l->move(0, y);
        m_labels.insert(caption, l);
        return l;
    };
    auto sporeText = [this](const QString& field, int x, int y, int w) {
        auto* t = new QLabel(panelSpores);
        t->setObjectName(QStringLiteral("text") + field);
        t->setGeometry(x, y, w, 14);
        m_fields.insert(field, t);
        return t;
    };
    sporeLabel(QStringLiteral("Sporbredd:"), 22);
    sporeText(QStringLiteral("SporeWidth"), kFieldX - kLabelX, 22, 200);
    sporeLabel(QStringLiteral("Sporlängd:"), 38);
    sporeText(QStringLiteral("SporeHeight"), kFieldX - kLabelX, 38, 200);
    sporeLabel(QStringLiteral("Sporform:"), 56);
    auto* props = new TFRDBMultiChoice(panelSpores);
    props->setObjectName(QStringLiteral("multicSporeProps"));
    props->SetMinSelected(0);
    props->SetMaxSelected(0);
    props->SetColCount(3);
    props->SetColWidth(82);
    props->SetItems(FungiSporePropItems());
    props->setFocusPolicy(Qt::NoFocus);
    props->move(kFieldX - kLabelX, 56);
    props->SetDataSource(m_source);
    props->SetDataField(QStringLiteral("SporeProps"));
    m_fields.insert(QStringLiteral("SporeProps"), props);
    sporeLabel(QStringLiteral("Sporanteckning:"), 152);
    sporeText(QStringLiteral("SporeNote"), kFieldX - kLabelX, 152, 260);
    lblSporeColor = sporeLabel(QStringLiteral("Sporfärg:"), 172);
    cbarSporeColor = new TFRDBColorbar(panelSpores);
    cbarSporeColor->setObjectName(QStringLiteral("cbarSporeColor"));
    cbarSporeColor->setFocusPolicy(Qt::NoFocus);
    cbarSporeColor->SetDataSource(m_source);
    cbarSporeColor->SetDataField(QStringLiteral("SporeColor"));
    cbarSporeColor->setFixedSize(200, 14);
    cbarSporeColor->move(kFieldX - kLabelX, 172);
    m_fields.insert(QStringLiteral("SporeColor"), cbarSporeColor);

    // The spacer, the free text and the notes.
    auto* spacer = new QLabel(panelColumn);
    spacer->setObjectName(QStringLiteral("lblSpacer"));
    spacer->setFixedSize(1, 4);
    m_fields.insert(QStringLiteral("#spacer"), spacer);
    AddLabel(QStringLiteral("Övrigt:"))->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    memoTexts = new TFRMemo(panelColumn);
    memoTexts->setObjectName(QStringLiteral("memoTexts"));
    memoTexts->setReadOnly(true);
    memoTexts->hide();
    AddLabel(QStringLiteral("Egna noteringar:"))->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    memoPrivate = new TFRMemo(panelColumn);
    memoPrivate->setObjectName(QStringLiteral("memoPrivate"));
    memoPrivate->hide();
    connect(memoPrivate, &QPlainTextEdit::textChanged, this, [this] { NotesChanged(); });
    btnSaveNotes = new QPushButton(QStringLiteral("Spara"), panelColumn);
    btnSaveNotes->setObjectName(QStringLiteral("btnSaveNotes"));
    connect(btnSaveNotes, &QPushButton::clicked, this, [this] { SaveNotesClick(); });
    btnCancelNotes = new QPushButton(QStringLiteral("Avbryt"), panelColumn);
    btnCancelNotes->setObjectName(QStringLiteral("btnCancelNotes"));
    connect(btnCancelNotes, &QPushButton::clicked, this, [this] { CancelNotesClick(); });
    panelColumn->resize(kColumnWidth, 600);
}

void TframeFungi::Stack(QWidget* control, bool show, int advance) {
    if (!control) return;
    if (show) {
        control->move(control->x(), m_stackPos);
        m_stackPos += advance;
        control->show();
    } else {
        control->hide();
    }
}

void TframeFungi::FillTextLines() {
    TDM* dm = m_screen->DataModule();
    auto linesOf = [](TExtClientDataSet* table) {
        QStringList lines;
        if (!table->Active()) return lines;
        const int field = table->FieldByName(QStringLiteral("RowText"))->Index();
        for (int row = 0; row < table->RecordCount(); ++row) lines << table->RecordValue(row, field).toString();
        return lines;
    };
    memoTexts->setPlainText(linesOf(dm->cdsFungiTexts).join(QLatin1Char('\n')));
    memoPrivate->setPlainText(linesOf(dm->cdsFungiPrivateTexts).join(QLatin1Char('\n')));
    m_notesKey = GetUKey(m_fungi);
}

void TframeFungi::LayoutColumn() {
    TDM* dm = m_screen->DataModule();
    const bool cap = FieldInt(QStringLiteral("HatFungi")) == 0;
    const int underside = FieldInt(QStringLiteral("HatSubType"));
    auto label = [this](const QString& caption) { return m_labels.value(caption); };
    auto field = [this](const QString& name) { return m_fields.value(name); };
    auto text = [this](const QString& name, const QString& value) {
        if (auto* l = qobject_cast<QLabel*>(m_fields.value(name))) l->setText(value);
    };

    // 1.
    panelColumn->hide();
    scrollDescription->verticalScrollBar()->setValue(0);
    m_stackPos = 30;
    // 2. Swedish names.
    auto fillList = [](QListWidget* list, TExtClientDataSet* table, const QString& fieldName) {
        list->clear();
        if (table->Active()) {
            const int f = table->FieldByName(fieldName)->Index();
            for (int row = 0; row < table->RecordCount(); ++row) list->addItem(table->RecordValue(row, f).toString());
        }
        list->setFixedSize(list == nullptr ? 0 : 380, list->count() * 14);
        return list->count();
    };
    int rows = fillList(listSwedishNames, dm->cdsSwedishNames, QStringLiteral("SwedishName"));
    listSwedishNames->setFixedWidth(kColumnWidth - 2 * kLabelX);
    Stack(listSwedishNames, rows > 0, rows * 15 + 5);
    // 3. Latin name and names.
    text(QStringLiteral("LatinName"), FieldText(QStringLiteral("LatinName")));
    Stack(label(QStringLiteral("Latinska namn:")), true, 0);
    Stack(field(QStringLiteral("LatinName")), true, 15);
    rows = fillList(listLatinNames, dm->cdsLatinNames, QStringLiteral("LatinName"));
    listLatinNames->setFixedWidth(kColumnWidth - kFieldX - kLabelX);
    Stack(listLatinNames, rows > 0, rows * 15 + 5);
    // 4. The signature stays hidden.
    Stack(label(QStringLiteral("Signatur:")), false, 0);
    Stack(field(QStringLiteral("Signature")), false, 0);
    // 5.
    m_stackPos += 5;
    // 6.
    const QString group = FieldText(QStringLiteral("FungiGroup"));
    text(QStringLiteral("FungiGroup"), group);
    Stack(label(QStringLiteral("Grupp:")), !group.isEmpty(), 0);
    Stack(field(QStringLiteral("FungiGroup")), !group.isEmpty(), 20);
    // 7.
    const QString completedBy = FieldText(QStringLiteral("CompletedBy"));
    const bool showCompleter = completedBy != QLatin1String(BuiltInCompleterKey);
    Stack(label(QStringLiteral("Kompletterad av:")), showCompleter, 0);
    Stack(field(QStringLiteral("CompletedBy")), showCompleter, 20);
    // 8.
    Stack(label(QStringLiteral("Matvärde:")), true, 0);
    Stack(field(QStringLiteral("FoodValue1")), true, 35);
    Stack(label(QStringLiteral("Avkokning krävs:")), true, 0);
    Stack(field(QStringLiteral("CookingRequired")), true, 20);
    const bool parboil = FieldInt(QStringLiteral("CookingRequired")) == 0;
    Stack(label(QStringLiteral("Matvärde före förvällning:")), parboil, 0);
    Stack(field(QStringLiteral("FoodValue2")), parboil, 35);
    // 9.
    m_stackPos += 5;
    // 10.
    Stack(label(QStringLiteral("Hattsvamp:")), true, 0);
    Stack(field(QStringLiteral("HatFungi")), true, 20);
    // 11. The underside and its captions.
    QLabel* colorLabel = m_labels.value(QStringLiteral("#undersidecolor"));
    QLabel* growthLabel = m_labels.value(QStringLiteral("#growth"));
    QLabel* densityLabel = m_labels.value(QStringLiteral("#density"));
    switch (underside) {
        case 0:
            growthLabel->setText(QStringLiteral("Skivor, växtsätt:"));
            densityLabel->setText(QStringLiteral("Skivor, täthet:"));
            colorLabel->setText(QStringLiteral("Skivor, färg:"));
            break;
        case 1:
            growthLabel->setText(QStringLiteral("Rör, växtsätt:"));
            densityLabel->setText(QStringLiteral("Rör, storlek:"));
            colorLabel->setText(QStringLiteral("Rör, färg:"));
            break;
        case 2:
            colorLabel->setText(QStringLiteral("Taggar, färg:"));
            break;
        case 3:
            colorLabel->setText(QStringLiteral("Åsar, färg:"));
            break;
        default:
            break;
    }
    Stack(label(QStringLiteral("Hattundersida:")), cap, 0);
    Stack(field(QStringLiteral("HatSubType")), cap, 35);
    Stack(colorLabel, cap, 0);
    Stack(field(QStringLiteral("HatSubColor")), cap, 20);
    // 12.
    const bool gills = cap && underside == 0;
    const bool pores = cap && underside == 1;
    Stack(growthLabel, gills || pores, 0);
    Stack(field(QStringLiteral("HatSubGrowth")), gills, 35);
    Stack(field(QStringLiteral("HatSubGrowth/pore")), pores, 35);
    Stack(densityLabel, gills || pores, 0);
    Stack(field(QStringLiteral("HatSubDensity")), gills, 20);
    Stack(field(QStringLiteral("HatSubDensity/pore")), pores, 20);
    // 13.
    Stack(label(QStringLiteral("Fjällig hatt:")), cap, 0);
    Stack(field(QStringLiteral("ScaledHat")), cap, 15);
    Stack(label(QStringLiteral("Strimmig hatt:")), cap, 0);
    Stack(field(QStringLiteral("LinedHat")), cap, 15);
    Stack(label(QStringLiteral("Prickig hatt:")), cap, 0);
    Stack(field(QStringLiteral("DottedHat")), cap, 20);
    // 14.-17. Size rows.
    auto sizeRow = [&](const QString& key, bool show, const QString& minField, const QString& maxField) {
        text(minField, FieldText(minField));
        text(maxField, FieldText(maxField));
        Stack(m_labels.value(key), show, 0);
        Stack(field(minField), show, 0);
        Stack(field(key + QStringLiteral("/dash")), show, 0);
        Stack(field(maxField), show, 0);
        Stack(field(key + QStringLiteral("/unit")), show, 15);
    };
    m_labels.value(QStringLiteral("#size"))
        ->setText(cap ? QStringLiteral("Hatt, storlek:") : QStringLiteral("Fruktkr. bredd:"));
    sizeRow(QStringLiteral("#size"), true, QStringLiteral("BodySizeMinimum"), QStringLiteral("BodySizeMaximum"));
    sizeRow(QStringLiteral("#height"), !cap, QStringLiteral("BodyHeightMinimum"), QStringLiteral("BodyHeightMaximum"));
    m_labels.value(QStringLiteral("#bodycolor"))
        ->setText(cap ? QStringLiteral("Hatt, färg:") : QStringLiteral("Fruktkropp, färg:"));
    Stack(m_labels.value(QStringLiteral("#bodycolor")), true, 0);
    Stack(field(QStringLiteral("BodyColor")), true, 25);
    sizeRow(QStringLiteral("#foot"), cap, QStringLiteral("FootSizeMinimum"), QStringLiteral("FootSizeMaximum"));
    Stack(label(QStringLiteral("Fot, färg:")), cap, 0);
    Stack(field(QStringLiteral("FootColor")), cap, 15);
    Stack(label(QStringLiteral("Ring på foten:")), cap, 0);
    Stack(field(QStringLiteral("FootRing")), cap, 25);
    // 18.
    Stack(label(QStringLiteral("Fruktkött, färg:")), true, 0);
    Stack(field(QStringLiteral("MeatColor")), true, 15);
    Stack(label(QStringLiteral("Synlig köttsaft:")), true, 0);
    Stack(field(QStringLiteral("VisibleMeatJuice")), true, 15);
    const bool juice = FieldInt(QStringLiteral("VisibleMeatJuice")) != 3;
    Stack(label(QStringLiteral("Köttsaft, färg:")), juice, 0);
    Stack(field(QStringLiteral("MeatJuiceColor")), juice, 15);
    // 19.
    m_stackPos += 10;
    // 20.
    text(QStringLiteral("Taste"), FieldText(QStringLiteral("Taste")));
    text(QStringLiteral("Smell"), FieldText(QStringLiteral("Smell")));
    Stack(label(QStringLiteral("Smak:")), true, 0);
    Stack(field(QStringLiteral("Taste")), true, 15);
    Stack(label(QStringLiteral("Lukt:")), true, 0);
    Stack(field(QStringLiteral("Smell")), true, 25);
    Stack(label(QStringLiteral("Lokal:")), true, 0);
    Stack(field(QStringLiteral("Habitat")), true, 80);
    Stack(label(QStringLiteral("Substrat (växtplats):")), true, 0);
    Stack(field(QStringLiteral("GrowthMethod")), true, 50);
    Stack(label(QStringLiteral("Tuvat växtsätt:")), true, 0);
    Stack(field(QStringLiteral("GroupedGrowth")), true, 25);
    // 21. The spore panel.
    if (m_screen->ShowSporeInfo() && panelSpores->height() < 50) {
        panelSpores->resize(panelSpores->width(), kSporesOpen);
        btnSpores->setIcon(QIcon(Resources::Bitmap(QStringLiteral("SPOREARROWUP"))));
    } else if (!m_screen->ShowSporeInfo() && panelSpores->height() > 50) {
        panelSpores->resize(panelSpores->width(), kSporesClosed);
        btnSpores->setIcon(QIcon(Resources::Bitmap(QStringLiteral("SPOREARROWDN"))));
    }
    auto range = [this](const QString& minField, const QString& maxField) {
        const QString a = FieldText(minField);
        const QString b = FieldText(maxField);
        if (a.isEmpty() && b.isEmpty()) return QString();
        return QStringLiteral("%1 - %2 µm").arg(a, b);
    };
    text(QStringLiteral("SporeWidth"), range(QStringLiteral("SporeWidthMin"), QStringLiteral("SporeWidthMax")));
    text(QStringLiteral("SporeHeight"), range(QStringLiteral("SporeHeightMin"), QStringLiteral("SporeHeightMax")));
    text(QStringLiteral("SporeNote"), FieldText(QStringLiteral("SporeNote")));
    Stack(panelSpores, true, panelSpores->height() + 5);
    const bool open = panelSpores->height() > 100;
    lblSporeColor->setVisible(open);
    cbarSporeColor->setVisible(open);
    lblSporeHint->setVisible(!open);
    // 22.
    Stack(field(QStringLiteral("#spacer")), true, 0);
    // 23.
    if (showCompleter) {
        QString name = QStringLiteral("Mykotekshallen");
        if (TDMServices* services = TDMServices::Of(dm)) name = services->GetContactName(completedBy);
        text(QStringLiteral("CompletedBy"), name);
    }
    // 24. The free text and the notes, below the column's rows.
    if (!EditingNotes) {
        Loading = true;
        const auto done = qScopeGuard([this] { Loading = false; });
        FillTextLines();
    }
    const int width = panelColumn->width() - 2 * kLabelX;
    memoTexts->setFixedSize(width, 110);
    memoPrivate->setFixedSize(width, 80);
    m_labels.value(QStringLiteral("Övrigt:"))->setFixedWidth(width);
    m_labels.value(QStringLiteral("Egna noteringar:"))->setFixedWidth(width);
    for (QWidget* w :
         {static_cast<QWidget*>(m_labels.value(QStringLiteral("Övrigt:"))), static_cast<QWidget*>(memoTexts),
          static_cast<QWidget*>(m_labels.value(QStringLiteral("Egna noteringar:"))),
          static_cast<QWidget*>(memoPrivate)})
        w->move(kLabelX, w->y());
    const int stackEnd = m_stackPos;
    Stack(m_labels.value(QStringLiteral("Övrigt:")), true, 16);
    Stack(memoTexts, true, 115);
    Stack(m_labels.value(QStringLiteral("Egna noteringar:")), true, 16);
    Stack(memoPrivate, true, 84);
    btnSaveNotes->move(kLabelX, m_stackPos);
    btnCancelNotes->move(kLabelX + btnSaveNotes->sizeHint().width() + 6, m_stackPos);
    SetNotesButtons(EditingNotes);
    panelColumn->resize(panelColumn->width(), m_stackPos + 34);
    m_stackPos = stackEnd;
    // 25.
    panelColumn->show();
}
