// Headers every test translation unit parses; compiled once per test target.
#pragma once

#include "widgets.h"

// Not QTest: it reads QT_TESTCASE_BUILDDIR, which differs between test folders.
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
