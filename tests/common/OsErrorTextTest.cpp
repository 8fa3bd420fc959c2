// The system's error texts in Russian status lines.

#include "common/OsErrorText.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(OsErrorText, TheCommonErrorsComeInRussianAndOthersAsTheyCame)
{
    static const QRegularExpression cyrillic(QStringLiteral("[а-яё]"));
    // What QFile tells for a file in a folder that is not there.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("absent/file.csv")));
    ASSERT_FALSE(file.open(QIODevice::WriteOnly));
    for (const QString &text : {file.errorString(), QStringLiteral("No space left on device"),
                                QStringLiteral("Permission denied"), QStringLiteral("Connection refused")}) {
        const QString russian = OsErrorText(text);
        EXPECT_TRUE(russian.contains(cyrillic)) << text.toStdString() << " -> " << russian.toStdString();
    }
    EXPECT_EQ(OsErrorText(QStringLiteral("Unknown error 4242")), QStringLiteral("Unknown error 4242"));
    EXPECT_EQ(OsErrorText(QString()), QString());
}
