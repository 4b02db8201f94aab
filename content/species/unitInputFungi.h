#pragma once
// The species input form ("Komplettering av svampart"): a wizard of ten pages over the
// fields of the current species of cdsFungi, with its Swedish and Latin synonyms and its free
// text edited as plain lines. It ends by asking whether the description is complete and then
// saves the species with its names and text.
//
// Every editable control carries a Tag of 100 or more, its place in the Tab order of its
// page; Tab and Shift+Tab run through the page by Tag and on to the next or previous page.
// The info panel shows the info text labelled by the name of the control that has the focus.
#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QStringList>

class QLabel;
class QPushButton;
class QStackedWidget;
class TDataSource;
class TExtClientDataSet;
class TFRDBColorbar;
class TFRDBEdit;
class TFRDBMultiChoice;
class TFRDBSeason;
class TFRDBSwedenMap;
class TFRFungiScreen;
class TFRInfoPanel;
class TFRMemo;
class TformSaveCompleted;

class TformInputFungi : public QDialog {
    Q_OBJECT
public:
    static constexpr int PageCount = 10;
    static constexpr int FirstTag = 100;

    explicit TformInputFungi(TFRFungiScreen* screen, QWidget* parent = nullptr);
    ~TformInputFungi() override;

    // Shows the form modally over the current species; Accepted once it was saved.
    int Execute();
    // What showing the form does: the species into edit mode, the starting values of a
    // species not yet completed, the synonyms and the free text into their memos, the first
    // page.
    void PrepareForm();

    // ---- Pages ----
    int PageIndex() const;
    bool Skipped(int page) const { return m_skipped.contains(page); }
    // Shows a page and focuses its first (or, with last, its last) control by Tag.
    void ShowPage(int page, bool last = false);
    void NextClick();  // "&Nästa >"
    void PriorClick();  // "< &Föregående"
    // Shows and hides the rows that depend on CookingRequired, HatFungi, HatSubType and
    // VisibleMeatJuice, and skips pages 3 and 4 for a species without cap.
    void UpdateDetails();
    void UpdateButtons();

    // ---- Controls ----
    // The controls of a page in Tab order: the shown ones of Tag 100 or more, by Tag.
    QList<QWidget*> TabControls(int page) const;
    int Tag(QWidget* control) const { return m_tags.value(control, 0); }
    // The tagged control a widget belongs to (itself or one of its parents), or nullptr.
    QWidget* TaggedControl(QWidget* widget) const;
    // A control got the focus: the info panel shows the text labelled by its name.
    void ControlEntered(QWidget* control);
    // The caption shown for a row (the label beside the control).
    QLabel* RowCaption(QWidget* control) const { return m_captions.value(control); }

    // ---- Saving ----
    void SaveClick();  // "Spara och stäng"
    void CancelClick();  // "Avbryt"
    // The lines of the synonym memos as they are stored: trimmed, without empty ones.
    static QStringList NameLines(const QString& text);
    // The free text as rows: one per line, a line longer than the row cut at blanks into
    // several rows; the empty lines at the end go.
    static QStringList TextRows(const QString& text, int rowWidth);

    // ---- Components ----
    QLabel* lblHeader = nullptr;
    QStackedWidget* pagesInput = nullptr;
    TFRInfoPanel* panelInfo = nullptr;
    QPushButton* btnPrior = nullptr;  // "< &Föregående"
    QPushButton* btnNext = nullptr;  // "&Nästa >"
    QPushButton* btnSave = nullptr;  // "Spara och stäng"
    QPushButton* btnCancel = nullptr;  // "Avbryt"
    TformSaveCompleted* formSaveCompleted = nullptr;
    // Page 0.
    TFRMemo* memoSwedishNames = nullptr;
    TFRDBEdit* dbeditFungiGroup = nullptr;
    TFRDBEdit* dbeditSignature = nullptr;
    TFRMemo* memoLatinNames = nullptr;
    // Page 1.
    TFRDBMultiChoice* multicFoodValue1 = nullptr;
    TFRDBMultiChoice* multicCookingRequired = nullptr;
    TFRDBMultiChoice* multicFoodValue2 = nullptr;
    TFRDBEdit* dbeditTaste = nullptr;
    TFRDBEdit* dbeditSmell = nullptr;
    // Page 2.
    TFRDBMultiChoice* multicHatFungi = nullptr;
    TFRDBColorbar* cbarBodyColor = nullptr;
    TFRDBEdit* dbeditBodyWidthMinimum = nullptr;
    TFRDBEdit* dbeditBodyWidthMaximum = nullptr;
    TFRDBEdit* dbeditBodyHeightMinimum = nullptr;
    TFRDBEdit* dbeditBodyHeightMaximum = nullptr;
    TFRDBMultiChoice* multicBodyGroupedGrowth = nullptr;
    // Page 3.
    TFRDBMultiChoice* multicHatSubType = nullptr;
    TFRDBMultiChoice* multicHatSubGrowth = nullptr;
    TFRDBMultiChoice* multicHatSubDensity = nullptr;
    TFRDBMultiChoice* multicPoreGrowth = nullptr;
    TFRDBMultiChoice* multicPoreDensity = nullptr;
    TFRDBColorbar* cbarHatSubColor = nullptr;
    // Page 4.
    TFRDBMultiChoice* multicScaledHat = nullptr;
    TFRDBMultiChoice* multicLinedHat = nullptr;
    TFRDBMultiChoice* multicDottedHat = nullptr;
    TFRDBEdit* dbeditHatSizeMinimum = nullptr;
    TFRDBEdit* dbeditHatSizeMaximum = nullptr;
    TFRDBColorbar* cbarHatColor = nullptr;
    TFRDBMultiChoice* multicGroupedGrowth = nullptr;
    TFRDBEdit* dbeditFootSizeMinimum = nullptr;
    TFRDBEdit* dbeditFootSizeMaximum = nullptr;
    TFRDBColorbar* cbarFootColor = nullptr;
    TFRDBMultiChoice* multicFootRing = nullptr;
    // Page 5.
    TFRDBColorbar* cbarMeatColor = nullptr;
    TFRDBMultiChoice* multicVisibleMeatJuice = nullptr;
    TFRDBColorbar* cbarMeatJuiceColor = nullptr;
    TFRDBMultiChoice* multicHabitat = nullptr;
    TFRDBMultiChoice* multicGrowthMethod = nullptr;
    // Page 6.
    TFRDBColorbar* cbarSporeColor = nullptr;
    TFRDBEdit* dbeditSporeWidthMin = nullptr;
    TFRDBEdit* dbeditSporeWidthMax = nullptr;
    TFRDBEdit* dbeditSporeHeightMin = nullptr;
    TFRDBEdit* dbeditSporeHeightMax = nullptr;
    TFRDBMultiChoice* multicSporeProps = nullptr;
    TFRDBEdit* dbeditSporeNote = nullptr;
    // Page 7.
    TFRDBSwedenMap* dbswedenmapOccurence = nullptr;
    // Page 8.
    TFRDBSeason* dbseasonSeason = nullptr;
    // Page 9.
    TFRMemo* memoInformation = nullptr;

protected:
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Closing without a save gives up the species' edit.
    void done(int result) override;

private:
    void SetupForm();
    QWidget* NewPage(const char* name, const QString& title);
    // Puts a control on the page's next row with its caption, and gives it the next Tag.
    void AddRow(QWidget* page, const QString& caption, QWidget* control);
    void AddRow(QWidget* page, const QString& caption, QList<QWidget*> controls, const QString& unit);
    void TagControl(QWidget* page, QWidget* control);
    TFRDBMultiChoice* NewChoice(QWidget* page, const char* name, const char* field, const QStringList& items, int cols,
                                int width, bool multi);
    TFRDBEdit* NewEdit(QWidget* page, const char* name, const char* field, int width);
    TFRDBColorbar* NewColorbar(QWidget* page, const char* name, const char* field);
    TFRMemo* NewMemo(QWidget* page, const char* name);
    void SetRowShown(QWidget* control, bool shown);
    void LeaveSwedishNames();
    int NextPage(int from, int step) const;
    void ShowInfoLines();
    TExtClientDataSet* Fungi() const;

    TFRFungiScreen* m_screen;
    TDataSource* m_source = nullptr;
    QSet<int> m_skipped;
    QHash<QWidget*, int> m_tags;
    QHash<QWidget*, int> m_pageOf;
    QHash<QWidget*, QLabel*> m_captions;
    QHash<QWidget*, QList<QWidget*>> m_rowParts;
    QList<QWidget*> m_pages;
    QStringList m_info;
    bool m_saved = false;
};
