// The user-interface language: the catalogue built into the program for
// the system locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), and Qt's own
// for its dialogs where the system has it. English, the source language,
// needs none.
#pragma once

class QCoreApplication;

// Installs the translators on the application; they live as long as it.
// Answers whether a catalogue of ours was loaded.
bool InstallTranslations(QCoreApplication& application);
