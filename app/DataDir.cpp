#include "app/DataDir.h"

namespace odel::ui {

QString HelpPagePath() {
    return DataDirectory() + "/Help/Odelmain.htm";
}

}  // namespace odel::ui
