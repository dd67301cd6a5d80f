// Where the program's data files live: $ODEL_DATA_DIR if set, else the installed share/odel,
// else the folder beside the executable. Its program/ folder holds the loader images and the
// download animation.
#pragma once

#include <QString>

namespace odel::ui {

QString DataDirectory();
// DataDirectory() + "/program/"; empty when there is no data directory.
QString ProgramFolder();

}  // namespace odel::ui
