// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/disc_option.h"

#include <gtest/gtest.h>

using namespace iradudo;

TEST(DiscOption, TakesEitherSpellingAndStopsAtAnythingElse)
{
    struct Case {
        std::vector<std::string> arguments;
        DiscOption result;
        std::vector<std::string> discs;
        std::size_t indexAfter;
    };
    const Case cases[] = {
        {{"--cd", "/a b"}, DiscOption::Taken, {"/a b"}, 1},
        {{"--cd", "-odd"}, DiscOption::Taken, {"-odd"}, 1},  // the word after --cd is always its directory
        {{"--cd=/c", "list"}, DiscOption::Taken, {"/c"}, 0},
        {{"--cd="}, DiscOption::Taken, {""}, 0},
        {{"--cd"}, DiscOption::MissingDirectory, {}, 0},
        {{"--cdrom", "x"}, DiscOption::NotOne, {}, 0},
        {{"list", "--cd"}, DiscOption::NotOne, {}, 0},
        {{"--CD", "x"}, DiscOption::NotOne, {}, 0},
    };
    for (const Case& c : cases) {
        std::size_t index = 0;
        std::vector<std::string> discs;
        EXPECT_EQ(takeDiscOption(c.arguments, index, discs), c.result) << c.arguments.front();
        EXPECT_EQ(discs, c.discs) << c.arguments.front();
        EXPECT_EQ(index, c.indexAfter) << c.arguments.front();
    }
}
