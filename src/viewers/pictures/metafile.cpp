// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/metafile.h"

#include "viewers/metafile/metafile_player.h"

#include <istream>
#include <vector>

namespace {

const char* const kInvalidMetafile = "Metafile is not valid";

}  // namespace

void TMetafile::LoadStream(std::istream& stream)
{
    // Read at most one byte beyond the parser's bound, so a larger file is
    // refused without being held in memory.
    std::vector<std::uint8_t> data;
    char chunk[65536];
    while (data.size() <= iradudo::metafile::kMaxFileBytes && (stream.read(chunk, sizeof chunk) || stream.gcount() > 0))
        data.insert(data.end(), chunk, chunk + stream.gcount());
    try {
        file_ = std::make_shared<const iradudo::metafile::Metafile>(iradudo::metafile::parse(std::move(data)));
    } catch (const iradudo::metafile::MetafileError&) {
        throw EInvalidGraphic(kInvalidMetafile);
    }
    image_ = QImage();
    Changed();
}

void TMetafile::FileTooLarge() const
{
    throw EInvalidGraphic(kInvalidMetafile);
}

void TMetafile::Decode()
{
    if (!file_ || !image_.isNull())
        return;
    image_ = iradudo::metafile::render(*file_, QSize(file_->width, file_->height), Qt::white);
}

void TMetafile::Play(QPainter& painter, const QRectF& rect) const
{
    if (file_)
        iradudo::metafile::play(*file_, painter, rect);
}
