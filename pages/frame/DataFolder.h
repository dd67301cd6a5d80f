// Where the program's data files live: $ODEL_DATA_DIR if set, else the installed share/odel,
// else the folder beside the executable. Its program/ folder holds the loader images and the
// download animation; a user's own program/ folder is searched before it.
#pragma once

#include <QString>
#include <QStringList>

namespace odel::ui {

QString DataDirectory();
// DataDirectory() + "/program/"; empty when there is no data directory.
QString ProgramFolder();
// The user's own program/ folder, $XDG_DATA_HOME/odel/program/ (~/.local/share/odel/program/
// when XDG_DATA_HOME is unset); empty when there is no home.
QString UserProgramFolder();
// The folders searched for a program/ file, in order, each ending in "/": the user's own, then
// ProgramFolder(). With $ODEL_DATA_DIR set, only its program/ folder.
QStringList ProgramFolders();
// The path of NAME in the first of ProgramFolders() that holds it; empty when none does.
QString FindProgramFile(const QString& name);

}  // namespace odel::ui
