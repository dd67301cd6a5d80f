#include "app/TreeImages.h"

#include <QTreeWidgetItem>

static void initOdelResources() {
    Q_INIT_RESOURCE(resources);
}

namespace odel::ui {

namespace {
QString treeFile(int image) {
    switch (image) {
        case kImgRoot:
            return ":/tree/pc.svg";
        case kImgPort:
            return ":/tree/port.svg";
        case kImgPortSel:
            return ":/tree/port_sel.svg";
        case kImgModule:
            return ":/tree/module.svg";
        case kImgModuleSel:
            return ":/tree/module_sel.svg";
        case kImgMainUnit:
            return ":/tree/mainunit.svg";
        case kImgMainUnitSel:
            return ":/tree/mainunit_sel.svg";
        case kImgSlot:
            return ":/tree/slot.svg";
        case kImgSlotSel:
            return ":/tree/slot_sel.svg";
        case kImgModbus:
            return ":/tree/modbus.svg";
        case kImgModbusSel:
            return ":/tree/modbus_sel.svg";
        case 14:
            return ":/icons/heartbeat0.svg";
        case 15:
            return ":/icons/heartbeat1.svg";
        case 16:
            return ":/icons/heartbeat2.svg";
        case 17:
            return ":/icons/heartbeat3.svg";
        default:
            return {};
    }
}
}  // namespace

void InitResources() {
    static bool done = (initOdelResources(), true);
    (void)done;
}

QIcon TreeImageIcon(int image, int selectedImage) {
    InitResources();
    QIcon icon;
    icon.addFile(treeFile(image), QSize(16, 16), QIcon::Normal);
    icon.addFile(treeFile(selectedImage), QSize(16, 16), QIcon::Selected);
    return icon;
}

void SetNodeImages(QTreeWidgetItem* item, int image, int selectedImage) {
    item->setIcon(0, TreeImageIcon(image, selectedImage));
    item->setData(0, kImageRole, image);
    item->setData(0, kSelectedImageRole, selectedImage);
}

QIcon ToolImage(int index) {
    InitResources();
    static const char* const files[] = {"save",     "search",   "terminal", "datascope",
                                        "saveconf", "loadconf", "help"};
    if (index < 0 || index > 6) return {};
    return QIcon(QString(":/toolbar/%1.svg").arg(files[index]));
}

}  // namespace odel::ui
