#pragma once
// The selection dialog of the maps screen: which finds and places the detail map draws, and
// the colour and diameter of their markers.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class TFRMapScreen;
class TFRSearchPanel;

class TformMapSelection : public QDialog {
    Q_OBJECT
public:
    explicit TformMapSelection(TFRMapScreen* screen, QWidget* parent = nullptr);
    ~TformMapSelection() override;

    // Sets the controls from the screen's settings; anchor: the button the dialog opens at.
    void Prepare(QWidget* anchor);
    // "Gör urval": raises message 71 when a species is asked for but none is chosen.
    void ExecuteSelection();
    QString ChosenSpecies() const { return m_species; }

    QRadioButton* radioNoFinds = nullptr;
    QRadioButton* radioSelectedFinds = nullptr;
    QRadioButton* radioAllFinds = nullptr;
    TFRSearchPanel* searchFinds = nullptr;
    QSlider* trackbarFindMarker = nullptr;
    QPushButton* btnFindMarkerColor = nullptr;
    QLabel* imageFindMarker = nullptr;
    QRadioButton* radioNoPlaces = nullptr;
    QRadioButton* radioAllPlaces = nullptr;
    QSlider* trackbarPlaceMarker = nullptr;
    QPushButton* btnPlaceMarkerColor = nullptr;
    QLabel* imagePlaceMarker = nullptr;
    QPushButton* btnExecuteSelection = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    void done(int result) override;

private:
    void TrackbarChanged();
    void ChooseColor(int tag);
    void DrawPreviews();
    TFRMapScreen* m_screen;
    QString m_species;
    bool m_suppressTrack = false;
};
