#pragma once

// What a window test runs in: the per-user folders of Qt's test mode,
// emptied before and after, message boxes recorded instead of shown, and no
// file dialog hook left behind.

#include "catalogue/ConnectionList.h"
#include "catalogue/ProgramSettingsFile.h"
#include "common/UserFolders.h"
#include "support/LoopbackConnection.h"
#include "ui/ArchiveGroup.h"
#include "ui/FileDialog.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringList>
#include <gtest/gtest.h>

namespace testsupport {

class TWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir(ProgramDataFolder()).removeRecursively();
        SetMessageDialogHook([this](const QString &text, QMessageBox::Icon) {
            messages << text;
            return QMessageBox::Ok;
        });
    }
    void TearDown() override
    {
        SetMessageDialogHook(nullptr);
        SetFileDialogHook(nullptr);
        QDir(ProgramDataFolder()).removeRecursively();
        QStandardPaths::setTestModeEnabled(false);
    }

    // The settings file of a window that polls the simulator at `port` (as
    // meter 4242) and records into the archive file `archive`.
    static bool WriteSettingsPollingInto(quint16 port, const QString &archive)
    {
        TProgramIniFile ini;
        TccnConnectionList list;
        auto connection = LoopbackConnection(port, 4242);
        if (!list.AddConnection(*connection))
            return false;
        ini.WriteConnectionList(&list);
        ini.WriteSelected(connection->ConID);
        TArchiveSettings settings;
        settings.Target = archive;
        settings.Write(ini);
        return ini.UpdateFile();
    }

    QStringList messages;
};

} // namespace testsupport
