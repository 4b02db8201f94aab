#pragma once
// Precompiled for the data-layer tests: the test library and the data layer's own headers.
#include <QtTest>

#include "support/TestSupport.h"
#include "platform/ClientDataSet.h"
#include "platform/Exception.h"
