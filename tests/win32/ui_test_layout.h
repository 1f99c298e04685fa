// The launcher window's layout, as the product lays it out; the tests check what
// it draws against the layout's own numbers, written out in each test.
#pragma once

#include "ui/LauncherWindowLayout.h"

namespace dravik::testui {

inline WindowLayout LauncherLayout() {
    return LauncherWindowLayout();
}

} // namespace dravik::testui
