#pragma once
// The main screens of the function areas, registered with the main window by the program block.
void RegisterContentScreens();
