#include "ui/widgets/IndexedLabel.h"
#include "ui/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
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
