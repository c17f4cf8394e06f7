// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

using namespace iradudo;

TEST(WindowOptions, DiscDirectoriesInOrder)
{
    const WindowOptions o = parseWindowOptions({"--cd", "/a b", "--cd=/c", "--cd", "-odd"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.discDirectories, (std::vector<std::string>{"/a b", "/c", "-odd"}));
    EXPECT_FALSE(o.help);
}

TEST(WindowOptions, RejectsWhatItDoesNotKnow)
{
    EXPECT_FALSE(parseWindowOptions({"--cd"}).error.empty());
    EXPECT_FALSE(parseWindowOptions({"/some/dir"}).error.empty());
    EXPECT_TRUE(parseWindowOptions({"--help"}).help);
    EXPECT_TRUE(parseWindowOptions({}).discDirectories.empty());
}
