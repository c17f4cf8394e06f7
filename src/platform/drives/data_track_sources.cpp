// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the sheet and Nero readers land; replaced by cue_sheet.cpp and nrg_image.cpp.
#include "platform/drives/data_track.h"

#include "base/exception.h"

namespace iradudo {

DataTrack openCueDataTrack(const std::string& sheetPath)
{
    throw EFOpenError(sheetPath);
}

DataTrack openNrgDataTrack(const std::string& imagePath)
{
    throw EFOpenError(imagePath);
}

}  // namespace iradudo
