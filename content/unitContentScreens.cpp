#include "content/unitContentScreens.h"

#include "content/unitFoodScreen.h"
#include "content/unitInternetScreen.h"

// One line per function area; each area's screen unit offers its own Register function.
void RegisterContentScreens() {
    RegisterInternetScreen();
    RegisterFoodScreen();
}
