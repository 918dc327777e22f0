// Headers nearly every translation unit of a Qt Widgets library parses; compiled once per target.
#pragma once

#include "core.h"

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
