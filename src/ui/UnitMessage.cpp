#include "ui/UnitMessage.h"

#include <QAbstractButton>
#include <QApplication>

namespace {
TMessageDialogHook &DialogHook()
{
    static TMessageDialogHook hook;
    return hook;
}
} // namespace

void SetMessageDialogHook(TMessageDialogHook hook) { DialogHook() = std::move(hook); }

QString DialogButtonCaption(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes: return QStringLiteral("Да");
    case QMessageBox::No: return QStringLiteral("Нет");
    case QMessageBox::Ok: return QStringLiteral("OK");
    case QMessageBox::Cancel: return QStringLiteral("Отмена");
    case QMessageBox::Abort: return QStringLiteral("Завершить");
    case QMessageBox::Retry: return QStringLiteral("Повтор");
    case QMessageBox::Ignore: return QStringLiteral("Игнорировать");
    case QMessageBox::YesToAll: return QStringLiteral("Да Всем");
    case QMessageBox::NoToAll: return QStringLiteral("Нет Всем");
    case QMessageBox::Help: return QStringLiteral("Помощь");
    default: return {};
    }
}

QMessageBox::StandardButton ShowMessageDialog(const QString &text, const QString &title,
                                              QMessageBox::Icon type, QMessageBox::StandardButtons buttons,
                                              QWidget *parent)
{
    if (DialogHook())
        return DialogHook()(text, type);
    QMessageBox box(type, title.isEmpty() ? QApplication::applicationDisplayName() : title,
                    text + QLatin1Char(' '), buttons, parent);
    for (QAbstractButton *button : box.buttons()) {
        const QString caption = DialogButtonCaption(box.standardButton(button));
        if (!caption.isEmpty())
            button->setText(caption);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowInfo(const QString &text, QWidget *parent)
{
    ShowMessageDialog(text, {}, QMessageBox::Information, QMessageBox::Ok, parent);
}

void ShowError(const QString &text, QWidget *parent)
{
    ShowMessageDialog(text, {}, QMessageBox::Critical, QMessageBox::Ok, parent);
}
