#include "ui/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "ui/widgets/IndexedLabel.h"

namespace {
TMessageDialogHook &DialogHook()
{
    static TMessageDialogHook hook;
    return hook;
}
// The message is drawn with the indexed markup ("U~0" as U with subscript
// 0): an indexed label lies over the box's own text label, which keeps its
// place in the layout but is hidden. The indexed label takes that label's
// bounds, twice as high (room for the subscripts and for wrapping that
// differs from the plain text's), raised by its TopShift so the text
// starts where the plain text did.
class TIndexedMessageBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

    void UseIndexedText()
    {
        plain_ = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        if (!plain_)
            return;
        indexed_ = new TIxLabel(this);
        indexed_->setObjectName(QStringLiteral("MainMessage"));
        indexed_->setLayoutDirection(plain_->layoutDirection());
        // always wrapped: messages carry line feeds of their own
        indexed_->SetWordWrap(true);
        indexed_->SetCaption(plain_->text());
        // below the buttons, which the doubled height may reach
        indexed_->lower();
        QSizePolicy policy = plain_->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        plain_->setSizePolicy(policy);
        plain_->hide();
        PlaceIndexedText();
    }

protected:
    bool event(QEvent *event) override
    {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest)
            PlaceIndexedText();
        return handled;
    }
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        PlaceIndexedText();
    }
    void resizeEvent(QResizeEvent *event) override
    {
        QMessageBox::resizeEvent(event);
        PlaceIndexedText();
    }

private:
    void PlaceIndexedText()
    {
        if (!plain_ || !indexed_)
            return;
        QRect bounds = plain_->geometry();
        bounds.setHeight(2 * bounds.height());
        indexed_->setGeometry(bounds.translated(0, -indexed_->TopShift()));
    }

    QLabel *plain_ = nullptr;
    TIxLabel *indexed_ = nullptr;
};

} // namespace

void SetMessageDialogHook(TMessageDialogHook hook)
{
    DialogHook() = std::move(hook);
}

QString DialogButtonCaption(QMessageBox::StandardButton button)
{
    if (button == kAllButton)
        return QStringLiteral("Все");
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
    TIndexedMessageBox box(type, title.isEmpty() ? QCoreApplication::applicationName() : title, text + QLatin1Char(' '),
                           buttons & ~kAllButton, parent);
    box.UseIndexedText();
    for (QAbstractButton *button : box.buttons()) {
        const QString caption = DialogButtonCaption(box.standardButton(button));
        if (!caption.isEmpty())
            button->setText(caption);
    }
    const QAbstractButton *all = buttons.testFlag(kAllButton)
                                     ? box.addButton(DialogButtonCaption(kAllButton), QMessageBox::AcceptRole)
                                     : nullptr;
    const int result = box.exec();
    if (all && box.clickedButton() == all)
        return kAllButton;
    return static_cast<QMessageBox::StandardButton>(result);
}

void ShowInfo(const QString &text, QWidget *parent)
{
    ShowMessageDialog(text, {}, QMessageBox::Information, QMessageBox::Ok, parent);
}

void ShowError(const QString &text, QWidget *parent)
{
    ShowMessageDialog(text, {}, QMessageBox::Critical, QMessageBox::Ok, parent);
}
