#include "content/maps/unitMapSelection.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "content/maps/unitMapScreen.h"
#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "controls/FRSearchPanel.h"
#include "shell/unitMain.h"
#include "shell/unitUserScreen.h"
#include "platform/Exception.h"
#include "platform/UIServices.h"

namespace {

constexpr int kRecordKeyLength = 18;
constexpr int kPreviewSize = 28;

QSlider* MarkerBar(const char* name, QWidget* parent) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(5, 20);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(1);
    bar->setMinimumWidth(120);
    return bar;
}

QLabel* Preview(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedSize(kPreviewSize, kPreviewSize);
    return label;
}

QPixmap MarkerPicture(const QColor& face, int colour, int diameter) {
    QPixmap pixmap(kPreviewSize, kPreviewSize);
    pixmap.fill(face);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(ColorFromNumber(colour));
    painter.drawEllipse(QRect((kPreviewSize - diameter) / 2, (kPreviewSize - diameter) / 2, diameter, diameter));
    return pixmap;
}

}  // namespace

TformMapSelection::TformMapSelection(TFRMapScreen* screen, QWidget* parent) : QDialog(parent), m_screen(screen) {
    setObjectName(QStringLiteral("formMapSelection"));
    setWindowTitle(QStringLiteral("Mykotekshallen - Urval"));
    auto* main = new QVBoxLayout(this);
    auto* header = new QLabel(QStringLiteral("Urval för fyndplatser och svampställen i karthantering"), this);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    main->addWidget(header);

    auto* finds = new QGroupBox(QStringLiteral("Fyndplatser"), this);
    auto* fg = new QGridLayout(finds);
    radioNoFinds = new QRadioButton(QStringLiteral("Dölj alla"), finds);
    radioNoFinds->setObjectName(QStringLiteral("radioNoFinds"));
    radioSelectedFinds = new QRadioButton(QStringLiteral("Visa för art..."), finds);
    radioSelectedFinds->setObjectName(QStringLiteral("radioSelectedFinds"));
    radioAllFinds = new QRadioButton(QStringLiteral("Visa alla"), finds);
    radioAllFinds->setObjectName(QStringLiteral("radioAllFinds"));
    searchFinds = new TFRSearchPanel(finds);
    searchFinds->setObjectName(QStringLiteral("searchFinds"));
    searchFinds->PresentSelection = true;
    searchFinds->setMinimumWidth(200);
    if (TformFRMain* form = MainForm()) searchFinds->SearchList = form->FungiNames;
    fg->addWidget(radioNoFinds, 0, 0);
    fg->addWidget(radioSelectedFinds, 1, 0);
    fg->addWidget(searchFinds, 1, 1, 1, 3);
    fg->addWidget(radioAllFinds, 2, 0);
    trackbarFindMarker = MarkerBar("trackbarFindMarker", finds);
    btnFindMarkerColor = new QPushButton(QStringLiteral("Färg..."), finds);
    btnFindMarkerColor->setObjectName(QStringLiteral("btnFindMarkerColor"));
    imageFindMarker = Preview("imageFindMarker", finds);
    fg->addWidget(new QLabel(QStringLiteral("Markörens storlek:"), finds), 3, 0);
    fg->addWidget(trackbarFindMarker, 3, 1);
    fg->addWidget(btnFindMarkerColor, 3, 2);
    fg->addWidget(imageFindMarker, 3, 3);
    fg->setColumnStretch(1, 1);
    main->addWidget(finds);

    auto* places = new QGroupBox(QStringLiteral("Svampställen"), this);
    auto* pg = new QGridLayout(places);
    radioNoPlaces = new QRadioButton(QStringLiteral("Dölj alla"), places);
    radioNoPlaces->setObjectName(QStringLiteral("radioNoPlaces"));
    radioAllPlaces = new QRadioButton(QStringLiteral("Visa alla"), places);
    radioAllPlaces->setObjectName(QStringLiteral("radioAllPlaces"));
    pg->addWidget(radioNoPlaces, 0, 0);
    pg->addWidget(radioAllPlaces, 1, 0);
    trackbarPlaceMarker = MarkerBar("trackbarPlaceMarker", places);
    btnPlaceMarkerColor = new QPushButton(QStringLiteral("Färg..."), places);
    btnPlaceMarkerColor->setObjectName(QStringLiteral("btnPlaceMarkerColor"));
    imagePlaceMarker = Preview("imagePlaceMarker", places);
    pg->addWidget(new QLabel(QStringLiteral("Markörens storlek:"), places), 2, 0);
    pg->addWidget(trackbarPlaceMarker, 2, 1);
    pg->addWidget(btnPlaceMarkerColor, 2, 2);
    pg->addWidget(imagePlaceMarker, 2, 3);
    pg->setColumnStretch(1, 1);
    main->addWidget(places);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnExecuteSelection = new QPushButton(QStringLiteral("Gör urval"), this);
    btnExecuteSelection->setObjectName(QStringLiteral("btnExecuteSelection"));
    btnExecuteSelection->setDefault(true);
    btnClose = new QPushButton(QStringLiteral("Stäng"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    buttons->addWidget(btnExecuteSelection);
    buttons->addWidget(btnClose);
    main->addLayout(buttons);

    // The find buttons and the place buttons are two groups of their own.
    auto* findGroup = new QButtonGroup(this);
    for (QRadioButton* r : {radioNoFinds, radioSelectedFinds, radioAllFinds}) findGroup->addButton(r);
    auto* placeGroup = new QButtonGroup(this);
    for (QRadioButton* r : {radioNoPlaces, radioAllPlaces}) placeGroup->addButton(r);

    searchFinds->OnSearchPerformed = [this](TFRSearchPanel*, const QString& key) {
        if (key.isEmpty()) return;
        m_species = key;
        radioSelectedFinds->setChecked(true);
        radioSelectedFinds->setFocus();
    };
    for (QRadioButton* r : {radioNoFinds, radioAllFinds})
        connect(r, &QRadioButton::clicked, this, [this] {
            m_species.clear();
            searchFinds->Edit->clear();
        });
    connect(trackbarFindMarker, &QSlider::valueChanged, this, [this] { TrackbarChanged(); });
    connect(trackbarPlaceMarker, &QSlider::valueChanged, this, [this] { TrackbarChanged(); });
    connect(btnFindMarkerColor, &QPushButton::clicked, this, [this] { ChooseColor(1); });
    connect(btnPlaceMarkerColor, &QPushButton::clicked, this, [this] { ChooseColor(2); });
    connect(btnExecuteSelection, &QPushButton::clicked, this, [this] { Guarded([&] { ExecuteSelection(); }); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

TformMapSelection::~TformMapSelection() = default;

void TformMapSelection::Prepare(QWidget* anchor) {
    TFRMapSelection& sel = m_screen->Selection();
    m_species = sel.FindSelection.size() == kRecordKeyLength ? sel.FindSelection : QString();
    if (anchor) move(anchor->mapToGlobal(QPoint(0, 0)) - QPoint(2, 2));
    m_suppressTrack = true;
    trackbarFindMarker->setValue(sel.FindSize);
    trackbarPlaceMarker->setValue(sel.PlaceSize);
    m_suppressTrack = false;
    if (sel.FindSelection == QLatin1String("NONE"))
        radioNoFinds->setChecked(true);
    else if (sel.FindSelection == QLatin1String("ALL"))
        radioAllFinds->setChecked(true);
    else if (!m_species.isEmpty()) {
        radioSelectedFinds->setChecked(true);
        if (TformFRMain* form = MainForm()) {
            const int i = form->FungiNames.IndexOfUKey(m_species);
            if (i >= 0) searchFinds->Edit->setText(form->FungiNames.Strings(i));
        }
    }
    if (sel.PlaceSelection == QLatin1String("NONE"))
        radioNoPlaces->setChecked(true);
    else if (sel.PlaceSelection == QLatin1String("ALL"))
        radioAllPlaces->setChecked(true);
    DrawPreviews();
}

void TformMapSelection::TrackbarChanged() {
    if (m_suppressTrack) return;
    TFRMapSelection& sel = m_screen->Selection();
    sel.FindSize = trackbarFindMarker->value();
    sel.PlaceSize = trackbarPlaceMarker->value();
    DrawPreviews();
}

void TformMapSelection::ChooseColor(int tag) {
    TFRMapSelection& sel = m_screen->Selection();
    int& colour = tag == 1 ? sel.FindColor : sel.PlaceColor;
    QColor c = ColorFromNumber(colour);
    if (!UIServices::GetColor(this, QStringLiteral("Välj markörens färg"), c)) return;
    colour = int(ColorToNumber(c));
    DrawPreviews();
}

void TformMapSelection::DrawPreviews() {
    const TFRMapSelection& sel = m_screen->Selection();
    const QColor face = palette().color(QPalette::Button);
    imageFindMarker->setPixmap(MarkerPicture(face, sel.FindColor, sel.FindSize));
    imagePlaceMarker->setPixmap(MarkerPicture(face, sel.PlaceColor, sel.PlaceSize));
}

void TformMapSelection::ExecuteSelection() {
    m_screen->HighlightPlace.clear();
    m_screen->HighlightFind.clear();
    if (radioSelectedFinds->isChecked() && m_species.isEmpty())
        throw Exception(QStringLiteral("Felaktigt urval av fyndplatser. Artnamn saknas!"));
    TFRMapSelection& sel = m_screen->Selection();
    sel.PlaceSelection = radioNoPlaces->isChecked() ? QStringLiteral("NONE") : QStringLiteral("ALL");
    if (radioNoFinds->isChecked())
        sel.FindSelection = QStringLiteral("NONE");
    else if (radioAllFinds->isChecked())
        sel.FindSelection = QStringLiteral("ALL");
    else if (radioSelectedFinds->isChecked())
        sel.FindSelection = m_species;
    accept();
}

void TformMapSelection::done(int result) {
    // Colours and sizes act at once, however the dialog is closed.
    m_screen->Selection().Save(UsersSettings());
    QDialog::done(result);
}

#include "moc_unitMapSelection.cpp"
