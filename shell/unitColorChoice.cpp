#include "shell/unitColorChoice.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/FRGuard.h"
#include "shell/unitMain.h"
#include "platform/UIServices.h"

namespace {

// The marker stands two pixels outside the cell on every side.
const int kMarkerMargin = 2;

// A frame around the marked cell; clicks go through it to the cell.
class TShapeMarker : public QWidget {
public:
    explicit TShapeMarker(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

}  // namespace

bool ExecuteColorDialog(QWidget* parent, TColor& color) {
    QColor chosen = ResolveColor(color, parent);
    if (!UIServices::GetColor(parent, QStringLiteral("Välj färg"), chosen)) return false;
    color = ColorToNumber(chosen);
    return true;
}

// ---- One cell ----

TColorCell::TColorCell(int index, QWidget* parent) : QWidget(parent), m_index(index) {
    setCursor(Qt::PointingHandCursor);
}

void TColorCell::SetColor(TColor color) {
    m_color = color;
    const QColor c = ColorFromNumber(color);
    setToolTip(QStringLiteral("Röd %1, grön %2, blå %3").arg(c.red()).arg(c.green()).arg(c.blue()));
    update();
}

void TColorCell::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        p.fillRect(rect(), ColorFromNumber(m_color));
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    });
}

void TColorCell::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnClick) Guarded([this] { OnClick(m_index); });
}

void TColorCell::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnDoubleClick) Guarded([this] { OnDoubleClick(m_index); });
}

// ---- The dialog ----

TformColorChoice::TformColorChoice(TformFRMain* main, QWidget* parent) : QDialog(parent), m_main(main) { SetupForm(); }

TformColorChoice::~TformColorChoice() {
    if (m_main) {
        try {
            m_main->SavePrevColors();
        } catch (const Exception& e) {
            TApplication::ShowException(e.Message());
        }
    }
}

QList<int>& TformColorChoice::Memory() { return m_main ? m_main->PrevColors : m_ownMemory; }

QRect TformColorChoice::CellRect(int index) {
    return QRect(kMarkerMargin + CellPitch * (index % CellsPerRow), kMarkerMargin + CellPitch * (index / CellsPerRow),
                 CellSize, CellSize);
}

void TformColorChoice::SetupForm() {
    setObjectName(QStringLiteral("formColorChoice"));
    setWindowTitle(QStringLiteral("Välj färg"));
    setModal(true);

    panelColor = new QFrame(this);
    panelColor->setObjectName(QStringLiteral("panelColor"));
    panelColor->setFrameShape(QFrame::Box);
    panelColor->setAutoFillBackground(true);
    panelColor->setFixedSize(160, 60);
    auto* lblColor = new QLabel(QStringLiteral("Vald färg:"), this);
    lblColor->setObjectName(QStringLiteral("lblColor"));

    btnOtherColor = new QPushButton(QStringLiteral("Annan färg..."), this);
    btnOtherColor->setObjectName(QStringLiteral("btnOtherColor"));
    btnOtherColor->setAutoDefault(false);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Avbryt"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    btnHelp = new QPushButton(QStringLiteral("Hjälp"), this);
    btnHelp->setObjectName(QStringLiteral("btnHelp"));
    btnHelp->setAutoDefault(false);

    auto* lblCells = new QLabel(QStringLiteral("Tidigare valda färger:"), this);
    lblCells->setObjectName(QStringLiteral("lblCells"));
    panelCells = new QWidget(this);
    panelCells->setObjectName(QStringLiteral("panelCells"));
    const QRect last = CellRect(CellCount - 1);
    panelCells->setFixedSize(last.right() + 1 + kMarkerMargin, last.bottom() + 1 + kMarkerMargin);
    for (int i = 0; i < CellCount; ++i) {
        auto* cell = new TColorCell(i, panelCells);
        cell->setObjectName(QStringLiteral("cell%1").arg(i));
        cell->setGeometry(CellRect(i));
        cell->OnClick = [this](int index) { cellClick(index); };
        cell->OnDoubleClick = [this](int index) { cellDoubleClick(index); };
        Cells << cell;
    }
    shapeMarker = new TShapeMarker(panelCells);
    shapeMarker->setObjectName(QStringLiteral("shapeMarker"));
    shapeMarker->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    auto* top = new QHBoxLayout;
    auto* preview = new QVBoxLayout;
    preview->addWidget(lblColor);
    preview->addWidget(panelColor);
    top->addLayout(preview);
    top->addSpacing(12);
    top->addWidget(btnOtherColor, 0, Qt::AlignBottom);
    top->addStretch(1);
    top->addWidget(btnOK, 0, Qt::AlignBottom);
    top->addWidget(btnCancel, 0, Qt::AlignBottom);
    top->addWidget(btnHelp, 0, Qt::AlignBottom);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(lblCells);
    layout->addWidget(panelCells, 1, Qt::AlignLeft | Qt::AlignTop);

    connect(btnOtherColor, &QPushButton::clicked, this, [this] { Guarded([this] { btnOtherColorClick(); }); });
    connect(btnOK, &QPushButton::clicked, this, [this] { Guarded([this] { btnOKClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(btnHelp, &QPushButton::clicked, this, [this] { Guarded([this] { btnHelpClick(); }); });
}

void TformColorChoice::ShowMemory() {
    const QList<int>& memory = Memory();
    for (int i = 0; i < CellCount; ++i) {
        if (i < memory.size()) Cells[i]->SetColor(memory.at(i));
        Cells[i]->setVisible(i < memory.size());
    }
}

void TformColorChoice::SelectColor(TColor color) {
    // The memory holds plain colour numbers: a role of the palette is taken as it looks now,
    // anything above the 24 colour bits is dropped.
    m_color = IsSystemColor(color) ? ColorToNumber(ResolveColor(color, this)) : (color & 0xFFFFFF);
    QPalette pal = panelColor->palette();
    pal.setColor(QPalette::Window, ColorFromNumber(m_color));
    panelColor->setPalette(pal);

    const QList<int>& memory = Memory();
    const int index = int(memory.indexOf(int(m_color)));
    if (index >= 0 && index < CellCount) {
        shapeMarker->setGeometry(
            CellRect(index).adjusted(-kMarkerMargin, -kMarkerMargin, kMarkerMargin, kMarkerMargin));
        shapeMarker->raise();
        shapeMarker->show();
    } else {
        shapeMarker->hide();
    }
}

bool TformColorChoice::Execute(TColor& color) {
    ShowMemory();
    SelectColor(color);
    if (UIServices::ExecDialog(this) != QDialog::Accepted) return false;
    color = m_color;
    return true;
}

void TformColorChoice::cellClick(int index) {
    const QList<int>& memory = Memory();
    if (index < 0 || index >= memory.size()) return;
    SelectColor(memory.at(index));
}

void TformColorChoice::cellDoubleClick(int index) {
    cellClick(index);
    btnOKClick();
}

void TformColorChoice::btnOtherColorClick() {
    TColor color = m_color;
    const bool chosen = m_main ? m_main->ColorDialogExecute(color) : ExecuteColorDialog(this, color);
    if (chosen) SelectColor(color);
}

void TformColorChoice::btnOKClick() {
    QList<int>& memory = Memory();
    if (!memory.contains(int(m_color))) {
        memory.prepend(int(m_color));
        while (memory.size() > CellCount) memory.removeLast();
        std::sort(memory.begin(), memory.end());
    }
    accept();
}

void TformColorChoice::btnHelpClick() {
    UIServices::ShowInformation(
        QStringLiteral("Klicka på en av de tidigare valda färgerna eller välj en ny med \"Annan färg...\" och "
                       "tryck OK. Ett dubbelklick på en färg väljer den direkt.\n\n"
                       "En ny färg som Du väljer med OK sparas bland de tidigare valda färgerna, som rymmer "
                       "högst 120 färger."),
        QStringLiteral("Mykotekshallen - Hjälp"));
}
