#pragma once
// What the picture wizards share: the pages over a row of buttons ending in "Avbryt" and
// "Hjälp" (a short help text), a list of the failures of a run, and "Avbryt" while a run goes on: the first
// press (or closing the window) stops the run, a second closes the wizard once it has
// stopped.
#include <QDialog>
#include <QStringList>

class QHBoxLayout;
class QListWidget;
class QPushButton;
class QStackedWidget;
class QWidget;

class TFRWizardForm : public QDialog {
    Q_OBJECT
public:
    void reject() override;

    QStackedWidget* pcMain = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnHelp = nullptr;
    QListWidget* listFailures = nullptr;

protected:
    TFRWizardForm(const QString& name, const QString& caption, QWidget* parent);

    // A page of pcMain.
    QWidget* AddPage(const QString& name);
    // A button of the row, left of "Avbryt", in the order they are added.
    QPushButton* AddButton(const QString& name, const QString& text);
    // The failure list, on a page.
    QListWidget* MakeFailureList(QWidget* page);
    // Shows the lines the list does not show yet and lets the window repaint and hear
    // "Avbryt" (between the steps of a run).
    void ShowFailures(const QStringList& lines);
    // After a run: the wizard closes when "Avbryt" was pressed twice during it.
    void CloseWhenAsked();
    // What "Hjälp" (with its hint) tells about the wizard.
    void SetHelp(const QString& hint, const QString& text);

    virtual bool Running() const = 0;
    virtual bool Stopping() const = 0;
    virtual void Stop() = 0;

private:
    QHBoxLayout* m_buttons = nullptr;
    QString m_help;
    bool m_closeWhenDone = false;
};
