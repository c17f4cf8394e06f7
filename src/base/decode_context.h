// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/exception.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>

namespace iradudo {

// The most pixels a GIF may claim. The decoder keeps one byte per pixel and the
// picture another, so 64 million stay near 128 MB; a header claiming the format's
// 65535 x 65535 (4.3 billion) is damage, not a picture from a magazine disc.
inline constexpr std::int64_t kGifMaxPixels = 64'000'000;

// The most pixels a Windows bitmap may claim: 64 Mi pixels at 32 bits are the
// 256 MiB a picture file may have at most (kMaxPictureFileSize), so no honest
// bitmap file is refused, and none can make the reader allocate beyond that.
inline constexpr std::int64_t kBmpMaxPixels = std::int64_t(64) << 20;

// The most pixels a JPEG may decode to: 8192 x 8192 decodes in about half a
// second here, and a picture much larger than any screen of the discs' era is
// more likely a damaged or hostile header than a photograph worth the wait.
inline constexpr std::int64_t kJpegMaxPixels = std::int64_t(8192) * 8192;

// What one picture load may cost, per format. A load that needs a smaller budget
// (a test, a thumbnail) passes its own; nothing reads the defaults behind its back.
struct DecodeLimits {
    std::int64_t gifPixels = kGifMaxPixels;
    std::int64_t bmpPixels = kBmpMaxPixels;
    std::int64_t jpegPixels = kJpegMaxPixels;
};

// A decode given up by whoever started it (a newer load, a closed window). It is
// never shown: the caller that cancels is the one that catches it.
class EDecodeCancelled : public Exception {
public:
    EDecodeCancelled() : Exception("Decode cancelled") { }
};

// One load's progress and its cancel flag. The decoder reports how far it is;
// the listener (the viewer's) sees each report and may cancel. cancel() may also
// come from another thread: the decoder stops at its next report.
class DecodeProgress {
public:
    using Listener = std::function<void(DecodeProgress&)>;

    DecodeProgress() = default;
    explicit DecodeProgress(Listener listener) : listener_(std::move(listener)) { }
    DecodeProgress(const DecodeProgress&) = delete;
    DecodeProgress& operator=(const DecodeProgress&) = delete;

    void cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const noexcept { return cancelled_.load(std::memory_order_relaxed); }

    // `done` of `total` units; tells the listener, then throws EDecodeCancelled
    // when the load has been cancelled (by the listener or before).
    void advance(std::int64_t done, std::int64_t total)
    {
        done_.store(done, std::memory_order_relaxed);
        total_.store(total, std::memory_order_relaxed);
        if (listener_)
            listener_(*this);
        if (cancelled())
            throw EDecodeCancelled();
    }

    std::int64_t done() const noexcept { return done_.load(std::memory_order_relaxed); }
    std::int64_t total() const noexcept { return total_.load(std::memory_order_relaxed); }
    // 0 to 100; 0 before the first report.
    int percent() const noexcept
    {
        const std::int64_t all = total();
        return all > 0 ? int(std::min<std::int64_t>(done(), all) * 100 / all) : 0;
    }

private:
    Listener listener_;
    std::atomic<bool> cancelled_{false};
    std::atomic<std::int64_t> done_{0};
    std::atomic<std::int64_t> total_{0};
};

// What a decoder is given besides the bytes: its limits and, for a load someone
// watches, that load's progress (not owned; it outlives the decode).
struct DecodeContext {
    DecodeLimits limits;
    DecodeProgress* progress = nullptr;

    void advance(std::int64_t done, std::int64_t total) const
    {
        if (progress)
            progress->advance(done, total);
    }
};

}  // namespace iradudo
