#pragma once
// State of the test page: the periodic test string and the ASCII flood.
// TForm1 holds one of these.

#include <QTime>
#include <atomic>
#include <functional>
#include <memory>

#include "testtraffic/TInfinitySenrASCII.h"

struct TestTrafficState {
    // CheckBox1's ticked state, mirrored for the flood thread, which reads
    // no widget.
    std::atomic<bool> Flow_Control{false};
    // The flood thread while ASCII_Thread_Exists.
    std::unique_ptr<TInfinitySenrASCII> Flood;
    // Numbers the flood threads, so that the failure of one that was
    // stopped meanwhile is not reported for a later one.
    int Flood_Run = 0;
    // A run reports its first failed write only; it goes on either way.
    bool Flood_Failure_Shown = false;
    // Where a test string's time of day comes from.
    std::function<QTime()> Time_Of_Day = [] { return QTime::currentTime(); };
};
