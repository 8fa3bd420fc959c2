#include "ui/WindowPlacement.h"

#include <QMainWindow>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(WindowPlacement, RoundTripsThroughFortyFourBytesAndRefusesBadValues)
{
    QMainWindow window;
    window.setMinimumSize(840, 665);
    window.setGeometry(100, 80, 900, 700);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const TWindowPlacement placement = WindowPlacementOf(window);
    const QByteArray bytes = EncodeWindowPlacement(placement);
    ASSERT_EQ(bytes.size(), 44);
    EXPECT_EQ(bytes.left(4), QByteArray("\x2C\0\0\0", 4));
    EXPECT_EQ(placement[2], 1) << "shown normally";
    EXPECT_EQ(QRect(QPoint(placement[7], placement[8]), QPoint(placement[9] - 1, placement[10] - 1)),
              QRect(100, 80, 900, 700));

    TWindowPlacement decoded{};
    ASSERT_TRUE(DecodeWindowPlacement(bytes, decoded));
    EXPECT_EQ(decoded, placement);
    EXPECT_FALSE(DecodeWindowPlacement(bytes.left(43), decoded));

    // restored before the window's frame is known, as at a start on a desktop
    // whose window manager adds the frame
    TMemIniFile ini(QString{});
    SaveWindowPlacement(ini, window, QStringLiteral("MainForm"));
    QMainWindow restored;
    restored.setMinimumSize(840, 665);
    RestoreWindowPlacement(ini, restored, QStringLiteral("MainForm"));
    restored.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&restored));
    EXPECT_EQ(restored.geometry(), window.geometry());
    EXPECT_EQ(restored.frameGeometry(), window.frameGeometry());

    // a placement on a screen that is gone leaves the window where it was
    TWindowPlacement away = placement;
    away[7] = 50000, away[8] = 50000, away[9] = 50900, away[10] = 50700;
    const QRect before = restored.geometry();
    EXPECT_FALSE(ApplyWindowPlacement(restored, away));
    EXPECT_EQ(restored.geometry(), before);
    ini.WriteString(QStringLiteral("FORMPOSITION"), QStringLiteral("MainForm"), QStringLiteral("2C00"));
    RestoreWindowPlacement(ini, restored, QStringLiteral("MainForm"));
    EXPECT_EQ(restored.geometry(), before);
}

TEST(WindowPlacement, AMaximizedWindowComesBackMaximizedOverItsNormalPlace)
{
    QMainWindow window;
    window.setMinimumSize(400, 300);
    window.setGeometry(100, 80, 500, 400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isMaximized() && window.width() > 500; }));
    TMemIniFile ini(QString{});
    SaveWindowPlacement(ini, window, QStringLiteral("MainForm"));

    // restored with the frame known this time
    QMainWindow restored;
    restored.setMinimumSize(400, 300);
    restored.winId();
    RestoreWindowPlacement(ini, restored, QStringLiteral("MainForm"));
    restored.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&restored));
    EXPECT_TRUE(restored.isMaximized());
    EXPECT_EQ(restored.normalGeometry(), QRect(100, 80, 500, 400));
}
