// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace iradudo::test {

// A fresh directory under the system's temporary folder, removed with everything
// in it when the object goes (read and execute rights are restored first).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes a file (parents created), relative to the directory; returns its full path.
    std::filesystem::path writeFile(const std::string& relative, std::string_view bytes) const;
    std::filesystem::path makeDir(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

// Bytes of a whole file; throws when it cannot be read.
std::string readFile(const std::filesystem::path& file);

}  // namespace iradudo::test
