#include "engine/ResumeTokens.h"

#include <sodium.h>

#include "runtime/Errors.h"

namespace zanfir {

namespace {

constexpr std::size_t TOKEN_BYTES = 32;

std::string hex(const unsigned char* bytes, std::size_t size) {
    std::string text(size * 2 + 1, '\0');
    sodium_bin2hex(text.data(), text.size(), bytes, size);
    text.pop_back();
    return text;
}

} // namespace

std::string ResumeTokens::hash(const std::string& token) {
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(token.data()),
                       token.size(), nullptr, 0);
    return hex(digest, sizeof digest);
}

std::string ResumeTokens::issue(const std::string& name, const std::string& address,
                                Clock::time_point now) {
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw Exception("libsodium");
    unsigned char bytes[TOKEN_BYTES];
    randombytes_buf(bytes, sizeof bytes);
    std::string token = hex(bytes, sizeof bytes), key = hash(token);
    std::lock_guard guard(_lock);
    if (auto earlier = _by_name.find(name); earlier != _by_name.end())
        _tokens.erase(earlier->second);
    _by_name[name] = key;
    _tokens[key] = {name, address, now + _life};
    return token;
}

std::optional<std::string> ResumeTokens::redeem(const std::string& token,
                                                const std::string& address, Clock::time_point now) {
    std::lock_guard guard(_lock);
    auto found = _tokens.find(hash(token));
    if (found == _tokens.end())
        return std::nullopt;
    Holder holder = found->second;
    _tokens.erase(found);
    _by_name.erase(holder.name);
    if (holder.address != address || now >= holder.until)
        return std::nullopt;
    return holder.name;
}

} // namespace zanfir
