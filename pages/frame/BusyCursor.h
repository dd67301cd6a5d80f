// The hourglass cursor for the length of a handler: set on construction, restored by restore()
// or at the end of the scope, whichever comes first.
#pragma once

namespace odel::ui {

class BusyCursor {
  public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    void restore();

  private:
    bool active_ = true;
};

}  // namespace odel::ui
