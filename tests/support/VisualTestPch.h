#pragma once
// Precompiled for the tests that need a display: the data-layer set and Qt Widgets.
#include "support/TestPch.h"

#include <QtWidgets>
