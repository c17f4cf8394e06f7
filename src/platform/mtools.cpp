// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mtools.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <unistd.h>

namespace iradudo {

MtoolsDrive::MtoolsDrive(const std::string& deviceOrImage)
{
    if (deviceOrImage.find_first_of("\"\n") != std::string::npos)
        throw std::invalid_argument("floppy path holds a quote or a line break");
    folder_ = PrivateFolder::create("mtools");
    if (!folder_)
        throw std::runtime_error("no private directory for the mtools configuration");
    directory_ = folder_->path();
    configFile_ = directory_ + "/mtoolsrc";
    std::ofstream config(configFile_);
    // Long names on, names kept as given, and the one drive a: this floppy.
    config << "mtools_lower_case=0\nmtools_no_vfat=0\nmtools_name_numeric_tail=1\nmtools_skip_check=0\n"
           << "drive a: file=\"" << deviceOrImage << "\"\n";
}

MtoolsDrive::~MtoolsDrive()
{
    ::unlink(configFile_.c_str());
}

ProgramResult MtoolsDrive::run(const std::string& program, const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    // HOME points away from the user's ~/.mtoolsrc; the locale makes names UTF-8.
    return runProgram(argv, {"MTOOLSRC=" + configFile_, "HOME=" + directory_, "LC_ALL=C.UTF-8"});
}

namespace {

// "1 457 152" -> 1457152: mdir groups digits with blanks.
std::optional<std::int64_t> groupedNumberBefore(const std::string& line, const std::string& word)
{
    const std::size_t at = line.find(word);
    if (at == std::string::npos)
        return std::nullopt;
    std::string digits;
    std::size_t i = at;
    while (i > 0 && (std::isdigit(static_cast<unsigned char>(line[i - 1])) || line[i - 1] == ' ')) {
        --i;
        if (line[i] != ' ')
            digits.insert(digits.begin(), line[i]);
    }
    if (digits.empty())
        return std::nullopt;
    return std::stoll(digits);
}

}  // namespace

FloppyDirectoryInfo parseMdirOutput(const std::string& output)
{
    FloppyDirectoryInfo info;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(" bytes free") != std::string::npos)
            info.bytesFree = groupedNumberBefore(line, " bytes free").value_or(-1);
        else if (line.find(" file") != std::string::npos && line.find(" bytes") != std::string::npos)
            info.fileSize = groupedNumberBefore(line, " bytes").value_or(-1);
    }
    return info;
}

}  // namespace iradudo
