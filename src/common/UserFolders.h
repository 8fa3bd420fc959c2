#pragma once

// The per-user folders below which the program keeps its files: local
// application data (log, INI) and Documents (CSV, oscillograms, saved
// connection lists). Each path ends with a '/' or is empty when the system
// cannot tell the folder.

#include <QString>

// The program title, also the name of its own subfolder.
QString ProgramTitle();
// The maker's folder between a per-user folder and the program folder.
QString MakerFolderName();

// The executable's name without folder and extension; the log and the INI
// file are named after it.
QString ProgramFileBaseName();

QString GetLocalAppDataFolder();
QString GetDocumentsFolder();

// base + "VD/" + programName + "/". Only composes the path; callers create
// the folders they need.
QString GetProgramSubFolder(const QString &base, const QString &programName);

// The program's subfolders of the two per-user folders (empty base -> a
// relative path, as the callers expect).
QString ProgramDataFolder();
QString ProgramDocumentsFolder();

// Creates the folder and its missing parents, each readable by the user
// alone (files that may hold passwords go there); folders that exist are
// left as they are. False when the folder is not there afterwards.
bool MakeOwnerOnlyFolder(const QString &folder);
