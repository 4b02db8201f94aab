#pragma once
// The visits of the places frame: the visit page with its participants and finds, the lines
// the visit, participant and find lists show, starting, saving and deleting a visit, entering
// its participants and finds, and leaving for a participant's contact or a find's species.
// They are members of TframePlaces, defined in PlaceVisits.cpp. Below are the small helpers
// that the place page and the visits both build with.
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;
class QWidget;
class TClientDataSet;
class TFRIniFile;

namespace placesframe {

extern const QString kErrorCaption;
extern const QString kDeleteCaption;

// Whether the table is being edited or a row inserted.
bool IsEditing(const TClientDataSet* table);
// The text of a field of the current row.
QString Text(TClientDataSet* table, const char* field);

QToolButton* ToolButton(const QString& text, const char* name, QWidget* parent);
QPushButton* PushButton(const QString& text, const char* name, QWidget* parent);
// A label of the frame's fields, never narrower than its text.
QLabel* FieldLabel(const QString& text, QWidget* parent);

// A data-aware control given its name and field.
template <class T>
T* Bound(T* control, const char* name, const char* field) {
    control->setObjectName(QLatin1String(name));
    control->SetDataField(QLatin1String(field));
    return control;
}

// The logged-in user's settings.
TFRIniFile* Settings();

}  // namespace placesframe
