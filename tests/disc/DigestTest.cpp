// The installers' digests against known answers: RFC 1321's and FIPS 180's "abc", and a
// megabyte added in uneven pieces (Python's hashlib gave the answers).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "disc/containers/inno/Digest.h"

namespace {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) hex += kDigits[c >> 4], hex += kDigits[c & 15];
    return hex;
}

TEST(Digest, MatchesKnownAnswers) {
    std::vector<unsigned char> megabyte(1000003);
    for (size_t i = 0; i < megabyte.size(); ++i) megabyte[i] = static_cast<unsigned char>(i * 7 + i / 1000);
    const struct {
        DigestKind kind;
        const char* abc;
        const char* megabyte;
    } cases[] = {
        {DigestKind::Md5, "900150983cd24fb0d6963f7d28e17f72", "753c284aaf4071bfd87bcf96fc509cb3"},
        {DigestKind::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d", "e5bbf745b101f063f2ee702702eb5a877c6557f0"},
        {DigestKind::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "7bc46367bf1577b17ecb43955547829f83d805224b34945a5771b5728f36a22f"},
    };
    for (const auto& c : cases) {
        Digest abc(c.kind);
        abc.Add("abc", 3);
        EXPECT_EQ(Hex(abc.Finish()), c.abc);
        Digest pieces(c.kind);
        for (size_t at = 0, step = 1; at < megabyte.size(); at += step, step = step * 3 % 1000 + 1)
            pieces.Add(megabyte.data() + at, std::min(step, megabyte.size() - at));
        EXPECT_EQ(Hex(pieces.Finish()), c.megabyte);
    }
}

}  // namespace
