// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/directory_source.h"

#include "platform/dos_path.h"
#include "platform/drive_table.h"
#include "platform/io_error.h"

#include <algorithm>

namespace iradudo {
namespace {

std::string withCase(std::string_view text, DriveList::TextCase textCase)
{
    return textCase == DriveList::TextCase::Upper ? asciiUpper(text) : asciiLower(text);
}

// Sort key of one byte: punctuation, then digits, then letters (case folded),
// then everything above 127.
int collationRank(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return 0x100 | c;
    if (isAsciiLetter(static_cast<char>(c)))
        return 0x200 | static_cast<unsigned char>(asciiLower(static_cast<char>(c)));
    if (c >= 0x80)
        return 0x300 | c;
    return c;
}

}  // namespace

bool fileListLess(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int ra = collationRank(static_cast<unsigned char>(a[i]));
        const int rb = collationRank(static_cast<unsigned char>(b[i]));
        if (ra != rb)
            return ra < rb;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    // Same letters in another case: lower case first, so the order is total.
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return isAsciiLower(a[i]);
    }
    return false;
}

// ---- DriveList ---------------------------------------------------------------

DriveList::DriveList(Platform& platform, TextCase textCase)
    : platform_(platform), textCase_(textCase), drive_(platform.currentDrive())
{
}

void DriveList::build() const
{
    if (built_)
        return;
    built_ = true;
    const std::uint32_t present = platform_.logicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if ((present & (1u << bit)) == 0)
            continue;
        const char letter = static_cast<char>('A' + bit);
        const int type = platform_.driveType(letter);
        const std::string prefix = withCase(std::string{letter, ':'}, textCase_);
        std::string text;
        switch (type) {
        case DriveRemovable: text = prefix; break;
        case DriveFixed:
        case DriveCdRom:
        case DriveRamDisk: text = prefix + " [" + withCase(platform_.volumeLabel(letter), textCase_) + "]"; break;
        case DriveRemote:
            if (const std::optional<std::string> remote = platform_.networkName(letter))
                text = prefix + " " + withCase(*remote, textCase_);
            else
                text = prefix + " [" + withCase(platform_.volumeLabel(letter), textCase_) + "]";
            break;
        default: continue;
        }
        entries_.push_back(std::move(text));
        letters_.push_back(letter);
        types_.push_back(type);
    }
}

int DriveList::count() const
{
    build();
    return static_cast<int>(entries_.size());
}

const std::string& DriveList::entry(int index) const
{
    build();
    return entries_.at(static_cast<std::size_t>(index));
}

const std::vector<std::string>& DriveList::entries() const
{
    build();
    return entries_;
}

char DriveList::letterAt(int index) const
{
    build();
    return letters_.at(static_cast<std::size_t>(index));
}

int DriveList::indexOfDrive(char letter) const
{
    build();
    const auto found = std::find(letters_.begin(), letters_.end(), asciiUpper(letter));
    return found == letters_.end() ? -1 : static_cast<int>(found - letters_.begin());
}

int DriveList::driveTypeAt(int index) const
{
    build();
    return types_.at(static_cast<std::size_t>(index));
}

int DriveList::itemIndex() const
{
    build();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string& text = entries_[i];
        if (text.size() >= 2 && asciiUpper(text[0]) == drive_ && text[1] == ':')
            return static_cast<int>(i);
    }
    return -1;
}

void DriveList::setDrive(char letter)
{
    const bool notify = !(directoryList_ && directoryList_->settingDirectory_);
    changeDrive(letter, notify);
}

void DriveList::changeDrive(char letter, bool notify)
{
    letter = asciiUpper(letter);
    if (itemIndex() >= 0 && letter == drive_)
        return;
    drive_ = letter;
    if (directoryList_)
        directoryList_->moveToDrive(letter, notify);
}

// ---- FileList ----------------------------------------------------------------

FileList::FileList(Platform& platform) : platform_(platform), directory_(platform.currentDirectory()) { }

void FileList::setDirectory(const std::string& dosPath)
{
    if (read_ && equalsIgnoringAsciiCase(dosPath, directory_))
        return;
    read(dosPath);
}

void FileList::ensureRead() const
{
    if (!read_ && !directory_.empty())
        read(directory_);
}

void FileList::read(const std::string& dosPath) const
{
    const std::string previous = platform_.currentDirectory();
    std::vector<std::string> names;
    std::vector<std::string> directoryNames;
    bool busy = false;
    try {
        platform_.setCurrentDirectory(dosPath);
        platform_.readDirectory({}, [&](const FileEntry& entry) {
            if (entry.attributes & (faSysFile | faVolumeID))
                return;
            (entry.isDirectory() ? directoryNames : names).push_back(entry.name);
            if (names.size() + directoryNames.size() == 100 && busyHook_) {
                busy = true;
                busyHook_(true);
            }
        });
    } catch (...) {
        if (busy)
            busyHook_(false);
        // The entries and the working directory stay those of the last good read.
        if (!previous.empty()) {
            try {
                platform_.setCurrentDirectory(previous);
            } catch (const Exception&) {
            }
        }
        throw;
    }
    struct Read {
        std::string text;
        bool directory;
    };
    std::vector<Read> read;
    read.reserve(names.size() + directoryNames.size());
    for (std::string& name : directoryNames)
        read.push_back({"[" + name + "]", true});
    for (std::string& name : names)
        read.push_back({std::move(name), false});
    std::stable_sort(
        read.begin(), read.end(), [](const Read& a, const Read& b) { return fileListLess(a.text, b.text); });
    entries_.clear();
    directories_.clear();
    entries_.reserve(read.size());
    directories_.reserve(read.size());
    for (Read& entry : read) {
        entries_.push_back(std::move(entry.text));
        directories_.push_back(entry.directory);
    }
    directory_ = platform_.currentDirectory();
    read_ = true;
    if (busy)
        busyHook_(false);
}

int FileList::count() const
{
    ensureRead();
    return static_cast<int>(entries_.size());
}

const std::string& FileList::entry(int index) const
{
    ensureRead();
    return entries_.at(static_cast<std::size_t>(index));
}

const std::vector<std::string>& FileList::entries() const
{
    ensureRead();
    return entries_;
}

int FileList::indexOf(std::string_view entryText) const
{
    ensureRead();
    const auto found = std::find(entries_.begin(), entries_.end(), entryText);
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

bool FileList::isDirectoryAt(int index) const
{
    ensureRead();
    return directories_.at(static_cast<std::size_t>(index));
}

const std::vector<bool>& FileList::directoryFlags() const
{
    ensureRead();
    return directories_;
}

// ---- DirectoryList -----------------------------------------------------------

DirectoryList::DirectoryList(Platform& platform) : platform_(platform), directory_(platform.currentDirectory()) { }

void DirectoryList::moveToDrive(char letter, bool notify)
{
    if (driveLetterOf(directory_) == letter)
        return;
    platform_.setCurrentDirectory(std::string{letter, ':'});
    const std::string previous = directory_;
    directory_ = platform_.currentDirectory();
    if (notify)
        notifyChange(previous);
}

void DirectoryList::notifyChange(const std::string& previous)
{
    try {
        if (fileList_)
            fileList_->setDirectory(directory_);
    } catch (const Exception&) {
        // An unreadable directory: go back to where the listing still is.
        directory_ = previous;
        if (driveList_)
            driveList_->drive_ = driveLetterOf(directory_);
        throw;
    }
    if (onChange_)
        onChange_();
}

void DirectoryList::setDirectory(const std::string& text)
{
    if (text.empty() || equalsIgnoringAsciiCase(text, directory_))
        return;

    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        enterEntry(text.substr(1, text.size() - 2));
        return;
    }
    std::string target = text;
    // Relative texts are taken from this list's directory, even when the process
    // has been moved elsewhere meanwhile.
    if (!hasDriveLetter(target) && !directory_.empty()) {
        if (!target.empty() && (target.front() == '\\' || target.front() == '/'))
            target = directory_.substr(0, 2) + target;
        else
            target = directory_ + (directory_.ends_with('\\') ? "" : "\\") + target;
    }
    // A last component naming a file or holding wildcards is no directory to enter.
    const std::size_t lastSeparator = target.find_last_of("\\/");
    const std::size_t lastStart
        = lastSeparator == std::string::npos ? (hasDriveLetter(target) ? 2 : 0) : lastSeparator + 1;
    const std::string last = target.substr(lastStart);
    if (!last.empty() && last != "." && last != ".."
        && (last.find_first_of("*?") != std::string::npos || platform_.fileExists(target)))
        target.erase(lastStart);

    struct SettingGuard {
        bool& flag;
        explicit SettingGuard(bool& f) : flag(f) { flag = true; }
        ~SettingGuard() { flag = false; }
    } guard(settingDirectory_);

    const char drive = hasDriveLetter(target) ? driveLetterOf(target) : driveLetterOf(directory_);
    if (drive != driveLetterOf(directory_) && driveList_)
        driveList_->changeDrive(drive, false);
    platform_.setCurrentDirectory(target);
    const std::string previous = directory_;
    directory_ = platform_.currentDirectory();
    if (driveList_)
        driveList_->drive_ = driveLetterOf(directory_);
    notifyChange(previous);
}

void DirectoryList::enterEntry(const std::string& name)
{
    struct SettingGuard {
        bool& flag;
        explicit SettingGuard(bool& f) : flag(f) { flag = true; }
        ~SettingGuard() { flag = false; }
    } guard(settingDirectory_);

    // The entry is a name of this list's directory, wherever the process has been
    // moved meanwhile; it is entered by that name alone, never read as a path.
    if (!directory_.empty() && platform_.currentDirectory() != directory_)
        platform_.setCurrentDirectory(directory_);
    if (name != "." && name != "..") {
        // A name that no longer finds itself (a drawer gone since the listing) would
        // be read as a path such as "C:X" or "*": that is an error, not another place.
        const std::optional<FileEntry> entry = platform_.findEntry(name);
        if (!entry || !equalsIgnoringAsciiCase(entry->name, name))
            throw EInOutError(ErrorFileNotFound);
        if (!entry->isDirectory())
            throw EInOutError(ErrorDirectory);
    }
    platform_.setCurrentDirectory(name);
    const std::string previous = directory_;
    directory_ = platform_.currentDirectory();
    if (driveList_)
        driveList_->drive_ = driveLetterOf(directory_);
    notifyChange(previous);
}

// ---- DirectorySource ---------------------------------------------------------

DirectorySource::DirectorySource(Platform& platform)
    : driveList_(platform), directoryList_(platform), fileList_(platform)
{
    driveList_.setDirectoryList(&directoryList_);
    directoryList_.setDriveList(&driveList_);
    directoryList_.setFileList(&fileList_);
}

}  // namespace iradudo
