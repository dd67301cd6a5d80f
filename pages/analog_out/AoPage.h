// What the two analog-output pages share on top of the page frame: the general read (address,
// baud rate, checksum, firmware, slew bits), the slew-rate bits written by an INIT Update, and
// the key filter of their value edits.
#pragma once

#include <QString>
#include <functional>

#include "pages/frame/PageFrame.h"

class QComboBox;
class QLineEdit;

namespace odel::ui {

// The general settings as read from the module.
struct AoGeneral {
    std::string address, checksum, baud, version, slew;
    // Slew code of the four bits (bit 5 first), or -1 when they are not binary digits.
    int slewCode() const;
};

class AoPage : public PageFrame {
    Q_OBJECT
  protected:
    using PageFrame::PageFrame;

    // Reads the configuration and the firmware version; false when a read fails.
    bool readGeneral(AoGeneral& out);
    // Shows address (decimal and hex), baud rate, checksum and firmware of a good read.
    void showGeneral(const AoGeneral& g);
    // Stages the slew bits of the list's index; no valid selection keeps the module's bits.
    void stageSlew(const QComboBox* slew);
    // Stages the baud code of the list; a code outside the list keeps the module's own.
    void stageBaud();

    // Lets only the characters in allowed through to edit (Backspace and the editing keys
    // stay); Enter or Return runs onEnter when it is set.
    static void filterKeys(QLineEdit* edit, std::function<bool(QChar)> allowed,
                           std::function<void()> onEnter);
};

}  // namespace odel::ui
