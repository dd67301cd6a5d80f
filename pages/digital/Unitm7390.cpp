#include "pages/digital/Unitm7390.h"

namespace odel::ui {

namespace {
DioPageKind kind7390() {
    DioPageKind k = kind7396();
    k.model = "7390";
    k.outputs = 4;
    k.safeBits = 4;
    k.protocolShown = false;
    return k;
}
}  // namespace

TfrmM7390::TfrmM7390(QWidget* parent) : TfrmM7396(kind7390(), parent) {}

}  // namespace odel::ui
