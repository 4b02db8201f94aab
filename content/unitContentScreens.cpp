#include "content/unitContentScreens.h"

#include "content/unitContactScreen.h"
#include "content/unitMapScreen.h"
#include "content/unitPlaceScreen.h"

// One line per function area; each area's screen unit offers its own Register function.
void RegisterContentScreens() {
    RegisterContactScreen();
    RegisterMapScreen();
    RegisterPlaceScreen();
}
