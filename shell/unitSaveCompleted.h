#pragma once
// The choice how to save a completed species description: as still in progress (the
// description stays open for changes) or as complete and locked.
#include <QDialog>

class QPushButton;
class TFRInfoPanel;

class TformSaveCompleted : public QDialog {
    Q_OBJECT
public:
    explicit TformSaveCompleted(QWidget* parent = nullptr);

    // Shows the dialog modally with "Spara och LÅS INTE" focused: 1 for "Spara och LÅS INTE",
    // 2 for "Spara och LÅS", 0 for "Avbryt" or closing.
    int Execute();

    TFRInfoPanel* panelInfo = nullptr;
    QPushButton* btnSaveUnlocked = nullptr;  // "Spara och LÅS INTE"
    QPushButton* btnSaveLocked = nullptr;  // "Spara och LÅS"
    QPushButton* btnCancel = nullptr;  // "Avbryt"

private:
    void SetupForm();
};
