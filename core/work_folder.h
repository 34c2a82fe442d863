#pragma once
#include <QString>

// The per-user folder that holds "last.qorv" and "qorv.ini" and is the current
// directory for the whole run: HOMEPATH + QORVConfig where the system sets
// HOMEPATH, the user's home folder + QORVConfig elsewhere.
QString workFolderPath(const QString& homePath, const QString& fallbackHome);

// The HOMEPATH to use: the variable's value on Windows, where the system sets it
// without a drive letter; empty elsewhere, where a stray "\Users\bob" would name a
// folder relative to the current one.
QString homePathVariable();

// On first run (folder missing) creates it and copies the "last.qorv" that lies in
// `programFolder` into it. An existing folder is left alone, even without "last.qorv".
void prepareWorkFolder(const QString& folder, const QString& programFolder);
