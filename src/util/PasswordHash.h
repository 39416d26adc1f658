#pragma once

#include <string>

namespace zanfir {

// Passwords kept as salted Argon2id hashes (libsodium), in the text form
// that carries its own salt and parameters. A stored text that is no such
// hash is a password kept in clear by an older version.
//
// A hash takes about 30 ms and 32 MiB; a few run at once at the most, the
// others wait their turn, so that a flood of logins cannot exhaust memory.
// Never call these under a lock others wait for.
class PasswordHash {
public:
    // Throws Exception when no hash can be made (no memory).
    static std::string hash(const std::string& password);
    // Whether the password is the one stored (hashed, or in clear).
    static bool verify(const std::string& stored, const std::string& password);
    static bool isHash(const std::string& stored);
};

} // namespace zanfir
