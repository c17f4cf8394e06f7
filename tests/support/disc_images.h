// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace iradudo::test {

// Runs a program without a shell, its output discarded; true when it exits with 0.
bool runQuietly(const std::vector<std::string>& arguments);

enum class Writer { RockRidgeAndJoliet, JolietOnly, PlainLevel1 };

// An ISO image of a tree made by xorriso; returns the image's path.
std::string makeImage(
    const std::filesystem::path& tree, const std::filesystem::path& image, Writer writer, const std::string& volumeId);

// The image as a CD image of raw Mode 1 sectors (sync, BCD address header, the
// data, EDC/ECC left zero) in binPath, with a one-track cue sheet naming it.
void makeRawCdImage(
    const std::filesystem::path& iso, const std::filesystem::path& binPath, const std::filesystem::path& cuePath);

enum class CdSectors { Mode1Raw, Mode2Form1Raw, Mode2Formless };

// The 2048-byte sectors of data as a CD stores them: 2352-byte raw sectors (sync,
// BCD address header from 00:02:00, a Form 1 subheader for Mode 2, EDC/ECC left
// zero), or 2336-byte Mode 2 sectors without sync and header.
std::string cdSectors(const std::string& data, CdSectors layout);

// Every 16-bit word with its two bytes exchanged, as a big-endian (MOTOROLA) file stores it.
std::string swappedPairs(std::string bytes);

// Bytes that differ from offset to offset, so misplaced reads show.
std::string pattern(std::size_t size, unsigned seed);

}  // namespace iradudo::test
