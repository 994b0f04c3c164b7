#pragma once

#include "command_session.h"
#include "image_store.h"
#include "xmodem_receiver.h"

#include <deque>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <string_view>

namespace vexa::modemsim {

// The single-threaded poll() loop: moves bytes between the pty master and
// the command session or, after AT+WDWL, the XMODEM receiver, and fires
// the timers (NAK interval, start-up notice, unsolicited codes).
class Simulator {
public:
    struct Config {
        Millis nakInterval = 3000;
        bool quiet = false;
        // After an image, how long to wait for the next one's first block
        // before going back to command mode; 0 goes back at once.
        Millis nextImageWait = 5000;
        XmodemFaults faults;
        XmodemAsking asking;
        // How long AT+COPS=? searches before it answers; 0 answers at once.
        Millis searchTime = 5000;
        // About how often an unsolicited code comes; 0: never. With them on,
        // answers go out a line at a time, so that a code may fall between.
        Millis urcPeriod = 0;
        PromptForm promptForm = PromptForm::LineBlank;
        Dialect dialect = Dialect::V250;
    };

    Simulator(int master, int signalFd, ImageStore &store, Config config, std::ostream &console);

    // Runs until a signal arrives (returns 0) or the port fails (returns 1).
    int run();

private:
    void step();
    int pollTimeout(Millis now) const;
    void readPort();
    void handleInput(std::string_view input, Millis now);
    void feedSession(std::string_view &input, Millis now);
    void takeSessionResult(const CommandSession::Result &result, Millis now);
    void feedReceiver(std::string_view &input, Millis now);
    void endDownload(XmodemReceiver::Outcome outcome, Millis now);
    void storeImage();
    void fireTimers(Millis now);
    void answer(const CommandSession::Result &result);
    void sendUnsolicited(Millis now);
    void scheduleUnsolicited(Millis now);
    void releaseLine(Millis now);
    void send(std::string_view bytes);
    void flush();
    void say(const std::string &line);
    void fail(const std::string &what);

    int master_;
    int signalFd_;
    ImageStore &store_;
    Config config_;
    std::ostream &console_;
    CommandSession session_;
    std::optional<XmodemReceiver> receiver_;
    std::optional<Millis> noticeAt_;
    std::optional<Millis> unsolicitedAt_;
    std::deque<std::string> lines_;  // answer lines not yet sent, with codes on
    Millis nextLineAt_ = 0;
    bool lineOpen_ = false;  // the last byte sent did not end a line
    std::mt19937 random_;
    std::string pending_;
    int exitCode_ = -1;
};

}  // namespace vexa::modemsim
