#pragma once
// The colour choice: the main window's colour memory as up to 120 cells, a preview of the
// chosen colour and a way to the colour dialog for a colour not yet remembered. A colour
// chosen with OK joins the memory (sorted ascending, at most 120: when it is full the
// largest number drops out); the memory is written back to the settings when the dialog
// goes.
#include <QDialog>
#include <QList>
#include <QPointer>
#include <functional>

#include "controls/FRGraphics.h"

class QFrame;
class QPushButton;
class TformFRMain;

// The colour dialog (through the UI services), preset with a colour; true with the chosen
// colour on OK.
bool ExecuteColorDialog(QWidget* parent, TColor& color);

// One cell of the memory: a colour square that tells of clicks and double clicks.
class TColorCell : public QWidget {
    Q_OBJECT
public:
    TColorCell(int index, QWidget* parent);
    int Index() const { return m_index; }
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    std::function<void(int index)> OnClick;
    std::function<void(int index)> OnDoubleClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_index;
    TColor m_color = 0;
};

class TformColorChoice : public QDialog {
    Q_OBJECT
public:
    static constexpr int CellCount = 120;
    static constexpr int CellsPerRow = 15;
    static constexpr int CellSize = 41;
    static constexpr int CellPitch = 48;

    // Works on the colour memory of the main window given (none: a memory of its own that
    // nothing keeps).
    explicit TformColorChoice(TformFRMain* main, QWidget* parent = nullptr);
    // Writes the memory back to the settings ("Settings/PrevColors%d").
    ~TformColorChoice() override;

    // Shows the memory, selects the colour and runs the dialog. With OK the colour becomes
    // the chosen one and true is returned; otherwise it is left as it was.
    bool Execute(TColor& color);

    // The colour memory shown: up to 120 numbers, ascending.
    QList<int>& Memory();
    // Shows the colour in the preview and marks its cell when it is remembered.
    void SelectColor(TColor color);
    TColor SelectedColor() const { return m_color; }
    // A cell's place inside the cell area.
    static QRect CellRect(int index);

    void cellClick(int index);
    void cellDoubleClick(int index);
    void btnOtherColorClick();
    void btnOKClick();
    void btnHelpClick();

    QFrame* panelColor = nullptr;
    QWidget* panelCells = nullptr;
    QWidget* shapeMarker = nullptr;
    QList<TColorCell*> Cells;
    QPushButton* btnOtherColor = nullptr;  // "Annan färg..."
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;

private:
    void SetupForm();
    void ShowMemory();

    QPointer<TformFRMain> m_main;
    QList<int> m_ownMemory;
    TColor m_color = 0;
};
