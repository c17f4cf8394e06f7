// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

// Root of every failure a user can meet. The message is the exact text the
// error box shows (before the box adds its closing full stop). Messages are
// byte strings: a file name from a disc may be ISO-8859-1, so convert with
// iradudo::toDisplayUtf8 only where the text is shown.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened for reading. The name is shown exactly as it was
// passed in (a bracketed directory entry such as "[DOCS]" included).
class EFOpenError : public Exception {
public:
    explicit EFOpenError(const std::string& fileName) : Exception("Cannot open file " + fileName) { }
};

// A list read at a position it does not hold, such as the selected item of a list
// with no item selected (index -1).
class EStringListError : public Exception {
public:
    explicit EStringListError(int index) : Exception("List index out of bounds (" + std::to_string(index) + ")") { }
};

namespace iradudo {

// The text a user is shown for the exception being handled (call inside a catch
// block): the program's own failures keep their message, running out of memory
// and a failed stream read get messages of their own, and anything else is an
// "Unknown error" rather than a library's internal wording.
std::string messageOfCurrentException();

}  // namespace iradudo
