#pragma once

// The program's open/save dialog: one routine with the options every caller
// uses (title, proposed path, filter, folder pick, must-exist, overwrite
// prompt). Filters are written as "Description|*.ext|Description|*.*".

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

enum TFileDialogMode : int {
    fdmSave = 0,
    fdmOpen = 1,
};

// What the dialog is asked to show; handed to the test hook as it would be
// set on the real dialog.
struct TFileDialogRequest
{
    int Mode = fdmSave;
    QString Title;
    QString Directory;        // initial folder
    QString FileName;         // proposed file name (no folder); "*.*" when picking a folder
    QString DefaultExtension; // without the dot; empty when none
    QStringList NameFilters;  // in the toolkit's "Description (*.ext)" form
    bool PickFolder = false;
    bool MustExist = false;
    bool OverwritePrompt = false;
};

// Converts "Desc|*.a;*.b|Desc2|*.*" into toolkit name filters.
QStringList FileDialogNameFilters(const QString &filter);
// The extension of the first pattern of a filter ("*.ccnn" -> "ccnn"); empty
// for "*.*" or no pattern.
QString FilterDefaultExtension(const QString &filter);

// Mode 0 saves, 1 opens; any other mode shows nothing and fails. On success
// `chosen` holds the whole chosen name, or, when picking a folder, the folder
// with a trailing '/'; on failure it is emptied.
bool ExecuteFileDialog(int mode, const QString &title, const QString &initialPath, const QString &filter,
                       bool pickFolder, bool mustExist, bool overwritePrompt, QString &chosen,
                       QWidget *parent = nullptr);

// Tests answer the dialog instead of the operator: the hook gets the request
// and returns true with a path (accepted) or false (cancelled). nullptr puts
// the real dialog back.
using TFileDialogHook = std::function<bool(const TFileDialogRequest &request, QString &chosen)>;
void SetFileDialogHook(TFileDialogHook hook);
