#include "common/QtTranslations.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // ctest runs test programs side by side: each gets a home of its own, so
    // logs, settings and saved files of one never meet another's.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/monitor-test-home-XXXXXX"));
    if (home.isValid()) {
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
        qunsetenv("XDG_DOCUMENTS_DIR");
    }

    QApplication app(argc, argv);
    // Qt's own dialogs speak Russian, as in the program
    InstallQtTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
