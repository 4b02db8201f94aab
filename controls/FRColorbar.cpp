#include "controls/FRColorbar.h"

#include <QPainter>
#include <QResizeEvent>

#include "controls/FRFocus.h"
#include "controls/FRGuard.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"

namespace {

const int kMarkerWidth = 16;
const QString kInfoCaption = QStringLiteral("Mykotekshallen - Information");

QToolButton* MakeButton(QWidget* parent, const QString& glyph) {
    auto* b = new QToolButton(parent);
    b->setAutoRaise(true);
    // Pressing a button must not take the focus: that would leave the bar.
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setIcon(QIcon(Resources::Bitmap(glyph)));
    b->hide();
    return b;
}

// One channel between two colours, t from 0 to 1.
int Blend(int a, int b, double t) { return Round(a + (b - a) * t); }

}  // namespace

// ---- Points ----

TCBColorButton::TCBColorButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    const QPixmap arrow = Resources::Bitmap(QStringLiteral("ARROWUP"));
    setIcon(QIcon(arrow));
    setIconSize(arrow.size());
    hide();
}

TCBColor::TCBColor(QWidget* bar) : m_button(new TCBColorButton(bar)) {}

TCBColor::~TCBColor() {
    // The button may be the one whose click removed the point: it goes once its click returns.
    if (m_button) {
        m_button->hide();
        m_button->deleteLater();
    }
}

TCBColor* TCBColors::Items(int index) const {
    return index >= 0 && index < Count() ? m_items[size_t(index)].get() : nullptr;
}

TCBColor* TCBColors::Add(QWidget* bar) {
    m_items.push_back(std::make_unique<TCBColor>(bar));
    TCBColor* point = m_items.back().get();
    point->Button()->Tag = Count() - 1;
    return point;
}

void TCBColors::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    m_items.erase(m_items.begin() + index);
    for (int i = index; i < Count(); ++i) m_items[size_t(i)]->Button()->Tag = i;
}

void TCBColors::Clear() { m_items.clear(); }

// ---- The bar ----

TFRDBColorbar::TFRDBColorbar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_minus = MakeButton(this, QStringLiteral("MINUSSIGN"));
    m_minus->setObjectName(QStringLiteral("btnMinus"));
    m_minus->setToolTip(QStringLiteral("Ta bort färgpunkt"));
    m_plus = MakeButton(this, QStringLiteral("PLUSSIGN"));
    m_plus->setObjectName(QStringLiteral("btnPlus"));
    m_plus->setToolTip(QStringLiteral("Lägg till färgpunkt"));
    connect(m_minus, &QToolButton::clicked, this, [this] { Guarded([this] { MinusClick(); }); });
    connect(m_plus, &QToolButton::clicked, this, [this] { Guarded([this] { PlusClick(); }); });

    m_focus = new TSubtreeFocus(this);
    m_focus->OnEnter = [this] { Enter(); };
    m_focus->OnLeave = [this] { Leave(); };

    m_link.OnDataChange = [this] { DataChange(); };
    m_link.OnUpdateData = [this] { WriteField(); };
    m_link.OnEditingChange = [this] { EditingChange(); };
    resize(320, 14);
    LayoutButtons();
}

TFRDBColorbar::~TFRDBColorbar() {
    m_link.OnDataChange = nullptr;
    m_link.OnUpdateData = nullptr;
    m_link.OnEditingChange = nullptr;
    m_focus->OnEnter = nullptr;
    m_focus->OnLeave = nullptr;
}

void TFRDBColorbar::SetFractionSize(int size) {
    if (size < 1 || size > 16) throw Exception(QStringLiteral("Invalid FractionSize. Value must be between 1 and 16."));
    m_fractionSize = size;
    update();
}

void TFRDBColorbar::SetSliderHeight(int height) {
    m_sliderHeight = std::max(0, height);
    if (m_expanded) {
        resize(m_normal.width() + 2 * m_normal.height(), m_normal.height() + m_sliderHeight);
        updateGeometry();
    }
    LayoutButtons();
}

void TFRDBColorbar::SetDataSource(TDataSource* source) {
    m_reported = false;
    m_link.SetDataSource(source);
}

void TFRDBColorbar::SetDataField(const QString& field) {
    m_reported = false;
    m_link.SetFieldName(field);
}

// ---- The field ----

const char* const TFRDBColorbar::NoRoomForPointText = "Fältet rymmer inte fler färgpunkter.";
const char* const TFRDBColorbar::NoRoomForColorText =
    "Den valda färgen får inte plats i fältet. Ta bort en färgpunkt först.";
const char* const TFRDBColorbar::TooLongText = "Färgpunkterna får inte plats i fältet %1 (högst %2 tecken).";

QString TFRDBColorbar::ColorsText(const QList<TColor>& colors) {
    QStringList pieces;
    for (TColor c : colors) pieces << QString::number(c);
    return pieces.join(QLatin1Char('|'));
}

QString TFRDBColorbar::ColorsText() const { return ColorsText(PointColors()); }

QList<TColor> TFRDBColorbar::PointColors() const {
    QList<TColor> colors;
    for (int i = 0; i < m_colors.Count(); ++i) colors << m_colors.Items(i)->Color;
    return colors;
}

bool TFRDBColorbar::Fits(const QList<TColor>& colors) const {
    const int size = m_link.Active() && m_link.DataType() == TFieldType::ftString ? m_link.Size() : 0;
    return size <= 0 || ColorsText(colors).size() <= size;
}

void TFRDBColorbar::WriteField() {
    // A cut list would end in another colour: refused, so the post stops and the bar stays.
    if (!Fits(PointColors()))
        throw Exception(QString::fromUtf8(TooLongText).arg(m_link.FieldName()).arg(m_link.Size()));
    m_link.SetAsString(ColorsText());
}

bool TFRDBColorbar::ParseColors(const QString& text, QList<TColor>& colors) {
    colors.clear();
    if (text.isEmpty()) return true;
    QList<TColor> read;
    for (const QString& piece : text.split(QLatin1Char('|'))) {
        // Digits with an optional sign, nothing else: toInt alone would let blanks through.
        bool shape = !piece.isEmpty();
        for (int i = 0; shape && i < piece.size(); ++i) {
            const QChar c = piece.at(i);
            shape = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                (i == 0 && piece.size() > 1 && (c == QLatin1Char('-') || c == QLatin1Char('+')));
        }
        bool ok = false;
        const int value = shape ? piece.toInt(&ok, 10) : 0;
        if (!ok) return false;
        read.append(value);
    }
    colors = read;
    return true;
}

QString TFRDBColorbar::FaultyDataMessage() const {
    return QStringLiteral("Faulty data in Colorbar-field. Datasource: %1, Field: %2")
        .arg(m_link.SourceName(), m_link.FieldName());
}

void TFRDBColorbar::ReadField() {
    const QString text = m_link.Active() ? m_link.AsString() : QString();
    QList<TColor> colors;
    const bool good = ParseColors(text, colors);
    SetPoints(colors);
    if (good) {
        m_reported = false;
        return;
    }
    m_reported = true;
    m_reportedText = text;
    throw Exception(FaultyDataMessage());
}

void TFRDBColorbar::DataChange() {
    // A read comes from the table's notifications, never from a place that may raise: the
    // faulty data is told in the error box here, once for the same text.
    const bool again = m_reported && m_link.Active() && m_link.AsString() == m_reportedText;
    if (again) {
        SetPoints({});
        return;
    }
    Guarded([this] { ReadField(); });
}

void TFRDBColorbar::SetPoints(const QList<TColor>& colors) {
    m_colors.Clear();
    for (TColor c : colors) {
        TCBColor* point = m_colors.Add(this);
        point->Color = c;
        TCBColorButton* button = point->Button();
        connect(button, &QToolButton::clicked, this, [this, button] {
            const int index = button->Tag;
            Guarded([this, index] { MarkerClick(index); });
        });
    }
    LayoutButtons();
    update();
}

// ---- Editing ----

void TFRDBColorbar::EditingChange() {
    if (!m_link.Editing()) {
        if (m_expanded) Collapse();
    } else if (!m_expanded && m_focus->HasFocus()) {
        Expand();
    }
    LayoutButtons();
}

void TFRDBColorbar::Enter() {
    if (m_link.Editing()) Expand();
}

void TFRDBColorbar::Leave() {
    Collapse();
    m_link.UpdateRecord();
}

void TFRDBColorbar::Expand() {
    if (m_expanded) return;
    m_normal = size();
    m_expanded = true;
    resize(m_normal.width() + 2 * m_normal.height(), m_normal.height() + m_sliderHeight);
    // The marker row lies over whatever is below the bar.
    raise();
    updateGeometry();
    LayoutButtons();
    update();
}

void TFRDBColorbar::Collapse() {
    if (!m_expanded) return;
    m_expanded = false;
    resize(m_normal);
    updateGeometry();
    LayoutButtons();
    update();
}

void TFRDBColorbar::MinusClick() {
    if (m_colors.Count() == 0) return;
    if (!m_link.Edit() || m_colors.Count() == 0) return;
    m_colors.Delete(m_colors.Count() - 1);
    m_link.SetModified();
    LayoutButtons();
    update();
}

void TFRDBColorbar::PlusClick() {
    if (m_colors.Count() >= MaxPoints) return;
    if (!m_link.Edit() || m_colors.Count() >= MaxPoints) return;
    QList<TColor> colors = PointColors();
    colors << 0xFFFFFF;
    if (!Fits(colors)) {
        UIServices::ShowInformation(QString::fromUtf8(NoRoomForPointText), kInfoCaption);
        return;
    }
    SetPoints(colors);
    m_link.SetModified();
}

void TFRDBColorbar::MarkerClick(int index) {
    if (!m_colors.Items(index) || !OnColorBarQuery) return;
    if (!m_link.Edit()) return;
    TCBColor* point = m_colors.Items(index);
    if (!point) return;
    TColor color = point->Color;
    OnColorBarQuery(this, color);
    // The query may have run a dialog long enough for the record to be read again.
    point = m_colors.Items(index);
    if (point && color != point->Color) {
        QList<TColor> colors = PointColors();
        colors[index] = color;
        if (!Fits(colors)) {
            UIServices::ShowInformation(QString::fromUtf8(NoRoomForColorText), kInfoCaption);
        } else {
            point->Color = color;
            m_link.SetModified();
        }
    }
    update();
}

// ---- Geometry and painting ----

QSize TFRDBColorbar::NormalSize() const { return m_expanded ? m_normal : size(); }

QSize TFRDBColorbar::sizeHint() const {
    return m_expanded ? QSize(m_normal.width() + 2 * m_normal.height(), m_normal.height() + m_sliderHeight) : size();
}

QRect TFRDBColorbar::BarRect() const {
    const QSize normal = NormalSize();
    return QRect(m_expanded ? normal.height() : 0, 0, normal.width(), normal.height());
}

void TFRDBColorbar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutButtons();
}

void TFRDBColorbar::LayoutButtons() {
    const int h = NormalSize().height();
    const QRect bar = BarRect();
    m_minus->setGeometry(0, 0, h, h);
    m_plus->setGeometry(bar.right() + 1, 0, h, h);
    m_minus->setVisible(m_expanded);
    m_plus->setVisible(m_expanded);
    m_minus->setEnabled(m_colors.Count() > 0);
    m_plus->setEnabled(m_colors.Count() < MaxPoints);

    const int n = m_colors.Count();
    const bool editing = m_link.Editing();
    for (int i = 0; i < n; ++i) {
        TCBColorButton* button = m_colors.Items(i)->Button();
        if (!button) continue;
        const int centre = n == 1 ? bar.width() / 2 : Round(double(i) * (bar.width() - 1) / (n - 1));
        button->setGeometry(bar.left() + centre - kMarkerWidth / 2, h + 2, kMarkerWidth,
                            std::max(1, m_sliderHeight - 4));
        button->setVisible(editing);
    }
}

void TFRDBColorbar::paintEvent(QPaintEvent*) {
    Guarded([this] {
        QPainter p(this);
        const QRect bar = BarRect();
        const int n = m_colors.Count();
        if (n == 0) {
            p.fillRect(bar, palette().color(QPalette::Window));
        } else if (n == 1) {
            p.fillRect(bar, ColorFromNumber(m_colors.Items(0)->Color));
        } else {
            const int w = bar.width();
            for (int s = 0; s + 1 < n; ++s) {
                const QColor a = ColorFromNumber(m_colors.Items(s)->Color);
                const QColor b = ColorFromNumber(m_colors.Items(s + 1)->Color);
                const int x0 = bar.left() + Round(double(s) * w / (n - 1));
                const int x1 = bar.left() + Round(double(s + 1) * w / (n - 1));
                if (x1 <= x0) continue;
                // The first stripe is the segment's first colour, the last its second.
                const int stripes = (x1 - x0 + m_fractionSize - 1) / m_fractionSize;
                for (int j = 0; j < stripes; ++j) {
                    const double t = stripes == 1 ? 0.0 : double(j) / (stripes - 1);
                    const int sx = x0 + j * m_fractionSize;
                    const QColor c(Blend(a.red(), b.red(), t), Blend(a.green(), b.green(), t),
                                   Blend(a.blue(), b.blue(), t));
                    p.fillRect(QRect(sx, bar.top(), std::min(m_fractionSize, x1 - sx), bar.height()), c);
                }
            }
        }
        // A raised edge around the bar.
        const QPalette& pal = palette();
        const QRect outer = bar.adjusted(0, 0, -1, -1);
        const QRect inner = outer.adjusted(1, 1, -1, -1);
        auto edge = [&p](const QRect& r, const QColor& lit, const QColor& shade) {
            p.setPen(lit);
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.setPen(shade);
            p.drawLine(r.bottomLeft(), r.bottomRight());
            p.drawLine(r.topRight(), r.bottomRight());
        };
        edge(outer, pal.color(QPalette::Midlight), pal.color(QPalette::Shadow));
        edge(inner, pal.color(QPalette::Light), pal.color(QPalette::Dark));
    });
}

#include "moc_FRColorbar.cpp"
