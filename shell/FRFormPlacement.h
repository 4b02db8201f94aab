#pragma once
// A window's placement kept in the settings store (the visual side of the store).
#include <QString>

class QWidget;
class TFRIniFile;

// Writes the window's restored position, size and state under Section; a window that does
// not lie whole on a screen leaves the stored placement as it was.
void SaveFormPlacement(TFRIniFile& store, QWidget* form, const QString& section);
// Restores what SaveFormPlacement wrote, from the section named as the form's object name;
// False (and nothing changed) when anything is missing. The window is kept on a screen.
bool LoadFormPlacement(TFRIniFile& store, QWidget* form);
