#include "ui/widgets/IndexedLabel.h"
#include "ui/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

TEST(MessageDialog, RussianButtonsAndIndexedText)
{
    QStringList captions;
    QString shown;
    bool plainLabelHidden = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton *button : box->buttons())
            captions << button->text();
        if (auto *label = box->findChild<TIxLabel *>(QStringLiteral("MainMessage")))
            shown = label->Caption();
        if (auto *plain = box->findChild<QWidget *>(QStringLiteral("qt_msgbox_label")))
            plainLabelHidden = plain->isHidden();
        box->done(QMessageBox::No);
    });
    const auto result =
        ShowMessageDialog(QStringLiteral("U~0 вне допуска"), QStringLiteral("Проверка"), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(result, QMessageBox::No);
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"Да", "Нет", "Отмена"}));
    EXPECT_EQ(shown, QStringLiteral("U~0 вне допуска "));
    EXPECT_TRUE(plainLabelHidden);
}

// Qt's own dialogs and buttons speak Russian too (the test program loads
// Qt's catalogue as the program does).
TEST(MessageDialog, QtsOwnButtonsAndDialogsAreRussian)
{
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
    QStringList captions;
    for (QAbstractButton *button : buttons.buttons())
        captions << button->text().remove(QLatin1Char('&'));
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"Да", "Нет", "Отмена"}));
    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    EXPECT_EQ(files.labelText(QFileDialog::Reject).remove(QLatin1Char('&')), QStringLiteral("Отмена"));
    EXPECT_EQ(files.labelText(QFileDialog::Accept).remove(QLatin1Char('&')), QStringLiteral("Сохранить"));
}

// The indexed text lies where the box's own label was laid out, twice as
// high and raised by its TopShift; an "all" button can be asked for.
TEST(MessageDialog, AllButtonAndTheMessageInThePlainLabelsPlace)
{
    QStringList captions;
    QRect plainBounds, indexedBounds;
    int topShift = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QApplication::processEvents();
        if (auto *indexed = box->findChild<TIxLabel *>(QStringLiteral("MainMessage"))) {
            indexedBounds = indexed->geometry();
            topShift = indexed->TopShift();
        }
        if (auto *plain = box->findChild<QWidget *>(QStringLiteral("qt_msgbox_label")))
            plainBounds = plain->geometry();
        QAbstractButton *all = nullptr;
        for (QAbstractButton *button : box->buttons()) {
            captions << button->text();
            if (button->text() == QStringLiteral("Все"))
                all = button;
        }
        if (all)
            all->click();
        else
            box->done(QMessageBox::Ok);
    });
    const QString text = QStringLiteral("Заменить файл с U~0? Длинный текст, который переносится на несколько "
                                        "строк: U~a~b и @dU~1.\nВторая строка.");
    const auto result = ShowMessageDialog(text, {}, QMessageBox::Warning, QMessageBox::Ok | kAllButton);
    EXPECT_EQ(result, kAllButton);
    captions.sort();
    EXPECT_EQ(captions, (QStringList{"OK", "Все"}));
    ASSERT_FALSE(plainBounds.isEmpty());
    EXPECT_EQ(indexedBounds,
              QRect(plainBounds.left(), plainBounds.top() - topShift, plainBounds.width(), 2 * plainBounds.height()));
}
