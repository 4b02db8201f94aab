#include "content/species/unitFungiSubLists.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/FRGraphics.h"
#include "platform/ClientDataSet.h"

namespace {
QColor FromNumber(qint64 number) {
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}
}  // namespace

void SetFittedHeader(QLabel* header, const QString& text) {
    // The size the header was given first is its largest (in pixels or points, as it was set).
    QVariant base = header->property("mykoHeaderSize");
    const bool pixels = header->font().pixelSize() > 0;
    if (!base.isValid()) {
        base = pixels ? double(header->font().pixelSize()) : header->font().pointSizeF();
        header->setProperty("mykoHeaderSize", base);
    }
    // The text must not widen the frame past its page: the header takes the width it gets.
    header->setSizePolicy(QSizePolicy::Ignored, header->sizePolicy().verticalPolicy());
    header->setMinimumWidth(1);
    QFont font = header->font();
    const int width = header->contentsRect().width() - 8;
    for (double size = base.toDouble(); size >= 8; size -= 1) {
        if (pixels)
            font.setPixelSize(int(size));
        else
            font.setPointSizeF(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= width) break;
    }
    header->setFont(font);
    header->setText(text);
}

QString DetailHeaderText(const TClientDataSet* table, const QString& inserting, const QString& editing,
                         const QString& browsing) {
    const QString name = FRFungiScreen ? FRFungiScreen->GetFungiFullName(QStringLiteral("*")) : QString();
    QString state;
    if (table->State() == TDataSetState::dsInsert)
        state = inserting;
    else if (table->State() == TDataSetState::dsEdit)
        state = editing;
    else
        state = browsing.arg(table->RecNo()).arg(table->RecordCount());
    return name + QStringLiteral(" - ") + state;
}

QToolButton* FungiSubButton(QWidget* parent, const QString& text, const char* name, const QString& hint,
                            bool checkable) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setToolTip(hint);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    return button;
}

TFungiListDelegate::TFungiListDelegate(QObject* parent, PaintEntry paint, EntryHeight height)
    : QStyledItemDelegate(parent), m_paint(std::move(paint)), m_height(std::move(height)) {}

QSize TFungiListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int width = option.widget ? option.widget->width() : option.rect.width();
    return QSize(width, m_height ? m_height(index.row(), width) : option.fontMetrics.height() + 10);
}

void TFungiListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    painter->fillRect(option.rect, index.row() % 2 == 0 ? FromNumber(FungiListEvenColor) : QColor(Qt::white));
    if (option.state & QStyle::State_Selected) {
        painter->setPen(FromNumber(FungiListFrameColor));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->setPen(option.palette.windowText().color());
    painter->setFont(option.font);
    if (m_paint) m_paint(painter, option.rect, index.row());
    painter->restore();
}

TframeFungiList::TframeFungiList(QWidget* parent) : TframeFungiSubBase(parent) {
    listEntries = new QListWidget(this);
    listEntries->setObjectName(QStringLiteral("listEntries"));
    listEntries->setUniformItemSizes(false);
    // Entry heights depend on the width: a new width lays the entries out again.
    listEntries->setResizeMode(QListView::Adjust);
    listEntries->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listEntries->setFrameShape(QFrame::NoFrame);
    // The delegate draws the selection itself.
    QPalette palette = listEntries->palette();
    palette.setColor(QPalette::Highlight, Qt::transparent);
    listEntries->setPalette(palette);
    BodyLayout()->addWidget(listEntries, 1);
    m_buttons = new QHBoxLayout;
    m_buttons->setContentsMargins(4, 2, 4, 4);
    BodyLayout()->addLayout(m_buttons);
    connect(listEntries, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling) EntryClick(row);
    });
    connect(listEntries, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { EntryDoubleClick(listEntries->row(item)); });
}

QToolButton* TframeFungiList::AddButton(const QString& text, const char* name, const QString& hint) {
    QToolButton* button = FungiSubButton(this, text, name, hint);
    m_buttons->addWidget(button);
    return button;
}

void TframeFungiList::SetDelegate(TFungiListDelegate::PaintEntry paint, TFungiListDelegate::EntryHeight height) {
    listEntries->setItemDelegate(new TFungiListDelegate(listEntries, std::move(paint), std::move(height)));
}

void TframeFungiList::UpdateFrame() {
    TframeFungiSubBase::UpdateFrame();
    const int count = DataSet && DataSet->Active() ? DataSet->RecordCount() : 0;
    m_filling = true;
    while (listEntries->count() > count) delete listEntries->takeItem(listEntries->count() - 1);
    while (listEntries->count() < count) listEntries->addItem(QStringLiteral("*"));
    // Heights depend on the records: let the list ask again.
    listEntries->doItemsLayout();
    listEntries->setCurrentRow(count > 0 && DataSet->RecNo() > 0 ? DataSet->RecNo() - 1 : -1);
    m_filling = false;
    listEntries->viewport()->update();
    UpdateButtons();
}

void TframeFungiList::EntryClick(int row) {
    if (DataSet && DataSet->Active() && row >= 0 && row < DataSet->RecordCount()) DataSet->SetRecNo(row + 1);
    UpdateButtons();
}

QVariant TframeFungiList::Value(int row, const QString& field) const {
    if (!DataSet || !DataSet->Active() || row < 0 || row >= DataSet->RecordCount()) return QVariant();
    const TField* f = DataSet->FindField(field);
    return f ? DataSet->RecordValue(row, f->Index()) : QVariant();
}

bool TframeFungiList::HasSelection() const {
    return DataSet && DataSet->Active() && !DataSet->IsEmpty() && listEntries->currentRow() >= 0;
}

#include "moc_unitFungiSubLists.cpp"
