#include "pages/digital/Unitm7380.h"

namespace odel::ui {

namespace {
DioPageKind kind7380() {
    DioPageKind k;
    k.model = "7380";
    k.inputs = 7;
    k.protocolShown = false;
    k.protocolFixed = true;
    return k;
}
}  // namespace

TfrmM7380::TfrmM7380(QWidget* parent) : TfrmM7385(kind7380(), parent) {}

}  // namespace odel::ui
