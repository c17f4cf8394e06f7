// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/text_loader.h"

#include "app/program_fonts.h"
#include "support/non_regular_files.h"
#include "support/temp_dir.h"
#include "support/text_test_util.h"
#include "support/unprivileged_scope.h"
#include "viewers/text/document_text.h"
#include "viewers/text/plain_text_reader.h"
#include "viewers/text/text_fill.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QTextBlock>

#include <cstdio>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace iradudo;
using namespace iradudo::test;
using namespace Qt::StringLiterals;

namespace {

// Runs a test body inside a directory and returns to the previous one, as the
// viewer opens entry names relative to the browsed directory.
class InDirectory {
public:
    explicit InDirectory(const std::filesystem::path& directory) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(directory);
    }
    ~InDirectory() { std::filesystem::current_path(previous_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

template <typename Error>
std::string messageOf(const std::string& fileName)
{
    QTextDocument document;
    try {
        loadTextFile(fileName, document, fixedSysFont());
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace

TEST(PlainText, LineEndsOfEveryStyleEndOneLine)
{
    EXPECT_EQ(decodePlainText("uno\r\ndue\r\ntre"), QStringLiteral("uno\ndue\ntre"));
    EXPECT_EQ(decodePlainText("uno\ndue\ntre"), QStringLiteral("uno\ndue\ntre"));
    EXPECT_EQ(decodePlainText("uno\rdue\rtre"), QStringLiteral("uno\ndue\ntre"));
    EXPECT_EQ(decodePlainText("a\r\r\nb\n\rc\r"), QStringLiteral("a\n\nb\n\nc\n"));
    for (const char* text : {"uno\r\ndue\r\ntre\r\n", "uno\ndue\ntre\n", "uno\rdue\rtre\r"}) {
        QTextDocument document;
        readPlainText(text, document, fixedSysFont());
        EXPECT_EQ(document.blockCount(), 4) << text;
        EXPECT_EQ(document.findBlockByNumber(1).text(), QStringLiteral("due"));
    }
}

TEST(PlainText, Latin1UnlessMultibyteUtf8AndZeroAsBlank)
{
    EXPECT_EQ(utf8(decodePlainText("Caff\xe8 \xa9")), "Caff\u00e8 \u00a9");
    EXPECT_EQ(utf8(decodePlainText("Caff\xc3\xa8 \xe2\x82\xac")), "Caff\u00e8 \u20ac");
    // One bad sequence makes the whole file ISO-8859-1.
    EXPECT_EQ(utf8(decodePlainText("Caff\xc3\xa8 \xe8")), "Caff\u00c3\u00a8 \u00e8");
    static const char zeros[] = "a\0b\0";
    EXPECT_EQ(decodePlainText(QByteArrayView(zeros, 4)), QStringLiteral("a b "));
    // Characters that a document reads as its own structure stay text.
    EXPECT_EQ(utf8(decodePlainText("a\xef\xbf\xbc\xe2\x80\xa9\xef\xb7\x90z")), "a\ufffd\ufffd\ufffdz");
    EXPECT_EQ(decodePlainText("a\tb\x0c"), QStringLiteral("a\tb\x0c"));
}

TEST(TextLoader, RichTextWhateverTheExtensionElsePlainInFixedSys)
{
    installProgramFonts();
    const TempDir dir;
    const auto rtf = dir.writeFile("LEGGIMI.TXT", "\r\n {\\rtf1\\ansi {\\b Grassetto} normale\\par}");
    const auto plain = dir.writeFile("brace.rtf", "{ non e' RTF }\r\nseconda riga\r\n");

    const LoadedText rich = loadTextFile(rtf.string(), fixedSysFont());
    EXPECT_EQ(rich.kind, TextKind::Rich);
    EXPECT_EQ(utf8(documentPlainText(*rich.document)), "Grassetto normale\n");
    EXPECT_EQ(formatOf(*rich.document, "Grassetto").fontWeight(), QFont::Bold);

    const LoadedText text = loadTextFile(plain.string(), fixedSysFont());
    EXPECT_EQ(text.kind, TextKind::Plain);
    EXPECT_EQ(utf8(documentPlainText(*text.document)), "{ non e' RTF }\nseconda riga\n");
    const QFont font = formatOf(*text.document, "seconda").font();
    EXPECT_EQ(font.families().value(0), fixedSysFont().family());
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
    EXPECT_EQ(text.document->defaultFont().family(), fixedSysFont().family());
}

TEST(TextLoader, ANewLoadReplacesTheDocumentAndAFailedOneKeepsIt)
{
    const TempDir dir;
    const auto first = dir.writeFile("first.txt", "prima");
    const auto second = dir.writeFile("second.rtf", "{\\rtf1 seconda}");
    QTextDocument document;
    EXPECT_EQ(loadTextFile(first.string(), document, fixedSysFont()), TextKind::Plain);
    EXPECT_EQ(loadTextFile(second.string(), document, fixedSysFont()), TextKind::Rich);
    EXPECT_EQ(document.toPlainText(), QStringLiteral("seconda"));
    EXPECT_FALSE(document.isUndoAvailable());
    EXPECT_THROW(loadTextFile((dir.path() / "gone.txt").string(), document, fixedSysFont()), EFOpenError);
    EXPECT_EQ(document.toPlainText(), QStringLiteral("seconda"));
}

TEST(TextLoader, NamesThatAreNoReadableFileCannotBeOpened)
{
    const TempDir dir;
    dir.makeDir("DOCS");
    dir.writeFile("caff\xe8.txt", "Latin-1 name");
    ASSERT_EQ(::mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
    const InDirectory inside(dir.path());

    EXPECT_EQ(messageOf<EFOpenError>("[DOCS]"), "Cannot open file [DOCS]");
    EXPECT_EQ(messageOf<EFOpenError>("[..]"), "Cannot open file [..]");
    EXPECT_EQ(messageOf<EFOpenError>("DOCS"), "Cannot open file DOCS");
    EXPECT_EQ(messageOf<EFOpenError>("missing.txt"), "Cannot open file missing.txt");
    EXPECT_EQ(messageOf<EFOpenError>(""), "Cannot open file ");
    // A pipe would block the viewer until someone writes to it.
    EXPECT_EQ(messageOf<EFOpenError>("pipe"), "Cannot open file pipe");
    EXPECT_EQ(messageOf<EFOpenError>("caff\xe8.TXT"), "Cannot open file caff\xe8.TXT");
    EXPECT_EQ(utf8(documentPlainText(*loadTextFile("caff\xe8.txt", fixedSysFont()).document)), "Latin-1 name");
}

TEST(TextLoader, PipesAndDevicesNamedLikeTextsFailAtOnce)
{
    const TempDir dir;
    const QFont font = fixedSysFont();
    for (const char* extension : {".txt", ".RTF", ".readme"}) {
        for (const std::string& path : makeNonRegularFiles(dir, extension)) {
            const std::optional<std::string> message = resultWithin(kBlockingLimit, [path, font] {
                try {
                    loadTextFile(path, font);
                } catch (const EFOpenError& error) {
                    return std::string(error.what());
                }
                return std::string("loaded");
            });
            EXPECT_EQ(message.value_or("blocked"), "Cannot open file " + path);
        }
    }
}

TEST(TextLoader, UnreadableFileCannotBeOpened)
{
    const TempDir dir;
    const auto file = dir.writeFile("secret.txt", "x");
    // The folder stays open to everyone, so only the file's own rights refuse.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    std::filesystem::permissions(file, std::filesystem::perms::none);
    const UnprivilegedScope unprivileged;
    if (!unprivileged.effective())
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(messageOf<EFOpenError>(file.string()), "Cannot open file " + file.string());
}

TEST(TextLoader, FileThatOpensButCannotBeReadFailsToLoad)
{
    // The process's own memory opens as a file, but reading from address 0 fails.
    EXPECT_EQ(messageOf<ELoadStreamError>("/proc/self/mem"), "Failed to Load Stream");
}

TEST(TextLoader, FileWhoseLoadCannotFitUnderTheMemoryLimitFailsToLoad)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer reserves more address space than any limit allows";
#else
    TempDir dir;
    const std::string file = dir.writeFile("big.txt", std::string(32 << 20, 'x')).string();
    // In a child: the limit leaves 64 MiB, which a 32 MiB text's load would overrun.
    const pid_t child = ::fork();
    if (child == 0) {
        long long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "re")) {
            if (std::fscanf(statm, "%lld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t room = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
        const rlimit limit{room, room};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(2);
        ::_exit(messageOf<ELoadStreamError>(file) == "Failed to Load Stream" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

TEST(TextFill, PlainTextInPiecesIsTheWholeDecodedText)
{
    // Line ends and UTF-8 sequences that any piece boundary may fall into.
    const QByteArray texts[] = {
        "uno\r\ndue\r\ntre\r\n",
        "a\r\r\nb\n\rc\r",
        "Citt\xc3\xa0 \xe2\x82\xac\r\nperch\xc3\xa9\n\xf0\x9f\x98\x80 fine",
        "Caff\xe8\r\xe0\r\n",
        QByteArray("zero\0byte\r\n", 11),
    };
    for (const QByteArray& text : texts) {
        for (const qsizetype piece : {1, 2, 3, 5, 4096}) {
            SCOPED_TRACE(text.toStdString() + " in pieces of " + std::to_string(piece));
            TextFill fill(text, fixedSysFont());
            ASSERT_EQ(fill.kind(), TextKind::Plain);
            QTextDocument document;
            fill.start(document);
            while (!fill.step(piece)) { }
            EXPECT_EQ(document.toPlainText(), decodePlainText(text));
        }
    }
}

namespace {

// The text a plain file shows, worked out here without the reader: one
// character per byte (none of these files is UTF-8), CR LF and a lone CR end a
// line as LF does, and a byte 0 shows as a blank.
QString expectedPlainText(const QByteArray& bytes)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uchar(bytes[i]);
        if (byte == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            text += u'\n';
        } else {
            text += byte == 0 ? QChar(u' ') : QChar(byte);
        }
    }
    return text;
}

QString withoutLineEnds(QString text)
{
    return text.remove(u'\n');
}

}  // namespace

// Files that once cost a hundred bytes and more per byte of file: their text
// arrives whole, a line end for every line end, and no block runs long, both
// filled at once and in the view's steps.
TEST(PlainText, PathologicalFilesShowTheirWholeTextInBoundedBlocks)
{
    constexpr qsizetype kSize = 1 << 20;
    QByteArray random(kSize, Qt::Uninitialized);
    unsigned seed = 3;
    for (char& c : random) {
        seed = seed * 1103515245 + 12345;
        c = char(seed >> 23);
    }
    QByteArray longLine;
    while (longLine.size() < kSize)
        longLine += "Workbench dischetto ";
    QByteArray shortLines;
    while (shortLines.size() < kSize)
        shortLines += "a\n\r\nbc\r";
    const struct {
        const char* name;
        QByteArray bytes;
        bool cutsLongLines;
    } table[] = {
        {"all NUL", QByteArray(kSize, '\0'), true},
        {"all CR", QByteArray(kSize, '\r'), false},
        {"all LF", QByteArray(kSize, '\n'), false},
        {"all CR LF", QByteArray(kSize, '\r').replace("\r", "\r\n"), false},
        {"short lines", shortLines, false},
        {"one long line", longLine, true},
        {"one long word", QByteArray(kSize, 'x'), true},
        {"random bytes", random, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        const QString expected = expectedPlainText(row.bytes);

        QTextDocument whole;
        readPlainText(row.bytes, whole, fixedSysFont());
        QTextDocument stepped;
        TextFill fill(row.bytes, fixedSysFont());
        ASSERT_EQ(fill.kind(), TextKind::Plain);
        fill.start(stepped);
        while (!fill.step(100'000)) { }

        for (const QTextDocument* document : {&whole, &stepped}) {
            // What copying and printing give: line separators become line ends.
            const QString shown = documentPlainText(*document);
            if (row.cutsLongLines) {
                EXPECT_EQ(withoutLineEnds(shown), withoutLineEnds(expected));
            } else {
                EXPECT_EQ(shown.size(), expected.size());
                EXPECT_TRUE(shown == expected);
            }
            EXPECT_EQ(document->toPlainText().count(u'\n'), shown.count(u'\n'));
            // At most a block per PlainBlocks::kCharsPerBlock characters beyond
            // the first kInitialBlocks, and none longer than kMaxBlockChars.
            EXPECT_LE(document->blockCount(),
                PlainBlocks::kInitialBlocks + expected.size() / PlainBlocks::kCharsPerBlock
                    + expected.size() / (PlainBlocks::kMaxBlockChars - 256) + 1);
            int longest = 0;
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
                longest = std::max(longest, block.length() - 1);
            EXPECT_LE(longest, PlainBlocks::kMaxBlockChars);
        }
        EXPECT_TRUE(documentPlainText(whole) == documentPlainText(stepped));
    }
}

TEST(PlainText, OrdinaryTextKeepsOneBlockALine)
{
    QByteArray text;
    int lines = 0;
    while (text.size() < (4 << 20)) {
        text += "Amiga Workbench dischetto " + QByteArray::number(lines++) + " programma demo grafica musica\r\n";
    }
    QTextDocument document;
    readPlainText(text, document, fixedSysFont());
    EXPECT_EQ(document.blockCount(), lines + 1);
    EXPECT_FALSE(document.toPlainText().contains(QChar::LineSeparator));
}

TEST(PlainText, LineEndsStartBlocksOnlyWhileTheTextHasEarnedThem)
{
    const QString sep(QChar::LineSeparator);
    const QString line63 = QString(63, u'x');
    const struct {
        const char* name;
        QString in;
        QString out;
    } table[] = {
        {"no credit yet", u"a\nb\n"_s, "a" + sep + "b" + sep},
        {"63 characters and the line end earn a block", line63 + "\nz\n", line63 + "\nz" + sep},
        {"credit carries over short lines", QString(130, u'y') + "\n\n\n", QString(130, u'y') + "\n\n" + sep},
    };
    for (const auto& row : table) {
        QString text = row.in;
        PlainBlocks(0).shape(text);
        EXPECT_TRUE(text == row.out) << row.name;
    }

    // Pieces carry the state: the same text shaped whole and in two pieces.
    QString whole = QString(40, u'w') + "\n" + QString(30, u'v') + "\n\n";
    QString first = whole.first(20), second = whole.sliced(20);
    PlainBlocks(0).shape(whole);
    PlainBlocks pieces(0);
    pieces.shape(first);
    pieces.shape(second);
    EXPECT_TRUE(first + second == whole);

    // A long line is cut after a blank near the limit, or at the limit.
    QString words = QString(PlainBlocks::kMaxBlockChars - 100, u'k') + " tail";
    PlainBlocks().shape(words);
    EXPECT_EQ(words.indexOf(u'\n'), PlainBlocks::kMaxBlockChars - 99);
    QString solid(PlainBlocks::kMaxBlockChars * 2 + 5, u'k');
    PlainBlocks().shape(solid);
    EXPECT_EQ(solid.count(u'\n'), 2);
    EXPECT_EQ(solid.indexOf(u'\n'), PlainBlocks::kMaxBlockChars);
}
