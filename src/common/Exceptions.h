#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every exception the program raises: a Russian text for the operator.
class Exception : public std::exception
{
public:
    explicit Exception(QString message);

    const QString &Message() const { return message_; }
    const char *what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

// A write to a text file (log, CSV, INI) failed after the file was opened.
class EInOutError : public Exception
{
public:
    using Exception::Exception;
};
