#include "common/QtTranslations.h"
#include "ui/MeterMainWindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(MONITOR_VERSION));
    InstallQtTranslations(app);
    TMainVondForm window;
    window.Initialize();
    window.show();
    return app.exec();
}
