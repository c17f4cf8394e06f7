// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/name_cache.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace iradudo;

namespace {

std::optional<std::string> lookUp(const NameCache& cache, std::string_view wanted, unsigned char* type = nullptr)
{
    const char* found = cache.find(wanted, type);
    return found ? std::optional<std::string>(found) : std::nullopt;
}

}  // namespace

TEST(NameCache, ExactNameFirstThenTheOneNameEqualButForAsciiCase)
{
    NameCache cache("/disc/GAMES");
    for (const char* name : {"Foo.lha", "foo.readme", "FOO.README", "Bar.txt", "Caff\xe8.txt", "BAR"})
        cache.add(name, DT_REG);
    cache.add("Docs", DT_DIR);
    cache.buildIndex();
    EXPECT_EQ(cache.hostDirectory(), "/disc/GAMES");

    struct Case {
        std::string_view wanted;
        std::optional<std::string> found;
    };
    const Case cases[] = {
        {"Foo.lha", "Foo.lha"},
        {"FOO.LHA", "Foo.lha"},
        {"foo.readme", "foo.readme"},  // exact, though another name differs only in case
        {"FOO.README", "FOO.README"},
        {"Foo.Readme", std::nullopt},  // two names fit and neither exactly
        {"bar.TXT", "Bar.txt"},
        {"bar", "BAR"},
        {"CAFF\xe8.TXT", "Caff\xe8.txt"},
        {"Caff\xc8.txt", std::nullopt},  // only ASCII letters fold
        {"Foo.lh", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lookUp(cache, c.wanted), c.found) << c.wanted;

    unsigned char type = DT_UNKNOWN;
    EXPECT_EQ(lookUp(cache, "DOCS", &type), "Docs");
    EXPECT_EQ(type, DT_DIR);
}

TEST(NameCache, ThousandsOfSimilarNamesAreEachFound)
{
    // Names that differ in one digit are what a listing holds; each must come back
    // as itself, by its own name and by its name in another case.
    NameCache cache("/disc");
    for (int i = 0; i < 5000; ++i) {
        cache.add("File" + std::to_string(i) + ".lha", DT_REG);
        cache.add("file" + std::to_string(i) + ".readme", DT_REG);
    }
    cache.buildIndex();
    for (int i = 0; i < 5000; i += 7) {
        const std::string archive = "File" + std::to_string(i) + ".lha";
        EXPECT_EQ(lookUp(cache, archive), archive);
        EXPECT_EQ(lookUp(cache, "FILE" + std::to_string(i) + ".LHA"), archive);
        EXPECT_EQ(lookUp(cache, "FILE" + std::to_string(i) + ".README"), "file" + std::to_string(i) + ".readme");
    }
    EXPECT_EQ(lookUp(cache, "File5000.lha"), std::nullopt);
}

TEST(NameCache, EmptyOrUnindexedCacheFindsNothing)
{
    NameCache unindexed("/x");
    unindexed.add("A", DT_REG);
    EXPECT_EQ(lookUp(unindexed, "A"), std::nullopt);
    NameCache empty("/x");
    empty.buildIndex();
    EXPECT_EQ(lookUp(empty, "A"), std::nullopt);
}
