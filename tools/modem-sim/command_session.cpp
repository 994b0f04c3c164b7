#include "command_session.h"

namespace vexa::modemsim {

std::string frame(std::string_view text)
{
    std::string framed = "\r\n";
    framed.append(text);
    framed.append("\r\n");
    return framed;
}

CommandSession::Result CommandSession::feed(std::string_view input)
{
    Result result;
    while (result.consumed < input.size() && !result.startDownload) {
        const char byte = input[result.consumed++];
        // Echo byte by byte as it arrives, before any answer, like a modem.
        if (state_.echo)
            result.output.push_back(byte);
        if (auto line = lines_.push(static_cast<unsigned char>(byte)))
            handleLine(*line, result);
    }
    return result;
}

void CommandSession::handleLine(const LineAssembler::Line& line, Result& result)
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
    for (const auto& text : answer.info)
        result.output += frame(text);
    result.output += frame(answer.ok ? "OK" : "ERROR");
    result.log.push_back(line.text + (answer.ok ? " -> OK" : " -> ERROR"));
    result.startupNotice |= answer.action == Action::StartupNotice;
    result.startDownload |= answer.action == Action::StartDownload;
}

} // namespace vexa::modemsim
