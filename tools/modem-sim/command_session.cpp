#include "command_session.h"

namespace vexa::modemsim {

std::string frame(std::string_view text)
{
    std::string framed = "\r\n";
    framed.append(text);
    framed.append("\r\n");
    return framed;
}

CommandSession::Result CommandSession::feed(std::string_view input, Millis now)
{
    Result result;
    while (result.consumed < input.size() && !result.startDownload) {
        if (running_ && now < running_->started + kAbortGuard) {
            ++result.consumed;
            continue;
        }
        if (running_) {
            result.output += frame("ERROR");
            result.log.push_back(running_->command + " -> aborted: ERROR");
            running_.reset();
        }
        const char byte = input[result.consumed++];
        // Echo byte by byte as it arrives, before any answer, like a modem.
        if (state_.echo)
            result.output.push_back(byte);
        if (auto line = lines_.push(static_cast<unsigned char>(byte)))
            handleLine(*line, now, result);
    }
    return result;
}

CommandSession::Result CommandSession::tick(Millis now)
{
    Result result;
    if (running_ && now >= running_->due) {
        result.output = running_->answer;
        result.log.push_back(running_->command + " -> OK");
        running_.reset();
    }
    return result;
}

std::optional<Millis> CommandSession::deadline() const
{
    return running_ ? std::optional<Millis>(running_->due) : std::nullopt;
}

void CommandSession::handleLine(const LineAssembler::Line& line, Millis now, Result& result)
{
    if (line.overlong) {
        result.output += frame("ERROR");
        result.log.push_back("<over-long line> -> ERROR");
        return;
    }
    // A bare CR is no command; modems stay silent.
    if (line.text.empty())
        return;
    const Answer answer = answerCommand(line.text, state_);
    std::string framed;
    for (const auto& text : answer.info)
        framed += frame(text);
    framed += frame(answer.ok ? "OK" : answer.error);
    if (answer.action == Action::Search && searchTime_ > 0) {
        running_ = Running{line.text, framed, now, now + searchTime_};
        result.log.push_back(line.text + " -> searching");
        return;
    }
    result.output += framed;
    result.log.push_back(line.text + " -> " + (answer.ok ? "OK" : answer.error));
    result.startupNotice |= answer.action == Action::StartupNotice;
    result.startDownload |= answer.action == Action::StartDownload;
}

} // namespace vexa::modemsim
