#include "app/CommandTable.h"

#include <QCoreApplication>

namespace talvore {

const std::array<FormCommand, 12>& FormCommands() {
    static const std::array<FormCommand, 12> commands = {{
        {IdOpenFile, QT_TRANSLATE_NOOP("Commands", "&Open File..."),
         QT_TRANSLATE_NOOP("Commands", "Open File"), QT_TRANSLATE_NOOP("Commands", "Open File"),
         Qt::CTRL | Qt::Key_O},
        {IdImportDirectory, QT_TRANSLATE_NOOP("Commands", "Open &Directory..."),
         QT_TRANSLATE_NOOP("Commands", "Import Directory"),
         QT_TRANSLATE_NOOP("Commands", "Open Directory"), Qt::CTRL | Qt::Key_D},
        {IdOpenFileDirectory, QT_TRANSLATE_NOOP("Commands", "Open File Directory"),
         QT_TRANSLATE_NOOP("Commands", "Open File Directory"), nullptr, Qt::CTRL | Qt::Key_E},
        {IdOpenWithApp, QT_TRANSLATE_NOOP("Commands", "Open with Associated App"),
         QT_TRANSLATE_NOOP("Commands", "Open with Associated App"), nullptr, Qt::CTRL | Qt::Key_W},
        {IdRemoveSelected, QT_TRANSLATE_NOOP("Commands", "Remove Selected"),
         QT_TRANSLATE_NOOP("Commands", "Remove Selected"),
         QT_TRANSLATE_NOOP("Commands", "Remove Current Selected Item"),
         QKeyCombination(Qt::Key_Delete)},
        {IdRemoveAll, QT_TRANSLATE_NOOP("Commands", "Remove All"),
         QT_TRANSLATE_NOOP("Commands", "Remove All"), nullptr, Qt::CTRL | Qt::Key_Delete},
        {IdSelectCurrent, QT_TRANSLATE_NOOP("Commands", "Select Current Item"),
         QT_TRANSLATE_NOOP("Commands", "Select Current Item"), nullptr,
         QKeyCombination(Qt::Key_Space)},
        {IdSelectAll, QT_TRANSLATE_NOOP("Commands", "Select All Items"),
         QT_TRANSLATE_NOOP("Commands", "Select All Items"), nullptr, Qt::CTRL | Qt::Key_A},
        {IdClearAll, QT_TRANSLATE_NOOP("Commands", "Clear All Selected"),
         QT_TRANSLATE_NOOP("Commands", "Clear All Selected"),
         QT_TRANSLATE_NOOP("Commands", "Clear All Selected"), Qt::CTRL | Qt::Key_X},
        {IdInvertSelect, QT_TRANSLATE_NOOP("Commands", "Invert Select"),
         QT_TRANSLATE_NOOP("Commands", "Invert Select"), nullptr, Qt::CTRL | Qt::Key_I},
        {IdStartConvert, QT_TRANSLATE_NOOP("Commands", "Start Convert"),
         QT_TRANSLATE_NOOP("Commands", "Start Convert"),
         QT_TRANSLATE_NOOP("Commands", "Start Convert"), QKeyCombination(Qt::Key_F5)},
        {IdStopConvert, QT_TRANSLATE_NOOP("Commands", "Stop Convert"),
         QT_TRANSLATE_NOOP("Commands", "Stop Convert"),
         QT_TRANSLATE_NOOP("Commands", "Stop Convert"), Qt::SHIFT | Qt::Key_F5},
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

namespace {
QString Translated(const char* text) {
    return QCoreApplication::translate("Commands", text);
}
} // namespace

QString MenuLabel(const FormCommand& command) {
    return Translated(command.MenuText) + u'\t' + KeyText(command.Key);
}

QString ContextLabel(const FormCommand& command) {
    return Translated(command.ContextText) + u'\t' + KeyText(command.Key);
}

QString ButtonName(const FormCommand& command) {
    return command.ButtonTip ? Translated(command.ButtonTip) : QString();
}

QString ButtonToolTip(const FormCommand& command) {
    if (!command.ButtonTip)
        return {};
    return ButtonName(command) + QStringLiteral(" (") + KeyText(command.Key) + u')';
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
