#include "pages/digital/Unitm7381.h"

namespace odel::ui {

namespace {
DioPageKind kind7381() {
    DioPageKind k = kind7383();
    k.model = "7381";
    k.protocolFixed = false;
    k.safetyRead = false;
    return k;
}
}  // namespace

TfrmM7381::TfrmM7381(QWidget* parent) : TfrmM7383(kind7381(), parent) {}

}  // namespace odel::ui
