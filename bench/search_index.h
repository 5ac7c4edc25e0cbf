#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class w_list;

using Figure = std::function<void(const char *name, double value, int decimals)>;

// Prints the search index's figures for the data folder the window shows; `files` are its
// catalogue files.
void searchIndexFigures(w_list &window, const QString &dataFolder, const QStringList &files,
                        const QString &hitWord, const QString &missWord, const Figure &figure);
