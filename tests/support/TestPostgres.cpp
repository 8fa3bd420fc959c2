#include "support/TestPostgres.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

// The server's own database, made by the script: where new databases are made from.
QString ServerUrl()
{
    const QString path = qEnvironmentVariable("MONITOR_TEST_PG_URL_FILE");
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

bool Run(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    ADD_FAILURE() << statement.toStdString() << ": " << query.lastError().text().toStdString();
    return false;
}

} // namespace

bool TestPostgresRequired()
{
    return qEnvironmentVariable("MONITOR_REQUIRE_PG") == QLatin1String("1");
}

QSqlDatabase OpenTestPostgres(const QString &url, const QString &connectionName)
{
    const QUrl parsed(url);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(parsed.host());
    db.setPort(parsed.port(5432));
    db.setUserName(parsed.userName());
    db.setPassword(parsed.password());
    db.setDatabaseName(parsed.path().mid(1));
    // A server that is gone fails the test at once instead of hanging it.
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    db.open();
    return db;
}

QString TestPostgresUrl(const QString &databaseName)
{
    const QString server = ServerUrl();
    if (server.isEmpty())
        return {};
    static const QRegularExpression plainName(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!plainName.match(databaseName).hasMatch()) {
        ADD_FAILURE() << "not a plain database name: " << databaseName.toStdString();
        return {};
    }

    const QString connectionName = QStringLiteral("test-postgres-admin-") + databaseName;
    bool made = false;
    {
        QSqlDatabase db = OpenTestPostgres(server, connectionName);
        if (!db.isOpen()) {
            ADD_FAILURE() << "test PostgreSQL server at " << server.toStdString()
                          << " does not answer: " << db.lastError().text().toStdString();
        } else {
            made = Run(db, QStringLiteral("SET client_min_messages = warning")) &&
                   Run(db, QStringLiteral("DROP DATABASE IF EXISTS \"%1\" WITH (FORCE)").arg(databaseName)) &&
                   Run(db, QStringLiteral("CREATE DATABASE \"%1\"").arg(databaseName));
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    if (!made)
        return {};

    QUrl url(server);
    url.setPath(QLatin1Char('/') + databaseName);
    return url.toString();
}
