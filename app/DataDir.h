// Where the program's data files (the help page) live: $ODEL_DATA_DIR if set, else the
// installed share/odel, else the folder beside the executable.
#pragma once

#include <QString>

namespace odel::ui {

QString DataDirectory();
// The help page's path inside the data directory.
QString HelpPagePath();

}  // namespace odel::ui
