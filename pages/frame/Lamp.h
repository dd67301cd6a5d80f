// An indicator button of the module pages: a lamp picture beside its caption ("DO 3"). A lit lamp
// is filled with rays around it, a dark one a hollow ring, so the two differ by shape and fill,
// not by hue alone. It takes no keyboard focus; output lamps connect clicked().
#pragma once

#include <QPushButton>
#include <functional>
#include <vector>

namespace odel::ui {

class Lamp : public QPushButton {
    Q_OBJECT
  public:
    Lamp(const QString& objectName, const QString& caption, int tag, QWidget* parent = nullptr);

    void setOn(bool on);
    bool isOn() const { return on_; }
    // The line number the lamp stands for.
    int tag() const { return tag_; }

  private:
    int tag_;
    bool on_ = false;
};

// A click on output lamp `bit`: write() gets the states of all lamps with that one inverted and
// tells whether the module took them. Only then does the lamp change, so the lamps (and what the
// next click inverts) stay the outputs as last read or last written successfully.
bool writeToggledOutput(const std::vector<Lamp*>& lamps, std::size_t bit,
                        const std::function<bool(const std::vector<bool>&)>& write);

}  // namespace odel::ui
