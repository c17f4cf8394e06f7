// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mtools.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace iradudo {
namespace {

// Every setting of mtools that changes what it writes or shows, at the value
// this program relies on. mtools reads /etc/mtools.conf whatever it is told,
// and its environment wins over every file: so each value is written into the
// private configuration (over the system's) and passed in the environment too
// (over the user's). Names are written with their case kept: VFAT entries on,
// no lower-case display of upper-case names.
constexpr std::pair<const char*, const char*> kPinnedSettings[] = {
    {"MTOOLS_SKIP_CHECK", "0"},
    {"MTOOLS_FAT_COMPATIBILITY", "0"},
    {"MTOOLS_LOWER_CASE", "0"},
    {"MTOOLS_NO_VFAT", "0"},
    {"MTOOLS_DOTTED_DIR", "0"},
    {"MTOOLS_NAME_NUMERIC_TAIL", "1"},
    {"MTOOLS_TWENTY_FOUR_HOUR_CLOCK", "1"},
    {"MTOOLS_LOCK_TIMEOUT", "30"},
    {"MTOOLS_DATE_STRING", "yyyy-mm-dd"},
};

bool isPinned(std::string_view name)
{
    for (const auto& [pinned, value] : kPinnedSettings)
        if (name == pinned)
            return true;
    return false;
}

}  // namespace

MtoolsDrive::MtoolsDrive(const std::string& deviceOrImage)
{
    folder_ = PrivateFolder::create("mtools");
    if (!folder_)
        throw std::runtime_error("no private directory for the mtools configuration");
    directory_ = folder_->path();
    configFile_ = directory_ + "/mtoolsrc";
    linkFile_ = directory_ + "/floppy";
    // mtools' configuration reader takes \ escapes and $VARIABLES inside quotes,
    // so the floppy's own path never goes into it: a link with a plain name does.
    std::string target = deviceOrImage;
    if (!target.empty() && target.front() != '/') {
        std::error_code error;
        target = std::filesystem::absolute(target, error).string();
    }
    if (target.empty() || ::symlink(target.c_str(), linkFile_.c_str()) != 0)
        throw std::runtime_error("no link to the floppy in the private mtools directory");
    std::ofstream config(configFile_);
    for (const auto& [name, value] : kPinnedSettings) {
        std::string key = name;
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool text = std::string_view(name) == "MTOOLS_DATE_STRING";
        config << key << '=' << (text ? "\"" : "") << value << (text ? "\"" : "") << '\n';
    }
    // Replaces, not extends, a drive a: of the system's configuration.
    config << "drive a: file=\"" << linkFile_ << "\"\n";
}

MtoolsDrive::~MtoolsDrive()
{
    ::unlink(configFile_.c_str());
    ::unlink(linkFile_.c_str());
    ::unlink((directory_ + "/mcwd").c_str());
}

std::vector<std::string> MtoolsDrive::environment() const
{
    // HOME points away from the user's ~/.mtoolsrc, MCWD (mcd's memory) into the
    // private directory; the locale makes names UTF-8.
    std::vector<std::string> environment{
        "MTOOLSRC=" + configFile_, "HOME=" + directory_, "MCWD=" + directory_ + "/mcwd", "LC_ALL=C.UTF-8"};
    for (const auto& [name, value] : kPinnedSettings)
        environment.push_back(std::string(name) + "=" + value);
    // Any other MTOOLS_ variable (the number of FATs or root entries mformat
    // writes, debugging output...) is taken away.
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text = *entry;
        const std::string_view name = text.substr(0, text.find('='));
        if (name.substr(0, 6) == "MTOOLS" && name != "MTOOLSRC" && !isPinned(name))
            environment.emplace_back(name);
    }
    return environment;
}

ProgramResult MtoolsDrive::run(const std::string& program, const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv, environment(), true);
}

}  // namespace iradudo
