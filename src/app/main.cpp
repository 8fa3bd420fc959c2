#include "ui/MeterMainWindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(MONITOR_VERSION_MAJOR).arg(MONITOR_VERSION_MINOR).arg(MONITOR_VERSION_PATCH));
    TMainVondForm window;
    window.Initialize();
    window.show();
    return app.exec();
}
