// Points XDG_CONFIG_HOME at a fresh folder for one test, so saved state never leaks between
// tests or into a real home. Declare it before anything that reads the saved state.
#pragma once

#include <QTemporaryDir>
#include <QtGlobal>

namespace odel::test {

struct ScratchConfig {
    ScratchConfig() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
    QString path() const { return dir.path(); }
    QTemporaryDir dir;
};

}  // namespace odel::test
