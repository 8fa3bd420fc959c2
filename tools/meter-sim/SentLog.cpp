#include "SentLog.h"

#include <QtEndian>

namespace MeterSim {

namespace {

QByteArray ShortText(const QString &text)
{
    QByteArray bytes = text.toUtf8().left(255);
    bytes.prepend(static_cast<char>(bytes.size()));
    return bytes;
}

} // namespace

bool TSentLog::Open(const QString &path, QString *error)
{
    file_.setFileName(path);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    if (error)
        *error = file_.errorString();
    return false;
}

void TSentLog::DataSent(quint16 errorField, const QByteArray &data, const QString &faults)
{
    if (!IsOpen())
        return;
    QByteArray record(7, '\0');
    record[0] = 'D';
    qToLittleEndian<quint16>(errorField, record.data() + 1);
    qToLittleEndian<quint32>(static_cast<quint32>(data.size()), record.data() + 3);
    Write(record + data + ShortText(faults));
}

void TSentLog::FaultFired(const QString &text)
{
    if (IsOpen())
        Write('F' + ShortText(text));
}

void TSentLog::Write(const QByteArray &record)
{
    file_.write(record);
    file_.flush();
}

} // namespace MeterSim
