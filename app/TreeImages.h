// The tree's image list: image indices of the original layout mapped to our own SVG icons.
#pragma once

#include <QIcon>

class QTreeWidgetItem;

namespace odel::ui {

// Item data roles of the tree nodes: the protocol marker, and the image indices shown.
inline constexpr int kNodeDataRole = Qt::UserRole;
inline constexpr int kImageRole = Qt::UserRole + 1;
inline constexpr int kSelectedImageRole = Qt::UserRole + 2;

// Image indices: 0 root, 1/3 port, 4/5 module, 6/7 main unit, 8/9 slot, 18/19 Modbus module.
enum TreeImage {
    kImgRoot = 0,
    kImgPort = 1,
    kImgPortSel = 3,
    kImgModule = 4,
    kImgModuleSel = 5,
    kImgMainUnit = 6,
    kImgMainUnitSel = 7,
    kImgSlot = 8,
    kImgSlotSel = 9,
    kImgModbus = 18,
    kImgModbusSel = 19,
};

// Sets the node's icon (normal and selected state) and remembers both indices.
void SetNodeImages(QTreeWidgetItem* item, int image, int selectedImage);
QIcon TreeImageIcon(int image, int selectedImage);
// Tool-bar images 0..6: Save, Search, Terminal, Data Scope, Save/Load Configuration, Help.
QIcon ToolImage(int index);
// Makes the compiled-in icons available (the resources live in a static library).
void InitResources();

}  // namespace odel::ui
