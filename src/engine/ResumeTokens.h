#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace zanfir {

// Tokens that let a browser's page, reloaded, take its player of the shared
// world up again without the password. Each is random, single-use, kept
// only as its hash, good only from the address it was given to and only
// until it expires; a player holds one at a time.
class ResumeTokens {
public:
    using Clock = std::chrono::steady_clock;

    explicit ResumeTokens(std::chrono::minutes life) : _life(life) {}
    ResumeTokens(const ResumeTokens&) = delete;
    ResumeTokens& operator=(const ResumeTokens&) = delete;

    // A new token for the player, who connects from that address; the
    // player's earlier one is spent.
    std::string issue(const std::string& name, const std::string& address,
                      Clock::time_point now = Clock::now());
    // The player whose token this is, when it is good from that address
    // now. The token is spent either way.
    std::optional<std::string> redeem(const std::string& token, const std::string& address,
                                      Clock::time_point now = Clock::now());

private:
    struct Holder {
        std::string name, address;
        Clock::time_point until;
    };
    static std::string hash(const std::string& token);

    const std::chrono::minutes _life;
    std::mutex _lock;
    std::unordered_map<std::string, Holder> _tokens;       // by the token's hash
    std::unordered_map<std::string, std::string> _by_name; // the hash of each player's
};

} // namespace zanfir
