#pragma once

// What a window test runs in: the per-user folders of Qt's test mode,
// emptied before and after, message boxes recorded instead of shown, and no
// file dialog hook left behind.

#include "common/UserFolders.h"
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

    QStringList messages;
};

} // namespace testsupport
