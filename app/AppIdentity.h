// The program's names towards the desktop, set once after the application object exists.
#pragma once

namespace odel::ui {

// The desktop entry's id, also the name of the icon installed with it.
inline constexpr const char* kDesktopId = "org.odel.utility";

// No display name is set: the desktop would append it to every window title, and the titles
// are the program's own. The application name is what message dialogs carry as their title.
void SetApplicationIdentity();

}  // namespace odel::ui
