#pragma once
#include <QString>

// The per-user folder that holds "last.qorv" and "qorv.ini" and is the current
// directory for the whole run: HOMEPATH + QORVConfig where the system sets
// HOMEPATH, the user's home folder + QORVConfig elsewhere.
QString workFolderPath(const QString& homePath, const QString& fallbackHome);

// On first run (folder missing) creates it and copies the "last.qorv" that lies in
// `programFolder` into it. An existing folder is left alone, even without "last.qorv".
void prepareWorkFolder(const QString& folder, const QString& programFolder);
