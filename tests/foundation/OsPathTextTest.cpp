// OS paths held as wide text: any bytes the system gives come back as the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"

namespace {

TEST(OsPathText, BytesRoundTripAndUtf8ReadsAsText) {
    struct Case {
        std::string bytes;
        std::wstring wide;  // what the path reads as
    } cases[] = {
        {"/home/ann/.local/share/", L"/home/ann/.local/share/"},
        {"/srv/caf\xc3\xa9/\xe2\x82\xac", L"/srv/caf\u00e9/\u20ac"},  // UTF-8 is text
        {"/srv/caf\xe9", L"/srv/caf\xdce9"},                          // Latin-1: one escaped byte
        {"\xff\xfe", L"\xdcff\xdcfe"},
        {"\xc3", L"\xdcc3"},                                           // cut short
        {"\xc3\xa9\xc3", L"\u00e9\xdcc3"},
        {"\xed\xb2\x80", L"\xdced\xdcb2\xdc80"},                       // an encoded surrogate is no text
        {"\xc0\xaf", L"\xdcc0\xdcaf"},                                 // overlong
        {"\xef\xbf\xbd", L"\ufffd"},                                   // U+FFFD itself is text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pf::FromOsPath(c.bytes), c.wide) << c.bytes;
        EXPECT_EQ(pf::ToOsPath(pf::FromOsPath(c.bytes)), c.bytes) << c.bytes;
    }
    // Every byte value, alone and after ASCII, comes back as itself.
    for (int b = 1; b < 256; ++b) {
        const std::string bytes = "a" + std::string(1, static_cast<char>(b)) + "z";
        EXPECT_EQ(pf::ToOsPath(pf::FromOsPath(bytes)), bytes) << b;
    }
    // Other text converts as UTF-8; a surrogate that escapes no byte is not written raw.
    EXPECT_EQ(pf::ToOsPath(L"\u00e9\xd800"), pf::ToUtf8(L"\u00e9\xd800"));
}

}  // namespace
