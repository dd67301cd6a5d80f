// Every fixed pause of the program (settling times, wait steps) goes through pause(ms).
// The real one keeps the windows painted but takes no user input; tests may make it instant.
#pragma once

#include <functional>

namespace odel::ui {

void pause(int ms);
// True while a pause runs: a handler is between two steps of its sequence, and work of its own
// on the bus (the Data Scope's sweeps) waits.
bool inPause();
// Replaces the pause (for tests); an empty function restores the real one.
void setPauseHandler(std::function<void(int)> handler);

}  // namespace odel::ui
