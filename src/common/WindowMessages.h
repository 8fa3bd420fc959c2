#pragma once

// Notifications from the polling side to the main window. They keep the
// numbers of the original window messages (WM_USER + 80 ..) and travel as
// events posted to the window object, so the polling thread never waits for
// the window and never touches a widget.

#include <QEvent>
#include <QObject>
#include <QString>

enum TWindowMessageNumber : int {
    WM_USER_BASE = 1024,
    WM_POLL_STATE_CHANGED = 1104,
    WM_VALUE_CHANGED = 1105,
    WM_STATUS_TEXT = 1106,
    WM_NOMINALS_CHANGED = 1107,
    WM_DATA_CHANGED = 1108,
    WM_OSCILLOGRAM_CHANGED = 1109,
    WM_FIRST_OSCILLOGRAM = 1120,
    WM_DEVICE_TIME_CHANGED = 1121,
};

class TWindowMessageEvent : public QEvent
{
public:
    TWindowMessageEvent(int number, qintptr wParam, QString text = {})
        : QEvent(static_cast<QEvent::Type>(number)), wParam_(wParam), text_(std::move(text))
    {
    }

    int Number() const { return static_cast<int>(type()); }
    qintptr WParam() const { return wParam_; }
    // The status text of WM_STATUS_TEXT; owned by the event, so the receiver
    // has nothing to free.
    const QString &Text() const { return text_; }

private:
    qintptr wParam_;
    QString text_;
};

// Queues the message for the window's thread and returns at once; false when
// there is no window to post to.
bool PostWindowMessage(QObject *window, int number, qintptr wParam = 0, QString text = {});
