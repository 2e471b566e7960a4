#include "core/platform/digest.h"

#include <gtest/gtest.h>

#include <string>

using postloom::platform::Digest;

namespace {

// Site records written by earlier versions carry these digests: the values
// must never change, whatever computes them. Each is SHA-256 over every
// value as its length (8 bytes, least significant first) and its bytes.
TEST(DigestTest, GivesTheSameValuesAsEveryEarlierVersion)
{
    EXPECT_EQ(Digest().Hex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Digest().Add("").Hex(), "af5570f5a1810b7af78caf4bc70a660f0df51e42baf91d4de5b2328de0e83dfc");
    EXPECT_EQ(Digest().Add("abc").Hex(), "ce91dc5eec0139adf091900d225971d6ad246a845bad791b5693a9d0d55dd391");
    EXPECT_EQ(Digest().Add("ab").Add("c").Hex(), "43ee655579de01ca739b3f95c1c2d3f46d353b2c0df818064ea594506cdb2617");
    EXPECT_EQ(Digest().Add(std::string(100000, 'a')).Add(std::uint64_t{7}).Hex(),
              "cab32ac91cdd70e4056597bf2ee2b899e21fa9eca99f25c5b1fe3624881d6129");
}

}  // namespace
