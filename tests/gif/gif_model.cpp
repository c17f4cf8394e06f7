// SPDX-License-Identifier: GPL-3.0-or-later
#include "gif_model.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace iradudo::test {
namespace {

using iradudo::GifFailure;

struct Failure {
    GifFailure code;
};

struct TooLarge { };

// Walking out of a table is a fault of the algorithm, not of the input.
void check(bool inBounds)
{
    if (!inBounds)
        throw std::logic_error("model: table index out of bounds");
}

class Model {
public:
    Model(const std::string& data, std::size_t workLimit) : data_(data), workLimit_(workLimit) { }

    std::string run()
    {
        readHeader();
        decodeImage();
        return writeBitmap();
    }

private:
    struct Row {
        std::vector<std::uint8_t> pixels;
        long long number;
    };

    std::size_t readSome(std::uint8_t* to, std::size_t count)
    {
        const std::size_t n = std::min(count, data_.size() - position_);
        std::memcpy(to, data_.data() + position_, n);
        position_ += n;
        return n;
    }

    void readExact(std::uint8_t* to, std::size_t count)
    {
        if (readSome(to, count) != count)
            throw Failure{GifFailure::UnexpectedEof};
    }

    void readHeader()
    {
        std::uint8_t header[6];
        const std::size_t got = readSome(header, 6);
        for (std::size_t i = 0; i < std::min<std::size_t>(got, 3); ++i)
            if (header[i] != "GIF"[i])
                throw Failure{GifFailure::NotAGif};
        if (got != 6)
            throw Failure{GifFailure::UnexpectedEof};
        std::uint8_t screen[7];
        readExact(screen, 7);
        if (!(screen[4] & 0x80))
            throw Failure{GifFailure::MissingColorTable};
        globalSize_ = 1 << ((screen[4] & 7) + 1);
        readExact(global_, 3 * globalSize_);
        std::uint8_t descriptor[10];
        const std::size_t descriptorGot = readSome(descriptor, 10);
        if (descriptorGot > 0 && descriptor[0] != 0x2C)
            throw Failure{GifFailure::BadData};
        if (descriptorGot != 10)
            throw Failure{GifFailure::UnexpectedEof};
        width_ = descriptor[5] + 256 * descriptor[6];
        height_ = descriptor[7] + 256 * descriptor[8];
        if (descriptor[9] & 0x80) {
            hasLocal_ = true;
            localSize_ = 1 << ((descriptor[9] & 7) + 1);
            readExact(local_, 3 * localSize_);
        }
        if (descriptor[9] & 0x40) {
            interlaced_ = true;
            pass_ = 0;
        }
        if (width_ == 0 || height_ == 0 || static_cast<long long>(width_) * height_ > 64'000'000)
            throw Failure{GifFailure::BadBitmap};
        if (static_cast<std::size_t>(width_) * height_ > workLimit_)
            throw TooLarge{};
        rowBuffer_.assign(width_, 0);
    }

    void initDecoder()
    {
        std::uint8_t m;
        readExact(&m, 1);
        if (m < 2 || m > 9)
            throw Failure{GifFailure::BadCodeSize};
        minCodeSize_ = m;
        codeSize_ = m + 1;
        clearCode_ = 1 << m;
        endCode_ = clearCode_ + 1;
        highestRoot_ = clearCode_ - 1;
        bitsLeft_ = 0;
        bytesLeft_ = 0;
        rowNumber_ = 0;
    }

    void readBlock()
    {
        std::uint8_t n;
        readExact(&n, 1);
        if (n == 0)
            throw Failure{GifFailure::NoData};
        readExact(block_ + 1, n);
        blockIndex_ = 1;
        bytesLeft_ = n;
    }

    int readCode()
    {
        static const int masks[] = {0, 1, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095};
        if (bitsLeft_ == 0) {
            if (bytesLeft_ <= 0)
                readBlock();
            currentByte_ = block_[blockIndex_++];
            bitsLeft_ = 8;
            --bytesLeft_;
        }
        std::uint16_t value = currentByte_ >> (8 - bitsLeft_);
        while (codeSize_ > bitsLeft_) {
            if (bytesLeft_ <= 0)
                readBlock();
            currentByte_ = block_[blockIndex_++];
            value = static_cast<std::uint16_t>(value | currentByte_ << bitsLeft_);
            bitsLeft_ += 8;
            --bytesLeft_;
        }
        bitsLeft_ -= codeSize_;
        check(codeSize_ >= 0 && codeSize_ <= 12);
        return value & masks[codeSize_];
    }

    void push(int pixel)
    {
        check(stackSize_ < 4096);
        stack_[stackSize_++] = static_cast<std::uint8_t>(pixel);
    }

    int pushString(int code)
    {
        while (code > highestRoot_) {
            check(code < 4096);
            push(suffix_[code]);
            code = prefix_[code];
        }
        push(code);
        return code;
    }

    void widen()
    {
        if (nextFree_ >= codeLimit_) {
            if (codeSize_ < 12) {
                codeLimit_ *= 2;
                ++codeSize_;
            } else {
                tableFull_ = true;
            }
        }
    }

    void addEntry(int firstPixel)
    {
        check(nextFree_ < 4096);
        suffix_[nextFree_] = firstPixel;
        prefix_[nextFree_] = previous_;
        ++nextFree_;
    }

    void decodeImage()
    {
        initDecoder();
        int code = readCode();
        if (code != clearCode_)
            throw Failure{GifFailure::BadCode};
        int x = 0;
        int left = width_;
        while (code != endCode_) {
            if (code == clearCode_) {
                codeSize_ = minCodeSize_ + 1;
                nextFree_ = endCode_ + 1;
                codeLimit_ = 1 << codeSize_;
                do
                    code = readCode();
                while (code == clearCode_);
                if (code == endCode_)
                    throw Failure{GifFailure::BadCode};
                if (code >= nextFree_)
                    code = 0;
                previous_ = code;
                push(code);
            } else if (code < nextFree_) {
                const int first = pushString(code);
                if (nextFree_ <= codeLimit_) {
                    addEntry(first);
                    previous_ = code;
                }
                widen();
            } else if (code == nextFree_) {
                int first = previous_;
                while (first > highestRoot_)
                    first = prefix_[first];
                if (nextFree_ <= codeLimit_)
                    addEntry(first);
                widen();
                pushString(code);
                previous_ = code;
            } else {
                throw Failure{GifFailure::BadCode};
            }
            while (stackSize_ > 0) {
                rowBuffer_[x++] = stack_[--stackSize_];
                if (--left == 0) {
                    storeRow();
                    x = 0;
                    left = width_;
                }
            }
            code = readCode();
            if (tableFull_ && code != clearCode_)
                throw Failure{GifFailure::BadBitSize};
            tableFull_ = false;
        }
    }

    void storeRow()
    {
        work_ += width_;
        if (work_ > workLimit_)
            throw TooLarge{};
        rows_.push_back({rowBuffer_, rowNumber_});
        if (!interlaced_ || pass_ > 3) {
            ++rowNumber_;
            return;
        }
        static const int step[] = {8, 8, 4, 2};
        static const int start[] = {0, 4, 2, 1};
        rowNumber_ += step[pass_];
        if (rowNumber_ >= height_) {
            ++pass_;
            while (pass_ <= 3 && start[pass_] >= height_)
                ++pass_;
            if (pass_ <= 3)
                rowNumber_ = start[pass_];
        }
    }

    std::string writeBitmap()
    {
        const int padded = (width_ + 3) / 4 * 4;
        std::string out;
        auto u16 = [&](unsigned v) {
            out += static_cast<char>(v & 0xFF);
            out += static_cast<char>((v >> 8) & 0xFF);
        };
        auto u32 = [&](unsigned v) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        };
        out += "BM";
        u32(1078 + padded * height_);
        u16(0);
        u16(0);
        u32(1078);
        u32(40);
        u32(width_);
        u32(height_);
        u16(1);
        u16(8);
        u32(0);
        u32(0);
        u32(143);
        u32(143);
        u32(0);
        u32(0);
        const std::uint8_t* table = hasLocal_ ? local_ : global_;
        const int entries = hasLocal_ ? localSize_ : globalSize_;
        for (int i = 0; i < 256; ++i) {
            for (int c : {2, 1, 0})
                out += static_cast<char>(i < entries ? table[3 * i + c] : 0);
            out += '\0';
        }
        for (int row = height_ - 1; row >= 0; --row) {
            const Row* found = nullptr;
            for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
                if (it->number == row) {
                    found = &*it;
                    break;
                }
            }
            std::string line(padded, '\0');
            if (found != nullptr)
                std::memcpy(line.data(), found->pixels.data(), width_);
            out += line;
        }
        return out;
    }

    const std::string& data_;
    std::size_t position_ = 0;
    std::size_t workLimit_;
    std::size_t work_ = 0;

    int width_ = 0, height_ = 0;
    bool interlaced_ = false, hasLocal_ = false;
    int globalSize_ = 0, localSize_ = 0;
    std::uint8_t global_[768] = {}, local_[768] = {};
    int pass_ = 0;

    int minCodeSize_ = 0, codeSize_ = 0, clearCode_ = 0, endCode_ = 0, highestRoot_ = 0;
    int nextFree_ = 0, codeLimit_ = 0, previous_ = 0;
    bool tableFull_ = false;
    int bitsLeft_ = 0, bytesLeft_ = 0, blockIndex_ = 1;
    std::uint8_t currentByte_ = 0;
    std::uint8_t block_[257] = {};
    int prefix_[4096] = {}, suffix_[4096] = {};
    std::uint8_t stack_[4096] = {};
    int stackSize_ = 0;

    std::vector<std::uint8_t> rowBuffer_;
    long long rowNumber_ = 0;
    std::vector<Row> rows_;
};

}  // namespace

ModelResult modelDecode(const std::string& gif, std::size_t workLimit)
{
    ModelResult result;
    try {
        result.bitmap = Model(gif, workLimit).run();
    } catch (const Failure& failure) {
        result.error = failure.code;
    } catch (const TooLarge&) {
        result.tooLarge = true;
    }
    return result;
}

}  // namespace iradudo::test
