#pragma once
// The test page's traffic: the test string and the timed ASCII array, sent
// on the ticks of TimerSendWord, and the ASCII flood on a thread of its own;
// with the page's byte counters.
//
// It owns its state, its timer (made on the clock it is given) and the
// page's controls, which it builds on the page widget it is given. The
// string and the timed array go out through a Link and every box through a
// Console. The flood's writes are the one exception: they run on the flood
// thread, which a Link cannot serve, so they go through Window_Hooks, which
// also bring the modem's lines and the port's sent-bytes counter.

#include <QObject>
#include <QTime>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "testtraffic/TInfinitySenrASCII.h"

class Console;
class Link;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vexa {
class Clock;
class Timer;
}  // namespace vexa

class TestTraffic : public QObject {
public:
    // How one write of the flood went: Uncounted when the sent-bytes
    // counter held no number (the bytes still went out).
    enum class Flood_Outcome { Written, Failed, Uncounted };
    struct Flood_Report {
        Flood_Outcome outcome = Flood_Outcome::Failed;
        std::uint32_t taken = 0;  // what the port took
        int error = 0;            // the port's error number
    };

    // What the window does for the test traffic.
    struct Window_Hooks {
        std::function<bool()> Carrier;        // DCD
        std::function<bool()> Clear_To_Send;  // CTS; read by the flood thread
        // One write of the flood, on the flood thread, exclusive of every
        // other writer and counted unless it is a retry; it ends soon after
        // stop is set.
        std::function<Flood_Report(const std::uint8_t *bytes, std::uint32_t count, bool retry,
                                   const std::atomic<bool> &stop)>
            Flood_Write;
        // The port's box for a sent-bytes counter that is no number.
        std::function<void(int error)> Report_Counter_Failure;
        // Rewrites Edit14 from the sent-bytes counter at once.
        std::function<void()> Show_Sent_Bytes;
    };

    TestTraffic(QWidget *page, vexa::Clock &clock, Link &link, Console &console, Window_Hooks hooks);
    ~TestTraffic() override;

    // ----- what the window forwards -----
    void SpeedButton20Click();  // test string "Пуск"
    void SpeedButton19Click();  // test string "Стоп"
    void SpeedButton22Click();  // ASCII array "Пуск"
    void SpeedButton21Click();  // ASCII array "Стоп"
    void SpeedButton23Click();  // "Очистить"
    void TimerSendWordTimer();
    // Entering the test page ends both runs and the flood, unticks the time
    // stamp and clears the counters.
    void Enter_Page();
    // Each chunk received while the test page is shown: counted in Edit13
    // and drawn in blue, or neither when the counter holds no number.
    void Count_Received(const std::uint8_t *bytes, std::uint32_t count);
    // The flow-control box of the port group, mirrored for the flood thread.
    void Set_Flow_Control(bool ticked);

    // ----- controls of the test page -----
    QLineEdit *Edit12 = nullptr, *Edit13 = nullptr, *Edit14 = nullptr;
    QCheckBox *CheckBox5 = nullptr;
    QComboBox *ComboBox9 = nullptr, *ComboBox10 = nullptr;
    QPushButton *SpeedButton19 = nullptr, *SpeedButton20 = nullptr, *SpeedButton21 = nullptr, *SpeedButton22 = nullptr,
                *SpeedButton23 = nullptr;
    std::unique_ptr<vexa::Timer> TimerSendWord;

    // ----- the runs; the flags are read by the flood thread -----
    std::atomic<bool> SendString_Active{false};
    std::atomic<bool> SendASCII_Active{false};
    std::atomic<bool> ASCII_Thread_Exists{false};
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

private:
    void Build_Page(QWidget *page);
    bool May_Start_Test_Traffic();
    std::optional<int> Read_Pause(QComboBox *box);
    void Start_Send_Timer(int ms);
    void Send_Test_String();
    void Send_Timed_ASCII();
    void Write_Echoed(const QByteArray &bytes);
    void Write_Failed();
    void Start_Flood_Thread();
    bool Flood_Write(int run, const std::uint8_t *bytes, std::uint32_t count, bool retry, std::uint32_t &taken,
                     const std::atomic<bool> &stop);
    void Flood_Failed(int run, Flood_Outcome outcome, int error);
    void End_Flood();
    void End_Test_Traffic();

    Link &link_;
    Console &console_;
    Window_Hooks hooks_;
};
