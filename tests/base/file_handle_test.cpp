// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_handle.h"
#include "base/file_stream.h"

#include "support/non_regular_files.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <istream>
#include <iterator>

using namespace iradudo;
using namespace iradudo::test;

namespace {

std::string readAll(const std::string& path, std::size_t maxBytes, WholeFileRead expected)
{
    FileHandle file = openRegularFile(path);
    EXPECT_TRUE(file.valid()) << path;
    std::string bytes = "stale";
    EXPECT_EQ(readWholeFile(file, maxBytes, bytes), expected) << path << " limit " << maxBytes;
    return bytes;
}

}  // namespace

TEST(OpenRegularFile, EverythingButARegularFileFailsAtOnce)
{
    const TempDir dir;
    for (const std::string& path : makeNonRegularFiles(dir, ".txt")) {
        const std::optional<std::string> opened = resultWithin(kBlockingLimit, [path] {
            FileHandle file = openRegularFile(path);
            return std::string(file.valid() ? "opened" : "refused");
        });
        EXPECT_EQ(opened.value_or("blocked"), "refused") << path;
    }
    EXPECT_FALSE(openRegularFile((dir.path() / "missing.txt").string()).valid());
    EXPECT_FALSE(openRegularFile("").valid());
}

TEST(OpenRegularFile, OpensLinkedAndRelativeFilesCloseOnExec)
{
    const TempDir dir;
    dir.writeFile("DATA.TXT", "bytes");
    std::filesystem::create_symlink("DATA.TXT", dir.path() / "link.txt");
    FileHandle linked = openRegularFile((dir.path() / "link.txt").string());
    ASSERT_TRUE(linked.valid());
    EXPECT_NE(::fcntl(linked.fd(), F_GETFD) & FD_CLOEXEC, 0);

    const FileHandle directory(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_TRUE(openRegularFileAt(directory.fd(), "DATA.TXT").valid());
    EXPECT_FALSE(openRegularFileAt(directory.fd(), ".").valid());
    EXPECT_FALSE(openRegularFileAt(directory.fd(), "data.txt").valid());  // names are exact here
}

TEST(ReadWholeFile, StopsAtTheCallersLimit)
{
    const TempDir dir;
    const std::string ten = dir.writeFile("ten", "0123456789").string();
    const std::string empty = dir.writeFile("empty", "").string();
    struct Case {
        std::string path;
        std::size_t limit;
        WholeFileRead result;
        std::string bytes;
    };
    const Case cases[] = {
        {ten, 10, WholeFileRead::Complete, "0123456789"},
        {ten, 100, WholeFileRead::Complete, "0123456789"},
        {ten, 9, WholeFileRead::TooLarge, ""},
        {empty, 0, WholeFileRead::Complete, ""},
        {empty, 5, WholeFileRead::Complete, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readAll(c.path, c.limit, c.result), c.bytes) << c.path << " limit " << c.limit;
}

TEST(ReadWholeFile, FilesThatReportNoSizeAreReadToTheirEndOrTheLimit)
{
    // Kernel files report size 0 and hold more than the first read takes.
    const std::string maps = readAll("/proc/self/maps", std::size_t(1) << 24, WholeFileRead::Complete);
    EXPECT_NE(maps.find("[stack]"), std::string::npos);
    EXPECT_EQ(readAll("/proc/self/maps", 16, WholeFileRead::TooLarge), "");
}

TEST(ReadWholeFile, AFailingReadIsReportedAndKeepsNothing)
{
    // The process's own memory opens as a file, but reading from address 0 fails.
    EXPECT_EQ(readAll("/proc/self/mem", 1 << 20, WholeFileRead::ReadError), "");
}

TEST(FileStreamBuffer, ReadsSeeksAndEndsAtTheLimit)
{
    const TempDir dir;
    std::string bytes;
    for (int i = 0; i < 200000; ++i)
        bytes.push_back(static_cast<char>('a' + i % 26));
    const std::string path = dir.writeFile("big.gif", bytes).string();

    FileStreamBuffer whole(openRegularFile(path), bytes.size());
    std::istream in(&whole);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
    // What the JPEG class does: measure from the position to the end, go back, read.
    in.clear();
    in.seekg(70000);
    const std::streampos start = in.tellg();
    in.seekg(0, std::ios::end);
    EXPECT_EQ(in.tellg() - start, std::streamoff(bytes.size() - 70000));
    in.seekg(start);
    std::string tail(bytes.size() - 70000, '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    EXPECT_EQ(tail, bytes.substr(70000));
    EXPECT_FALSE(whole.failed());

    FileStreamBuffer capped(openRegularFile(path), 100000);
    std::istream limited(&capped);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(limited), {}), bytes.substr(0, 100000));
    limited.clear();
    limited.seekg(0, std::ios::end);
    EXPECT_EQ(limited.tellg(), std::streampos(100000));
}

TEST(FileStreamBuffer, AFailingReadEndsTheStreamAsFailed)
{
    FileStreamBuffer memory(openRegularFile("/proc/self/mem"), 1 << 20);
    std::istream in(&memory);
    EXPECT_EQ(in.get(), std::char_traits<char>::eof());
    EXPECT_TRUE(memory.failed());
}
