#include "controls/FRGuard.h"

void ShowControlException(const QString& message) { TApplication::ShowException(message); }
