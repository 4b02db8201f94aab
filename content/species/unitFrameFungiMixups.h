#pragma once
// The look-alikes of the current species: each entry names the other species, its edibility
// and what tells it apart.
#include <QStringList>

#include "content/species/unitFungiSubLists.h"

class QFontMetrics;

class TframeFungiMixups : public TframeFungiList {
    Q_OBJECT
public:
    explicit TframeFungiMixups(QWidget* parent = nullptr);
    void UpdateFrame() override;
    void UpdateButtons() override;

    // The height of an entry whose difference text wraps to the number of lines.
    static int EntryHeight(int textHeight, int lines);
    // The difference text wrapped to the width.
    static QStringList WrapText(const QFontMetrics& metrics, int width, const QString& text);
    // The width the difference text wraps at.
    int TextWidth() const;

    // Shows the look-alike species of the entry, widening the selection when it is outside.
    void ShowMixup(int row);
    void btnNewClick();

    QToolButton* sbtnNew = nullptr;
    QToolButton* sbtnShow = nullptr;

protected:
    void EntryDoubleClick(int row) override { ShowMixup(row); }
};
