#pragma once

// A phone or radio modem between two ptys: the computer's side (whose modem
// lines ModemLineShim.h gives) and the meter's side (a pty pair to the meter
// simulator). In command mode it answers a phone modem's AT commands with
// numeric codes ("ATD..." raises the carrier and answers 1, CONNECT) or a
// radio modem's "c CALL" and "D"; in a call it carries bytes both ways. Its
// escapes take a guard time like real modems: "+++" (phone) or three 0x03
// bytes (radio) count after kGuardMs of silence from the computer and are
// answered kGuardMs later ("0\r", or the prompt "cmd:"); what comes meanwhile
// is lost. A phone modem hangs up when DTR drops (&D2)
// and takes no command while DTR is low; a radio modem ignores DTR and hangs
// up on "D" only. What happens is kept with its time for the test to judge.

#include "support/ModemLineShim.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace testmodem {

class TModemEmulator
{
public:
    enum class TKind { Phone, Radio };
    static constexpr int kGuardMs = 300;

    TModemEmulator(TKind kind, const QString &computerSide, const QString &meterSide) : kind_(kind)
    {
        computer_ = ::open(computerSide.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        meter_ = ::open(meterSide.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        Lines().Carrier = false;
        Lines().Cts = true;
        Lines().Dsr = true;
        clock_.start();
        if (Ready())
            thread_ = std::thread([this] { Run(); });
    }
    ~TModemEmulator()
    {
        quit_ = true;
        if (thread_.joinable())
            thread_.join();
        if (computer_ >= 0)
            ::close(computer_);
        if (meter_ >= 0)
            ::close(meter_);
        Lines().Carrier = false;
    }

    bool Ready() const { return computer_ >= 0 && meter_ >= 0; }
    // The call breaks down (the far modem went away): carrier off, back to
    // command mode, "NO CARRIER" said.
    void DropCarrier() { dropCarrier_ = true; }

    // "ms what" lines, e.g. "1520 dial", "1830 escape", "2130 escape answered",
    // "2140 DTR low", "2140 hang-up".
    QStringList Events() const
    {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // The time of the first event starting with `what` at or after `fromMs`, or -1.
    qint64 TimeOf(const QString &what, qint64 fromMs = 0) const
    {
        for (const QString &e : Events()) {
            const qint64 ms = e.section(u' ', 0, 0).toLongLong();
            if (ms >= fromMs && e.section(u' ', 1).startsWith(what))
                return ms;
        }
        return -1;
    }
    int Count(const QString &what) const
    {
        int n = 0;
        for (const QString &e : Events())
            n += e.section(u' ', 1).startsWith(what) ? 1 : 0;
        return n;
    }
    qint64 Now() const { return clock_.elapsed(); }

private:
    void Note(const QString &what)
    {
        std::lock_guard lock(mutex_);
        events_ << QStringLiteral("%1 %2").arg(clock_.elapsed()).arg(what);
    }

    static void WriteAll(int fd, const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 100) < 0)
                return;
        }
    }

    void HangUp(const QString &why)
    {
        Lines().Carrier = false;
        inCall_ = false;
        Note(QStringLiteral("hang-up ") + why);
    }

    void Command(QByteArray line)
    {
        if (kind_ == TKind::Phone) {
            // Anything before "AT" (a "+++" sent in command mode) is noise.
            const qsizetype at = line.toUpper().indexOf("AT");
            if (at < 0)
                return;
            line = line.mid(at).toUpper();
            if (line.startsWith("ATD")) {
                Note(QStringLiteral("dial"));
                Lines().Carrier = true;
                inCall_ = true;
                WriteAll(computer_, "1\r");
            } else {
                WriteAll(computer_, "0\r");
            }
            return;
        }
        line = line.trimmed();
        if (line.startsWith("c ")) {
            Note(QStringLiteral("dial"));
            Lines().Carrier = true;
            inCall_ = true;
            WriteAll(computer_, "\r\nCONNECTED\r\n");
        } else if (line == "D") {
            if (Lines().Carrier)
                HangUp(QStringLiteral("by D"));
            WriteAll(computer_, "\r\nDISCONNECTED\r\ncmd:");
        } else if (!line.isEmpty()) {
            WriteAll(computer_, "\r\ncmd:");
        }
    }

    void FromComputer(const QByteArray &bytes)
    {
        if (escapeAtMs_ >= 0)
            return; // lost in the guard time
        const QByteArray escape = kind_ == TKind::Phone ? QByteArray("+++") : QByteArray("\x03\x03\x03");
        // An escape counts only after the guard time of silence before it.
        const bool guarded = clock_.elapsed() - std::exchange(lastFromComputerMs_, clock_.elapsed()) >= kGuardMs;
        if (inCall_ && guarded && bytes.startsWith(escape)) {
            Note(QStringLiteral("escape"));
            escapeAtMs_ = clock_.elapsed();
            return;
        }
        if (inCall_) {
            WriteAll(meter_, bytes);
            return;
        }
        for (char c : bytes) {
            if (c == '\r') {
                Command(std::exchange(command_, QByteArray()));
            } else {
                command_ += c;
            }
        }
    }

    void Run()
    {
        char buffer[8192];
        bool dtr = Lines().Dtr;
        while (!quit_) {
            if (dtr != Lines().Dtr) {
                dtr = Lines().Dtr;
                Note(dtr ? QStringLiteral("DTR high") : QStringLiteral("DTR low"));
                if (!dtr && kind_ == TKind::Phone && Lines().Carrier)
                    HangUp(QStringLiteral("by DTR"));
            }
            if (dropCarrier_.exchange(false) && Lines().Carrier) {
                HangUp(QStringLiteral("carrier lost"));
                WriteAll(computer_, kind_ == TKind::Phone ? QByteArray("3\r") : QByteArray("\r\nDISCONNECTED\r\ncmd:"));
            }
            if (escapeAtMs_ >= 0 && clock_.elapsed() - escapeAtMs_ >= kGuardMs) {
                escapeAtMs_ = -1;
                inCall_ = false; // command mode; the carrier stays up
                WriteAll(computer_, kind_ == TKind::Phone ? QByteArray("0\r") : QByteArray("\r\ncmd:"));
                Note(QStringLiteral("escape answered"));
            }
            pollfd fds[2] = {{computer_, POLLIN, 0}, {meter_, POLLIN, 0}};
            if (::poll(fds, 2, 10) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(computer_, buffer, sizeof buffer);
                // A phone modem with DTR low takes nothing from the computer.
                if (n > 0 && !(kind_ == TKind::Phone && !Lines().Dtr))
                    FromComputer(QByteArray(buffer, n));
            }
            if (fds[1].revents & POLLIN) {
                const ssize_t n = ::read(meter_, buffer, sizeof buffer);
                if (n > 0 && inCall_ && escapeAtMs_ < 0)
                    WriteAll(computer_, QByteArray(buffer, n));
            }
        }
    }

    const TKind kind_;
    int computer_ = -1;
    int meter_ = -1;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> dropCarrier_{false};
    QElapsedTimer clock_;
    // Owned by the modem's thread.
    bool inCall_ = false;
    qint64 escapeAtMs_ = -1;
    qint64 lastFromComputerMs_ = -kGuardMs;
    QByteArray command_;
    mutable std::mutex mutex_;
    QStringList events_;
};

} // namespace testmodem
