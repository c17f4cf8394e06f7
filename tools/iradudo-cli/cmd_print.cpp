// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.h"
#include "gui_application.h"
#include "listed_file.h"

#include "app/program_fonts.h"
#include "viewers/printing/text_print_job.h"
#include "viewers/text/text_loader.h"

#include <QFileInfo>
#include <QPrinter>
#include <QTextDocument>

#include <memory>
#include <ostream>

namespace {

int run(const iradudo::cli::Invocation& invocation)
{
    const auto& args = invocation.arguments;
    if (args.size() != 3 || args[1] != "--pdf") {
        invocation.err << "usage: print FILE --pdf OUT\n";
        return 2;
    }
    const auto application = iradudo::cli::startGuiApplication();
    iradudo::installProgramFonts();
    iradudo::ListedFile opened = iradudo::cli::openListedArgument(*iradudo::cli::makePlatform(invocation), args[0]);
    const iradudo::LoadedText loaded = iradudo::loadTextFile(opened.handle, args[0], iradudo::fixedSysFont());

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QFile::decodeName(QByteArray::fromStdString(args[2])));
    const int pages = iradudo::printTextDocument(*loaded.document, printer);
    invocation.out << pages << (pages == 1 ? " page\n" : " pages\n");
    return 0;
}

const iradudo::cli::CommandRegistration reg{{"print",
    "print FILE --pdf OUT   the text viewer's print job of FILE (a host or drive path) into a PDF file", &run}};

}  // namespace
