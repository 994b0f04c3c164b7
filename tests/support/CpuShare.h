#pragma once
// How much of one core the process uses while the calling thread sleeps:
// what the other threads cost when they should be idle.

#include <chrono>
#include <ctime>
#include <thread>

inline double Process_Cpu_Share_While_Sleeping(int ms)
{
    auto cpu = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    };
    const double before = cpu();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return (cpu() - before) / wall;
}
