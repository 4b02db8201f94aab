#pragma once
// The quick selection dialog ("Urval"): narrows the species list to complete descriptions,
// species with a Swedish name, edible species, species with a picture, regions of Sweden,
// months, habitats and a species group. It edits the program's one quick selection, writes
// it to the user's settings whenever it closes and, on "Gör urval", rebuilds the species
// selection from it.
#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class TDM;
class TFREdit;
class TFRLock;
class TFRMultiChoice;
struct TQuickSelectionHandler;

class TformFungiSelection : public QDialog {
    Q_OBJECT
public:
    explicit TformFungiSelection(TDM* dm, QWidget* parent = nullptr);
    ~TformFungiSelection() override;

    // Loads the controls from the quick selection and places the dialog with its top-left
    // corner 2 pixels left of and above the anchor's bottom-left corner, kept on the screen.
    void Prepare(QWidget* anchor);

    // The controls from the quick selection, and back.
    void LoadControls();
    void ReadControls();
    // Whether a group may stand in the selection: empty, one of the group list, or a name
    // without quotation marks (which would break the selection's text).
    bool GroupAccepted(const QString& group) const;

    // The buttons.
    void ExecuteSelection();  // "Gör urval"
    void CloseClick();  // "Stäng"
    void ClearFields();  // "Töm samtliga fält"
    void CancelSelection();  // "Upphäv nuvarande urval"

    QLabel* lblHeader = nullptr;
    TFRMultiChoice* multicComplete = nullptr;
    TFRLock* lockComplete = nullptr;
    TFRMultiChoice* multicSwedishName = nullptr;
    TFRLock* lockSwedishName = nullptr;
    TFRMultiChoice* multicEdible = nullptr;
    TFRMultiChoice* multicHasPicture = nullptr;
    TFRMultiChoice* multicCountryPart = nullptr;
    QLabel* imageCountryParts = nullptr;
    TFRMultiChoice* multicSeason = nullptr;
    TFRMultiChoice* multicHabitat = nullptr;
    TFREdit* editFungiGroup = nullptr;
    QPushButton* btnExecute = nullptr;  // "Gör urval"
    QPushButton* btnClose = nullptr;  // "Stäng"
    QPushButton* btnClearFields = nullptr;  // "Töm samtliga fält"
    QPushButton* btnCancelSelection = nullptr;  // "Upphäv nuvarande urval"

protected:
    // However the dialog closes, the controls go into the quick selection and it is written
    // to the settings.
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupForm();
    TQuickSelectionHandler& State();
    // Refuses a group that GroupAccepted does not take: the edit gets the focus and the
    // message is raised.
    void CheckGroup();
    void WriteSettings();

    TDM* m_dm;
};

// The message of a refused group; "%1" is the group.
inline constexpr const char* RefusedGroupText =
    "Gruppen \"%1\" kan inte användas i urvalet, eftersom ett gruppnamn inte får innehålla citattecken. "
    "Välj en grupp i listan.";
