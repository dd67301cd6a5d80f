// Where the program's data files (the help page) live; the data directory itself is found by
// pages/frame/DataFolder.h, which the module pages share.
#pragma once

#include <QString>

#include "pages/frame/DataFolder.h"

namespace odel::ui {

// The help page's path inside the data directory.
QString HelpPagePath();

}  // namespace odel::ui
