#include "ui/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>

#include "ui/widgets/IndexedLabel.h"

#include <algorithm>

namespace {
TMessageDialogHook &DialogHook()
{
    static TMessageDialogHook hook;
    return hook;
}
// The message is drawn with the indexed markup ("U~0" as U with subscript
// 0): an indexed label takes the place of the box's own text label.
void UseIndexedText(QMessageBox &box)
{
    auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!label || !grid)
        return;
    const int index = grid->indexOf(label);
    if (index < 0)
        return;
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    auto *indexed = new TIxLabel(&box);
    indexed->setObjectName(QStringLiteral("MainMessage"));
    indexed->setLayoutDirection(label->layoutDirection());
    indexed->SetWordWrap(true);
    indexed->SetCaption(label->text());
    const QSize text = label->sizeHint();
    indexed->setMinimumSize(std::max(text.width(), 200), text.height() * 2);
    label->hide();
    grid->addWidget(indexed, row, column, rowSpan, columnSpan);
}

} // namespace

void SetMessageDialogHook(TMessageDialogHook hook)
{
    DialogHook() = std::move(hook);
}

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

QMessageBox::StandardButton ShowMessageDialog(const QString &text, const QString &title, QMessageBox::Icon type,
                                              QMessageBox::StandardButtons buttons, QWidget *parent)
{
    if (DialogHook())
        return DialogHook()(text, type);
    QMessageBox box(type, title.isEmpty() ? QCoreApplication::applicationName() : title, text + QLatin1Char(' '),
                    buttons, parent);
    UseIndexedText(box);
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
