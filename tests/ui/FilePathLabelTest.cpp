#include "ui/FilePathLabel.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString kName = QStringLiteral("monitor_m7_4242_240607_131437938.csv");
const QString kPath = QDir::toNativeSeparators(QStringLiteral("/home/operator/Documents/VD/Raruzor U7(D5)/") + kName);

} // namespace

TEST(FilePathLabel, TheFoldersGiveWayBeforeTheFileName)
{
    const QFontMetrics metrics(QApplication::font());
    const int whole = metrics.horizontalAdvance(kPath);
    EXPECT_EQ(TFilePathLabel::ElidedPath(metrics, kPath, whole), kPath);

    // the root and the innermost folder keep what room is left
    const int narrower = whole - metrics.horizontalAdvance(QStringLiteral("Documents/VD/"));
    const QString shorter = TFilePathLabel::ElidedPath(metrics, kPath, narrower);
    EXPECT_TRUE(shorter.startsWith(QDir::toNativeSeparators(QStringLiteral("/ho")))) << shorter.toStdString();
    EXPECT_TRUE(shorter.endsWith(QStringLiteral(")") + QDir::separator() + kName)) << shorter.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(shorter), narrower);

    const int nameOnly = metrics.horizontalAdvance(QStringLiteral("…") + QDir::separator() + kName);
    const QString least = TFilePathLabel::ElidedPath(metrics, kPath, nameOnly);
    EXPECT_TRUE(least.endsWith(QDir::separator() + kName)) << least.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(least), nameOnly);

    // narrower than the name: the name loses its middle, its extension stays
    const int half = metrics.horizontalAdvance(kName) / 2;
    const QString cut = TFilePathLabel::ElidedPath(metrics, kPath, half);
    EXPECT_TRUE(cut.startsWith(QStringLiteral("monitor_"))) << cut.toStdString();
    EXPECT_TRUE(cut.endsWith(QStringLiteral(".csv"))) << cut.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(cut), half);
}

TEST(FilePathLabel, FollowsItsWidthAndHoldsTheWholePathInItsToolTip)
{
    const QString lead = QStringLiteral("Последний файл: ");
    TFilePathLabel label;
    label.setFrameShape(QFrame::StyledPanel);
    label.resize(label.fontMetrics().horizontalAdvance(lead + kPath) + 40, 24);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    label.SetPath(lead, kPath);
    EXPECT_EQ(label.text(), lead + kPath);
    EXPECT_EQ(label.toolTip(), lead + kPath);

    label.resize(label.fontMetrics().horizontalAdvance(lead + kName) + 60, 24);
    EXPECT_NE(label.text(), lead + kPath);
    EXPECT_TRUE(label.text().startsWith(lead));
    EXPECT_TRUE(label.text().endsWith(kName)) << label.text().toStdString();
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), label.contentsRect().width());
    EXPECT_EQ(label.toolTip(), lead + kPath);
}
