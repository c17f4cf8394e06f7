// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace iradudo {

// Every private temporary folder of the programs is named kPrivateFolderPrefix
// followed by a purpose and random letters, in the temporary directory.
inline constexpr std::string_view kPrivateFolderPrefix = "iradudo-";

// The file inside a private folder that says whose it is: the owning program
// holds an exclusive flock on it for as long as the folder is in use, so a
// folder with a free lock belongs to a program that is gone.
inline constexpr std::string_view kPrivateFolderLock = ".iradudo.lock";

// A folder younger than this is never swept: its owner may be between making
// it and taking its lock. Creating both takes microseconds; seconds leave room
// for a machine under load.
inline constexpr int kSweepGraceSeconds = 2;

// $TMPDIR when it is an absolute path without quotes, backslashes, dollars or
// control characters, else /tmp.
std::string temporaryDirectory();

// A folder of mode 0700 in the temporary directory, with its lock held from
// before anything else is put in it. Removed with the lock file when this goes
// and nothing else is left in it; otherwise it stays, its lock released, and the
// next start of one of the programs removes it with what it holds. While it
// lives, a program that ends on a signal removes it too (see ending_signals.h).
class PrivateFolder {
public:
    // purpose: a word for the name ("mtools"); empty for none. nullopt with
    // errno set when the folder cannot be made.
    static std::optional<PrivateFolder> create(std::string_view purpose);

    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&& other) noexcept;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder();

    const std::string& path() const { return path_; }
    // The folder opened as a directory, for *at calls that never leave it.
    int fd() const { return folderFd_; }

private:
    PrivateFolder(std::string path, int folderFd, int lockFd);
    void release();

    std::string path_;
    int folderFd_ = -1;
    int lockFd_ = -1;
};

// What a sweep did, for the caller's tests and curiosity.
struct SweepResult {
    int removedFolders = 0;
    int keptFolders = 0;  // locked by a live program, young, or not ours
};

// Removes the private folders of programs that are gone: entries of directory
// named with kPrivateFolderPrefix that are real directories (never a link) owned
// by this user, older than kSweepGraceSeconds, whose lock file's lock is free.
// A folder without a lock file is left alone, whatever it holds (the lock file is
// made right after the folder, and the grace time covers the moment before it is
// locked). Never follows a link,
// and stays within kSweepMaxDepth levels and kSweepMaxEntries entries.
SweepResult sweepStalePrivateFolders(const std::string& directory);
inline SweepResult sweepStalePrivateFolders()
{
    return sweepStalePrivateFolders(temporaryDirectory());
}

// A folder holds copies of single files and the mtools configuration; deeper
// trees are no folder of ours, so a sweep leaves what lies below.
inline constexpr int kSweepMaxDepth = 8;
// Enough for every copy a session could make; a bound on what a sweep at
// start-up may cost, whatever someone put in the temporary directory.
inline constexpr int kSweepMaxEntries = 100000;

// Removes the folders of the PrivateFolder objects now alive, with all they
// hold; for a program about to end on a signal, where no destructor will run.
// Takes the lock other threads take while they make or remove a folder.
void removeLivePrivateFolders();

}  // namespace iradudo
