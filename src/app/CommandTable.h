// The command identifiers shared by the menu bar, the context menu over the
// grid, the accelerator keys, the form's key filter and the form's buttons,
// with each command's labels and key. One table; every QAction made from it
// carries its identifier as data.
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

// A file-list or conversion command, forwarded to the main form. Its key
// is written here only: the menu, context-menu and tool-tip texts show it,
// the accelerators and the form's key filter act on it.
struct FormCommand {
    int Id;
    const char* MenuText;    // menu bar (menu 165), with access key
    const char* ContextText; // context menu over the grid (menu 137)
    const char* ButtonTip;   // the form's button, null for commands without one
    QKeyCombination Key;     // the accelerator
};

// The twelve, in context-menu order.
const std::array<FormCommand, 12>& FormCommands();
const FormCommand* FindFormCommand(int id);

// The order of the context menu (menu 137): command ids, 0 for a separator.
const std::array<int, 16>& ContextMenuOrder();

// The key of any command: the twelve's accelerators and the manual's F1;
// empty for commands without one.
QKeyCombination CommandKey(int id);
// A key as the labels show it: "Ctrl+O", "Del", "Shift+F5".
QString KeyText(QKeyCombination key);

// "&Open File...\tCtrl+O", "Open File\tCtrl+O", "Open File (Ctrl+O)", in
// the user's language (the texts are translated in the context "Commands").
QString MenuLabel(const FormCommand& command);
QString ContextLabel(const FormCommand& command);
QString ButtonToolTip(const FormCommand& command);
// The button's text without its key ("Open File"), empty without a button.
QString ButtonName(const FormCommand& command);

// The command the main form's key filter makes of a key press, 0 for none.
// The tests run in the order of the filter (O, E, W, D, A, I, X, Delete with
// Ctrl held, then Delete, Space and F5) and the first that matches wins.
// Keys pressed with Alt are never filtered. A command whose key has Ctrl
// wants Ctrl held; Shift is looked at only where Shift with the key is
// another command's accelerator (F5: Shift+F5 is Stop Convert's, which the
// filter leaves to the accelerators).
int FilterCommand(int key, Qt::KeyboardModifiers modifiers);

} // namespace talvore
