#pragma once
// Precompiled for the tests that need a display: the data-layer set and the widgets the tests
// use most.
#include "support/TestPch.h"

#include <QApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
