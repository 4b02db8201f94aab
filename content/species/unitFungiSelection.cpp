#include "content/species/unitFungiSelection.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "content/species/FungiFieldItems.h"
#include "controls/FRDBSwedenMap.h"
#include "controls/FREdits.h"
#include "controls/FRGuard.h"
#include "controls/FRLocks.h"
#include "controls/FRMultiChoice.h"
#include "core/FRIniFile.h"
#include "core/QuickSelectionHandler.h"
#include "core/unitDM.h"
#include "core/unitDMServices.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"

namespace {

TFRMultiChoice* Choice(const char* name, const QStringList& items, int cols, int width, bool single, QWidget* parent) {
    auto* choice = new TFRMultiChoice(parent);
    choice->setObjectName(QLatin1String(name));
    choice->SetMinSelected(0);
    choice->SetMaxSelected(single ? 1 : 0);
    choice->SetColCount(cols);
    choice->SetColWidth(width);
    choice->SetItems(items);
    return choice;
}

TFRLock* Lock(const char* name, QWidget* parent) {
    auto* lock = new TFRLock(parent);
    lock->setObjectName(QLatin1String(name));
    lock->setToolTip(QStringLiteral("Låst: villkoret står kvar när fälten töms"));
    return lock;
}

// Item i is selected when character i of the flags is there and is not "0".
void LoadFlags(TFRMultiChoice* choice, const QString& flags) {
    for (int i = 0; i < choice->Count(); ++i) choice->SetSelected(i, i < flags.size() && flags[i] != u'0');
}

QString ReadFlags(const TFRMultiChoice* choice) {
    QString flags(choice->Count(), u'0');
    for (int i = 0; i < choice->Count(); ++i)
        if (choice->Selected(i)) flags[i] = u'1';
    return flags;
}

}  // namespace

TformFungiSelection::TformFungiSelection(TDM* dm, QWidget* parent) : QDialog(parent), m_dm(dm) { SetupForm(); }

TformFungiSelection::~TformFungiSelection() = default;

void TformFungiSelection::SetupForm() {
    setObjectName(QStringLiteral("formFungiSelection"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Urval"));
    auto* main = new QVBoxLayout(this);

    lblHeader = new QLabel(QStringLiteral("Urval"), this);
    lblHeader->setObjectName(QStringLiteral("lblHeader"));
    QFont big = lblHeader->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 4);
    lblHeader->setFont(big);
    main->addWidget(lblHeader);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    int row = 0;
    auto caption = [&](const QString& text) {
        auto* label = new QLabel(text, this);
        grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    auto active = [&](const char* name) { return Choice(name, {QStringLiteral("Aktiv")}, 1, 50, true, this); };
    auto withLock = [&](TFRMultiChoice* choice, TFRLock* lock) {
        auto* line = new QHBoxLayout;
        line->addWidget(choice);
        if (lock) line->addWidget(lock);
        line->addStretch(1);
        grid->addLayout(line, row, 1);
        ++row;
    };

    caption(QStringLiteral("ENDAST arter som är kompletta:"));
    multicComplete = active("multicComplete");
    lockComplete = Lock("lockComplete", this);
    withLock(multicComplete, lockComplete);
    caption(QStringLiteral("ENDAST arter med svenskt namn:"));
    multicSwedishName = active("multicSwedishName");
    lockSwedishName = Lock("lockSwedishName", this);
    withLock(multicSwedishName, lockSwedishName);
    caption(QStringLiteral("ENDAST arter som är ätliga:"));
    multicEdible = active("multicEdible");
    withLock(multicEdible, nullptr);
    caption(QStringLiteral("ENDAST arter med bild:"));
    multicHasPicture = active("multicHasPicture");
    withLock(multicHasPicture, nullptr);

    caption(QStringLiteral("ENDAST arter i landsdel(ar):"));
    {
        QStringList numbers;
        for (int i = 1; i <= 8; ++i) numbers << QString::number(i);
        multicCountryPart = Choice("multicCountryPart", numbers, 4, 24, false, this);
        imageCountryParts = new QLabel(this);
        imageCountryParts->setObjectName(QStringLiteral("imageCountryParts"));
        // The numbered regions of Sweden that the choices name.
        const QImage regions = SwedenRegionNumbersPicture();
        if (!regions.isNull())
            imageCountryParts->setPixmap(
                QPixmap::fromImage(regions.scaled(QSize(96, 120), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        auto* line = new QHBoxLayout;
        line->addWidget(multicCountryPart, 0, Qt::AlignTop);
        line->addSpacing(12);
        line->addWidget(imageCountryParts, 0, Qt::AlignTop);
        line->addStretch(1);
        grid->addLayout(line, row++, 1);
    }

    caption(QStringLiteral("ENDAST arter under tidsperiod:"));
    multicSeason = Choice("multicSeason",
                          {QStringLiteral("J"), QStringLiteral("F"), QStringLiteral("M"), QStringLiteral("A"),
                           QStringLiteral("M"), QStringLiteral("J"), QStringLiteral("J"), QStringLiteral("A"),
                           QStringLiteral("S"), QStringLiteral("O"), QStringLiteral("N"), QStringLiteral("D")},
                          12, 20, false, this);
    withLock(multicSeason, nullptr);

    caption(QStringLiteral("ENDAST arter i lokal:"));
    multicHabitat = Choice("multicHabitat", FungiHabitatItems(), 5, 62, false, this);
    withLock(multicHabitat, nullptr);

    caption(QStringLiteral("ENDAST arter i gruppen:"));
    editFungiGroup = new TFREdit(this);
    editFungiGroup->setObjectName(QStringLiteral("editFungiGroup"));
    editFungiGroup->setMinimumWidth(220);
    editFungiGroup->setToolTip(QStringLiteral("Välj en grupp i listan; backsteg tömmer fältet"));
    if (TformFRMain* form = MainForm()) editFungiGroup->SetItems(form->FungiGroups);
    editFungiGroup->OnDropDownQuery = [](TFREdit* edit, bool, bool& allow) { allow = !edit->isReadOnly(); };
    editFungiGroup->installEventFilter(this);
    {
        auto* line = new QHBoxLayout;
        line->addWidget(editFungiGroup);
        line->addStretch(1);
        grid->addLayout(line, row++, 1);
    }
    // The group's drop-down list opens below the edit, over the room kept here.
    grid->setRowMinimumHeight(row++, 8 * editFungiGroup->fontMetrics().height());
    grid->setColumnStretch(1, 1);
    main->addLayout(grid, 1);

    auto* buttons = new QHBoxLayout;
    btnClearFields = new QPushButton(QStringLiteral("Töm samtliga fält"), this);
    btnClearFields->setObjectName(QStringLiteral("btnClearFields"));
    btnCancelSelection = new QPushButton(QStringLiteral("Upphäv nuvarande urval"), this);
    btnCancelSelection->setObjectName(QStringLiteral("btnCancelSelection"));
    btnExecute = new QPushButton(QStringLiteral("Gör urval"), this);
    btnExecute->setObjectName(QStringLiteral("btnExecute"));
    btnExecute->setDefault(true);
    btnClose = new QPushButton(QStringLiteral("Stäng"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* b : {btnClearFields, btnCancelSelection, btnClose}) b->setAutoDefault(false);
    buttons->addWidget(btnClearFields);
    buttons->addWidget(btnCancelSelection);
    buttons->addStretch(1);
    buttons->addWidget(btnExecute);
    buttons->addWidget(btnClose);
    main->addLayout(buttons);

    connect(btnExecute, &QPushButton::clicked, this, [this] { Guarded([this] { ExecuteSelection(); }); });
    connect(btnClose, &QPushButton::clicked, this, [this] { Guarded([this] { CloseClick(); }); });
    connect(btnClearFields, &QPushButton::clicked, this, [this] { Guarded([this] { ClearFields(); }); });
    connect(btnCancelSelection, &QPushButton::clicked, this, [this] { Guarded([this] { CancelSelection(); }); });
}

TQuickSelectionHandler& TformFungiSelection::State() {
    TDMServices* services = TDMServices::Of(m_dm);
    if (!services) throw Exception(QStringLiteral("Datamodulens tjänster saknas"));
    return services->QuickSelection();
}

void TformFungiSelection::Prepare(QWidget* anchor) {
    LoadControls();
    adjustSize();
    if (!anchor) return;
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height())) - QPoint(2, 2);
    // The whole dialog stays on the screen the button is on.
    if (QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QSize outer = frameGeometry().size().expandedTo(size());
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    }
    move(at);
}

void TformFungiSelection::LoadControls() {
    const TQuickSelectionHandler& state = State();
    multicComplete->SetSelected(0, state.Complete);
    lockComplete->SetLocked(state.CompleteLocked);
    multicSwedishName->SetSelected(0, state.SwedishName);
    lockSwedishName->SetLocked(state.SwedishNameLocked);
    multicEdible->SetSelected(0, state.Edible);
    multicHasPicture->SetSelected(0, state.HasPicture);
    LoadFlags(multicCountryPart, state.CountryPart);
    LoadFlags(multicSeason, state.Season);
    LoadFlags(multicHabitat, state.Habitat);
    editFungiGroup->setText(state.FungiGroup);
}

void TformFungiSelection::ReadControls() {
    TQuickSelectionHandler& state = State();
    state.Complete = multicComplete->Selected(0);
    state.CompleteLocked = lockComplete->Locked();
    state.SwedishName = multicSwedishName->Selected(0);
    state.SwedishNameLocked = lockSwedishName->Locked();
    state.Edible = multicEdible->Selected(0);
    state.HasPicture = multicHasPicture->Selected(0);
    state.CountryPart = ReadFlags(multicCountryPart);
    state.Season = ReadFlags(multicSeason);
    state.Habitat = ReadFlags(multicHabitat);
    // A group the selection cannot hold keeps the group as it was.
    const QString group = editFungiGroup->text().trimmed();
    if (GroupAccepted(group)) state.FungiGroup = group;
}

bool TformFungiSelection::GroupAccepted(const QString& group) const {
    return group.isEmpty() || editFungiGroup->Items().contains(group) || !group.contains(u'"');
}

void TformFungiSelection::CheckGroup() {
    const QString group = editFungiGroup->text().trimmed();
    if (GroupAccepted(group)) return;
    editFungiGroup->setFocus();
    throw Exception(QString::fromUtf8(RefusedGroupText).arg(group));
}

void TformFungiSelection::WriteSettings() {
    TFRIniFile* settings = UsersSettings();
    if (!settings) return;
    const TQuickSelectionHandler& state = State();
    struct SectionGuard {
        TFRIniFile* settings;
        ~SectionGuard() { settings->CloseSection(); }
    } guard{settings};
    settings->SelectSection(QStringLiteral("QuickSelection"));
    settings->WriteBool(QStringLiteral("Complete"), state.Complete);
    settings->WriteBool(QStringLiteral("CompleteLocked"), state.CompleteLocked);
    settings->WriteBool(QStringLiteral("SwedishName"), state.SwedishName);
    settings->WriteBool(QStringLiteral("SwedishNameLocked"), state.SwedishNameLocked);
    settings->WriteBool(QStringLiteral("Edible"), state.Edible);
    settings->WriteBool(QStringLiteral("HasPicture"), state.HasPicture);
    settings->WriteString(QStringLiteral("CountryPart"), state.CountryPart);
    settings->WriteString(QStringLiteral("Season"), state.Season);
    settings->WriteString(QStringLiteral("Habitat"), state.Habitat);
    settings->WriteString(QStringLiteral("FungiGroup"), state.FungiGroup);
}

void TformFungiSelection::done(int result) {
    Guarded([this] {
        ReadControls();
        WriteSettings();
    });
    QDialog::done(result);
}

void TformFungiSelection::ExecuteSelection() {
    CheckGroup();
    done(QDialog::Accepted);
    if (TDMServices* services = TDMServices::Of(m_dm)) services->BuildQuickSelection(false);
}

void TformFungiSelection::CloseClick() {
    CheckGroup();
    done(QDialog::Accepted);
}

void TformFungiSelection::ClearFields() {
    ReadControls();
    State().Reset();
    LoadControls();
}

void TformFungiSelection::CancelSelection() {
    ClearFields();
    QCoreApplication::processEvents();
    ExecuteSelection();
}

bool TformFungiSelection::eventFilter(QObject* watched, QEvent* event) {
    // Backspace empties the whole group.
    if (watched == editFungiGroup && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backspace) {
        editFungiGroup->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

#include "moc_unitFungiSelection.cpp"
