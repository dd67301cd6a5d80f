// The module tree's node texts and the table from a module's model name to its page class.
#pragma once

#include <QString>
#include <span>

namespace odel::ui {

struct DispatchRow {
    const char* modelName;      // as the module reports it, compared exactly
    const char* routine;        // ShowM7352 ...
    const char* pageClass;      // TfrmM7352 ...
    const char* modbusRoutine;  // for node data 2, or nullptr
    const char* modbusClass;    // for node data 2, or nullptr
};

// Every supported model, first to last.
std::span<const DispatchRow> DispatchTable();

// The row of a model name (exact, case-sensitive), or nullptr.
const DispatchRow* FindDispatchRow(const QString& modelName);

// The page class for a model name and the node's protocol marker; empty when not supported.
QString PageClassFor(const QString& modelName, int nodeData);

// Splits "(0A)7361" into "0A" and "7361"; false (outputs untouched) without a usable ")".
bool ParseItemText(const QString& text, QString& address, QString& name);

// Protocol markers kept in a level-2 node's data.
enum ProtocolMarker { kAscii = 0, kAsciiChecksum = 1, kModbusRtu = 2 };

}  // namespace odel::ui
