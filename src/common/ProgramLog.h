#pragma once

// The program log: one Windows-1251 text file per program run, every entry
// time-stamped, every line flushed as soon as it is written.

#include <QFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

class TFileLogger
{
public:
    // The name must end with ".log" (contract).
    explicit TFileLogger(const QString &fileName);
    ~TFileLogger();

    TFileLogger(const TFileLogger &) = delete;
    TFileLogger &operator=(const TFileLogger &) = delete;

    // Creates the file anew (an old one is truncated), and its folder when
    // that is missing; false on any failure, with Error() saying why.
    // Exclusive: only while no other process holds the file so opened, and
    // held until it is closed; the holder's log is left untouched.
    bool Open(bool exclusive = false);
    // Text plus CR LF, then flush. Nothing while closed; a failed write
    // raises EInOutError.
    void WriteLine(const QString &text);
    void Close();

    bool Opened() const { return opened_; }
    const QString &FileName() const { return fileName_; }
    // Why the last Open failed, for the user; empty after one that worked.
    const QString &Error() const { return error_; }
    // The last exclusive Open failed only because another process holds the file.
    bool Held() const { return held_; }

private:
    QString fileName_;
    QFile file_;
    bool opened_ = false;
    bool held_ = false;
    QString error_;
};

class TMonitorR5Logger
{
public:
    // Logs to <local app data>/VD/<program title>/<executable name>.log and
    // creates that folder when it is missing.
    TMonitorR5Logger();
    // Logs to the given file; for tests and tools.
    explicit TMonitorR5Logger(const QString &fileName);
    ~TMonitorR5Logger();

    bool Open();
    // Opens the log for this process alone: while another process holds it,
    // or this one cannot write it, this one logs to "<name>-<process id>.log"
    // beside it instead. When that fails too, the log named and its error are
    // the first's unless another process held it.
    bool OpenOwn();
    bool Opened() const;
    // "Ведение лог-файла невозможно: <file> (<why>)" after an Open or
    // OpenOwn that failed.
    QString OpenError() const;

    // Single entry: "[dd.mm.yyyy hh:mm:ss.zzz] " + text.
    void Log(const QString &text);
    // Block entry: the time stamp alone, then each item behind 26 blanks.
    void LogLines(const QStringList &lines);

    void LogProgramStart();
    void LogProgramClose();

    QString FileName() const;

    static QString TimeStamp();
    static QString DefaultFileName();
    static constexpr int kIndent = 26;

private:
    // Entries from the window's thread and the polling thread never mix:
    // each whole entry or block is written under this lock.
    mutable std::mutex mutex_;
    std::unique_ptr<TFileLogger> file_;
};
