#include "tools/modem-sim/reply_plan.h"

#include <algorithm>
#include <utility>

namespace modem_sim {
namespace {

// Line noise: no CR, LF or letters, so it can never read as a result code.
const char kNoise[] = "\xFE\x7F#~%\xFF\x01$\x80*";

std::string stretched(const std::string& text, size_t length) {
    const std::string pattern = text.empty() ? "0123456789" : text;
    std::string out;
    out.reserve(length);
    while (out.size() < length)
        out += pattern.substr(0, length - out.size());
    return out;
}

// Applies the faults that change what is said (not when it is said).
void bend_answer(Answer& answer, const FaultSpec& fault) {
    if (fault.error) {
        answer.ok = false;
        answer.lines.clear();
        return;
    }
    if (fault.long_length >= 0) {
        std::string first = answer.lines.empty() ? "" : answer.lines.front();
        std::string line = stretched(first, static_cast<size_t>(fault.long_length));
        if (answer.lines.empty())
            answer.lines.push_back(line);
        else
            answer.lines.front() = line;
    }
    if (fault.nul > 0 && !answer.lines.empty()) {
        std::string& line = answer.lines.front();
        line.insert(line.size() / 2, static_cast<size_t>(fault.nul), '\0');
    }
}

std::string noise(int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out.push_back(kNoise[i % (sizeof kNoise - 1)]);
    return out;
}

void add_pieces(std::vector<Step>& steps, const std::string& bytes, int first_delay, int piece,
                int gap) {
    if (bytes.empty())
        return;
    size_t size = piece > 0 ? static_cast<size_t>(piece) : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += size) {
        Step step;
        step.delay_ms = at == 0 ? first_delay : gap;
        step.bytes = bytes.substr(at, size);
        steps.push_back(step);
    }
}

} // namespace

std::string format_answer(const Answer& answer, bool verbose) {
    std::string out;
    for (const std::string& line : answer.lines)
        out += verbose ? "\r\n" + line + "\r\n" : line + "\r\n";
    if (verbose)
        out += answer.ok ? "\r\nOK\r\n" : "\r\nERROR\r\n";
    else
        out += answer.ok ? "0\r" : "4\r";
    return out;
}

namespace {

std::vector<Step> reply_steps(const std::string& echo, Answer answer, bool verbose,
                              const FaultSpec& f, int split_gap_ms) {
    std::vector<Step> steps;
    if (f.silent)
        return steps;
    if (!echo.empty())
        steps.push_back(Step{0, echo, false});
    if (f.ring) // a call coming in: the modem says so as it happens
        steps.push_back(Step{0, verbose ? "\r\nRING\r\n" : "2\r", false});
    bend_answer(answer, f);
    std::string reply = noise(f.garbage);
    if (f.nul > 0 && answer.lines.empty())
        reply.append(static_cast<size_t>(f.nul), '\0');
    reply += format_answer(answer, verbose);
    if (f.hangup)
        reply.resize(reply.size() / 2);
    add_pieces(steps, reply, f.delay_ms, f.split, split_gap_ms);
    if (f.hangup) {
        Step drop;
        drop.delay_ms = steps.size() > (echo.empty() ? 0u : 1u) ? 0 : f.delay_ms;
        drop.hangup = true;
        steps.push_back(drop);
    }
    return steps;
}

} // namespace

std::vector<Step> build_plan(const std::string& echo, Answer answer, bool verbose,
                             const FaultSpec* fault, int split_gap_ms) {
    FaultSpec none;
    const FaultSpec& f = fault ? *fault : none;
    std::vector<Step> steps;
    if (f.unplug) {
        // Before anything is sent, so a client that has the reply can no
        // longer open the link.
        Step pull;
        pull.unplug = true;
        steps.push_back(pull);
    }
    for (Step& step : reply_steps(echo, std::move(answer), verbose, f, split_gap_ms))
        steps.push_back(std::move(step));
    return steps;
}

std::vector<Step> canned_plan(const std::string& bytes) {
    std::vector<Step> steps;
    if (!bytes.empty())
        steps.push_back(Step{0, bytes, false});
    return steps;
}

} // namespace modem_sim
