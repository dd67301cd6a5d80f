// The bus search, one probe at a time: each address is asked for its module name in the ASCII
// protocol without checksum, then with checksum, then with a Modbus RTU read of the name
// registers. Shared by the GUI search dialog (one probe per timer tick) and `odelctl search`.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace odel {

class SerialPort;
class ModuleBase;

// What the tree needs for one found module.
struct ProbeNode {
    std::string text;                // "(HH)NAME", or "(*)NAME" at address 0
    int marker = 0;                  // 0 ASCII, 1 ASCII with checksum, 2 Modbus RTU
    bool mainUnit = false;           // the name begins with "8600"
    std::vector<std::string> slotNodes;  // "(Sn)NAME" of the occupied slots of a main unit
};

class BusSearch {
  public:
    static constexpr int kPhases = 3;
    static constexpr int kFinishedStep = 256 * kPhases;

    // Probes startAddress..lastAddress (each within 0..255). The link is borrowed.
    BusSearch(SerialPort* link, int startAddress, int lastAddress = 255);
    ~BusSearch();
    BusSearch(const BusSearch&) = delete;
    BusSearch& operator=(const BusSearch&) = delete;

    bool Finished() const;
    int Step() const { return step_; }               // 3 * address + phase
    int Address() const { return step_ / kPhases; }  // the address the next probe asks
    int Phase() const { return step_ % kPhases; }
    // One progress step per address: maximum = number of addresses to probe.
    int ProgressMaximum() const { return progressMaximum_; }
    int Progress() const { return progress_; }

    // Runs the one probe due now and advances. Returns true when a module was found (found is
    // then filled); progressed tells whether this probe completed an address (progress + 1).
    // Does nothing and returns false once finished.
    bool ProbeNext(ProbeNode& found, bool& progressed);

    // One probe of one address in the protocol of a search's marker (0 ASCII, 1 ASCII with
    // checksum, 2 Modbus RTU): whether the module answers there, and as which node.
    static bool ProbeAt(SerialPort* link, int address, int marker, ProbeNode& found);

    // The slot nodes of a main unit at the two-digit address: one "$AAT", 8 slots for exactly
    // "8600X", 4 otherwise; empty slots and slots the table does not cover are left out.
    static std::vector<std::string> ReadSlotNodes(SerialPort* link, const std::string& address,
                                                  const std::string& mainUnitName);

    // The Modbus probe of one address on its own (a module also answering ASCII there is not
    // asked): true with found filled when a name came back.
    static bool ProbeModbusAt(SerialPort* link, int address, ProbeNode& found);

  private:
    bool ProbeAscii(int address, int phase, ProbeNode& found);
    bool ProbeModbus(int address, ProbeNode& found);

    SerialPort* link_;
    std::unique_ptr<ModuleBase> probe_;
    int step_;
    int endStep_;
    int progressMaximum_;
    int progress_ = 0;
};

// Reads and discards single bytes until a read times out or 1025 bytes were read, so stale
// replies do not disturb what follows. Returns the number of bytes thrown away.
int DrainLink(SerialPort& link);

}  // namespace odel
