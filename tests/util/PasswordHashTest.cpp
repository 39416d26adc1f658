#include <gtest/gtest.h>

#include "util/PasswordHash.h"

using zanfir::PasswordHash;

TEST(PasswordHashTest, HashedAndInClear) {
    std::string hashed = PasswordHash::hash("segreto");
    EXPECT_TRUE(hashed.starts_with("$argon2id$")) << hashed;
    EXPECT_EQ(hashed.find("segreto"), std::string::npos);
    EXPECT_NE(PasswordHash::hash("segreto"), hashed); // salted
    EXPECT_TRUE(PasswordHash::verify(hashed, "segreto"));
    EXPECT_FALSE(PasswordHash::verify(hashed, "Segreto"));
    EXPECT_FALSE(PasswordHash::verify(hashed, ""));
    EXPECT_TRUE(PasswordHash::isHash(hashed));

    // kept in clear by an older version
    EXPECT_FALSE(PasswordHash::isHash("segreto"));
    EXPECT_TRUE(PasswordHash::verify("segreto", "segreto"));
    EXPECT_FALSE(PasswordHash::verify("segreto", "segret"));
    EXPECT_FALSE(PasswordHash::verify("segreto", "SEGRETO"));
    EXPECT_FALSE(PasswordHash::verify("", "segreto"));
    EXPECT_FALSE(PasswordHash::verify("$argon2id$broken", "segreto"));
}
