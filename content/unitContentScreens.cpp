#include "content/unitContentScreens.h"

#include "content/unitContactScreen.h"
#include "content/unitFoodScreen.h"
#include "content/unitFungiScreen.h"
#include "content/unitInternetScreen.h"
#include "content/unitKeyScreen.h"
#include "content/unitMapScreen.h"
#include "content/unitPlaceScreen.h"
#include "content/unitScienceScreen.h"
#include "content/unitToolScreen.h"

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
