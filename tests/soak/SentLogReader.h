#pragma once

// Follows the record the meter simulator keeps with --sent-log while it
// grows: the last data answer it sent, and how often each fault fired.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <map>
#include <optional>

namespace soak {

struct TSentDataAnswer
{
    uint64_t Number = 0; // 1 for the first data answer of the run
    quint16 ErrorField = 0;
    QByteArray Data;
    QString Faults; // empty for a clean answer
};

class TSentLogReader
{
public:
    explicit TSentLogReader(const QString &path) : file_(path) {}

    // Takes in the records written since the last call; false when the file
    // cannot be read or holds something else than records.
    bool Update()
    {
        if (!file_.isOpen() && !file_.open(QIODevice::ReadOnly))
            return false;
        pending_ += file_.readAll();
        qsizetype at = 0;
        while (at < pending_.size()) {
            const qsizetype used = TakeRecord(at);
            if (used < 0)
                return false;
            if (used == 0)
                break; // the rest is still being written
            at += used;
        }
        pending_.remove(0, at);
        return true;
    }

    const std::optional<TSentDataAnswer> &LatestData() const { return latest_; }
    uint64_t DataAnswers() const { return latest_ ? latest_->Number : 0; }
    // "request kind: fault" -> times fired.
    const std::map<QString, int> &FaultsFired() const { return faults_; }
    int FaultCount() const
    {
        int total = 0;
        for (const auto &[text, count] : faults_)
            total += count;
        return total;
    }

private:
    // Bytes used by the record at `at`; 0 while incomplete, -1 when damaged.
    qsizetype TakeRecord(qsizetype at)
    {
        const qsizetype left = pending_.size() - at;
        const char *p = pending_.constData() + at;
        auto shortText = [&](qsizetype offset, QString &text) -> qsizetype {
            if (left < offset + 1)
                return 0;
            const qsizetype length = static_cast<quint8>(p[offset]);
            if (left < offset + 1 + length)
                return 0;
            text = QString::fromUtf8(p + offset + 1, length);
            return offset + 1 + length;
        };
        if (p[0] == 'F') {
            QString text;
            const qsizetype used = shortText(1, text);
            if (used > 0)
                CountFaults(text);
            return used;
        }
        if (p[0] != 'D')
            return -1;
        if (left < 7)
            return 0;
        const quint32 length = qFromLittleEndian<quint32>(p + 3);
        QString faults;
        const qsizetype used = shortText(7 + qsizetype(length), faults);
        if (used > 0) {
            TSentDataAnswer answer;
            answer.Number = DataAnswers() + 1;
            answer.ErrorField = qFromLittleEndian<quint16>(p + 1);
            answer.Data = QByteArray(p + 7, length);
            answer.Faults = faults;
            latest_ = std::move(answer);
        }
        return used;
    }

    // "kind: a, b" counts as a fault a and a fault b on that kind of request.
    void CountFaults(const QString &text)
    {
        const qsizetype colon = text.indexOf(QStringLiteral(": "));
        const QString kind = text.left(colon + 2);
        for (const QString &fault : text.mid(colon + 2).split(QStringLiteral(", ")))
            ++faults_[kind + fault];
    }

    QFile file_;
    QByteArray pending_;
    std::optional<TSentDataAnswer> latest_;
    std::map<QString, int> faults_;
};

} // namespace soak
