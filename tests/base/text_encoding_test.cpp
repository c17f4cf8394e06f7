// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_encoding.h"

#include <gtest/gtest.h>

using namespace iradudo;

TEST(TextEncoding, ClassifiesUtf8AndLatin1)
{
    EXPECT_TRUE(isValidUtf8("plain ascii"));
    EXPECT_FALSE(isMultibyteUtf8("plain ascii"));
    EXPECT_TRUE(isMultibyteUtf8("perch\xC3\xA9"));
    EXPECT_FALSE(isValidUtf8("perch\xE9"));        // Latin-1 e acute
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong slash
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate half
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));         // cut short
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));  // four-byte sequence
}

TEST(TextEncoding, DisplayReadsInvalidUtf8AsLatin1)
{
    EXPECT_EQ(toDisplayUtf8("Caf\xE9.lha"), "Caf\xC3\xA9.lha");
    EXPECT_EQ(toDisplayUtf8("Caf\xC3\xA9.lha"), "Caf\xC3\xA9.lha");
    EXPECT_EQ(latin1ToUtf8(std::string("\x00\xFF", 2)), std::string("\x00\xC3\xBF", 3));
}
