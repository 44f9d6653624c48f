#pragma once
// Bytes of a file that no reader could guess, the same for the same size and seed.
#include <QByteArray>

#include <cstdint>

inline QByteArray PseudoRandomBytes(qsizetype size, uint32_t seed)
{
    QByteArray data(size, Qt::Uninitialized);
    uint32_t x = seed;
    for (qsizetype i = 0; i < size; ++i)
    {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 24);
    }
    return data;
}
