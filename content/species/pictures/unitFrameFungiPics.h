#pragma once
// The pictures of the current species as a grid of thumbnail tiles: new pictures from a file
// or the clipboard, changing, showing and deleting one, and the grid on the species frame's
// full page.
#include <QDateTime>
#include <QList>
#include <QString>

#include "content/species/unitFungiScreen.h"
#include "controls/FRGraphics.h"

class QAction;
class QMenu;
class QScrollArea;
class QToolButton;
class TFRTitlePicture;

// The tiles' colours: the user's own pictures light tan, all others green; the checked edge
// orange.
inline constexpr TColor PersonalPicColor = 10277596;
inline constexpr TColor OtherPicColor = 32768;
inline constexpr TColor CheckedPicColor = 33023;
// Tiles lie on a pitch of the thumbnail size and a gap.
inline constexpr int PicTilePitch = 100;
// The folder a new picture from a file was last taken from.
inline constexpr const char* PicFromFileDirKey = "Settings/PicFromFileDir";

class TframeFungiPics : public TframeFungiSubBase {
    Q_OBJECT
public:
    explicit TframeFungiPics(QWidget* parent = nullptr);

    void UpdateFrame() override;
    void UpdateButtons() override;

    // One tile per picture of the current species, tiles reused; the table stays on its record.
    void LoadPics();
    // The tiles in rows as wide as the grid allows.
    void PlaceTiles();
    // Checks the tile of the table's current record.
    void CheckCurrent();

    void NewFromFileClick();
    void NewFromClipboardClick();
    void btnDeleteClick();
    void FullScreenClick();
    void TileClick(int index);

    // The species whose pictures the tiles hold ("*" before the first load) and the checked
    // tile (-1 none).
    QString PicsFungiKey() const { return m_fungiKey; }
    int CheckedIndex() const { return m_checked; }
    const QList<TFRTitlePicture*>& Tiles() const { return m_tiles; }

    QToolButton* sbtnNew = nullptr;
    QToolButton* sbtnEdit = nullptr;
    QToolButton* sbtnInfo = nullptr;
    QToolButton* sbtnDelete = nullptr;
    QToolButton* sbtnFullScreen = nullptr;
    QMenu* menuNew = nullptr;
    QAction* actFromFile = nullptr;
    QAction* actFromClipboard = nullptr;
    QAction* actLinked = nullptr;
    QScrollArea* scrollPics = nullptr;
    QWidget* panelPics = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a tile shows, so that an unchanged thumbnail is not read again.
    struct TTileSource {
        QString File;
        QDateTime Stamp;
    };
    QToolButton* AddButton(const QString& text, const char* name, const QString& hint);
    void SetTilePicture(int index, const QString& file, bool stock);

    QString m_fungiKey = QStringLiteral("*");
    int m_checked = -1;
    QList<TFRTitlePicture*> m_tiles;
    QList<TTileSource> m_sources;
};
