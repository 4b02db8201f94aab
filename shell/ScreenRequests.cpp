#include "shell/ScreenRequests.h"

namespace {
TPlaceRequests* g_places = nullptr;
TMapRequests* g_maps = nullptr;
}  // namespace

namespace ScreenRequests {
TPlaceRequests* Places() { return g_places; }
TMapRequests* Maps() { return g_maps; }
void SetPlaces(TPlaceRequests* screen) { g_places = screen; }
void SetMaps(TMapRequests* screen) { g_maps = screen; }
}  // namespace ScreenRequests
