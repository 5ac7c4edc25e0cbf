#pragma once

#include <QString>

// What the entry commands say to a person, the same words in the window's dialogs and on the
// command line.
namespace EntryTexts {

// A save without a label.
[[nodiscard]] QString missingLabel();
// A new save under a label the catalogue holds already.
[[nodiscard]] QString labelInUse(const QString &label);
// The question before such a save replaces that disc with the tree just scanned.
[[nodiscard]] QString replaceQuestion(const QString &label);
// The question before a disc is deleted, and the error when its catalogue file stayed.
[[nodiscard]] QString deleteQuestion(const QString &label);
[[nodiscard]] QString fileDeleteError(const QString &file);
// The label as a catalogue file's name shows it: without "cd_" and ".dat".
[[nodiscard]] QString labelOfFile(const QString &file);
// No disc of the catalogue has this label.
[[nodiscard]] QString noSuchLabel(const QString &label);

} // namespace EntryTexts
