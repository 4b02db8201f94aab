#pragma once
// A tool tile: a 50 x 50 button square holding a glyph, a header beside it and lines of
// text below the header. Pressing and releasing the square calls OnClick.
#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <utility>

class TFRToolPanel : public QWidget {
    Q_OBJECT
public:
    explicit TFRToolPanel(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(617, 90); }
    // At least 90: what the header and every text line take, wrapped at the width given.
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

    QPixmap Glyph() const { return m_glyph; }
    void SetGlyph(const QPixmap& glyph);
    QString HeaderCaption() const { return m_header; }
    void SetHeaderCaption(const QString& caption);
    QFont HeaderFont() const { return m_headerFont; }
    void SetHeaderFont(const QFont& font);
    QStringList Text() const { return m_text; }
    void SetText(const QStringList& text);
    QFont TextFont() const { return m_textFont; }
    void SetTextFont(const QFont& font);
    // The width the text lines wrap at; 0 wraps at the tile's right edge.
    int TextMaxWidth() const { return m_textMaxWidth; }
    void SetTextMaxWidth(int width);

    std::function<void(TFRToolPanel*)> OnClick;

    // The button square: 8 <= x < 58 and 8 <= y < 58.
    static QRect ButtonRect() { return QRect(8, 8, 50, 50); }
    static bool InButton(const QPoint& point) { return ButtonRect().contains(point); }
    bool Highlighted() const { return m_hot; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void SetHot(bool hot);
    // The left and right edge of the header and text at the tile's width.
    std::pair<int, int> TextColumn(int width) const;
    static int LineHeight(const QFontMetrics& metrics, const QString& line, int width);
    QPixmap m_glyph;
    QString m_header;
    QFont m_headerFont;
    QStringList m_text;
    QFont m_textFont;
    int m_textMaxWidth = 0;
    bool m_hot = false;
    bool m_pressed = false;
};

// The tool tiles of a screen, in order. The list does not own them (their parent does);
// Clear() deletes those still alive.
class TFRToolPanels {
public:
    void Add(TFRToolPanel* panel) { m_panels.append(panel); }
    int Count() const { return int(m_panels.size()); }
    TFRToolPanel* Items(int index) const { return m_panels.value(index); }
    void Clear();

private:
    QList<QPointer<TFRToolPanel>> m_panels;
};
