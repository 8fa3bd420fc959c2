#pragma once

// The program's settings file: the saved connections, the chosen one and
// the main window's placement, kept between runs in
// <local app data>/VD/<program>/<executable>.ini.

#include "common/IniFile.h"

#include <QByteArray>
#include <array>
#include <cstdint>

class QWidget;
class TccnConnectionList;

class TProgramIniFile : public TMemIniFile
{
public:
    // The program's own file; its folder is created when missing.
    TProgramIniFile();
    explicit TProgramIniFile(const QString &fileName);

    // A damaged or missing list leaves the list empty; nothing is raised.
    void ReadConnectionList(TccnConnectionList *list) const;
    void WriteConnectionList(const TccnConnectionList *list);
    int ReadSelected() const;
    void WriteSelected(int conID);

    static QString DefaultFileName();
};

// The window's placement as eleven little-endian 32-bit integers: length 44,
// flags, show state, minimised x/y, maximised x/y, normal left/top/right/bottom.
// The normal rectangle is the window's client area in the normal state.
using TWindowPlacement = std::array<int32_t, 11>;

QByteArray EncodeWindowPlacement(const TWindowPlacement &placement);
bool DecodeWindowPlacement(const QByteArray &bytes, TWindowPlacement &placement);
TWindowPlacement WindowPlacementOf(const QWidget &window);
// False (window unchanged) when the placement would not show the window on
// any screen.
bool ApplyWindowPlacement(QWidget &window, const TWindowPlacement &placement);

void SaveWindowPlacement(TMemIniFile &ini, const QWidget &window, const QString &name);
void RestoreWindowPlacement(const TMemIniFile &ini, QWidget &window, const QString &name);
