#include "app/CommandTable.h"

namespace talvore {

const std::array<FormCommand, 12>& FormCommands() {
    static const std::array<FormCommand, 12> commands = {{
        {IdOpenFile, "&Open File...\tCtrl+O", "Open File\tCtrl+O", Qt::CTRL | Qt::Key_O},
        {IdImportDirectory, "Open &Directory...\tCtrl+D", "Import Directory\tCtrl+D",
         Qt::CTRL | Qt::Key_D},
        {IdOpenFileDirectory, "Open File Directory\tCtrl+E", "Open File Directory\tCtrl+E",
         Qt::CTRL | Qt::Key_E},
        {IdOpenWithApp, "Open with Associated App\tCtrl+W", "Open with Associated App\tCtrl+W",
         Qt::CTRL | Qt::Key_W},
        {IdRemoveSelected, "Remove Selected\tDel", "Remove Selected\tDel",
         QKeyCombination(Qt::Key_Delete)},
        {IdRemoveAll, "Remove All\tCtrl+Del", "Remove All\tCtrl+Del", Qt::CTRL | Qt::Key_Delete},
        {IdSelectCurrent, "Select Current Item\tSpace", "Select Current Item\tSpace",
         QKeyCombination(Qt::Key_Space)},
        {IdSelectAll, "Select All Items\tCtrl+A", "Select All Items\tCtrl+A", Qt::CTRL | Qt::Key_A},
        {IdClearAll, "Clear All Selected\tCtrl+X", "Clear All Selected\tCtrl+X",
         Qt::CTRL | Qt::Key_X},
        {IdInvertSelect, "Invert Select\tCtrl+I", "Invert Select\tCtrl+I", Qt::CTRL | Qt::Key_I},
        {IdStartConvert, "Start Convert\tF5", "Start Convert\tF5", QKeyCombination(Qt::Key_F5)},
        {IdStopConvert, "Stop Convert\tShift+F5", "Stop Convert\tShift+F5", Qt::SHIFT | Qt::Key_F5},
    }};
    return commands;
}

const FormCommand* FindFormCommand(int id) {
    for (const FormCommand& command : FormCommands()) {
        if (command.Id == id)
            return &command;
    }
    return nullptr;
}

const std::array<int, 16>& ContextMenuOrder() {
    static const std::array<int, 16> order = {
        IdOpenFile,
        IdImportDirectory,
        0,
        IdOpenFileDirectory,
        IdOpenWithApp,
        0,
        IdRemoveSelected,
        IdRemoveAll,
        0,
        IdSelectCurrent,
        IdSelectAll,
        IdClearAll,
        IdInvertSelect,
        0,
        IdStartConvert,
        IdStopConvert,
    };
    return order;
}

} // namespace talvore
