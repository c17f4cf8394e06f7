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

// A file manager's "Open with" passes the folders bare, mixed with --cd ones.
TEST(WindowOptions, BareDirectoriesAreDiscsToo)
{
    const WindowOptions o = parseWindowOptions({"/x", "--cd", "/y", "z w"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.discDirectories, (std::vector<std::string>{"/x", "/y", "z w"}));
}

TEST(WindowOptions, RejectsWhatItDoesNotKnow)
{
    EXPECT_FALSE(parseWindowOptions({"--cd"}).error.empty());
    EXPECT_FALSE(parseWindowOptions({"--bogus"}).error.empty());
    EXPECT_FALSE(parseWindowOptions({"-platform"}).error.empty());
    EXPECT_TRUE(parseWindowOptions({"--help"}).help);
    EXPECT_TRUE(parseWindowOptions({"--version"}).version);
    EXPECT_TRUE(parseWindowOptions({}).discDirectories.empty());
}

TEST(WindowOptions, FloppyIsNoDisc)
{
    const WindowOptions o = parseWindowOptions({"--floppy", "a.img", "/disc"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.floppy, "a.img");
    EXPECT_EQ(o.discDirectories, (std::vector<std::string>{"/disc"}));
    EXPECT_FALSE(parseWindowOptions({"--floppy"}).error.empty());
}
