#include "controls/FRSearchPanel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/FREdits.h"
#include "controls/FRGraphics.h"
#include "controls/FRGuard.h"
#include "platform/Resources.h"
#include "platform/UIServices.h"

// ---- TFRSearchPanelHitForm ----

TFRSearchPanelHitForm::TFRSearchPanelHitForm(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("formFRSearchPanelHitForm"));
    setFont(ArialFont(8));
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto* l = new QVBoxLayout(frame);
    l->setContentsMargins(1, 1, 1, 1);
    l->setSpacing(1);
    labelCaption = new QLabel(frame);
    labelCaption->setObjectName(QStringLiteral("labelCaption"));
    listboxMain = new QListWidget(frame);
    listboxMain->setObjectName(QStringLiteral("listboxMain"));
    listboxMain->setUniformItemSizes(true);
    listboxMain->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listboxMain->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    listboxMain->installEventFilter(this);
    listboxMain->viewport()->installEventFilter(this);
    l->addWidget(labelCaption);
    l->addWidget(listboxMain);
}

void TFRSearchPanelHitForm::SetHits(const QStringList& names) {
    labelCaption->setText(QStringLiteral("   %1 träffar").arg(names.size()));
    listboxMain->clear();
    listboxMain->addItems(names);
    if (!names.isEmpty()) listboxMain->setCurrentRow(0);
    const int rows = std::clamp(int(names.size()), 1, VisibleRows);
    const int row = listboxMain->sizeHintForRow(0) > 0 ? listboxMain->sizeHintForRow(0) : fontMetrics().height();
    listboxMain->setFixedHeight(rows * row + 2 * listboxMain->frameWidth());
    // Exactly the caption and the rows: a window's own least size would leave a gap.
    setFixedHeight(layout()->sizeHint().height());
}

void TFRSearchPanelHitForm::Place(const QPoint& topLeft) {
    QScreen* screen = QGuiApplication::screenAt(topLeft);
    if (!screen) screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    QPoint at = topLeft;
    if (screen) {
        const QRect room = screen->availableGeometry();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - height())));
    }
    move(at);
}

int TFRSearchPanelHitForm::Execute() {
    if (UIServices::ExecDialog(this) != QDialog::Accepted) return -1;
    return listboxMain->currentRow();
}

bool TFRSearchPanelHitForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listboxMain && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
    }
    // Only a press on a row takes it; the scroll bar is no part of the viewport and scrolls.
    if (watched == listboxMain->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = listboxMain->indexAt(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && index.isValid()) {
            listboxMain->setCurrentRow(index.row());
            accept();
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- TFRSearchPanel ----

TFRSearchPanel::TFRSearchPanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::NoFrame);
    Edit = new TFREdit(this);
    Edit->setObjectName(QStringLiteral("Edit"));
    Edit->installEventFilter(this);
    Button = new QToolButton(this);
    Button->setObjectName(QStringLiteral("Button"));
    Button->setFocusPolicy(Qt::NoFocus);
    Button->setIcon(QIcon(Resources::Bitmap(QStringLiteral("BTNBITMAP"))));
    Button->setIconSize(QSize(16, 16));
    connect(Button, &QToolButton::clicked, this, [this] { Guarded([this] { Search(); }); });
    connect(Edit, &QLineEdit::textChanged, this, [this] {
        if (OnChange) Guarded([this] { OnChange(this); });
    });
    setFocusProxy(Edit);
    resize(sizeHint());
    Arrange();
}

void TFRSearchPanel::Arrange() {
    const int side = std::max(1, height() - 2);
    Button->setGeometry(width() - side - 1, 1, side, side);
    Edit->setGeometry(0, 1, std::max(0, width() - side - 2), side);
}

void TFRSearchPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Arrange();
}

bool TFRSearchPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter searches and goes no further (not to a dialog's default button).
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Guarded([this] { Search(); });
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

QList<int> TFRSearchPanel::Hits(const QString& text) const {
    const bool byEnding = text.startsWith(QLatin1Char('*'));
    const QString wanted = byEnding ? text.mid(1) : text;
    QList<int> hits;
    for (int i = 0; i < SearchList.Count(); ++i) {
        const QString& name = SearchList.Strings(i);
        if (byEnding ? name.endsWith(wanted, Qt::CaseInsensitive) : name.startsWith(wanted, Qt::CaseInsensitive))
            hits.append(i);
    }
    return hits;
}

void TFRSearchPanel::Search() {
    const QList<int> hits = Hits(Edit->text());
    int chosen = -1;
    if (hits.size() == 1) {
        chosen = hits.first();
    } else if (hits.size() > 1) {
        QStringList names;
        for (int i : hits) names.append(SearchList.Strings(i));
        TFRSearchPanelHitForm form(this);
        form.SetHits(names);
        form.setFixedWidth(width());
        form.Place(mapToGlobal(QPoint(0, height())) - QPoint(2, 2));
        const int row = form.Execute();
        if (row >= 0 && row < hits.size()) chosen = hits.at(row);
    }
    // What is shown is taken before the owner hears of it: the owner may refill the list.
    const QString name = chosen >= 0 ? SearchList.Strings(chosen) : QString();
    const QString key = chosen >= 0 ? SearchList.GetUKey(chosen) : QString();
    QPointer<TFRSearchPanel> alive(this);
    if (chosen >= 0 && OnSearchPerformed) OnSearchPerformed(this, key);
    if (!alive) return;
    if (PresentSelection) {
        Edit->setText(name);
        Edit->selectAll();
    } else {
        Edit->clear();
    }
}

#include "moc_FRSearchPanel.cpp"
