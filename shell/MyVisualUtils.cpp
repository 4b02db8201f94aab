#include "shell/MyVisualUtils.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QHeaderView>
#include <QPointer>
#include <QScreen>
#include <QTableView>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// ---- Tab key state ----

class TabKeyWatch : public QObject {
public:
    bool down = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                const auto* key = static_cast<QKeyEvent*>(event);
                if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && !key->isAutoRepeat())
                    down = event->type() == QEvent::KeyPress;
                break;
            }
            case QEvent::ApplicationDeactivate:
                // The release may go to another program.
                down = false;
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

TabKeyWatch* tabKeyWatch = nullptr;

void installTabKeyWatch() {
    if (tabKeyWatch || !QCoreApplication::instance()) return;
    tabKeyWatch = new TabKeyWatch;
    tabKeyWatch->setParent(QCoreApplication::instance());
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] { tabKeyWatch = nullptr; });
    QCoreApplication::instance()->installEventFilter(tabKeyWatch);
}

}  // namespace

// Installed at start so that the first Tab press is already seen.
Q_COREAPP_STARTUP_FUNCTION(installTabKeyWatch)

// The key state as the window system has it at this moment (none without a GUI).
static Qt::KeyboardModifiers modifiersNow() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return Qt::NoModifier;
    return QGuiApplication::queryKeyboardModifiers();
}

bool IsCtrlDown() { return modifiersNow().testFlag(Qt::ControlModifier); }

bool IsShiftDown() { return modifiersNow().testFlag(Qt::ShiftModifier); }

bool IsTabDown() {
    installTabKeyWatch();
    return tabKeyWatch && tabKeyWatch->down;
}

void GetWrappedLine(const QFontMetrics& metrics, int maxWidth, QString& text, QString& line) {
    // At ", " the break is the blank's: the comma stays on the line and the blank goes.
    enum class Break { None, Blank, Dash };
    Break kind = Break::None;
    qsizetype at = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (; i < n; ++i) {
        const QChar c = text[i];
        // A line break ends the line at once; a bare "\n" counts as one too.
        if (c == QLatin1Char('\n') || (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))) {
            line = text.left(i);
            text = text.mid(i + (c == QLatin1Char('\r') ? 2 : 1));
            return;
        }
        // A blank is a break even when it would itself overflow: it is dropped.
        if (c == QLatin1Char(' ')) {
            kind = Break::Blank;
            at = i;
        }
        if (metrics.horizontalAdvance(text.left(i + 1)) > maxWidth) break;
        if (c == QLatin1Char('-')) {
            kind = Break::Dash;
            at = i;
        }
    }
    if (i >= n) {
        line = text;
        text.clear();
        return;
    }
    switch (kind) {
        case Break::Blank:
            line = text.left(at);
            text = text.mid(at + 1);
            return;
        case Break::Dash:
            line = text.left(at + 1);
            text = text.mid(at + 1);
            return;
        case Break::None:
            break;
    }
    // No break within the width: cut after the last character that fits, at least one,
    // never inside a surrogate pair.
    qsizetype cut = std::max<qsizetype>(i, 1);
    if (cut < n && text[cut - 1].isHighSurrogate() && text[cut].isLowSurrogate()) ++cut;
    line = text.left(cut);
    text = text.mid(cut);
}

void GetWrappedLine(QPainter& canvas, int maxWidth, QString& text, QString& line) {
    GetWrappedLine(canvas.fontMetrics(), maxWidth, text, line);
}

void FitDialogToScreen(QWidget* dialog, const QRect& available, QSize preferred) {
    if (!preferred.isValid()) preferred = dialog->property("preferredSize").toSize();
    if (preferred.isValid())
        dialog->setProperty("preferredSize", preferred);
    else
        preferred = dialog->sizeHint();
    // The title bar and frame need room of their own.
    const QSize room = (available.size() - QSize(16, 48)).expandedTo(QSize(1, 1));
    const QSize size = preferred.expandedTo(dialog->minimumSizeHint()).boundedTo(room);
    dialog->resize(size);
    dialog->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void FitDialogToScreen(QWidget* dialog, QSize preferred) {
    QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (screen) FitDialogToScreen(dialog, screen->availableGeometry(), preferred);
}

// ---- Columns sized to their texts ----

namespace {

// The cells measured in a column: those with the longest texts. The width of a text follows
// its length closely; so many candidates leave room for wide letters in shorter names.
constexpr int kMeasuredCells = 64;

class ColumnFitter : public QObject {
public:
    explicit ColumnFitter(QTableView* view) : QObject(view), m_view(view) {
        view->installEventFilter(this);
        QHeaderView* header = view->horizontalHeader();
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setStretchLastSection(true);
        QAbstractItemModel* model = view->model();
        if (!model) return;
        const auto fit = [this] { Fit(); };
        connect(model, &QAbstractItemModel::modelReset, this, fit);
        connect(model, &QAbstractItemModel::layoutChanged, this, fit);
        connect(model, &QAbstractItemModel::rowsInserted, this, fit);
        connect(model, &QAbstractItemModel::rowsRemoved, this, fit);
        connect(model, &QAbstractItemModel::columnsInserted, this, fit);
        connect(model, &QAbstractItemModel::columnsRemoved, this, fit);
        connect(model, &QAbstractItemModel::headerDataChanged, this, fit);
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) { Widen(from.row(), to.row()); });
        Fit();
    }

    // Every column but the last, as wide as its header and its widest long text.
    void Fit() {
        QAbstractItemModel* model = m_view->model();
        if (!model) return;
        const int columns = model->columnCount();
        const int rows = model->rowCount();
        QHeaderView* header = m_view->horizontalHeader();
        for (int column = 0; column + 1 < columns; ++column) {
            std::vector<std::pair<qsizetype, int>> lengths;
            lengths.reserve(size_t(rows));
            for (int row = 0; row < rows; ++row)
                lengths.emplace_back(model->index(row, column).data(Qt::DisplayRole).toString().size(), row);
            const size_t measured = std::min(lengths.size(), size_t(kMeasuredCells));
            std::partial_sort(lengths.begin(), lengths.begin() + qsizetype(measured), lengths.end(),
                              [](const auto& a, const auto& b) { return a.first > b.first; });
            int width = header->sectionSizeHint(column);
            for (size_t i = 0; i < measured; ++i) width = std::max(width, CellWidth(lengths[i].second, column));
            header->resizeSection(column, width);
        }
    }

    // Rows whose values changed: a column grows when one of them needs more room.
    void Widen(int first, int last) {
        QAbstractItemModel* model = m_view->model();
        if (!model || first < 0) return;
        QHeaderView* header = m_view->horizontalHeader();
        const int columns = model->columnCount();
        for (int column = 0; column + 1 < columns; ++column)
            for (int row = first; row <= last; ++row)
                if (const int width = CellWidth(row, column); width > header->sectionSize(column))
                    header->resizeSection(column, width);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_view &&
            (event->type() == QEvent::Polish || event->type() == QEvent::FontChange ||
             event->type() == QEvent::StyleChange))
            Fit();
        return false;
    }

private:
    // As the view measures a cell for its column, the grid line included.
    int CellWidth(int row, int column) const {
        const QModelIndex index = m_view->model()->index(row, column);
        return m_view->sizeHintForIndex(index).width() + (m_view->showGrid() ? 1 : 0);
    }

    QTableView* m_view;
};

}  // namespace

void FitColumnsToTexts(QTableView* view) {
    if (view && view->model()) new ColumnFitter(view);
}
