#pragma once
// One picture of the current species for viewing, input and change: the picture fitted to
// its panel or at real size, the square marker of the main picture, the clipboard, the
// picture's source and its photographer.
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "content/species/unitFungiScreen.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QToolButton;
class TFRDBEdit;
class TFRDBLock;
class TFRDBMemo;
class TFRSearchPanel;

// The picture of the detail frame. Fitted, it is scaled down into the panel; at real size the
// view takes the picture's size inside a scroll area, and dragging scrolls it. The main
// picture's marker is kept in pixels of the picture itself, so it means the same square at
// any scale.
class TFungiPicView : public QWidget {
    Q_OBJECT
public:
    explicit TFungiPicView(QWidget* parent = nullptr);

    QImage Picture() const { return m_picture; }
    void SetPicture(const QImage& picture);
    bool RealSize() const { return m_realSize; }
    void SetRealSize(bool realSize);
    // Where the picture is drawn, in the view's pixels.
    QRect ShownRect() const;

    bool MarkerVisible() const { return m_markerVisible; }
    void SetMarkerVisible(bool visible);
    // The marker square in pixels of the picture.
    QRect Marker() const { return m_marker; }
    void SetMarker(const QRect& marker);
    // The marker's square and its resize handle in the view's pixels.
    QRect MarkerRect() const;
    QRect HandleRect() const;

    std::function<void()> OnDoubleClick;
    // Dragging the picture at real size: the distance the picture should scroll.
    std::function<void(const QPoint& delta)> OnDragScroll;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    enum class TDrag { None, Move, Resize, Scroll };
    QRect ToView(const QRect& picture) const;
    QPoint ToPicture(const QPoint& viewDelta) const;
    void UpdateCursor(const QPoint& at);

    QImage m_picture;
    QPixmap m_shown;  // the picture at the size it is drawn, made once per size
    bool m_realSize = false;
    bool m_markerVisible = false;
    QRect m_marker;
    TDrag m_drag = TDrag::None;
    QPoint m_dragStart;
    QRect m_markerStart;
};

class TframeFungiPicDetails : public TframeFungiDetailBase {
    Q_OBJECT
public:
    // What the frame shows: the stored picture, a new one not yet stored, or a stock
    // picture standing in for a picture that is not there.
    enum class TPictureKind { Stored, New, Stock };

    explicit TframeFungiPicDetails(QWidget* parent = nullptr);

    void UpdateFrame() override;
    void UpdateButtons() override;
    void LoadSettings() override;
    void SaveSettings() override;
    QString HeaderText() const;

    void SetPicture(const QImage& picture, TPictureKind kind);
    QImage Picture() const { return imgPicture->Picture(); }
    TPictureKind PictureKind() const { return m_kind; }
    // The marker back on the stored main-picture square, or the largest centred square.
    void ResetMarker();
    // Whether the source link is a web address that may be opened.
    static bool IsWebLink(const QString& text);

    void btnSaveClick();
    void btnCancelClick();
    void btnCloseClick();
    void PrevNextClick(int tag);
    void ClipboardClick();
    void RealSizeClick(bool realSize);
    void MarkerClick(bool pressed);
    void SourceClick();
    void PictureDoubleClick();

    QScrollArea* scrollPicture = nullptr;
    TFungiPicView* imgPicture = nullptr;
    QToolButton* sbtnPrev = nullptr;
    QToolButton* sbtnNext = nullptr;
    QPushButton* btnClose = nullptr;
    QToolButton* sbtnClipboard = nullptr;
    QToolButton* sbtnRealSize = nullptr;
    QToolButton* sbtnMarker = nullptr;
    QLineEdit* editPhotographer = nullptr;
    TFRSearchPanel* searchPhotographer = nullptr;
    TFRDBLock* dblockPicLocked = nullptr;
    QWidget* rowDate = nullptr;
    QLineEdit* editDate = nullptr;
    QWidget* rowNote = nullptr;
    TFRDBMemo* dbmemoNoteText = nullptr;
    TFRDBLock* dblockNoteText = nullptr;
    QWidget* rowSource = nullptr;
    TFRDBEdit* dbeditPicSource = nullptr;
    QToolButton* sbtnSource = nullptr;
    QLabel* lblSourceText = nullptr;
    QWidget* rowSourceURL = nullptr;
    TFRDBEdit* dbeditPicSourceURL = nullptr;
    QWidget* rowURL = nullptr;
    TFRDBEdit* dbeditPicURL = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* rowSize = nullptr;
    QLabel* lblSize = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ApplyRealSize();
    void Unlock();

    TPictureKind m_kind = TPictureKind::Stock;
    bool m_realSize = false;
    // The record whose photographer the search panel was filled with while editing.
    QString m_photographerFilled;
};
