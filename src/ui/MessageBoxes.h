#pragma once

// Modal message boxes with Russian button captions, captioned with the
// application title.

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// The answer "all", which the toolkit's standard buttons lack: combined with
// them in ShowMessageDialog's button set it adds a button captioned "Все",
// and ShowMessageDialog returns it when that button is pressed. Its bit lies
// below the standard buttons' (from Ok = 0x400) and within the enum's range.
inline constexpr QMessageBox::StandardButton kAllButton = static_cast<QMessageBox::StandardButton>(0x80);

QMessageBox::StandardButton ShowMessageDialog(const QString &text, const QString &title, QMessageBox::Icon type,
                                              QMessageBox::StandardButtons buttons, QWidget *parent = nullptr);
void ShowInfo(const QString &text, QWidget *parent = nullptr);
void ShowError(const QString &text, QWidget *parent = nullptr);

// Tests replace the modal box with a hook that records the text and
// returns an answer; nullptr restores the real dialog.
using TMessageDialogHook = std::function<QMessageBox::StandardButton(const QString &text, QMessageBox::Icon type)>;
void SetMessageDialogHook(TMessageDialogHook hook);

// The caption of a dialog button, by its result.
QString DialogButtonCaption(QMessageBox::StandardButton button);
