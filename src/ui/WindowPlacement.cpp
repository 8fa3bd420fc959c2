#include "ui/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

const QString kFormPosition = QStringLiteral("FORMPOSITION");
constexpr int32_t kPlacementLength = 44;
constexpr int32_t kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3;

} // namespace

QByteArray EncodeWindowPlacement(const TWindowPlacement &placement)
{
    QByteArray bytes;
    for (int32_t value : placement)
        for (int i = 0; i < 4; ++i)
            bytes.append(char((uint32_t(value) >> (8 * i)) & 0xFF));
    return bytes;
}

bool DecodeWindowPlacement(const QByteArray &bytes, TWindowPlacement &placement)
{
    if (bytes.size() != kPlacementLength)
        return false;
    for (int i = 0; i < 11; ++i) {
        uint32_t value = 0;
        for (int b = 0; b < 4; ++b)
            value |= uint32_t(uint8_t(bytes[i * 4 + b])) << (8 * b);
        placement[i] = int32_t(value);
    }
    return true;
}

// The normal rectangle is the client area, the rectangle setGeometry takes
// back: the frame is unknown until the window is on screen, and a frame
// counted on one side only would grow or shrink the window at every start.
TWindowPlacement WindowPlacementOf(const QWidget &window)
{
    QRect normal = window.normalGeometry();
    if (!normal.isValid())
        normal = window.geometry();
    const int32_t show = window.isMaximized() ? kShowMaximized : window.isMinimized() ? kShowMinimized : kShowNormal;
    return {kPlacementLength,   0, show, -1, -1, -1, -1, normal.left(), normal.top(), normal.right() + 1,
            normal.bottom() + 1};
}

bool ApplyWindowPlacement(QWidget &window, const TWindowPlacement &placement)
{
    if (placement[0] != kPlacementLength)
        return false;
    const QRect normal(QPoint(placement[7], placement[8]), QPoint(placement[9] - 1, placement[10] - 1));
    if (normal.width() < window.minimumWidth() / 2 || normal.height() < window.minimumHeight() / 2 ||
        normal.width() > 100000 || normal.height() > 100000)
        return false;
    bool visible = false;
    for (const QScreen *screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(normal);
    if (!visible)
        return false; // a screen that is gone: keep the designed place
    window.setGeometry(normal);
    if (placement[2] == kShowMaximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    return true;
}

void SaveWindowPlacement(TMemIniFile &ini, const QWidget &window, const QString &name)
{
    ini.WriteBinary(kFormPosition, name, EncodeWindowPlacement(WindowPlacementOf(window)));
}

void RestoreWindowPlacement(const TMemIniFile &ini, QWidget &window, const QString &name)
{
    QByteArray bytes;
    TWindowPlacement placement{};
    if (ini.ReadBinary(kFormPosition, name, bytes) && DecodeWindowPlacement(bytes, placement))
        ApplyWindowPlacement(window, placement);
}
