// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/disc_images.h"

#include "support/temp_dir.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace iradudo::test {

bool runQuietly(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string makeImage(
    const std::filesystem::path& tree, const std::filesystem::path& image, Writer writer, const std::string& volumeId)
{
    std::vector<std::string> arguments;
    switch (writer) {
    case Writer::RockRidgeAndJoliet:
        arguments = {"xorriso", "-as", "mkisofs", "-R", "-J", "-V", volumeId, "-o", image, tree};
        break;
    case Writer::JolietOnly:
        arguments = {"xorriso", "-rockridge", "off", "-joliet", "on", "-volid", volumeId, "-outdev", image, "-map",
            tree, "/", "-commit"};
        break;
    case Writer::PlainLevel1:
        arguments = {"xorriso", "-rockridge", "off", "-compliance", "iso_9660_level=1", "-volid", volumeId, "-outdev",
            image, "-map", tree, "/", "-commit"};
        break;
    }
    EXPECT_TRUE(runQuietly(arguments)) << "xorriso failed for " << image;
    return image.string();
}

void makeRawCdImage(
    const std::filesystem::path& iso, const std::filesystem::path& binPath, const std::filesystem::path& cuePath)
{
    const std::string data = readFile(iso);
    ASSERT_EQ(data.size() % 2048, 0u);
    const auto bcd = [](std::size_t value) { return static_cast<char>((value / 10) << 4 | value % 10); };
    std::string raw;
    raw.reserve(data.size() / 2048 * 2352);
    for (std::size_t sector = 0; sector < data.size() / 2048; ++sector) {
        const std::size_t address = sector + 150;  // the first track starts 2 seconds in
        raw += std::string(1, '\0') + std::string(10, '\xff') + std::string(1, '\0');
        raw += {bcd(address / (75 * 60)), bcd(address / 75 % 60), bcd(address % 75), '\x01'};
        raw.append(data, sector * 2048, 2048);
        raw.append(288, '\0');
    }
    std::ofstream(binPath, std::ios::binary) << raw;
    std::ofstream(cuePath) << "FILE \"" << binPath.filename().string() << "\" BINARY\n"
                           << "  TRACK 01 MODE1/2352\n"
                           << "    INDEX 01 00:00:00\n";
}

std::string cdSectors(const std::string& data, CdSectors layout)
{
    EXPECT_EQ(data.size() % 2048, 0u);
    const auto bcd = [](std::size_t value) { return static_cast<char>((value / 10) << 4 | value % 10); };
    // Form 1 subheader: file 0, channel 0, submode "data", coding 0, written twice.
    const std::string subheader("\0\0\x08\0\0\0\x08\0", 8);
    std::string out;
    for (std::size_t sector = 0; sector < data.size() / 2048; ++sector) {
        const std::size_t address = sector + 150;
        if (layout != CdSectors::Mode2Formless) {
            out += std::string(1, '\0') + std::string(10, '\xff') + std::string(1, '\0');
            out += {bcd(address / (75 * 60)), bcd(address / 75 % 60), bcd(address % 75),
                layout == CdSectors::Mode1Raw ? '\x01' : '\x02'};
        }
        if (layout != CdSectors::Mode1Raw)
            out += subheader;
        out.append(data, sector * 2048, 2048);
        out.append(layout == CdSectors::Mode1Raw ? 288 : 280, '\0');
    }
    return out;
}

std::string swappedPairs(std::string bytes)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

std::string pattern(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed) % 251);
    return bytes;
}

}  // namespace iradudo::test
