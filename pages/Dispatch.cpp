#include "pages/Dispatch.h"

#include <array>

namespace odel::ui {

namespace {
constexpr std::array<DispatchRow, 25> kTable{{
    {"7341", "ShowM7341", "TfrmM7341", nullptr, nullptr},
    {"7341L", "ShowM7341L", "TfrmM7341L", nullptr, nullptr},
    {"7342", "ShowM7342", "TfrmM7342", nullptr, nullptr},
    {"7345", "ShowM7345", "TfrmM7345", nullptr, nullptr},
    {"7347", "ShowM7347", "TfrmM7347", "ShowM7347Modbus", "TfrmM7347Mod"},
    {"7347K", "ShowM7347K", "TfrmM7347K", "ShowM7347KModbus", "TfrmM7347KMod"},
    {"7349", "ShowM7349", "TfrmM7349", nullptr, nullptr},
    {"7352", "ShowM7352", "TfrmM7352", nullptr, nullptr},
    {"7352R", "ShowM7352R", "TfrmM7352R", "ShowM7352RModbus", "TfrmM7352RMod"},
    {"7354", "ShowM7354", "TfrmM7354", nullptr, nullptr},
    {"7354R", "ShowM7354R", "TfrmM7354R", "ShowM7354RModbus", "TfrmM7354RMod"},
    {"7356", "ShowM7356", "TfrmM7356", nullptr, nullptr},
    {"7361", "ShowM7361", "TfrmM7361", nullptr, nullptr},
    {"7364", "ShowM7364", "TfrmM7364", "ShowM7364Modbus", "TfrmM7364Mod"},
    {"7380", "ShowM7380", "TfrmM7380", nullptr, nullptr},
    {"7381", "ShowM7381", "TfrmM7381", "ShowM7381Modbus", "TfrmM7381Mod"},
    {"7382", "ShowM7382", "TfrmM7382", nullptr, nullptr},
    {"7383", "ShowM7383", "TfrmM7383", nullptr, nullptr},
    {"7385", "ShowM7385", "TfrmM7385", "ShowM7385Modbus", "TfrmM7385Mod"},
    {"7390", "ShowM7390", "TfrmM7390", nullptr, nullptr},
    {"7396", "ShowM7396", "TfrmM7396", "ShowM7396Modbus", "TfrmM7396Mod"},
    {"7320", "ShowM7320", "TfrmM7320", nullptr, nullptr},
    {"7320L", "ShowM7320L", "TfrmM7320L", nullptr, nullptr},
    {"8600", "ShowM8600", "TfrmM8600", nullptr, nullptr},
    {"8600X", "ShowM8600", "TfrmM8600", nullptr, nullptr},
}};
}  // namespace

std::span<const DispatchRow> DispatchTable() {
    return kTable;
}

const DispatchRow* FindDispatchRow(const QString& modelName) {
    for (const auto& row : kTable)
        if (modelName == QLatin1String(row.modelName)) return &row;
    return nullptr;
}

QString PageClassFor(const QString& modelName, int nodeData) {
    const DispatchRow* row = FindDispatchRow(modelName);
    if (!row) return {};
    if (nodeData == kModbusRtu && row->modbusClass) return QString::fromLatin1(row->modbusClass);
    return QString::fromLatin1(row->pageClass);
}

bool ParseItemText(const QString& text, QString& address, QString& name) {
    const qsizetype p = text.indexOf(QLatin1Char(')'));  // 0-based
    if (p < 2) return false;  // none, or nothing between the first character and ")"
    address = text.mid(1, p - 1);
    name = text.mid(p + 1);
    return true;
}

}  // namespace odel::ui
