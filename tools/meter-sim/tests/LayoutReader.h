#pragma once

// Reads values back out of answer bytes at given offsets, as the far end does.

#include <QByteArray>
#include <QtEndian>
#include <cmath>

namespace MeterSimTest {

inline float F32(const QByteArray &d, int offset)
{
    return qFromLittleEndian<float>(d.constData() + offset);
}
inline int I16(const QByteArray &d, int offset)
{
    return qFromLittleEndian<qint16>(d.constData() + offset);
}
inline int U16(const QByteArray &d, int offset)
{
    return qFromLittleEndian<quint16>(d.constData() + offset);
}
inline int U8(const QByteArray &d, int offset)
{
    return static_cast<quint8>(d[offset]);
}

// Data block fields in physical units.
inline double Urms(const QByteArray &d, int c)
{
    return F32(d, 1262 + 4 * c);
}
inline double U1(const QByteArray &d, int c)
{
    return F32(d, 1286 + 4 * c);
}
inline double Ku(const QByteArray &d, int c, int n)
{
    return U16(d, 66 + 98 * c + 2 * (n - 2)) / 100.0;
}
inline double Kum(const QByteArray &d, int c, int n)
{
    return U16(d, 660 + 98 * c + 2 * (n - 2)) / 100.0;
}
inline double Irms(const QByteArray &d, int p)
{
    return F32(d, 1330 + 4 * p);
}
inline double I1(const QByteArray &d, int p)
{
    return F32(d, 1360 + 4 * p);
}
inline double Ki(const QByteArray &d, int p, int n)
{
    return U16(d, 1372 + 98 * p + 2 * (n - 2)) / 100.0;
}
inline double Kim(const QByteArray &d, int p, int n)
{
    return U16(d, 1666 + 98 * p + 2 * (n - 2)) / 100.0;
}
inline double FiUI(const QByteArray &d, int p, int n)
{
    return I16(d, 1972 + 100 * p + 2 * (n - 1)) / 100.0;
}
inline double AngleU(const QByteArray &d, int k)
{
    return I16(d, 2278 + 2 * k) / 100.0;
}
// Power tables: q = 0..2 phases, 3 total; order n = 1..50.
inline double Pn(const QByteArray &d, int q, int n)
{
    return F32(d, 2390 + 200 * q + 4 * (n - 1));
}
inline double Qn(const QByteArray &d, int q, int n)
{
    return F32(d, 3190 + 200 * q + 4 * (n - 1));
}
inline double Sn(const QByteArray &d, int q, int n)
{
    return F32(d, 3990 + 200 * q + 4 * (n - 1));
}

inline double Radians(double degrees)
{
    return degrees * 3.14159265358979323846 / 180.0;
}

} // namespace MeterSimTest
