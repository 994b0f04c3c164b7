#include "simulator.h"

#include "unsolicited.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <iostream>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace vexa::modemsim {

namespace {

constexpr Millis kStartupNoticeDelay = 1000;
// With unsolicited codes on, the lines of an answer go out this far apart,
// as from a modem that prints them one after another.
constexpr Millis kLineGap = 2;
// A code that falls due inside a line the user types waits this long.
constexpr Millis kUnsolicitedRetry = 5;
// A client that stops reading must not make us buffer without bound; a real
// modem's UART buffer overflows the same way.
constexpr std::size_t kMaxPending = 64 * 1024;

Millis now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Simulator::Simulator(int master, int signalFd, ImageStore &store, Config config, std::ostream &console)
    : master_(master),
      signalFd_(signalFd),
      store_(store),
      config_(config),
      console_(console),
      session_(config.searchTime, config.promptForm, config.dialect),
      random_(std::random_device{}())
{
    scheduleUnsolicited(now());
}

int Simulator::run()
{
    while (exitCode_ < 0)
        step();
    return exitCode_;
}

void Simulator::step()
{
    pollfd fds[2] = {
        {master_, static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0},
        {signalFd_, POLLIN, 0},
    };
    if (::poll(fds, 2, pollTimeout(now())) < 0) {
        if (errno != EINTR)
            fail(std::string("poll: ") + std::strerror(errno));
        return;
    }
    if (fds[1].revents & POLLIN) {
        say("stopping");
        exitCode_ = 0;
        return;
    }
    if (fds[0].revents & POLLIN)
        readPort();
    else if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
        fail("the pseudo-terminal hung up");
    if (exitCode_ < 0 && (fds[0].revents & POLLOUT))
        flush();
    if (exitCode_ < 0)
        fireTimers(now());
}

int Simulator::pollTimeout(Millis current) const
{
    std::optional<Millis> next = noticeAt_;
    for (const auto &at : {unsolicitedAt_, lines_.empty() ? std::nullopt : std::optional<Millis>(nextLineAt_)})
        if (at)
            next = std::min(next.value_or(LLONG_MAX), *at);
    if (const auto answerAt = session_.deadline())
        next = std::min(next.value_or(LLONG_MAX), *answerAt);
    if (receiver_)
        next = std::min(next.value_or(LLONG_MAX), receiver_->deadline());
    if (!next)
        return -1;
    return static_cast<int>(std::clamp<Millis>(*next - current, 0, INT_MAX));
}

void Simulator::readPort()
{
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0)
        handleInput(std::string_view(buffer, static_cast<std::size_t>(n)), now());
    else if (n == 0 || (errno != EAGAIN && errno != EINTR))
        fail(std::string("reading the pseudo-terminal: ") + std::strerror(n == 0 ? EIO : errno));
}

void Simulator::handleInput(std::string_view input, Millis current)
{
    while (!input.empty()) {
        if (receiver_)
            feedReceiver(input, current);
        else
            feedSession(input, current);
    }
}

void Simulator::feedSession(std::string_view &input, Millis current)
{
    CommandSession::Result result = session_.feed(input, current);
    input.remove_prefix(result.consumed);
    takeSessionResult(result, current);
}

void Simulator::takeSessionResult(const CommandSession::Result &result, Millis current)
{
    answer(result);
    if (!config_.quiet)
        for (const auto &entry : result.log)
            say("command " + entry);
    if (result.startupNotice)
        noticeAt_ = current + kStartupNoticeDelay;
    if (result.startDownload) {
        // The notice would corrupt the transfer; a real module restarting
        // into download mode would not send it either. The OK goes first.
        noticeAt_.reset();
        while (!lines_.empty())
            releaseLine(current);
        receiver_.emplace(config_.nakInterval, config_.faults, config_.asking);
        send(receiver_->start(current));
        say(config_.asking.crc ? "download mode: waiting for an XMODEM (CRC) sender"
                               : "download mode: waiting for an XMODEM (checksum) sender");
    }
}

void Simulator::feedReceiver(std::string_view &input, Millis current)
{
    const XmodemReceiver::Step step = receiver_->feed(input, current);
    input.remove_prefix(step.consumed);
    send(step.reply);
    if (step.outcome != XmodemReceiver::Outcome::Running)
        endDownload(step.outcome, current);
}

// A completed image may be followed by the next one of a group: a fresh
// receiver asks for it, and command mode returns when none comes.
void Simulator::endDownload(XmodemReceiver::Outcome outcome, Millis now)
{
    const bool completed = outcome == XmodemReceiver::Outcome::Completed;
    if (completed && receiver_->blocks() > 0)
        storeImage();
    else if (completed)
        say("EOT before any block: nothing stored");
    else
        say(std::string("download ") + describe(outcome));
    if (completed && receiver_->blocks() > 0 && config_.nextImageWait > 0) {
        receiver_.emplace(config_.nakInterval, config_.faults, config_.asking);
        send(receiver_->startNext(now, config_.nextImageWait));
        say("waiting for the next image");
        return;
    }
    receiver_.reset();
    say("command mode");
}

void Simulator::storeImage()
{
    try {
        const std::string path = store_.save(receiver_->image());
        say("stored " + std::to_string(receiver_->image().size()) + " bytes (" + std::to_string(receiver_->blocks()) +
            " blocks) in " + path);
    } catch (const std::system_error &e) {
        std::cerr << "vexa-modem-sim: cannot store the image: " << e.what() << std::endl;
    }
}

// Without unsolicited codes an answer goes out whole; with them, line by
// line (the echo and what comes before the first break is one line).
void Simulator::answer(const CommandSession::Result &result)
{
    if (config_.urcPeriod <= 0) {
        send(result.output);
        return;
    }
    std::size_t from = 0;
    for (const std::size_t at : result.breaks) {
        if (at > from)
            lines_.push_back(result.output.substr(from, at - from));
        from = std::max(from, at);
    }
    if (from < result.output.size())
        lines_.push_back(result.output.substr(from));
}

void Simulator::releaseLine(Millis current)
{
    send(lines_.front());
    lines_.pop_front();
    nextLineAt_ = current + kLineGap;
}

void Simulator::scheduleUnsolicited(Millis current)
{
    if (config_.urcPeriod > 0)
        unsolicitedAt_ =
            current + std::uniform_int_distribution<Millis>(config_.urcPeriod / 2, config_.urcPeriod * 3 / 2)(random_);
}

// Codes go between lines, never inside one, nor while a message's text is
// typed or an image is loaded.
void Simulator::sendUnsolicited(Millis current)
{
    if (receiver_ || session_.composing() || lineOpen_) {
        unsolicitedAt_ = current + kUnsolicitedRetry;
        return;
    }
    const std::string code = unsolicitedCode(session_.state(), random_);
    send(code);
    if (!config_.quiet)
        say("sent " + code.substr(2, code.find_first_of("\r\n", 2) - 2));
    scheduleUnsolicited(current);
}

void Simulator::fireTimers(Millis current)
{
    if (!lines_.empty() && current >= nextLineAt_)
        releaseLine(current);
    if (unsolicitedAt_ && current >= *unsolicitedAt_)
        sendUnsolicited(current);
    if (noticeAt_ && current >= *noticeAt_) {
        noticeAt_.reset();
        send(frame(kStartupNotice));
        if (!config_.quiet)
            say("sent " + std::string(kStartupNotice));
    }
    if (const auto answerAt = session_.deadline(); answerAt && current >= *answerAt)
        takeSessionResult(session_.tick(current), current);
    if (receiver_ && current >= receiver_->deadline()) {
        const XmodemReceiver::Step step = receiver_->tick(current);
        send(step.reply);
        if (step.outcome != XmodemReceiver::Outcome::Running)
            endDownload(step.outcome, current);
    }
}

void Simulator::send(std::string_view bytes)
{
    if (bytes.empty())
        return;
    lineOpen_ = bytes.back() != '\r' && bytes.back() != '\n';
    pending_.append(bytes.substr(0, kMaxPending - std::min(kMaxPending, pending_.size())));
    flush();
}

void Simulator::flush()
{
    const ssize_t n = ::write(master_, pending_.data(), pending_.size());
    if (n >= 0)
        pending_.erase(0, static_cast<std::size_t>(n));
    else if (errno != EAGAIN && errno != EINTR)
        fail(std::string("writing the pseudo-terminal: ") + std::strerror(errno));
}

void Simulator::say(const std::string &line) { console_ << "vexa-modem-sim: " << line << std::endl; }

void Simulator::fail(const std::string &what)
{
    std::cerr << "vexa-modem-sim: " << what << std::endl;
    exitCode_ = 1;
}

}  // namespace vexa::modemsim
