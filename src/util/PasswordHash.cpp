#include "util/PasswordHash.h"

#include <sodium.h>

#include <algorithm>
#include <semaphore>
#include <thread>

#include "runtime/Errors.h"
#include "runtime/Fibers.h"

namespace zanfir {

namespace {

// About 30 ms on the machine the README measures on.
constexpr unsigned long long OPS = 3;
constexpr std::size_t MEMORY = 32u << 20;
constexpr const char* PREFIX = "$argon2id$";

// Hashes at once: one per processor, four at the most.
std::counting_semaphore<4>& slots() {
    static std::counting_semaphore<4> slots(
        std::clamp<std::ptrdiff_t>(std::thread::hardware_concurrency(), 1, 4));
    return slots;
}

class Slot {
public:
    Slot() {
        static const bool ready = sodium_init() >= 0;
        if (!ready)
            throw Exception("libsodium");
        slots().acquire();
    }
    ~Slot() { slots().release(); }
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;
};

} // namespace

// A hash takes its time on a thread of its own: a session's thread serves
// other sessions meanwhile.
std::string PasswordHash::hash(const std::string& password) {
    char text[crypto_pwhash_STRBYTES];
    Fibers::aside([&] {
        Slot slot;
        if (crypto_pwhash_str(text, password.data(), password.size(), OPS, MEMORY) != 0)
            throw Exception("crypto_pwhash_str: out of memory");
    });
    return text;
}

bool PasswordHash::verify(const std::string& stored, const std::string& password) {
    if (!isHash(stored)) // in clear: compared in a time that does not tell where they differ
        return stored.size() == password.size() &&
               (stored.empty() ||
                sodium_memcmp(stored.data(), password.data(), stored.size()) == 0);
    bool right = false;
    Fibers::aside([&] {
        Slot slot;
        right = crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) == 0;
    });
    return right;
}

bool PasswordHash::isHash(const std::string& stored) {
    return stored.starts_with(PREFIX);
}

} // namespace zanfir
