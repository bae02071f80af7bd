#include "app/CommandTable.h"

namespace talvore {

const std::array<FormCommand, 12>& FormCommands() {
    static const std::array<FormCommand, 12> commands = {{
        {IdOpenFile, "&Open File...", "Open File", "Open File", Qt::CTRL | Qt::Key_O},
        {IdImportDirectory, "Open &Directory...", "Import Directory", "Open Directory",
         Qt::CTRL | Qt::Key_D},
        {IdOpenFileDirectory, "Open File Directory", "Open File Directory", nullptr,
         Qt::CTRL | Qt::Key_E},
        {IdOpenWithApp, "Open with Associated App", "Open with Associated App", nullptr,
         Qt::CTRL | Qt::Key_W},
        {IdRemoveSelected, "Remove Selected", "Remove Selected", "Remove Current Selected Item",
         QKeyCombination(Qt::Key_Delete)},
        {IdRemoveAll, "Remove All", "Remove All", nullptr, Qt::CTRL | Qt::Key_Delete},
        {IdSelectCurrent, "Select Current Item", "Select Current Item", nullptr,
         QKeyCombination(Qt::Key_Space)},
        {IdSelectAll, "Select All Items", "Select All Items", nullptr, Qt::CTRL | Qt::Key_A},
        {IdClearAll, "Clear All Selected", "Clear All Selected", "Clear All Selected",
         Qt::CTRL | Qt::Key_X},
        {IdInvertSelect, "Invert Select", "Invert Select", nullptr, Qt::CTRL | Qt::Key_I},
        {IdStartConvert, "Start Convert", "Start Convert", "Start Convert",
         QKeyCombination(Qt::Key_F5)},
        {IdStopConvert, "Stop Convert", "Stop Convert", "Stop Convert", Qt::SHIFT | Qt::Key_F5},
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

QKeyCombination CommandKey(int id) {
    if (const FormCommand* command = FindFormCommand(id))
        return command->Key;
    // The manual's label promises F1, so F1 opens it too.
    if (id == IdManual)
        return QKeyCombination(Qt::Key_F1);
    return QKeyCombination();
}

QString KeyText(QKeyCombination key) {
    return QKeySequence(key).toString(QKeySequence::PortableText);
}

QString MenuLabel(const FormCommand& command) {
    return QString::fromLatin1(command.MenuText) + u'\t' + KeyText(command.Key);
}

QString ContextLabel(const FormCommand& command) {
    return QString::fromLatin1(command.ContextText) + u'\t' + KeyText(command.Key);
}

QString ButtonToolTip(const FormCommand& command) {
    if (!command.ButtonTip)
        return {};
    return QString::fromLatin1(command.ButtonTip) + QStringLiteral(" (") + KeyText(command.Key) +
           u')';
}

int FilterCommand(int key, Qt::KeyboardModifiers modifiers) {
    static const std::array<int, 11> order = {
        IdOpenFile,       IdOpenFileDirectory, IdOpenWithApp,  IdImportDirectory,
        IdSelectAll,      IdInvertSelect,      IdClearAll,     IdRemoveAll,
        IdRemoveSelected, IdSelectCurrent,     IdStartConvert,
    };
    if (modifiers & Qt::AltModifier)
        return 0;
    const auto isAccelerator = [](QKeyCombination combination) {
        for (const FormCommand& command : FormCommands()) {
            if (command.Key == combination)
                return true;
        }
        return false;
    };
    for (const int id : order) {
        const QKeyCombination wanted = FindFormCommand(id)->Key;
        if (wanted.key() != key)
            continue;
        if ((wanted.keyboardModifiers() & Qt::ControlModifier) &&
            !(modifiers & Qt::ControlModifier))
            continue;
        if ((modifiers & Qt::ShiftModifier) &&
            isAccelerator(QKeyCombination(Qt::ShiftModifier, wanted.key())))
            continue;
        return id;
    }
    return 0;
}

} // namespace talvore
