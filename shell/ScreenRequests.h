#pragma once
// What one screen asks of another that it does not know by name. A screen that can answer
// registers itself for as long as it lives; a screen that asks finds no one when that screen
// was not made, and then leaves the request out, as it does when the screen is missing.
#include <QString>
#include <QtGlobal>
#include <vector>

// A pending mark in RT90 metres. Kind 0 is a flag, 1 an area with its half-axes.
struct TFRMapObj {
    qint32 X = 0;
    qint32 Y = 0;
    qint32 HalfH = 0;
    qint32 HalfV = 0;
    quint8 Kind = 0;
};
using TFRMapObjs = std::vector<TFRMapObj>;

// Shows a place with its visits.
class TPlaceRequests {
public:
    virtual void ShowPlace(const QString& placeUKey) = 0;

protected:
    ~TPlaceRequests() = default;
};

// Marks points for another screen, finds the map sheet of a point and shows a place on it.
class TMapRequests {
public:
    virtual void StartMarking(int mode, int maxMarks) = 0;
    virtual void FindMapForPoint(qint32 x, qint32 y, QString& mapUKey, int mode) = 0;
    virtual void ShowPlaceOnMap(const QString& placeUKey, const QString& mapUKey) = 0;
    // The marks made since marking started; the asking screen takes them and clears them.
    virtual TFRMapObjs& MapObjs() = 0;

protected:
    ~TMapRequests() = default;
};

namespace ScreenRequests {
TPlaceRequests* Places();
TMapRequests* Maps();
// A screen registers itself when it is made and passes nullptr when it goes.
void SetPlaces(TPlaceRequests* screen);
void SetMaps(TMapRequests* screen);
}  // namespace ScreenRequests
