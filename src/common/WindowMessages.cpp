#include "common/WindowMessages.h"

#include <QCoreApplication>
#include <QPointer>

bool PostWindowMessage(QObject *window, int number, qintptr wParam, QString text)
{
    if (!window)
        return false;
    QCoreApplication::postEvent(window, new TWindowMessageEvent(number, wParam, std::move(text)));
    return true;
}
