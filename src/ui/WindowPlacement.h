#pragma once

// The main window's placement in the program's settings file: where it
// stood and whether it was maximised, restored at the next start.

#include "common/IniFile.h"

#include <QByteArray>
#include <array>
#include <cstdint>

class QWidget;

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
