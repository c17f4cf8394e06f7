// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged files: the decoder must fail cleanly with the code the step-by-step
// model gives, or produce exactly the model's bitmap; and every input found by
// fuzzing stays in data/regress/ with the outcome it must have.
#include "gif/gif.h"
#include "gif_model.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using iradudo::GifFailure;
using namespace iradudo::test;

namespace {

struct Outcome {
    std::optional<GifFailure> error;
    std::string bitmap;
};

Outcome decode(const std::string& gif)
{
    Outcome outcome;
    try {
        outcome.bitmap = decodeToBitmap(gif);
    } catch (const EGifException& error) {
        outcome.error = error.failure();
    }
    return outcome;
}

void expectSameAsModel(const std::string& gif)
{
    const ModelResult model = modelDecode(gif);
    if (model.tooLarge)
        return;
    const Outcome outcome = decode(gif);
    ASSERT_EQ(outcome.error, model.error);
    ASSERT_TRUE(outcome.bitmap == model.bitmap) << "bitmaps differ";
}

std::vector<std::string> seeds()
{
    std::vector<std::string> seeds;
    std::mt19937 random(77);
    for (int m : {2, 3, 5, 8}) {
        std::vector<std::uint8_t> pixels;
        std::uniform_int_distribution<int> colour(0, (1 << m) - 1);
        for (int i = 0; i < 23 * 17; ++i)
            pixels.push_back(static_cast<std::uint8_t>(i % 5 == 0 ? colour(random)
                    : pixels.empty()                              ? 0
                                                                  : pixels.back()));
        GifParts parts;
        parts.width = 23;
        parts.height = 17;
        parts.minCodeSize = m;
        parts.globalTable = greyTable(1 << m);
        parts.interlaced = m == 3;
        parts.codes = lzwEncode(pixels, m);
        parts.blockSize = 50;
        seeds.push_back(buildGif(parts));
    }
    const std::string pictures = IRADUDO_SOURCE_DIR "/tests/gif/data/pictures/";
    for (const char* name : {"magick_interlaced.gif", "gifbuild_local_map.gif", "magick_mono.gif"})
        seeds.push_back(readBinaryFile(pictures + name));
    return seeds;
}

std::string mutate(std::string gif, std::mt19937& random)
{
    std::uniform_int_distribution<int> kind(0, 6), byte(0, 255);
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !gif.empty(); ++e) {
        std::uniform_int_distribution<std::size_t> at(0, gif.size() - 1);
        switch (kind(random)) {
        case 0: gif[at(random)] = static_cast<char>(byte(random)); break;
        case 1: gif[at(random)] ^= static_cast<char>(1 << (random() % 8)); break;
        case 2: gif.resize(at(random)); break;
        case 3: gif.insert(at(random), 1, static_cast<char>(byte(random))); break;
        case 4: gif.erase(at(random), 1 + random() % 8); break;
        case 5: {
            // The fields that steer the decoder: sizes, flags, the code size.
            static const std::size_t fields[] = {6, 7, 8, 9, 10, 18, 19, 20, 21, 22};
            const std::size_t field = fields[random() % std::size(fields)];
            if (field < gif.size())
                gif[field] = static_cast<char>(byte(random));
            break;
        }
        default: {
            const std::size_t from = at(random);
            gif.insert(at(random), gif.substr(from, 1 + random() % 16));
            break;
        }
        }
    }
    return gif;
}

}  // namespace

TEST(GifDamage, MutatedFilesBehaveAsTheModel)
{
    const std::vector<std::string> inputs = seeds();
    for (const std::string& seed : inputs)
        ASSERT_EQ(modelDecode(seed).error, std::nullopt);
    std::mt19937 random(2024);
    for (int round = 0; round < 3000; ++round) {
        const std::string gif = mutate(inputs[round % inputs.size()], random);
        SCOPED_TRACE("round " + std::to_string(round));
        expectSameAsModel(gif);
        if (HasFatalFailure())
            return;
    }
}

TEST(GifDamage, EveryRegressionFileHasItsOutcome)
{
    // expected.txt: one line per file, "NAME MESSAGE", MESSAGE "ok" for a picture that loads.
    const std::filesystem::path folder = IRADUDO_SOURCE_DIR "/tests/gif/data/regress";
    std::ifstream list(folder / "expected.txt");
    ASSERT_TRUE(list.is_open());
    std::string line;
    int files = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::string name = line.substr(0, line.find(' '));
        const std::string message = line.substr(line.find(' ') + 1);
        SCOPED_TRACE(name);
        const std::string gif = readBinaryFile((folder / name).string());
        const Outcome outcome = decode(gif);
        EXPECT_EQ(outcome.error ? EGifException::messageFor(*outcome.error) : std::string("ok"), message);
        if (!outcome.error)
            readHandOff(outcome.bitmap);  // well-formed whatever the input
        expectSameAsModel(gif);
        ++files;
    }
    int present = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        present += entry.path().extension() == ".gif";
    EXPECT_EQ(files, present) << "every file in data/regress needs a line in expected.txt";
}
