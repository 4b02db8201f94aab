#include "content/unitContentScreens.h"

#include "content/contacts/unitContactScreen.h"
#include "content/recipes/unitFoodScreen.h"
#include "content/species/unitFungiScreen.h"
#include "content/internet/unitInternetScreen.h"
#include "content/key/unitKeyScreen.h"
#include "content/maps/unitMapScreen.h"
#include "content/places/unitPlaceScreen.h"
#include "content/knowledge/unitScienceScreen.h"
#include "content/tools/unitToolScreen.h"

// One line per function area; each area's screen unit offers its own Register function.
void RegisterContentScreens() {
    RegisterContactScreen();
    RegisterMapScreen();
    RegisterPlaceScreen();
    RegisterFungiScreen();
    RegisterKeyScreen();
    RegisterScienceScreen();
    RegisterInternetScreen();
    RegisterFoodScreen();
    RegisterToolScreen();
}
