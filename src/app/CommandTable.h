// The command identifiers shared by the menu bar, the context menu over the
// grid, the accelerator keys and the form's buttons, with each command's
// labels and key. One table; every QAction made from it carries its
// identifier as data.
#pragma once

#include <QKeySequence>
#include <QString>

#include <array>

namespace talvore {

enum CommandId : int {
    IdOpenFile = 32770,
    IdImportDirectory = 32771,
    IdOpenFileDirectory = 32773,
    IdOpenWithApp = 32774,
    IdRemoveAll = 32775,
    IdRemoveSelected = 32776,
    IdSelectCurrent = 32777,
    IdClearAll = 32778,
    IdInvertSelect = 32779,
    IdStartConvert = 32781,
    IdStopConvert = 32782,
    IdSelectAll = 57642,
    IdManual = 32861,
    IdTipOfTheDay = 32862,
    IdTellFriend = 32865,
    IdCheckNewVersion = 32866,
    IdVisitWebSite = 32867,
    IdAbout = 57664,
    IdExit = 57665,
};

// A file-list or conversion command, forwarded to the main form.
struct FormCommand {
    int Id;
    const char* MenuLabel;    // menu bar (menu 165), with access key and shown key
    const char* ContextLabel; // context menu over the grid (menu 137)
    QKeyCombination Key;      // the accelerator
};

// The twelve, in context-menu order.
const std::array<FormCommand, 12>& FormCommands();
const FormCommand* FindFormCommand(int id);

// The order of the context menu (menu 137): command ids, 0 for a separator.
const std::array<int, 16>& ContextMenuOrder();

} // namespace talvore
