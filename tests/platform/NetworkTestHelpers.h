#pragma once
// Small helpers the network port's tests share.

#include <QByteArray>
#include <QThread>
#include <ctime>

inline QByteArray All_Byte_Values()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    return all;
}

// The process's CPU time over a quiet spell: a spinning thread would use it all.
inline double Cpu_Seconds_While_Idle(int ms)
{
    const std::clock_t before = std::clock();
    QThread::msleep(static_cast<unsigned long>(ms));
    return double(std::clock() - before) / CLOCKS_PER_SEC;
}
