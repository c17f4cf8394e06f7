// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/decode_context.h"
#include "base/exception.h"
#include "base/file_handle.h"

#include <QImage>

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class QPainter;
class QRect;

// A picture file that no registered graphic class reads, or whose content the
// chosen class cannot make sense of.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

class TGraphic;

namespace iradudo {

// The largest picture file a load reads. A magazine disc's pictures are a few
// megabytes; the bound keeps a disc image or a stray multi-gigabyte file with a
// picture's name from exhausting memory (the JPEG class holds its file whole).
constexpr std::size_t kMaxPictureFileSize = std::size_t(256) << 20;

// A picture file opened as every load opens it: a regular file of at most
// kMaxPictureFileSize bytes. Anything else (missing, a directory, FIFO, device
// or socket, too large) throws EFOpenError with the name as given, at once.
// For a host file named on a command line or by a test; a file of a drive
// comes opened through its drive (Platform::openListedFile).
FileHandle openPictureFile(const std::string& fileName);
// The same checks for a file already open, which is handed back.
FileHandle checkPictureFile(FileHandle file, const std::string& fileName);

}  // namespace iradudo

// What the format registry keeps per class: something to compare classes by
// (UnregisterFormats) and a way to make an empty instance.
struct TGraphicClassInfo {
    const char* name;
    std::unique_ptr<TGraphic> (*create)();
};
using TGraphicClass = const TGraphicClassInfo*;

template <class T>
TGraphicClass graphicClassOf()
{
    static const TGraphicClassInfo info{T::ClassName, [] { return std::unique_ptr<TGraphic>(new T); }};
    return &info;
}

// Base of every picture format. A graphic holds its pixels in a QImage; some
// formats (JPEG) read only the header on load and decode on first need, which
// is where their data errors surface.
class TGraphic {
public:
    using TNotifyEvent = std::function<void(TGraphic&)>;
    // Percent done, 0 to 100.
    using TProgressEvent = std::function<void(TGraphic&, int)>;

    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    virtual ~TGraphic();

    // Opens the file with openPictureFile and hands it to LoadStream from
    // position 0, as a stream that ends at MaxFileSize. A regular file larger than
    // that fails with the format's own failure (FileTooLarge) before any read.
    void LoadFile(const std::string& fileName);
    // The same for a file already open at its start; the name only names it in
    // messages.
    void LoadFile(iradudo::FileHandle file, const std::string& fileName);
    // The largest file of the format that a load reads: kMaxPictureFileSize unless
    // the format cannot sensibly be that large.
    virtual std::size_t MaxFileSize() const { return iradudo::kMaxPictureFileSize; }
    // Replaces the content with the data from the stream's position to its end.
    virtual void LoadStream(std::istream& stream) = 0;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }

    // Makes the pixels ready. A lazy format decodes here: the first failing
    // decode throws, and from then on the graphic keeps what it decoded so far
    // and never throws again for the same load.
    virtual void Decode() { }
    // The pixels as decoded so far (a null image when there are none); call
    // Decode first to get the whole picture.
    virtual QImage Image() const = 0;
    // Decodes on first need (throwing as Decode does), then draws the picture
    // scaled into the rectangle.
    void Draw(QPainter& painter, const QRect& rect);

    // The limits and progress the next load decodes under (the defaults until set).
    void SetDecodeContext(const iradudo::DecodeContext& context) { context_ = context; }
    const iradudo::DecodeContext& DecodeContext() const { return context_; }

    // Called after every change of content (a load, a finished decode).
    void SetOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    void SetOnProgress(TProgressEvent handler) { onProgress_ = std::move(handler); }

protected:
    void Changed();
    void Progress(int percent);
    // Throws the format's failure for a file over MaxFileSize.
    [[noreturn]] virtual void FileTooLarge() const;

private:
    TNotifyEvent onChange_;
    TProgressEvent onProgress_;
    iradudo::DecodeContext context_;
    // Drawing an 8-bit image converts it every time; keep the converted copy.
    mutable QImage drawCache_;
    mutable qint64 drawCacheKey_ = 0;
};
