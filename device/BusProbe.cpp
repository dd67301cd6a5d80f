// One probe per call of the bus search, and the slot list of a second-series main unit.
#include "device/BusProbe.h"

#include <algorithm>
#include <cstdio>

#include "device/ModbusMaster.h"
#include "device/Module8600.h"
#include "device/ModuleBase.h"
#include "device/SerialPort.h"

namespace odel {

namespace {

constexpr int kNameRegister = 211;  // first of the two module-name holding registers
constexpr int kDrainLimit = 1025;

std::string Hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// Built with append: GCC 12 at -O2/-O3 warns falsely (-Wrestrict) on chains of operator+.
std::string NodeText(const std::string& addressPart, const std::string& name) {
    std::string text = "(";
    text.append(addressPart).append(")").append(name);
    return text;
}

std::string NodeText(int address, const std::string& name) {
    return NodeText(address == 0 ? std::string("*") : Hex2(address), name);
}

}  // namespace

BusSearch::BusSearch(SerialPort* link, int startAddress, int lastAddress)
    : link_(link), probe_(std::make_unique<ModuleBase>(link)) {
    const int first = std::clamp(startAddress, 0, 256);
    const int last = std::clamp(lastAddress, -1, 255);
    step_ = first * kPhases;
    endStep_ = std::max(step_, (last + 1) * kPhases);
    progressMaximum_ = std::max(0, last + 1 - first);
}

BusSearch::~BusSearch() = default;

bool BusSearch::Finished() const {
    return step_ >= endStep_;
}

bool BusSearch::ProbeNext(ProbeNode& found, bool& progressed) {
    progressed = false;
    if (Finished()) return false;
    const int address = Address();
    const int phase = Phase();
    found = ProbeNode{};
    if (phase < 2) {
        if (!ProbeAscii(address, phase, found)) {
            ++step_;
            return false;
        }
        // Answered: the remaining phases of this address are skipped.
        step_ = (address + 1) * kPhases;
        ++progress_;
        progressed = true;
        return true;
    }
    const bool listed = ProbeModbus(address, found);
    ++step_;
    ++progress_;
    progressed = true;
    return listed;
}

bool BusSearch::ProbeAscii(int address, int phase, ProbeNode& found) {
    if (link_ == nullptr) return false;
    // No quiet wait before a probe: a late reply of the address before carries its address
    // (or is no "!" line at all) and is dropped, and one of this address is still its own.
    link_->SkipStaleWait();
    probe_->SetAddress(Hex2(address));
    if (phase == 0) {
        link_->SetChecksum(0);
    } else {
        link_->SetChecksum(1);
    }
    std::string name;
    if (!probe_->ReadModuleName(name)) return false;
    found.text = NodeText(address, name);
    found.marker = phase;
    found.mainUnit = name.rfind("8600", 0) == 0;
    if (found.mainUnit) found.slotNodes = ReadSlotNodes(link_, Hex2(address), name);
    return true;
}

bool BusSearch::ProbeModbus(int address, ProbeNode& found) {
    return ProbeModbusAt(link_, address, found);
}

bool BusSearch::ProbeModbusAt(SerialPort* link, int address, ProbeNode& found) {
    if (link == nullptr) return false;
    ModbusMaster probe(link);
    ModbusMaster* modbus = &probe;
    link->SkipStaleWait();
    if (!modbus->RequestReadRegisters(address, kNameRegister, 2)) return false;
    std::uint8_t data[ModbusMaster::kReceiveBufferSize] = {};
    int count = 0;
    if (!modbus->ReceiveReadRegisters(data, sizeof data, count)) return false;
    // A frame without the first name register carries no name.
    if (count < 2) return false;
    std::string name = Hex2(data[0]) + Hex2(data[1]);
    if (count >= 3 && data[2] != 0) name += static_cast<char>(data[2]);
    if (address == 0) return false;  // a module in INIT state answering only Modbus is not listed
    found.text = NodeText(address, name);
    found.marker = 2;
    found.mainUnit = false;
    return true;
}

bool BusSearch::ProbeAt(SerialPort* link, int address, int marker, ProbeNode& found) {
    BusSearch one(link, address, address);
    found = ProbeNode{};
    if (marker == 2) return one.ProbeModbus(address, found);
    return one.ProbeAscii(address, marker == 1 ? 1 : 0, found);
}

std::vector<std::string> BusSearch::ReadSlotNodes(SerialPort* link, const std::string& address,
                                                  const std::string& mainUnitName) {
    std::vector<std::string> nodes;
    Module8600 unit(link, address);
    // The table is read once; a failed or empty read leaves every slot out.
    if (!unit.ReadSlotTable() || unit.SlotTable().empty()) return nodes;
    const int slots = mainUnitName == "8600X" ? 8 : 4;
    for (int n = 0; n < slots; ++n) {
        std::string name;
        if (!unit.GetSlotModuleName(n, name)) continue;
        std::string slot = "S";
        slot.append(std::to_string(n));
        nodes.push_back(NodeText(slot, name));
    }
    return nodes;
}

int DrainLink(SerialPort& link) {
    int drained = 0;
    std::uint8_t byte;
    while (drained < kDrainLimit && link.ReadBytes(1, &byte)) ++drained;
    return drained;
}

}  // namespace odel
