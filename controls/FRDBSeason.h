#pragma once
// The season bar: a data-aware bar chart of twelve month columns, each with a level from 0
// to 9. The field holds twelve characters "0".."9", January to December; a text of any
// other length means "no data". While the table is being edited the user drags the top of
// a column to set its level; with Ctrl held every month takes the level.
#include <QRect>
#include <QWidget>
#include <array>

#include "controls/FRFieldLink.h"
#include "controls/FRGraphics.h"

class TFRDBSeason : public QWidget, public TDataAwareControl {
    Q_OBJECT
public:
    static constexpr int MonthCount = 12;
    static constexpr int MaxLevel = 9;
    enum class TDragState { Idle, AtGrip, Dragging };

    explicit TFRDBSeason(QWidget* parent = nullptr);
    ~TFRDBSeason() override;

    TColor BackgroundColor() const { return m_backgroundColor; }
    void SetBackgroundColor(TColor color);
    TColor FrameColor() const { return m_frameColor; }
    void SetFrameColor(TColor color);
    TColor HighColor() const { return m_highColor; }
    void SetHighColor(TColor color);
    TColor LowColor() const { return m_lowColor; }
    void SetLowColor(TColor color);
    int CaptionHeight() const { return m_captionHeight; }
    void SetCaptionHeight(int height);
    int GraphMargin() const { return m_graphMargin; }
    void SetGraphMargin(int margin);
    QString MonthLetters() const { return m_monthLetters; }
    void SetMonthLetters(const QString& letters);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    QFont CaptionFont() const { return m_captionFont; }
    void SetCaptionFont(const QFont& font);
    QFont LetterFont() const { return m_letterFont; }
    void SetLetterFont(const QFont& font);

    // A month's level, -1 for "no data".
    int Level(int month) const { return m_levels.at(month); }
    bool HasData() const { return m_hasData; }
    TDragState DragState() const { return m_dragState; }
    int DraggedMonth() const { return m_dragMonth; }
    // The field text of the levels shown ("" without data).
    QString SeasonText() const;

    // The graph area, from (GraphMargin, CaptionHeight + GraphMargin) to
    // (Width - GraphMargin - 1, Height - GraphMargin - 1).
    QRect GraphRect() const;
    // The month column under x (any number: outside the graph it lies outside 0..11).
    int MonthAt(int x) const;
    // The level a pointer at y drags to, 0..9.
    int LevelAt(int y) const;
    // The top of a month's bar, where the pointer grips it.
    QRect GripRect(int month) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DataChange();
    void UpdateData();
    // The column of a month: its left edge and width within the graph.
    QRect ColumnRect(int month) const;
    QRect BarRect(int month) const;
    void SetIdle();

    std::array<int, MonthCount> m_levels;
    bool m_hasData = false;
    TDragState m_dragState = TDragState::Idle;
    int m_dragMonth = -1;

    TColor m_backgroundColor = 0xFFFFFF;
    TColor m_frameColor = 0x000000;
    TColor m_highColor = 0x0000FF;
    TColor m_lowColor = 0xFF0000;
    int m_captionHeight = 14;
    int m_graphMargin = 8;
    QString m_monthLetters = QStringLiteral("JFMAMJJASOND");
    QString m_caption;
    QFont m_captionFont;
    QFont m_letterFont;
};
