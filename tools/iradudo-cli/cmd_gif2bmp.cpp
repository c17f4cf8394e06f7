// SPDX-License-Identifier: GPL-3.0-or-later
// gif2bmp FILE OUT: the GIF decoder's bitmap hand-off, written verbatim.
#include "cli.h"
#include "listed_file.h"

#include "base/exception.h"
#include "base/file_stream.h"
#include "gif/gif.h"
#include "viewers/pictures/graphic.h"

#include <fstream>
#include <istream>
#include <ostream>

namespace iradudo::cli {
namespace {

int run(const Invocation& invocation)
{
    if (invocation.arguments.size() != 2) {
        invocation.err << "usage: iradudo-cli gif2bmp FILE OUT\n";
        return 2;
    }
    const std::string& fileName = invocation.arguments[0];
    const std::string& outName = invocation.arguments[1];

    ListedFile opened = openListedArgument(*makePlatform(invocation), fileName);
    FileStreamBuffer file(checkPictureFile(std::move(opened.handle), fileName), kMaxPictureFileSize);
    std::istream in(&file);
    TGif decoder;
    decoder.Load(&in);

    std::fstream out(outName, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    if (!out)
        throw Exception("Cannot create file " + outName);
    decoder.WriteBitmap(out);
    out.close();
    if (out.fail())
        throw Exception("Cannot write file " + outName);
    return 0;
}

const CommandRegistration registration{{"gif2bmp", "gif2bmp FILE OUT", &run}};

}  // namespace
}  // namespace iradudo::cli
