#pragma once
// The user's finds of the current species: the list, and one find for viewing, input and
// change with its date, position, province and municipality, route, amount and notes.
#include <QDate>
#include <QList>
#include <QPoint>
#include <functional>

#include "content/species/unitFungiSubLists.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TFRDBEdit;
class TFRDBLock;
class TFRDBMemo;
class TFRDBMultiChoice;

// The date of the last saved find of this run; 1900-01-01 until one is saved.
extern QDate LastFindDate;
// The marks the maps screen holds, x east and y north in RT90 metres; the maps screen
// provides it. A find returning from marking takes its position from a single mark.
extern std::function<QList<QPoint>()> FindMapMarks;
// The maps screen's services to the finds, set by the maps screen: whether a map holds the
// point (search mode 1), showing a find's position, and marking a find's position (mode 1,
// at most one mark). Without them the map buttons stay disabled.
extern std::function<bool(int x, int y)> FindMapForPoint;
extern std::function<void(const QString& findUKey, int x, int y)> ShowFindOnMap;
extern std::function<void(const QString& findUKey)> StartFindMarking;
// The amount and quality classes, by index.
QStringList FindCountClasses();
QStringList FindAgeClasses();
// The class of a find's count or age as the lists above give it; the first class for any other.
QString FindCountClass(int count);
QString FindAgeClass(int age);

class TframeFungiFinds : public TframeFungiList {
    Q_OBJECT
public:
    explicit TframeFungiFinds(QWidget* parent = nullptr);
    void UpdateButtons() override;
    void btnDeleteClick();

    QToolButton* sbtnNew = nullptr;
    QToolButton* sbtnEdit = nullptr;
    QToolButton* sbtnInfo = nullptr;
    QToolButton* sbtnDelete = nullptr;
    QToolButton* sbtnMap = nullptr;
};

class TframeFungiFindDetails : public TframeFungiDetailBase {
    Q_OBJECT
public:
    explicit TframeFungiFindDetails(QWidget* parent = nullptr);
    void UpdateFrame() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

public:
    void UpdateButtons() override;
    // Takes the position of a pending mark.
    void LoadSettings() override;
    QString HeaderText() const;

    void btnSaveClick();
    void btnCancelClick();
    void btnCloseClick();
    void PrevNextClick(int tag);

    QLineEdit* editDate = nullptr;
    TFRDBEdit* dbeditPositionY = nullptr;
    TFRDBEdit* dbeditPositionX = nullptr;
    TFRDBLock* dblockPosition = nullptr;
    TFRDBEdit* dbeditProvince = nullptr;
    TFRDBEdit* dbeditDistrict = nullptr;
    TFRDBMemo* dbmemoRouteNote = nullptr;
    TFRDBLock* dblockRouteNote = nullptr;
    TFRDBMultiChoice* multicBodyCount = nullptr;
    TFRDBMultiChoice* multicBodyAge = nullptr;
    TFRDBMemo* dbmemoNoteText = nullptr;
    TFRDBLock* dblockNoteText = nullptr;
    QLabel* lblCreatedByCaption = nullptr;
    QLabel* lblCreatedBy = nullptr;
    QToolButton* sbtnPrev = nullptr;
    QToolButton* sbtnNext = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnMap = nullptr;
    void btnMapClick();

private:
    void FillDistrictItems();
    void Unlock();
};
