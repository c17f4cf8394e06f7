// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/pictures/picture.h"

#include "viewers/pictures/file_formats.h"

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::LoadFile(const std::string& fileName, const iradudo::DecodeContext& context)
{
    LoadFile(iradudo::openRegularFile(fileName), fileName, context);
}

namespace {

TGraphicClass graphicClassOf(const std::string& fileName)
{
    const std::string extension = iradudo::pictureExtension(fileName);
    const TGraphicClass graphicClass = iradudo::fileFormats().FindExtension(extension);
    if (!graphicClass)
        throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
    return graphicClass;
}

}  // namespace

void TPicture::CheckFormat(const std::string& fileName)
{
    graphicClassOf(fileName);
}

void TPicture::LoadFile(iradudo::FileHandle file, const std::string& fileName, const iradudo::DecodeContext& context)
{
    const TGraphicClass graphicClass = graphicClassOf(fileName);

    std::unique_ptr<TGraphic> graphic = graphicClass->create();
    graphic->SetDecodeContext(context);
    graphic->SetOnProgress([this](TGraphic&, int percent) {
        if (onProgress_)
            onProgress_(*this, percent);
    });
    graphic->LoadFile(std::move(file), fileName);
    // The progress belongs to this load only; a later lazy decode keeps the limits.
    graphic->SetDecodeContext({context.limits, nullptr});

    graphic_ = std::move(graphic);
    graphic_->SetOnChange([this](TGraphic&) { changed(); });
    changed();
}

void TPicture::changed()
{
    if (onChange_)
        onChange_(*this);
}

void TPicture::RegisterFormat(std::string_view extension, std::string_view description, TGraphicClass graphicClass)
{
    iradudo::fileFormats().Add(extension, description, graphicClass);
}

void TPicture::UnregisterFormats(TGraphicClass graphicClass)
{
    iradudo::fileFormats().Remove(graphicClass);
}
