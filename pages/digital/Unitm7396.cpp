#include "pages/digital/Unitm7396.h"

namespace odel::ui {

DioPageKind kind7396() {
    DioPageKind k;
    k.model = "7396";
    k.inputs = 0;
    k.outputsOnTop = true;
    return k;
}

TfrmM7396::TfrmM7396(QWidget* parent) : TfrmM7396(kind7396(), parent) {}

TfrmM7396::TfrmM7396(const DioPageKind& kind, QWidget* parent) : TfrmM7385(kind, parent) {}

}  // namespace odel::ui
