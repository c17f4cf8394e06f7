// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.h"
#include "gui_application.h"
#include "listed_file.h"

#include "app/program_fonts.h"
#include "viewers/text/document_text.h"
#include "viewers/text/text_loader.h"

#include <QTextDocument>

#include <memory>
#include <ostream>

namespace {

int run(const iradudo::cli::Invocation& invocation)
{
    std::string file;
    bool html = false;
    for (const std::string& argument : invocation.arguments) {
        if (argument == "--html") {
            html = true;
        } else if (file.empty()) {
            file = argument;
        } else {
            invocation.err << "usage: text FILE [--html]\n";
            return 2;
        }
    }
    if (file.empty()) {
        invocation.err << "usage: text FILE [--html]\n";
        return 2;
    }
    const auto application = iradudo::cli::startGuiApplication();
    iradudo::installProgramFonts();
    iradudo::ListedFile opened = iradudo::cli::openListedArgument(*iradudo::cli::makePlatform(invocation), file);
    const iradudo::LoadedText loaded = iradudo::loadTextFile(opened.handle, file, iradudo::fixedSysFont());
    const QString text = html ? loaded.document->toHtml() : iradudo::documentPlainText(*loaded.document);
    const QByteArray bytes = text.toUtf8();
    invocation.out.write(bytes.constData(), bytes.size());
    invocation.out.flush();
    return 0;
}

const iradudo::cli::CommandRegistration reg{{"text",
    "text FILE [--html]   the text viewer's content of FILE (a host or drive path), as plain text or Qt's HTML", &run}};

}  // namespace
