#include "engine/SeenPlayers.h"

#include <sodium.h>

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "state/Context.h"
#include "world/StateKeys.h"

namespace zanfir {

namespace {

constexpr int VARIANT = sodium_base64_VARIANT_ORIGINAL_NO_PADDING;

// The bytes of the set; a text that is not base64 reads as no player seen.
std::string decode(const std::string& text) {
    std::string bits(text.size() * 3 / 4 + 1, '\0');
    std::size_t length = 0;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(bits.data()), bits.size(), text.data(),
                          text.size(), nullptr, &length, nullptr, VARIANT) != 0)
        return {};
    bits.resize(length);
    return bits;
}

std::string encode(const std::string& bits) {
    std::string text(sodium_base64_ENCODED_LEN(bits.size(), VARIANT), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bits.data()),
                      bits.size(), VARIANT);
    text.resize(text.size() - 1); // the terminating zero
    return text;
}

bool test(const std::string& bits, std::int32_t id) {
    auto byte = static_cast<std::size_t>(id) / 8;
    return id >= 0 && byte < bits.size() && (bits[byte] >> (id % 8) & 1) != 0;
}

// Sets or clears the bit; false when it was so already.
bool put(std::string& bits, std::int32_t id, bool seen) {
    if (id < 0 || test(bits, id) == seen)
        return false;
    auto byte = static_cast<std::size_t>(id) / 8;
    if (byte >= bits.size())
        bits.resize(byte + 1, '\0');
    bits[byte] = static_cast<char>(bits[byte] ^ (1 << (id % 8)));
    return true;
}

} // namespace

// Item names to numbers, with a lock of its own that is taken with no other:
// it is read in the middle of a context read.
struct SeenPlayers::Names {
    std::shared_mutex lock;
    std::unordered_map<std::string, std::int32_t> ids;

    std::int32_t find(std::string_view item) {
        std::shared_lock guard(lock);
        auto found = ids.find(std::string(item));
        return found == ids.end() ? 0 : found->second;
    }
};

SeenPlayers::SeenPlayers() : _names(std::make_shared<Names>()) {}

void SeenPlayers::known(const std::string& item, std::int32_t id) {
    std::unique_lock guard(_names->lock);
    _names->ids[item] = id;
}

void SeenPlayers::answerFor(const std::shared_ptr<Context>& root, std::int32_t viewer) {
    auto seen = root->nested(StateKeys::seenItems(viewer));
    // The root holds the context answered for: only a weak hold back to it.
    std::weak_ptr<Context> weak = root;
    seen->answerAbsent([names = _names, weak, viewer](std::string_view item) {
        auto id = names->find(item);
        auto held = weak.lock();
        if (id == 0 || !held || !has(*held, viewer, id))
            return std::optional<Context::Value>();
        return std::optional<Context::Value>(true);
    });
}

bool SeenPlayers::has(Context& root, std::int32_t viewer, std::int32_t seen) {
    return test(decode(root.getString(StateKeys::seenPlayers(viewer))), seen);
}

void SeenPlayers::add(Context& root, std::int32_t viewer, const std::vector<std::int32_t>& seen) {
    if (seen.empty())
        return;
    const auto path = StateKeys::seenPlayers(viewer);
    auto bits = decode(root.getString(path));
    bool changed = false;
    for (auto id : seen)
        changed = put(bits, id, true) || changed;
    if (changed)
        root.setString(path, encode(bits));
}

void SeenPlayers::remove(Context& root, std::int32_t viewer, std::int32_t seen) {
    const auto path = StateKeys::seenPlayers(viewer);
    auto bits = decode(root.getString(path));
    if (put(bits, seen, false))
        root.setString(path, encode(bits));
}

} // namespace zanfir
