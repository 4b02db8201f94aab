#include "controls/FRKeyPanel.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>

#include "controls/FREdits.h"
#include "controls/FRFocus.h"
#include "controls/FRGuard.h"
#include "controls/FRLabel.h"
#include "controls/FRMultiChoice.h"
#include "platform/Exception.h"

namespace {
constexpr TColor AnswerFieldColor = 0xC4FFFF;

void SetTextColor(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, ResolveColor(color, widget));
    widget->setPalette(palette);
}
}  // namespace

TFRKeyPanel::TFRKeyPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::ClickFocus);  // not a tab stop; its answer controls are
    resize(317, 177);

    m_label = new QLabel(QStringLiteral("Rubrik"), this);
    m_label->setObjectName(QStringLiteral("lblQuestion"));
    m_label->setGeometry(8, 8, 301, 16);
    m_label->setFont(ArialFont(8, true));
    m_label->setWordWrap(true);
    m_label->installEventFilter(this);

    m_clearButton = new QPushButton(QStringLiteral("Töm"), this);
    m_clearButton->setObjectName(QStringLiteral("btnClear"));
    m_clearButton->setGeometry(256, 8, 49, 17);
    m_clearButton->setFocusPolicy(Qt::NoFocus);
    m_clearButton->setFont(ArialFont(8));
    connect(m_clearButton, &QPushButton::clicked, this, [this] { Guarded([this] { ClearButtonClick(); }); });

    m_colorButton = new QPushButton(QStringLiteral("Välj färg..."), this);
    m_colorButton->setObjectName(QStringLiteral("btnChooseColor"));
    m_colorButton->setGeometry(144, height() - 25, 97, 17);
    m_colorButton->setFont(ArialFont(8));
    m_colorButton->hide();
    connect(m_colorButton, &QPushButton::clicked, this, [this] { Guarded([this] { ColorButtonClick(); }); });

    m_swatch = new QFrame(this);
    m_swatch->setObjectName(QStringLiteral("panelColor"));
    m_swatch->setGeometry(8, 32, 121, 121);
    m_swatch->setFrameShape(QFrame::Box);
    m_swatch->setLineWidth(1);
    m_swatch->setAutoFillBackground(true);
    m_swatch->setFocusPolicy(Qt::StrongFocus);

    m_choice = new TFRMultiChoice(this);
    m_choice->setObjectName(QStringLiteral("mcOptions"));
    m_choice->move(144, 32);
    m_choice->SetMinSelected(0);
    m_choice->SetColCount(1);
    m_choice->SetColWidth(96);
    m_choice->SetSelectedColor(AnswerFieldColor);
    m_choice->SetFontColor(clWindowText);
    m_choice->OnChange = [this](TFRMultiChoice*) { AnswerChanged(m_choice); };

    m_edit = new TFREdit(this);
    m_edit->setObjectName(QStringLiteral("editInput"));
    m_edit->setGeometry(144, 32, 96, m_edit->sizeHint().height());
    m_edit->SetColor(AnswerFieldColor);
    connect(m_edit, &QLineEdit::textChanged, this, [this] { Guarded([this] { AnswerChanged(m_edit); }); });

    m_inputLabel = new TFRLabel(QStringLiteral("Inmatning:"), this);
    m_inputLabel->setObjectName(QStringLiteral("lblInput"));
    m_inputLabel->setGeometry(8, 32 + 3, 132, 14);

    m_focus = new TSubtreeFocus(this);
    m_focus->OnEnter = [this] { Enter(); };
    m_focus->OnLeave = [this] { Leave(); };

    RefreshLook();
}

TFRKeyPanel::~TFRKeyPanel() {
    m_focus->OnEnter = nullptr;
    m_focus->OnLeave = nullptr;
    m_choice->OnChange = nullptr;
    m_edit->disconnect(this);
}

void TFRKeyPanel::SetKind(TKeyPanelKind kind) {
    m_kind = kind;
    RefreshLook();
    RefreshHeight();
}

QString TFRKeyPanel::Question() const { return m_label->text(); }
void TFRKeyPanel::SetQuestion(const QString& question) { m_label->setText(question); }

QStringList TFRKeyPanel::Options() const { return m_choice->Items(); }
void TFRKeyPanel::SetOptions(const QStringList& options) {
    m_choice->SetItems(options);
    RefreshLook();
    RefreshHeight();
}

int TFRKeyPanel::MaxSelected() const { return m_choice->MaxSelected(); }
void TFRKeyPanel::SetMaxSelected(int value) { m_choice->SetMaxSelected(value); }

QString TFRKeyPanel::InputCaption() const { return m_inputLabel->text(); }
void TFRKeyPanel::SetInputCaption(const QString& caption) { m_inputLabel->setText(caption); }

QFont TFRKeyPanel::LabelFont() const { return m_label->font(); }
void TFRKeyPanel::SetLabelFont(const QFont& font) { m_label->setFont(font); }

void TFRKeyPanel::SetBorderColor(TColor color) {
    m_borderColor = color;
    update();
}

void TFRKeyPanel::SetColor(TColor color) {
    m_color = color;
    RefreshLook();
}

void TFRKeyPanel::SetLabelColor(TColor color) {
    m_labelColor = color;
    SetTextColor(m_label, color);
}

void TFRKeyPanel::SetActive(bool active) {
    m_active = active;
    RefreshLook();
}

bool TFRKeyPanel::GetOptionSelected(int index) const { return m_choice->Selected(index); }
void TFRKeyPanel::SetOptionSelected(int index, bool selected) { m_choice->SetSelected(index, selected); }

QString TFRKeyPanel::GetInputText() const { return m_edit->text(); }
void TFRKeyPanel::SetInputText(const QString& text) { m_edit->setText(text); }

void TFRKeyPanel::SetColorAnswer(TColor color) {
    if (color == m_colorAnswer) return;
    m_colorAnswer = color;
    RefreshLook();
}

bool TFRKeyPanel::IsAnswered() const {
    switch (m_kind) {
        case TKeyPanelKind::pkOptions:
            return m_choice->SelectedCount() > 0;
        case TKeyPanelKind::pkColor:
            return m_colorAnswer >= 0;
        case TKeyPanelKind::pkEdit:
            return !m_edit->text().isEmpty();
        case TKeyPanelKind::pkHeader:
            return false;
    }
    return false;
}

void TFRKeyPanel::Clear() {
    switch (m_kind) {
        case TKeyPanelKind::pkOptions:
            m_choice->ClearSelection();
            m_choice->SetItemIndex(m_choice->Count() > 0 ? 0 : -1);
            break;
        case TKeyPanelKind::pkColor:
            if (m_colorAnswer >= 0) {
                m_colorAnswer = -1;
                RefreshLook();
                FireChange();
            }
            break;
        case TKeyPanelKind::pkEdit:
            m_edit->clear();
            break;
        case TKeyPanelKind::pkHeader:
            break;
    }
    RefreshLook();
}

QString TFRKeyPanel::GetValue() const {
    switch (m_kind) {
        case TKeyPanelKind::pkOptions: {
            QString value;
            for (int i = 0; i < m_choice->Count(); ++i)
                value += m_choice->Selected(i) ? QLatin1Char('1') : QLatin1Char('0');
            return value;
        }
        case TKeyPanelKind::pkColor:
            return QString::number(m_colorAnswer);
        case TKeyPanelKind::pkEdit:
            return m_edit->text();
        case TKeyPanelKind::pkHeader:
            return QStringLiteral("*");
    }
    return {};
}

void TFRKeyPanel::SetValue(const QString& value) {
    switch (m_kind) {
        case TKeyPanelKind::pkOptions:
            // Deselect first, so that a single choice never drops the option about to be chosen.
            for (int i = 0; i < m_choice->Count(); ++i)
                if (!(i < value.size() && value[i] != QLatin1Char('0'))) m_choice->SetSelected(i, false);
            for (int i = 0; i < m_choice->Count(); ++i)
                if (i < value.size() && value[i] != QLatin1Char('0')) m_choice->SetSelected(i, true);
            break;
        case TKeyPanelKind::pkColor: {
            bool ok = false;
            const qlonglong number = value.trimmed().toLongLong(&ok);
            if (!ok) throw Exception(QStringLiteral("'%1' is not a valid integer value").arg(value));
            SetColorAnswer(number);
            break;
        }
        case TKeyPanelKind::pkEdit:
            m_edit->setText(value);
            break;
        case TKeyPanelKind::pkHeader:
            break;
    }
    RefreshLook();
}

QWidget* TFRKeyPanel::AnswerControl() const {
    switch (m_kind) {
        case TKeyPanelKind::pkOptions:
            return m_choice;
        case TKeyPanelKind::pkColor:
            return m_colorButton;
        case TKeyPanelKind::pkEdit:
            return m_edit;
        case TKeyPanelKind::pkHeader:
            return nullptr;
    }
    return nullptr;
}

void TFRKeyPanel::Enter() {
    if (!m_active || m_kind == TKeyPanelKind::pkHeader) return;
    m_expanded = true;
    RefreshHeight();
    RefreshLook();
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
            scroll->ensureWidgetVisible(this, 0, 0);
            break;
        }
    }
    if (QWidget* control = AnswerControl(); control && control->isVisible() && !control->hasFocus())
        control->setFocus(Qt::OtherFocusReason);
    update();
}

void TFRKeyPanel::Leave() {
    if (!m_expanded) return;
    m_expanded = false;
    RefreshHeight();
    RefreshLook();
    update();
}

void TFRKeyPanel::RefreshLook() {
    const bool answered = IsAnswered();
    const bool options = m_kind == TKeyPanelKind::pkOptions;
    const bool colour = m_kind == TKeyPanelKind::pkColor;
    const bool edit = m_kind == TKeyPanelKind::pkEdit;
    const bool header = m_kind == TKeyPanelKind::pkHeader;
    m_label->move(8, m_expanded ? 8 : 4);
    m_swatch->setVisible(colour);
    m_colorButton->setVisible(colour && m_active && m_expanded);
    m_choice->setVisible(options && m_active);
    m_inputLabel->setVisible(edit && m_active);
    m_edit->setVisible(edit && m_active);
    m_clearButton->setVisible(m_expanded && m_active && !header);
    m_clearButton->setEnabled(answered);
    if (!header) {
        m_color = !m_active ? clBtnFace : answered ? AnsweredColor : UnansweredColor;
        m_labelColor = m_active ? clWindowText : clGrayText;
        SetTextColor(m_label, m_labelColor);
    }
    SetControlColor(m_swatch, colour && m_colorAnswer >= 0 ? m_colorAnswer : m_color);
    update();
}

void TFRKeyPanel::RefreshHeight() {
    int h = CollapsedHeight;
    if (m_active && m_expanded) {
        switch (m_kind) {
            case TKeyPanelKind::pkColor:
                h = 161;
                break;
            case TKeyPanelKind::pkOptions:
                h = m_choice->y() + m_choice->height() + 10;
                break;
            case TKeyPanelKind::pkEdit:
                h = 56;
                break;
            case TKeyPanelKind::pkHeader:
                break;
        }
    }
    if (height() == h && minimumHeight() == h && maximumHeight() == h) return;
    setFixedHeight(h);
    // The stack of questions follows at once (growing when it must), so that scrolling into
    // view sees the new size.
    if (QWidget* parent = parentWidget(); parent && parent->layout()) {
        const int need = parent->minimumSizeHint().height();
        if (parent->height() < need) parent->resize(parent->width(), need);
        parent->layout()->activate();
    }
}

void TFRKeyPanel::AnswerChanged(QWidget* control) {
    RefreshLook();
    if (control->isVisible()) FireChange();
}

void TFRKeyPanel::FireChange() {
    if (OnChange) OnChange(this);
}

void TFRKeyPanel::ColorButtonClick() {
    if (!OnChooseColor) return;
    TColor colour = m_colorAnswer;
    OnChooseColor(this, colour);
    SetColorAnswer(colour);
    RefreshLook();
    FireChange();
}

void TFRKeyPanel::ClearButtonClick() {
    if (QWidget* control = AnswerControl(); control && control->isVisible()) control->setFocus(Qt::OtherFocusReason);
    Clear();
}

void TFRKeyPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ResolveColor(m_color, this));
    if (m_expanded) {
        painter.setPen(QPen(ResolveColor(m_borderColor, this), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(2, 2, width() - 4, height() - 4));
    }
}

void TFRKeyPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_colorButton->move(m_colorButton->x(), height() - 25);
}

bool TFRKeyPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_label && event->type() == QEvent::MouseButtonPress && !m_focus->HasFocus())
        Guarded([this] { setFocus(Qt::MouseFocusReason); });
    return QFrame::eventFilter(watched, event);
}
#include "moc_FRKeyPanel.cpp"
