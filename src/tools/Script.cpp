#include "tools/Script.h"

#include "T.h"
#include "runtime/Errors.h"

namespace zanfir {

namespace {

std::string trimRight(const std::string& text) {
    auto end = text.find_last_not_of(" \t\r");
    return end == std::string::npos ? "" : text.substr(0, end + 1);
}

// Whether the lines of a run of exact expectations stand at `at`.
bool matchesAt(const std::vector<const Script::Expectation*>& run,
               const std::vector<std::string>& answer, std::size_t at) {
    if (at + run.size() > answer.size())
        return false;
    for (std::size_t k = 0; k < run.size(); ++k)
        if (answer[at + k] != run[k]->text)
            return false;
    return true;
}

// The first line of a run that differs from the answer read from `at`.
Script::Mismatch firstDifference(const std::vector<const Script::Expectation*>& run,
                                 const std::vector<std::string>& answer, std::size_t at) {
    for (std::size_t k = 0; k < run.size(); ++k) {
        if (at + k >= answer.size())
            return {run[k], std::nullopt};
        if (answer[at + k] != run[k]->text)
            return {run[k], at + k};
    }
    return {nullptr, at + run.size()};
}

} // namespace

Script::Script(const std::string& text) {
    _steps.push_back(Step{});
    std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0; // a UTF-8 mark
    for (int number = 1; start < text.size(); ++number) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = trimRight(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '>') {
            std::string command = line.substr(1);
            if (!command.empty() && command.front() == ' ')
                command.erase(0, 1);
            _steps.push_back(Step{command, number, {}});
        } else if (line == "...") {
            _steps.back().expectations.push_back({Expectation::Skip, "", number});
        } else if (line.front() == '~') {
            std::string wanted = line.substr(1);
            if (!wanted.empty() && wanted.front() == ' ')
                wanted.erase(0, 1);
            if (wanted.empty())
                throw Exception(T::ScriptEmptyContains + std::to_string(number));
            _steps.back().expectations.push_back({Expectation::Contains, wanted, number});
        } else {
            if (line.front() == '\\')
                line.erase(0, 1);
            _steps.back().expectations.push_back({Expectation::Exact, line, number});
        }
    }
}

std::size_t Script::commands() const {
    return _steps.size() - 1;
}

std::vector<std::string> Script::answerLines(const std::string& answer) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start <= answer.size()) {
        auto end = answer.find('\n', start);
        if (end == std::string::npos)
            end = answer.size();
        std::string line = trimRight(answer.substr(start, end - start));
        if (!line.empty())
            result.push_back(line);
        start = end + 1;
    }
    return result;
}

std::optional<Script::Mismatch> Script::match(const Step& step,
                                              const std::vector<std::string>& answer) {
    std::vector<const Expectation*> sequence;
    for (const auto& expected : step.expectations) {
        if (expected.kind != Expectation::Contains) {
            sequence.push_back(&expected);
            continue;
        }
        bool found = false;
        for (const auto& line : answer)
            found = found || line.find(expected.text) != std::string::npos;
        if (!found)
            return Mismatch{&expected, std::nullopt};
    }
    // Runs of exact lines between the skips: the first is anchored at the
    // start unless a skip precedes it, the last at the end unless a skip
    // follows it, the others stand at their earliest place.
    std::size_t at = 0;
    bool floating = false;
    for (std::size_t i = 0; i < sequence.size();) {
        if (sequence[i]->kind == Expectation::Skip) {
            floating = true;
            ++i;
            continue;
        }
        std::vector<const Expectation*> run;
        for (; i < sequence.size() && sequence[i]->kind == Expectation::Exact; ++i)
            run.push_back(sequence[i]);
        const bool last = i == sequence.size();
        if (!floating) {
            if (!matchesAt(run, answer, at) || (last && at + run.size() != answer.size()))
                return firstDifference(run, answer, at);
        } else if (last) {
            if (answer.size() < at + run.size())
                return Mismatch{run.front(), std::nullopt};
            std::size_t tail = answer.size() - run.size();
            if (!matchesAt(run, answer, tail))
                return firstDifference(run, answer, tail);
            at = tail;
        } else {
            while (at < answer.size() && !matchesAt(run, answer, at))
                ++at;
            if (at >= answer.size())
                return Mismatch{run.front(), std::nullopt};
        }
        at += run.size();
        floating = false;
    }
    return std::nullopt;
}

} // namespace zanfir
