#include "command_session.h"

namespace vexa::modemsim {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;

// The pieces go out whole, each after a break.
void emit(CommandSession::Result &result, const std::vector<std::string> &pieces)
{
    for (const auto &piece : pieces) {
        result.breaks.push_back(result.output.size());
        result.output += piece;
    }
    result.breaks.push_back(result.output.size());
}

}  // namespace

std::string frame(std::string_view text)
{
    std::string framed = "\r\n";
    framed.append(text);
    framed.append("\r\n");
    return framed;
}

std::vector<std::string> framed(const Answer &answer)
{
    std::vector<std::string> pieces;
    for (const auto &text : answer.info)
        pieces.push_back(frame(text));
    pieces.push_back(frame(answer.ok ? "OK" : answer.error));
    return pieces;
}

CommandSession::CommandSession(Millis searchTime, PromptForm prompt, Dialect dialect)
    : searchTime_(searchTime), prompt_(prompt)
{
    state_.dialect = dialect;
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
            const std::string aborted = abortedResult(state_);
            emit(result, {frame(aborted)});
            result.log.push_back(running_->command + " -> aborted: " + aborted);
            running_.reset();
        }
        const char byte = input[result.consumed++];
        if (composing_) {
            compose(byte, result);
            continue;
        }
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
        emit(result, running_->answer);
        result.log.push_back(running_->command + " -> OK");
        running_.reset();
    }
    return result;
}

std::optional<Millis> CommandSession::deadline() const
{
    return running_ ? std::optional<Millis>(running_->due) : std::nullopt;
}

std::string CommandSession::prompt() const
{
    switch (prompt_) {
    case PromptForm::Line: return "\r\n>";
    case PromptForm::Bare: return ">";
    default: return "\r\n> ";
    }
}

void CommandSession::handleLine(const LineAssembler::Line &line, Millis now, Result &result)
{
    if (line.overlong) {
        emit(result, {frame("ERROR")});
        result.log.push_back("<over-long line> -> ERROR");
        return;
    }
    // A bare CR is no command; modems stay silent.
    if (line.text.empty())
        return;
    const Answer answer = answerCommand(line.text, state_);
    if (answer.action == Action::Compose) {
        result.breaks.push_back(result.output.size());
        result.output += prompt();
        composing_ = true;
        text_.clear();
        result.log.push_back(line.text + " -> prompt");
        return;
    }
    if (answer.action == Action::Search && searchTime_ > 0) {
        running_ = Running{line.text, framed(answer), now, now + searchTime_};
        result.log.push_back(line.text + " -> searching");
        return;
    }
    emit(result, framed(answer));
    result.log.push_back(line.text + " -> " + (answer.ok ? "OK" : answer.error));
    result.startupNotice |= answer.action == Action::StartupNotice;
    result.startDownload |= answer.action == Action::StartDownload;
}

// The text is echoed as typed; each CR starts a new line of the message and
// is answered with the prompt again.
void CommandSession::compose(char byte, Result &result)
{
    if (byte == kCtrlZ || byte == kEscape) {
        composing_ = false;
        const Answer answer = byte == kCtrlZ ? finishMessage(text_, state_) : Answer{{}, true, "", Action::None};
        emit(result, framed(answer));
        result.log.push_back(std::string(byte == kCtrlZ ? "message" : "message abandoned") + " -> " +
                             (answer.ok ? "OK" : answer.error));
        return;
    }
    if (byte == '\n')
        return;
    if (state_.echo)
        result.output.push_back(byte);
    if (byte == '\r') {
        result.output += prompt();
        byte = '\n';
    }
    if (text_.size() < kMaxText)
        text_.push_back(byte);
}

}  // namespace vexa::modemsim
