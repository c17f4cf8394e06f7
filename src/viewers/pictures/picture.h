// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "viewers/pictures/graphic.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Holds at most one graphic and owns it. Loading a file replaces the graphic
// as a whole, or, when the load fails, leaves the previous one in place.
class TPicture {
public:
    using TNotifyEvent = std::function<void(TPicture&)>;
    using TProgressEvent = std::function<void(TPicture&, int)>;

    TPicture();
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The registry chooses the graphic class by the name's extension
    // ("Unknown picture file extension (.%s)" when none is registered). The
    // graphic decodes under the context's limits and reports to its progress.
    void LoadFile(const std::string& fileName, const iradudo::DecodeContext& context = {});
    // The same for a file already open at its start (a file of a drive, opened
    // through it): the name picks the class and names the file in messages.
    void LoadFile(iradudo::FileHandle file, const std::string& fileName, const iradudo::DecodeContext& context = {});
    // The extension check that LoadFile makes first, for callers that open the
    // file themselves: a name no format reads is reported as such, whether or not
    // it could be opened.
    static void CheckFormat(const std::string& fileName);

    // Null until a load succeeds.
    TGraphic* Graphic() const { return graphic_.get(); }
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Called after the graphic was replaced and whenever it announces a change.
    void SetOnChange(TNotifyEvent handler) { onChange_ = std::move(handler); }
    // Progress of the graphic being loaded or decoded.
    void SetOnProgress(TProgressEvent handler) { onProgress_ = std::move(handler); }

    static void RegisterFormat(std::string_view extension, std::string_view description, TGraphicClass graphicClass);
    static void UnregisterFormats(TGraphicClass graphicClass);

private:
    void changed();

    std::unique_ptr<TGraphic> graphic_;
    TNotifyEvent onChange_;
    TProgressEvent onProgress_;
};
