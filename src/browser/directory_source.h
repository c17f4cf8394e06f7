// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

class DirectoryList;

// The drive list (`DriveComboBox1`, and the drive lists of the folder window):
// one entry text per drive, in letter order, and the current drive.
class DriveList {
public:
    enum class TextCase { Upper, Lower };

    // Takes the platform's current drive as its own; the list is built on first use.
    explicit DriveList(Platform& platform, TextCase textCase = TextCase::Upper);

    // Moving the drive moves this directory list too (nullptr: linked to none).
    void setDirectoryList(DirectoryList* directoryList) { directoryList_ = directoryList; }

    // Entry texts: "A:" for removable drives, "D: [LABEL]" for fixed, CD-ROM and
    // RAM drives (label upper-cased, "[]" when unreadable), "N: REMOTE" for network
    // drives; drives of unknown type get none. Built once.
    int count() const;
    const std::string& entry(int index) const;
    const std::vector<std::string>& entries() const;
    char letterAt(int index) const;       // upper case
    int indexOfDrive(char letter) const;  // the entry of a letter (either case), -1 when none
    int driveTypeAt(int index) const;     // DriveType code

    // The chosen entry's position, -1 when none is chosen.
    int itemIndex() const;
    char drive() const { return drive_; }

    // Makes the letter current (nothing when it already is and an entry is chosen)
    // and moves the linked directory list to that drive, which may throw EInOutError
    // (21 for an empty drive); the letter is then already current.
    void setDrive(char letter);

private:
    friend class DirectoryList;
    void build() const;
    void changeDrive(char letter, bool notify);

    Platform& platform_;
    TextCase textCase_;
    DirectoryList* directoryList_ = nullptr;
    char drive_ = 0;
    int itemIndex_ = -1;
    mutable bool built_ = false;
    mutable std::vector<std::string> entries_;
    mutable std::vector<char> letters_;
    mutable std::vector<int> types_;
};

// The file list (`FileListBox1`): the sorted entries of one directory, directories
// as "[NAME]", "[.]" and "[..]" included below a drive root, system entries left out.
class FileList {
public:
    // Takes the platform's current directory; reads it on first use.
    explicit FileList(Platform& platform);

    // The directory whose entries are held (DOS path).
    const std::string& directory() const { return directory_; }

    // Points the list at a directory; reads it unless it already holds it (compared
    // case-insensitively). Enters it first, so the working directory follows.
    // Throws EInOutError when it cannot be entered or read; the entries, the
    // directory and the working directory then stay those of the last good read.
    void setDirectory(const std::string& dosPath);

    int count() const;
    const std::string& entry(int index) const;
    const std::vector<std::string>& entries() const;
    int indexOf(std::string_view entryText) const;  // exact text; -1 when absent
    // Whether an entry was read as a directory: a file may be named "[X]" too.
    bool isDirectoryAt(int index) const;
    const std::vector<bool>& directoryFlags() const;

    // Called with true when the 100th entry is read, and with false when that
    // reading ends (also on failure); the window shows the busy cursor meanwhile.
    void setBusyHook(std::function<void(bool busy)> hook) { busyHook_ = std::move(hook); }

private:
    void ensureRead() const;
    void read(const std::string& dosPath) const;

    Platform& platform_;
    std::function<void(bool)> busyHook_;
    mutable std::string directory_;
    mutable bool read_ = false;
    mutable std::vector<std::string> entries_;
    mutable std::vector<bool> directories_;
};

// The directory list (`DirectoryListBox1`): the current directory, linked to a file
// list and a drive list, with the change notification.
class DirectoryList {
public:
    // Takes the platform's current directory.
    explicit DirectoryList(Platform& platform);

    void setFileList(FileList* fileList) { fileList_ = fileList; }
    void setDriveList(DriveList* driveList) { driveList_ = driveList; }

    // Runs after each actual change, once the file list has been re-read
    // (the window sets `DirectoryListBox1Change`).
    void setOnChange(std::function<void()> handler) { onChange_ = std::move(handler); }

    const std::string& directory() const { return directory_; }

    // Accepts "X:\..." (drive and path), "\" (root of the current drive), ".."
    // (parent) and bracketed file-list entries ("[SUB]", "[..]", "[.]"), relative to
    // this list's directory. The name inside the brackets is taken literally, as the
    // entry it names ("[*]", "[C:X]" and "[A\B]" are drawers of this directory);
    // an entry that is gone throws EInOutError 2, one that is no directory 267. Empty text or the current directory itself (compared
    // case-insensitively) does nothing and notifies nobody. Throws EInOutError when
    // the directory cannot be entered or read: no notification, the directory stays.
    void setDirectory(const std::string& text);

private:
    friend class DriveList;
    void moveToDrive(char letter, bool notify);
    void enterEntry(const std::string& name);
    void notifyChange(const std::string& previous);

    Platform& platform_;
    FileList* fileList_ = nullptr;
    DriveList* driveList_ = nullptr;
    std::function<void()> onChange_;
    std::string directory_;
    bool settingDirectory_ = false;
};

// The three linked components of the browser's directory source.
class DirectorySource {
public:
    explicit DirectorySource(Platform& platform);
    DirectorySource(const DirectorySource&) = delete;
    DirectorySource& operator=(const DirectorySource&) = delete;

    DriveList& driveList() { return driveList_; }
    DirectoryList& directoryList() { return directoryList_; }
    FileList& fileList() { return fileList_; }

private:
    DriveList driveList_;
    DirectoryList directoryList_;
    FileList fileList_;
};

// The file list's order: case-insensitive, punctuation (and "[") before digits
// before letters, bytes above 127 after the letters; a shorter prefix first.
bool fileListLess(std::string_view a, std::string_view b);

}  // namespace iradudo
