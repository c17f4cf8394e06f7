// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of crafted GIF streams: header checks, the LZW rules and the bitmap hand-off.
#include "gif/gif.h"
#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

using iradudo::GifFailure;
using namespace iradudo::test;

namespace {

// Expects the load to fail with the given code and its message.
void expectGifError(const std::string& gif, GifFailure failure)
{
    try {
        decodeToBitmap(gif);
        ADD_FAILURE() << "expected \"" << EGifException::messageFor(failure) << "\", the load succeeded";
    } catch (const EGifException& error) {
        EXPECT_EQ(error.failure(), failure) << error.what();
        EXPECT_STREQ(error.what(), EGifException::messageFor(failure));
    }
}

GifParts partsFor(int width, int height, int minCodeSize, const std::string& codes)
{
    GifParts parts;
    parts.width = width;
    parts.height = height;
    parts.minCodeSize = minCodeSize;
    parts.globalTable = greyTable(std::min(256, 1 << minCodeSize));
    parts.codes = codes;
    return parts;
}

std::string gifOf(int width, int height, const std::vector<std::uint8_t>& pixels, int minCodeSize = 8)
{
    return buildGif(partsFor(width, height, minCodeSize, lzwEncode(pixels, minCodeSize)));
}

std::vector<std::uint8_t> pixelsOf(const std::string& gif, const iradudo::DecodeContext& context = {})
{
    return readHandOff(decodeToBitmap(gif, context)).pixels;
}

std::vector<std::uint8_t> randomPixels(std::mt19937& random, std::size_t count, int colours)
{
    // Runs of repeated pixels as well as noise, so that strings grow long.
    std::vector<std::uint8_t> pixels;
    std::uniform_int_distribution<int> colour(0, colours - 1), run(1, 40), kind(0, 3);
    while (pixels.size() < count) {
        const auto value = static_cast<std::uint8_t>(colour(random));
        const int repeat = kind(random) == 0 ? run(random) : 1;
        for (int i = 0; i < repeat && pixels.size() < count; ++i)
            pixels.push_back(value);
    }
    return pixels;
}

// Counts the rows a decode reports through its progress.
struct RowCounter {
    int rows = 0;
    iradudo::DecodeProgress progress{[this](iradudo::DecodeProgress&) { ++rows; }};
    iradudo::DecodeContext context{{}, &progress};
};

}  // namespace

TEST(GifMessages, TenFixedTextsByCode)
{
    const struct {
        GifFailure failure;
        int code;
        const char* message;
    } table[] = {
        {GifFailure::NoSource, 1, "GIF file not found"},
        {GifFailure::NotAGif, 2, "Not a GIF file"},
        {GifFailure::MissingColorTable, 3, "Missing color table"},
        {GifFailure::BadData, 4, "Bad data"},
        {GifFailure::NoData, 5, "No data"},
        {GifFailure::UnexpectedEof, 6, "Unexpected EOF"},
        {GifFailure::BadCodeSize, 7, "Bad code size"},
        {GifFailure::BadCode, 8, "Bad code"},
        {GifFailure::BadBitSize, 9, "Bad bit size"},
        {GifFailure::BadBitmap, 10, "Bad bitmap"},
    };
    for (const auto& row : table) {
        const EGifException error(row.failure);
        EXPECT_STREQ(error.what(), row.message);
        EXPECT_EQ(error.code(), row.code);
        EXPECT_EQ(error.failure(), row.failure);
    }
    const Exception& base = EGifException(GifFailure::BadCode);
    EXPECT_STREQ(base.what(), "Bad code");
}

TEST(GifHeader, NoSourceStream)
{
    TGif decoder;
    try {
        decoder.Load(nullptr);
        FAIL() << "loaded without a stream";
    } catch (const EGifException& error) {
        EXPECT_EQ(error.failure(), GifFailure::NoSource);
    }
}

TEST(GifHeader, SignatureIsCaseSensitiveAndTheVersionIsNotExamined)
{
    const std::vector<std::uint8_t> pixels{1, 2, 3, 0};
    GifParts parts = partsFor(2, 2, 2, lzwEncode(pixels, 2));
    for (const char* signature : {"GIF87a", "GIF89a", "GIFxyz"}) {
        parts.signature = signature;
        EXPECT_EQ(pixelsOf(buildGif(parts)), pixels) << signature;
    }
    parts.signature = "gif89a";
    expectGifError(buildGif(parts), GifFailure::NotAGif);
    parts.signature = "GIG89a";
    expectGifError(buildGif(parts), GifFailure::NotAGif);
    expectGifError("BM\x36\0\0\0\0\0\0\0", GifFailure::NotAGif);
    expectGifError("PK", GifFailure::NotAGif);
}

TEST(GifHeader, ShortFilesFailAtTheReadThatComesUpShort)
{
    expectGifError("", GifFailure::UnexpectedEof);
    expectGifError("GI", GifFailure::UnexpectedEof);
    expectGifError("GIF89", GifFailure::UnexpectedEof);
    expectGifError(std::string("GIF89a\x02\0\x02\0\x80", 11), GifFailure::UnexpectedEof);  // screen descriptor cut
    expectGifError(std::string("GIF89a\x02\0\x02\0\x80\0\0\0\0\0", 16), GifFailure::UnexpectedEof);  // colour table cut
}

TEST(GifHeader, EveryTruncationOfAPictureFailsWithUnexpectedEof)
{
    std::mt19937 random(7);
    const std::vector<std::uint8_t> pixels = randomPixels(random, 30 * 20, 16);
    GifParts parts = partsFor(30, 20, 4, lzwEncode(pixels, 4));
    parts.localTable = greyTable(16);
    parts.blockSize = 40;
    const std::string gif = buildGif(parts);
    const std::size_t dataEnd = gif.size() - 2;  // block terminator and trailer follow the data
    for (std::size_t cut = 0; cut < gif.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        if (cut < dataEnd)
            expectGifError(gif.substr(0, cut), GifFailure::UnexpectedEof);
        else
            EXPECT_EQ(pixelsOf(gif.substr(0, cut)), pixels);
    }
}

TEST(GifHeader, GlobalColourTableIsRequired)
{
    GifParts parts = partsFor(2, 1, 2, lzwEncode({0, 1}, 2));
    parts.hasGlobalTable = false;
    parts.localTable = greyTable(4);
    expectGifError(buildGif(parts), GifFailure::MissingColorTable);
}

TEST(GifHeader, OnlyAnImageDescriptorMayFollowTheColourTable)
{
    GifParts parts = partsFor(2, 1, 2, lzwEncode({0, 1}, 2));
    parts.signature = "GIF89a";
    parts.betweenTableAndImage = std::string("\x21\xF9\x04\x00\x00\x00\x00\x00", 8);  // graphic control
    expectGifError(buildGif(parts), GifFailure::BadData);
    parts.betweenTableAndImage.clear();
    EXPECT_EQ(pixelsOf(buildGif(parts)), (std::vector<std::uint8_t>{0, 1}));

    // A trailer straight after the table, even when the file then ends.
    std::string noImage = buildGif(parts);
    noImage.resize(6 + 7 + 12);
    expectGifError(noImage + ";", GifFailure::BadData);
}

TEST(GifHeader, MinimumCodeSizeFrom2To9)
{
    for (int size : {0, 1, 10, 12, 255}) {
        GifParts parts = partsFor(1, 1, 2, lzwEncode({0}, 2));
        parts.minCodeSize = size;
        expectGifError(buildGif(parts), GifFailure::BadCodeSize);
    }
    for (int size = 2; size <= 8; ++size) {
        std::vector<std::uint8_t> pixels;
        for (int i = 0; i < 64; ++i)
            pixels.push_back(static_cast<std::uint8_t>((i * 5) % (1 << size)));
        EXPECT_EQ(pixelsOf(gifOf(8, 8, pixels, size)), pixels) << "minimum code size " << size;
    }
}

TEST(GifHeader, MinimumCodeSize9ReadsTenBitCodesAndKeepsTheLowEightBitsOfRoots)
{
    CodeStream codes(9);
    EXPECT_EQ(codes.width(), 10);
    codes.clear();
    codes.code(300);  // 300 & 0xFF = 44
    codes.code(511);
    codes.code(7);
    codes.code(515);  // the entry 511,7, added with the code 7
    codes.end();
    EXPECT_EQ(pixelsOf(buildGif(partsFor(5, 1, 9, codes.bytes()))), (std::vector<std::uint8_t>{44, 255, 7, 255, 7}));
}

TEST(GifHeader, ImageSizeMustBeFromOnePixelToSixtyFourMillion)
{
    const std::string codes = lzwEncode({0}, 2);
    for (auto [width, height] : {std::pair{0, 1}, {1, 0}, {0, 0}, {8001, 8000}, {65535, 65535}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        expectGifError(buildGif(partsFor(width, height, 2, codes)), GifFailure::BadBitmap);
    }
    // Exactly 64 million pixels passes the check; the code size then fails.
    GifParts parts = partsFor(16000, 4000, 2, codes);
    parts.minCodeSize = 1;
    expectGifError(buildGif(parts), GifFailure::BadCodeSize);
}

TEST(GifHeader, SizeIsCheckedBeforeTheImageDataIsRead)
{
    std::string gif = buildGif(partsFor(0, 5, 2, lzwEncode({0}, 2)));
    gif.resize(6 + 7 + 12 + 10);  // nothing after the image descriptor
    expectGifError(gif, GifFailure::BadBitmap);
}

TEST(GifCodes, StreamMustBeginWithAClearCode)
{
    for (int first : {0, 1, 3, 5, 6, 7}) {
        CodeStream codes(2);
        codes.raw(first, 3);
        codes.code(1);
        codes.end();
        SCOPED_TRACE("first code " + std::to_string(first));
        expectGifError(buildGif(partsFor(2, 1, 2, codes.bytes())), GifFailure::BadCode);
    }
}

TEST(GifCodes, ClearCodeFollowedByEndCodeIsBad)
{
    CodeStream codes(2);
    codes.clear();
    codes.clear();
    codes.end();
    expectGifError(buildGif(partsFor(1, 1, 2, codes.bytes())), GifFailure::BadCode);

    CodeStream later(2);
    later.clear();
    later.code(1);
    later.code(2);
    later.clear();
    later.end();
    expectGifError(buildGif(partsFor(2, 1, 2, later.bytes())), GifFailure::BadCode);
}

TEST(GifCodes, RunOfClearCodesActsAsOne)
{
    CodeStream codes(2);
    codes.clear();
    codes.clear();
    codes.clear();
    codes.code(3);
    codes.code(2);
    codes.code(6);  // 3,2
    codes.clear();
    codes.clear();
    codes.code(1);
    codes.end();
    EXPECT_EQ(pixelsOf(buildGif(partsFor(5, 1, 2, codes.bytes()))), (std::vector<std::uint8_t>{3, 2, 3, 2, 1}));
}

TEST(GifCodes, FirstCodeAfterClearAboveTheEndCodeIsPixelZero)
{
    for (int first : {6, 7}) {
        CodeStream codes(2);
        codes.clear();
        codes.code(first);
        codes.code(1);
        codes.code(6);  // the entry 0,1
        codes.end();
        EXPECT_EQ(pixelsOf(buildGif(partsFor(4, 1, 2, codes.bytes()))), (std::vector<std::uint8_t>{0, 1, 0, 1}));
    }
}

TEST(GifCodes, CodeEqualToTheNextFreeCodeRepeatsTheFirstPixel)
{
    CodeStream codes(2);
    codes.clear();
    codes.code(2);
    codes.code(6);  // 2,2
    codes.code(7);  // 2,2,2; the code width grows to 4 bits here
    codes.code(1);
    codes.code(9);  // 1 followed by its own first pixel
    codes.end();
    EXPECT_EQ(
        pixelsOf(buildGif(partsFor(9, 1, 2, codes.bytes()))), (std::vector<std::uint8_t>{2, 2, 2, 2, 2, 2, 1, 1, 1}));
}

TEST(GifCodes, CodeAboveTheNextFreeCodeIsBad)
{
    CodeStream codes(2);
    codes.clear();
    codes.code(1);
    codes.code(7);  // next free is 6
    codes.end();
    expectGifError(buildGif(partsFor(4, 1, 2, codes.bytes())), GifFailure::BadCode);
}

namespace {

// Roots until the last one has added code 4095; returns how many pixels they make.
int fillTable(CodeStream& codes)
{
    int pixels = 0;
    codes.clear();
    while (codes.nextFree() < 4096) {
        codes.code(pixels % 3);
        ++pixels;
    }
    return pixels;
}

}  // namespace

TEST(GifCodes, FullTableAdmitsOnlyAClearCode)
{
    {
        CodeStream codes(2);
        const int count = fillTable(codes);
        EXPECT_EQ(codes.width(), 12);
        codes.end();
        expectGifError(buildGif(partsFor(count, 1, 2, codes.bytes())), GifFailure::BadBitSize);
    }
    {
        CodeStream codes(2);
        const int count = fillTable(codes);
        codes.code(7);  // an old entry, but the table is full
        codes.end();
        expectGifError(buildGif(partsFor(count + 2, 1, 2, codes.bytes())), GifFailure::BadBitSize);
    }
    {
        CodeStream codes(2);
        const int count = fillTable(codes);
        codes.clear();
        codes.code(3);
        codes.code(3);
        codes.code(6);  // 3,3 from the fresh table
        codes.end();
        std::vector<std::uint8_t> expected;
        for (int i = 0; i < count; ++i)
            expected.push_back(static_cast<std::uint8_t>(i % 3));
        expected.insert(expected.end(), {3, 3, 3, 3});
        EXPECT_EQ(pixelsOf(buildGif(partsFor(count + 4, 1, 2, codes.bytes()))), expected);
    }
}

TEST(GifCodes, CodesWidenUpTo12Bits)
{
    // A long noisy picture runs through every width and several clear codes.
    std::mt19937 random(11);
    const std::vector<std::uint8_t> pixels = randomPixels(random, 200 * 150, 256);
    EXPECT_EQ(pixelsOf(gifOf(200, 150, pixels)), pixels);
}

TEST(GifCodes, BlockTerminatorBeforeTheEndCodeIsNoData)
{
    CodeStream codes(2);
    codes.clear();
    codes.code(1);
    codes.code(2);
    codes.code(1);
    GifParts parts = partsFor(4, 1, 2, codes.bytes());
    expectGifError(buildGif(parts), GifFailure::NoData);
    parts.blockTerminator = false;
    parts.tail.clear();
    expectGifError(buildGif(parts), GifFailure::UnexpectedEof);
}

TEST(GifCodes, SubBlocksOfAnySizeCarryTheCodes)
{
    std::mt19937 random(3);
    const std::vector<std::uint8_t> pixels = randomPixels(random, 64 * 33, 32);
    GifParts parts = partsFor(64, 33, 5, lzwEncode(pixels, 5));
    for (int blockSize : {1, 2, 3, 7, 8, 9, 100, 254, 255}) {
        parts.blockSize = blockSize;
        EXPECT_EQ(pixelsOf(buildGif(parts)), pixels) << "sub-blocks of " << blockSize;
    }
}

TEST(GifCodes, NothingIsReadAfterTheEndCode)
{
    GifParts parts = partsFor(2, 2, 2, lzwEncode({1, 2, 3, 0}, 2));
    parts.blockTerminator = false;
    parts.tail = "rest of the file";
    const std::string gif = buildGif(parts);
    std::istringstream in(gif);
    TGif decoder;
    decoder.Load(&in);
    EXPECT_EQ(static_cast<std::size_t>(in.tellg()), gif.size() - parts.tail.size());
}

TEST(GifRows, ExtraRowsAreIgnoredAndAFinalPartialRowIsDropped)
{
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < 4 * 5 + 3; ++i)
        pixels.push_back(static_cast<std::uint8_t>(1 + i % 7));
    const std::vector<std::uint8_t> firstRows(pixels.begin(), pixels.begin() + 4 * 3);
    RowCounter hook;
    EXPECT_EQ(pixelsOf(gifOf(4, 3, pixels, 3), hook.context), firstRows);
    EXPECT_EQ(hook.rows, 5);

    hook.rows = 0;
    std::vector<std::uint8_t> expected(pixels.begin(), pixels.begin() + 4 * 2);
    expected.resize(4 * 3, 0);
    EXPECT_EQ(
        pixelsOf(gifOf(4, 3, std::vector<std::uint8_t>(pixels.begin(), pixels.begin() + 4 * 2 + 3), 3), hook.context),
        expected);
    EXPECT_EQ(hook.rows, 2);
}

TEST(GifRows, RowsThatNeverArriveAreIndexZero)
{
    const std::vector<std::uint8_t> pixels{5, 6, 7};
    const std::string bitmap = decodeToBitmap(gifOf(3, 4, pixels, 3));
    const Picture picture = readHandOff(bitmap);  // checks the size against the header
    EXPECT_EQ(picture.pixels, (std::vector<std::uint8_t>{5, 6, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // Rows long enough to be written one by one.
    std::vector<std::uint8_t> wide(1500 + 700, 9);
    std::vector<std::uint8_t> expected(1500 * 3, 0);
    std::fill(expected.begin(), expected.begin() + 1500, 9);
    EXPECT_EQ(readHandOff(decodeToBitmap(gifOf(1500, 3, wide, 4))).pixels, expected);
}

TEST(GifRows, InterlacedHeight3PlacesRowsAt0Then2Then1)
{
    GifParts parts = partsFor(2, 3, 2, lzwEncode({1, 1, 2, 2, 3, 3}, 2));
    parts.interlaced = true;
    EXPECT_EQ(pixelsOf(buildGif(parts)), (std::vector<std::uint8_t>{1, 1, 3, 3, 2, 2}));
}

TEST(GifRows, InterlacedPassesMatchAnIndependentDecoder)
{
    std::mt19937 random(5);
    for (int height : {1, 2, 3, 4, 5, 7, 8, 9, 13, 16, 17, 29}) {
        SCOPED_TRACE("height " + std::to_string(height));
        const std::vector<std::uint8_t> pixels = randomPixels(random, 7 * height, 16);
        GifParts parts = partsFor(7, height, 4, lzwEncode(pixels, 4));
        parts.interlaced = true;
        const std::string gif = buildGif(parts);
        EXPECT_EQ(pixelsOf(gif), decodeWithGiflib(gif).pixels);
    }
}

TEST(GifRows, InterlacedRowsBeyondTheLastPassAreIgnored)
{
    // Height 2: passes put rows 0 and 1; the rows after them count on past the image.
    GifParts parts = partsFor(2, 2, 2, lzwEncode({1, 1, 2, 2, 3, 3, 0, 3}, 2));
    parts.interlaced = true;
    RowCounter hook;
    EXPECT_EQ(pixelsOf(buildGif(parts), hook.context), (std::vector<std::uint8_t>{1, 1, 2, 2}));
    EXPECT_EQ(hook.rows, 4);
}

TEST(GifRows, InterlacedRowsThatNeverArriveAreIndexZero)
{
    // Height 5 delivers rows 0, 4, 2, 1, 3; only the first three arrive.
    GifParts parts = partsFor(1, 5, 2, lzwEncode({1, 2, 3}, 2));
    parts.interlaced = true;
    EXPECT_EQ(pixelsOf(buildGif(parts)), (std::vector<std::uint8_t>{1, 0, 3, 0, 2}));
}

TEST(GifProgress, EveryCompletedRowIsReported)
{
    RowCounter hook;
    std::vector<std::uint8_t> pixels(37 * 19, 4);
    pixelsOf(gifOf(37, 19, pixels, 3), hook.context);
    EXPECT_EQ(hook.rows, 19);
    EXPECT_EQ(hook.progress.done(), 19);
    EXPECT_EQ(hook.progress.total(), 19);
    EXPECT_EQ(hook.progress.percent(), 100);
}

TEST(GifProgress, ACancelStopsTheDecodeAtTheNextRowAndLeavesNoPicture)
{
    std::vector<std::uint8_t> pixels(37 * 19, 4);
    const std::string gif = gifOf(37, 19, pixels, 3);
    for (const int cancelAt : {1, 5, 19}) {
        SCOPED_TRACE(cancelAt);
        int reports = 0;
        iradudo::DecodeProgress progress([&](iradudo::DecodeProgress& self) {
            if (++reports == cancelAt)
                self.cancel();
        });
        TGif decoder({{}, &progress});
        std::istringstream in(gif);
        EXPECT_THROW(decoder.Load(&in), iradudo::EDecodeCancelled);
        EXPECT_EQ(reports, cancelAt);
        EXPECT_EQ(progress.done(), cancelAt);
        EXPECT_EQ(decoder.width(), 0);
        EXPECT_EQ(decoder.height(), 0);
    }

    // Cancelled before it starts (from another thread, say): not one row more.
    iradudo::DecodeProgress early;
    early.cancel();
    TGif decoder({{}, &early});
    std::istringstream in(gif);
    EXPECT_THROW(decoder.Load(&in), iradudo::EDecodeCancelled);
    EXPECT_EQ(early.done(), 1);
}

TEST(GifLimits, TheContextsPixelLimitRefusesOnlyWhatIsOverIt)
{
    const struct {
        int width, height;
        std::int64_t limit;
        bool accepted;
    } table[] = {
        {10, 10, 100, true},
        {101, 1, 100, false},
        {1, 101, 100, false},
        {25, 4, 100, true},
        {300, 200, 60'000, true},
        {300, 201, 60'000, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
        iradudo::DecodeContext context;
        context.limits.gifPixels = row.limit;
        const std::string gif
            = gifOf(row.width, row.height, std::vector<std::uint8_t>(std::size_t(row.width) * row.height, 2), 3);
        if (row.accepted) {
            EXPECT_EQ(pixelsOf(gif, context).size(), std::size_t(row.width) * row.height);
        } else {
            try {
                pixelsOf(gif, context);
                ADD_FAILURE() << "accepted";
            } catch (const EGifException& error) {
                EXPECT_STREQ(error.what(), "Bad bitmap");
            }
        }
    }
}

TEST(GifRows, WidthsBeyond2049Decode)
{
    std::mt19937 random(9);
    for (int width : {2049, 2050, 3000, 9000}) {
        const std::vector<std::uint8_t> pixels = randomPixels(random, static_cast<std::size_t>(width) * 3, 200);
        EXPECT_EQ(pixelsOf(gifOf(width, 3, pixels)), pixels) << "width " << width;
    }
}

TEST(GifRows, RandomPicturesRoundTrip)
{
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> size(1, 90), codeSize(2, 8);
    for (int round = 0; round < 60; ++round) {
        const int width = size(random), height = size(random), m = codeSize(random);
        const std::vector<std::uint8_t> pixels = randomPixels(random, static_cast<std::size_t>(width) * height, 1 << m);
        const std::string gif = gifOf(width, height, pixels, m);
        ASSERT_EQ(pixelsOf(gif), pixels) << width << " x " << height << ", code size " << m;
        ASSERT_EQ(decodeWithGiflib(gif).pixels, pixels);
    }
}

TEST(GifImage, OnlyTheFirstImageCounts)
{
    CodeStream second(2);
    second.clear();
    second.code(3);
    second.code(3);
    second.end();
    GifParts parts = partsFor(2, 1, 2, lzwEncode({1, 2}, 2));
    parts.tail = std::string(",\0\0\0\0\x02\0\x01\0\0\x02", 11) + char(second.bytes().size()) + second.bytes()
        + std::string("\0;", 2);
    EXPECT_EQ(pixelsOf(buildGif(parts)), (std::vector<std::uint8_t>{1, 2}));
}

TEST(GifImage, BitmapHasTheImageDescriptorsSize)
{
    GifParts parts = partsFor(3, 2, 2, lzwEncode({0, 1, 2, 3, 2, 1}, 2));
    parts.screenWidth = 40;
    parts.screenHeight = 30;
    const Picture picture = readHandOff(decodeToBitmap(buildGif(parts)));
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
}

TEST(GifImage, PaletteFromTheColourTablePaddedWithBlack)
{
    GifParts parts = partsFor(2, 1, 2, lzwEncode({0, 1}, 2));
    parts.globalTable = {{10, 20, 30}, {40, 50, 60}};
    const Picture picture = readHandOff(decodeToBitmap(buildGif(parts)));
    EXPECT_EQ(picture.palette[0], (Rgb{10, 20, 30}));
    EXPECT_EQ(picture.palette[1], (Rgb{40, 50, 60}));
    for (int i = 2; i < 256; ++i)
        EXPECT_EQ(picture.palette[i], (Rgb{0, 0, 0})) << i;
}

TEST(GifImage, LocalColourTableReplacesTheGlobalOne)
{
    GifParts parts = partsFor(2, 1, 2, lzwEncode({0, 3}, 2));
    parts.globalTable = greyTable(256);
    parts.localTable = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    const Picture picture = readHandOff(decodeToBitmap(buildGif(parts)));
    EXPECT_EQ(picture.palette[3], (Rgb{10, 11, 12}));
    EXPECT_EQ(picture.palette[4], (Rgb{0, 0, 0}));
    EXPECT_EQ(picture.palette[255], (Rgb{0, 0, 0}));
    EXPECT_EQ(picture.pixels, (std::vector<std::uint8_t>{0, 3}));
}

TEST(GifImage, PixelValuesBeyondTheColourTableStayAsTheyAre)
{
    GifParts parts = partsFor(3, 1, 4, lzwEncode({9, 15, 1}, 4));
    parts.globalTable = greyTable(2);
    EXPECT_EQ(pixelsOf(buildGif(parts)), (std::vector<std::uint8_t>{9, 15, 1}));
}

TEST(GifHandOff, ExactBytesOfAOnePixelWidePicture)
{
    GifParts parts = partsFor(1, 2, 2, lzwEncode({1, 3}, 2));
    parts.globalTable = {{0xAA, 0xBB, 0xCC}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    const std::string bitmap = decodeToBitmap(buildGif(parts));

    std::string expected("BM", 2);
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const auto u16 = [&](std::uint16_t v) {
        expected += static_cast<char>(v & 0xFF);
        expected += static_cast<char>(v >> 8);
    };
    u32(1078 + 4 * 2);
    u16(0);
    u16(0);
    u32(1078);
    u32(40);
    u32(1);  // width
    u32(2);  // height, positive: bottom-up
    u16(1);
    u16(8);
    u32(0);
    u32(0);
    u32(143);
    u32(143);
    u32(0);
    u32(0);
    expected += std::string("\xCC\xBB\xAA\0\x03\x02\x01\0\x06\x05\x04\0\x09\x08\x07\0", 16);
    expected += std::string(252 * 4, '\0');
    expected += std::string("\x03\0\0\0\x01\0\0\0", 8);  // bottom row first, three padding bytes each
    EXPECT_EQ(bitmap, expected);
}

TEST(GifHandOff, WrittenFromPositionZeroAndRewound)
{
    const std::string gif = gifOf(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 4);
    std::istringstream in("some bytes before the picture" + gif);
    in.seekg(29);
    TGif decoder;
    decoder.Load(&in);
    EXPECT_EQ(decoder.width(), 3);
    EXPECT_EQ(decoder.height(), 3);

    std::stringstream out;
    out << "stale content of the stream";
    decoder.WriteBitmap(out);
    EXPECT_EQ(out.tellg(), 0);
    EXPECT_EQ(out.tellp(), 0);
    const std::string bytes = out.str();
    EXPECT_EQ(readHandOff(bytes).pixels, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));

    std::stringstream again;
    decoder.WriteBitmap(again);
    EXPECT_EQ(again.str(), bytes);
}

TEST(GifHandOff, EmptyBeforeALoad)
{
    TGif decoder;
    std::stringstream out;
    decoder.WriteBitmap(out);
    const Picture picture = readHandOff(out.str());
    EXPECT_EQ(picture.width, 0);
    EXPECT_EQ(picture.height, 0);
}

TEST(GifHandOff, NothingRemainsOfAFailedLoad)
{
    CodeStream codes(2);
    codes.clear();
    codes.code(1);
    codes.code(2);
    codes.code(3);
    codes.code(7);  // bad after a complete row
    TGif decoder;
    std::istringstream in(buildGif(partsFor(3, 2, 2, codes.bytes())));
    EXPECT_THROW(decoder.Load(&in), EGifException);
    std::stringstream out;
    decoder.WriteBitmap(out);
    EXPECT_EQ(readHandOff(out.str()).height, 0);
}
