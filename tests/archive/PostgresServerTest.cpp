// Both SQL drivers the archive uses are installed and keep a measured value
// exactly: the test PostgreSQL server that ctest starts, and SQLite in a file.

#include "support/TestPostgres.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Quantities are floats; they are stored as doubles and must come back bit for bit.
void StoreAndReadBack(QSqlDatabase &db)
{
    ASSERT_TRUE(db.isOpen()) << db.lastError().text().toStdString();
    QSqlQuery query(db);
    ASSERT_TRUE(query.exec(QStringLiteral("CREATE TABLE sample (id integer PRIMARY KEY, value double precision)")))
        << query.lastError().text().toStdString();
    ASSERT_TRUE(query.prepare(QStringLiteral("INSERT INTO sample (id, value) VALUES (?, ?)")));
    query.addBindValue(1);
    query.addBindValue(static_cast<double>(0.1f));
    ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();

    ASSERT_TRUE(query.exec(QStringLiteral("SELECT value FROM sample WHERE id = 1")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toDouble(), static_cast<double>(0.1f));
    EXPECT_EQ(static_cast<float>(query.value(0).toDouble()), 0.1f);
}

} // namespace

TEST(PostgresServer, KeepsARealExactly)
{
    const QString url = TestPostgresUrl(QStringLiteral("smoke"));
    SKIP_WITHOUT_TEST_POSTGRES(url);
    {
        QSqlDatabase db = OpenTestPostgres(url, QStringLiteral("smoke"));
        StoreAndReadBack(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("smoke"));
}

TEST(PostgresServer, SqliteKeepsARealExactlyToo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("smoke-sqlite"));
        db.setDatabaseName(dir.filePath(QStringLiteral("archive.sqlite")));
        db.open();
        StoreAndReadBack(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("smoke-sqlite"));
}
