#pragma once
// A picture tile: a picture with a caption below it in a frame. Tiles with the same parent
// and group index act as one choice: checking one unchecks the others.
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "controls/FRGraphics.h"

class TFRTitlePicture : public QWidget {
    Q_OBJECT
public:
    explicit TFRTitlePicture(QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(137, 181); }

    QPixmap Picture() const { return m_picture; }
    void SetPicture(const QPixmap& picture);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    bool Checked() const { return m_checked; }
    // Checking unchecks every other tile of the same parent and group index.
    void SetChecked(bool checked);
    // The background; the button face unless set.
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TColor CheckedColor() const { return m_checkedColor; }
    void SetCheckedColor(TColor color);
    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int index) { m_groupIndex = index; }
    int PictureMargin() const { return m_pictureMargin; }
    void SetPictureMargin(int margin);
    int EdgeWidth() const { return m_edgeWidth; }
    void SetEdgeWidth(int width);
    int TextMargin() const { return m_textMargin; }
    void SetTextMargin(int margin);

    // The area the picture is fitted into, and where it is drawn.
    QRect PictureArea() const;
    QRect PictureRect() const;

    // A press and release of the left button on the tile.
    std::function<void(TFRTitlePicture*)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect CaptionRect() const;
    QPixmap m_picture;
    QString m_caption;
    bool m_checked = false;
    TColor m_color = clBtnFace;
    TColor m_checkedColor = 0x0080FF;
    int m_groupIndex = 0;
    int m_pictureMargin = 4;
    int m_edgeWidth = 5;
    int m_textMargin = 2;
    bool m_pressed = false;
};
