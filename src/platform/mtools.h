// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/private_folder.h"
#include "platform/run_program.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace iradudo {

// Runs mtools on one floppy (an image file or a block device) through a private
// configuration that names it as drive "a:": the user's own ~/.mtoolsrc and
// MTOOLS_ settings are never read, so nothing redirects a write elsewhere or
// changes how names and file systems are written. Names are passed and shown
// as UTF-8. Any path will do: mtools reaches it through a link in a private
// directory.
class MtoolsDrive {
public:
    // Throws std::runtime_error when the private directory cannot be made.
    explicit MtoolsDrive(const std::string& deviceOrImage);
    ~MtoolsDrive();
    MtoolsDrive(const MtoolsDrive&) = delete;
    MtoolsDrive& operator=(const MtoolsDrive&) = delete;

    // Runs an mtools program ("mcopy", "mdir"...) with the arguments; "a:" in them
    // is the floppy.
    ProgramResult run(const std::string& program, const std::vector<std::string>& arguments) const;

    const std::string& configFile() const { return configFile_; }
    // A private directory, removed with the configuration; mtools may write files into it.
    const std::string& directory() const { return directory_; }

private:
    // The environment entries of every run (see runProgram).
    std::vector<std::string> environment() const;

    std::optional<PrivateFolder> folder_;
    std::string directory_;
    std::string configFile_;
    std::string linkFile_;
};

}  // namespace iradudo
