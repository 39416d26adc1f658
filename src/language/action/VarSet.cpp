#include "language/action/VarSet.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>

#include "engine/Adventure.h"
#include "language/ActionVisitor.h"
#include "state/Context.h"
#include "util/Util.h"
#include "world/StateKeys.h"

namespace zanfir {

namespace {

// One generator for every random assignment, seeded once: actions built
// anew (a text parsed again) must not repeat each other's draws.
std::int32_t uniform(std::int32_t low, std::int32_t high) {
    static std::mutex lock;
    static std::mt19937 generator([] {
        auto now = std::chrono::system_clock::now().time_since_epoch();
        std::seed_seq seed{static_cast<std::uint32_t>(
                               std::chrono::duration_cast<std::chrono::milliseconds>(now).count()),
                           std::random_device{}()};
        return std::mt19937(seed);
    }());
    std::lock_guard guard(lock);
    return std::uniform_int_distribution<std::int32_t>(low, high)(generator);
}

} // namespace

std::string VarSet::draw() {
    std::int32_t bounds[2] = {1, 100};
    auto words = Util::split(_value);
    for (std::size_t i = 0; i < 2 && i < words.size(); ++i) {
        try {
            bounds[i] = Util::parseInt(words[i]);
        } catch (const std::exception&) {
            break;
        }
    }
    auto [low, high] = std::minmax(bounds[0], bounds[1]);
    return std::to_string(uniform(low, high));
}

bool VarSet::run(const Execution& now) {
    if (_variable.empty())
        return false;
    std::string value = _value;
    if (_ask) {
        std::string question = Util::stringIsString(_value) ? Util::trim(_value) : "";
        if (!question.empty())
            question = question.substr(1, question.size() - 2);
        value = now.session.askYesNoQuestion(question) ? "TRUE" : "FALSE";
    } else if (_random) {
        value = draw();
    }
    Context& ctx = *now.context;
    std::string path = StateKeys::variable(_variable);
    std::string before = traceBefore(now, _variable);
    std::string text = Util::trim(value);
    if (Util::stringIsString(text))
        ctx.setString(path, text.substr(1, text.size() - 2));
    else if (Util::stringIsBoolean(text))
        ctx.setBoolean(path, Util::equalsIgnoreCase(text, "TRUE"));
    else if (Util::stringIsInteger(text))
        ctx.setInt(path, Util::parseInt(text));
    else
        ctx.set(path, ctx.get(value).value_or(std::string()));
    traceChange(now, _variable, before);
    return true;
}

void VarSet::accept(ActionVisitor& visitor) const {
    visitor.visit(*this);
}

} // namespace zanfir
