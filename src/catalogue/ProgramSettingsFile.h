#pragma once

// The program's settings file, kept between runs in
// <local app data>/VD/<program>/<executable>.ini: the saved connections and
// the chosen one here; the window adds its placement (ui/WindowPlacement.h).
// The poller writes the same file for the window to start with. The file is
// kept readable by its user alone: it may hold the archive's password.

#include "common/IniFile.h"

class TccnConnectionList;

class TProgramIniFile : public TMemIniFile
{
public:
    // The program's own file; its folder is created when missing (for the
    // user alone).
    TProgramIniFile();
    explicit TProgramIniFile(const QString &fileName);

    // A damaged or missing list leaves the list empty; nothing is raised.
    void ReadConnectionList(TccnConnectionList *list) const;
    void WriteConnectionList(const TccnConnectionList *list);
    int ReadSelected() const;
    void WriteSelected(int conID);

    static QString DefaultFileName();
};
