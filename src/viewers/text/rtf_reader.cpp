// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/rtf_reader.h"

#include "base/ascii.h"
#include "base/byte_order.h"
#include "base/png_check.h"
#include "viewers/metafile/metafile.h"
#include "viewers/metafile/metafile_player.h"
#include "viewers/quiet_decode.h"
#include "viewers/text/code_pages.h"
#include "viewers/text/document_text.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace iradudo {
namespace {

// Groups nested deeper than this share the state of the deepest one.
constexpr int kMaxDepth = 200;
// Font and colour tables, and table columns, beyond these sizes are ignored.
constexpr std::size_t kMaxTableEntries = 4096;
constexpr int kMaxColumns = 64;
constexpr int kMaxTableRows = 200;
constexpr int kMaxUnicodeSkip = 64;
constexpr std::size_t kFormatCacheSize = 32;
constexpr int kMaxTwips = 31680;  // 22 inches
constexpr int kMaxPicturePixels = 16384;
constexpr double kTwipsPerPixel = 15.0;  // at 96 dots per inch
constexpr int kMetafileOversample = 2;
// Decoded pictures of one document together stay below this many bytes; a small
// compressed picture can claim a huge image.
constexpr qint64 kPictureBudget = qint64(256) << 20;

enum class Destination : std::uint8_t { Text, Skip, FontTable, ColorTable, Picture };

struct CharState {
    int font = -1;  // -1: the document's default font
    int halfPoints = 24;
    int foreground = 0;  // colour table index; 0 is the automatic colour
    int background = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    std::int8_t vertical = 0;  // 1 superscript, -1 subscript
    bool operator==(const CharState&) const = default;
};

struct ParaState {
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftIndent = 0;  // twips
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    bool inTable = false;
    bool operator==(const ParaState&) const = default;
};

struct GroupState {
    CharState chars;
    ParaState para;
    Destination destination = Destination::Text;
    int unicodeSkip = 1;
};

struct FontDef {
    QString family;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codePage = 0;  // 0: the document's code page
};

enum class PictureKind : std::uint8_t { Unknown, Png, Jpeg, Dib, Wmf, Emf };

struct Picture {
    PictureKind kind = PictureKind::Unknown;
    QByteArray data;
    int pendingNibble = -1;
    int goalWidth = 0;  // twips
    int goalHeight = 0;
    int scaleX = 100;
    int scaleY = 100;
};

enum class Word : std::uint8_t {
    // destinations
    FontTable,
    ColorTable,
    Pict,
    SkipDestination,
    Transparent,
    FieldInstruction,
    // document
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodePage,
    DefaultFont,
    UnicodeSkip,
    Unicode,
    Bin,
    // characters
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Font,
    FontSize,
    Foreground,
    Background,
    Hidden,
    Super,
    Sub,
    NoSuperSub,
    // paragraphs
    Pard,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    InTable,
    Par,
    Line,
    Tab,
    Cell,
    Row,
    RowDefaults,
    CellEdge,
    NestedCell,
    NestedRow,
    // named characters
    EmDash,
    EnDash,
    Bullet,
    LeftQuote,
    RightQuote,
    LeftDoubleQuote,
    RightDoubleQuote,
    EmSpace,
    EnSpace,
    QuarterEmSpace,
    // pictures
    PngBlip,
    JpegBlip,
    Dib,
    WmfPicture,
    EmfBlip,
    OtherPicture,
    GoalWidth,
    GoalHeight,
    ScaleX,
    ScaleY,
    // font table
    FontFamilyRoman,
    FontFamilySwiss,
    FontFamilyModern,
    FontFamilyScript,
    FontFamilyDecor,
    FontFamilyOther,
    FontCharset,
    FontCodePage,
    // colour table
    Red,
    Green,
    Blue,
};

const std::unordered_map<std::string_view, Word>& wordTable()
{
    static const std::unordered_map<std::string_view, Word> table = [] {
        std::unordered_map<std::string_view, Word> t{
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColorTable},
            {"pict", Word::Pict},
            {"fldinst", Word::FieldInstruction},
            {"field", Word::Transparent},
            {"fldrslt", Word::Transparent},
            {"object", Word::Transparent},
            {"result", Word::Transparent},
            {"shp", Word::Transparent},
            {"shprslt", Word::Transparent},
            {"shppict", Word::Transparent},
            {"shptxt", Word::Transparent},
            {"pntext", Word::Transparent},
            {"listtext", Word::Transparent},
            {"upr", Word::Transparent},
            {"ansi", Word::Ansi},
            {"mac", Word::Mac},
            {"pc", Word::Pc},
            {"pca", Word::Pca},
            {"ansicpg", Word::AnsiCodePage},
            {"deff", Word::DefaultFont},
            {"uc", Word::UnicodeSkip},
            {"u", Word::Unicode},
            {"bin", Word::Bin},
            {"plain", Word::Plain},
            {"b", Word::Bold},
            {"i", Word::Italic},
            {"ul", Word::Underline},
            {"ulnone", Word::UnderlineNone},
            {"strike", Word::Strike},
            {"striked", Word::Strike},
            {"f", Word::Font},
            {"fs", Word::FontSize},
            {"cf", Word::Foreground},
            {"cb", Word::Background},
            {"highlight", Word::Background},
            {"chcbpat", Word::Background},
            {"v", Word::Hidden},
            {"super", Word::Super},
            {"sub", Word::Sub},
            {"nosupersub", Word::NoSuperSub},
            {"pard", Word::Pard},
            {"ql", Word::AlignLeft},
            {"qc", Word::AlignCenter},
            {"qr", Word::AlignRight},
            {"qj", Word::AlignJustify},
            {"li", Word::LeftIndent},
            {"ri", Word::RightIndent},
            {"fi", Word::FirstIndent},
            {"sb", Word::SpaceBefore},
            {"sa", Word::SpaceAfter},
            {"intbl", Word::InTable},
            {"par", Word::Par},
            {"sect", Word::Par},
            {"page", Word::Par},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"cell", Word::Cell},
            {"row", Word::Row},
            {"trowd", Word::RowDefaults},
            {"cellx", Word::CellEdge},
            {"nestcell", Word::NestedCell},
            {"nestrow", Word::NestedRow},
            {"emdash", Word::EmDash},
            {"endash", Word::EnDash},
            {"bullet", Word::Bullet},
            {"lquote", Word::LeftQuote},
            {"rquote", Word::RightQuote},
            {"ldblquote", Word::LeftDoubleQuote},
            {"rdblquote", Word::RightDoubleQuote},
            {"emspace", Word::EmSpace},
            {"enspace", Word::EnSpace},
            {"qmspace", Word::QuarterEmSpace},
            {"pngblip", Word::PngBlip},
            {"jpegblip", Word::JpegBlip},
            {"dibitmap", Word::Dib},
            {"wbitmap", Word::OtherPicture},
            {"wmetafile", Word::WmfPicture},
            {"emfblip", Word::EmfBlip},
            {"macpict", Word::OtherPicture},
            {"pmmetafile", Word::OtherPicture},
            {"picwgoal", Word::GoalWidth},
            {"pichgoal", Word::GoalHeight},
            {"picscalex", Word::ScaleX},
            {"picscaley", Word::ScaleY},
            {"froman", Word::FontFamilyRoman},
            {"fswiss", Word::FontFamilySwiss},
            {"fmodern", Word::FontFamilyModern},
            {"fscript", Word::FontFamilyScript},
            {"fdecor", Word::FontFamilyDecor},
            {"fnil", Word::FontFamilyOther},
            {"ftech", Word::FontFamilyOther},
            {"fbidi", Word::FontFamilyOther},
            {"fcharset", Word::FontCharset},
            {"cpg", Word::FontCodePage},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
        };
        // Destinations that hold no text of the document.
        for (const char* name :
            {"info", "stylesheet", "header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
                "footnote", "annotation", "atnid", "atnauthor", "atnicn", "atrfstart", "atrfend", "atndate", "xe", "tc",
                "txe", "rxe", "pn", "pntxta", "pntxtb", "listtable", "listoverridetable", "revtbl", "rsidtbl",
                "filetbl", "pgdsctbl", "objdata", "objclass", "objname", "nonshppict", "shpinst", "bkmkstart",
                "bkmkend", "template", "private", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn",
                "author", "operator", "title", "subject", "keywords", "comment", "doccomm", "creatim", "revtim",
                "printim", "buptim", "company", "category", "manager", "hlinkbase", "userprops", "docvar", "fchars",
                "lchars", "colorschememapping", "themedata", "datastore", "latentstyles", "xmlnstbl", "listpicture",
                "mmathPr", "protusertbl", "falt", "panose", "fontemb", "fontfile", "blipuid", "picprop", "generator"})
            t.emplace(name, Word::SkipDestination);
        // Every underline style shows as a plain underline.
        for (const char* name : {"uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd",
                 "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(name, Word::Underline);
        return t;
    }();
    return table;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return isAsciiLetter(c);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QImage decodePicture(const QByteArray& file, const char* format, qint64& budget)
{
    if (qstrcmp(format, "PNG") == 0 && !pngChunksFit(std::string_view(file.constData(), std::size_t(file.size()))))
        return {};
    const QuietDecode quiet;
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // Qt's own cap on the picture it allocates, in MB, rounded up from what is left.
    reader.setAllocationLimit(int(std::min<qint64>((budget >> 20) + 1, 1024)));
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() * 4 > budget)
        return {};
    QImage image = reader.read();
    budget -= image.sizeInBytes();
    return image;
}

// A WMF (\wmetafile, standard without the placeable header) or EMF (\emfblip)
// picture, played by the metafile player at its \picwgoal x \pichgoal size
// (the metafile's own size without them), at kMetafileOversample times that
// many pixels so that print stays sharp, on a transparent ground.
QImage metafilePicture(const Picture& picture, qint64& budget)
{
    metafile::Metafile file;
    try {
        file = metafile::parse(
            reinterpret_cast<const std::uint8_t*>(picture.data.constData()), std::size_t(picture.data.size()));
    } catch (const metafile::MetafileError&) {
        return {};
    }
    auto pixels = [](int goalTwips, int own) {
        const double size = goalTwips > 0 ? goalTwips / kTwipsPerPixel : double(own);
        return int(std::clamp(std::round(size), 1.0, double(kMaxPicturePixels))) * kMetafileOversample;
    };
    const QSize size(pixels(picture.goalWidth, file.width), pixels(picture.goalHeight, file.height));
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (bytes > budget)
        return {};
    QImage image = metafile::render(file, size, Qt::transparent);
    budget -= image.sizeInBytes();
    return image;
}

// Pictures stored as device-independent bitmaps lack the file header that image
// readers expect in front of them.
QByteArray dibToBmpFile(const QByteArray& dib)
{
    if (dib.size() < 16)
        return {};
    auto u32 = [&](int at) { return readLe32(dib.constData() + at); };
    const std::uint32_t headerSize = u32(0);
    if (headerSize < 12 || headerSize > std::uint32_t(dib.size()))
        return {};
    std::uint64_t paletteBytes = 0;
    if (headerSize >= 40 && dib.size() >= 40) {
        const int bitCount = readLe16(dib.constData() + 14);
        const std::uint32_t compression = u32(16);
        std::uint64_t colours = u32(32);
        if (colours == 0 && bitCount <= 8)
            colours = std::uint64_t(1) << bitCount;
        paletteBytes = colours * 4;
        if (headerSize == 40 && (compression == 3 || compression == 6))
            paletteBytes += compression == 3 ? 12 : 16;
    } else if (headerSize == 12) {
        const int bitCount = readLe16(dib.constData() + 10);
        if (bitCount <= 8)
            paletteBytes = (std::uint64_t(1) << bitCount) * 3;
    }
    const std::uint64_t offset = 14 + std::uint64_t(headerSize) + paletteBytes;
    const std::uint64_t fileSize = 14 + std::uint64_t(dib.size());
    if (offset > fileSize)
        return {};
    QByteArray file;
    file.reserve(qsizetype(fileSize));
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.append(char((v >> (8 * i)) & 0xFF));
    };
    file.append("BM", 2);
    put32(std::uint32_t(fileSize));
    put32(0);
    put32(std::uint32_t(offset));
    file.append(dib);
    return file;
}

class RtfReader {
public:
    RtfReader(QByteArrayView data, QTextDocument& document) : data_(data), document_(document), cursor_(&document)
    {
        cursor_.movePosition(QTextCursor::End);
        stack_.reserve(kMaxDepth);
        // References into these stay valid: they never grow past their reservation.
        charFormats_.reserve(kFormatCacheSize);
        blockFormats_.reserve(kFormatCacheSize);
    }

    void run();

    // The same reading in pieces: begin() once, then step() until it answers true.
    // Each step is one edit of the document, so a view that shows it lays out only
    // what the step added.
    void begin();
    bool step(std::size_t bytes);
    std::size_t position() const { return pos_; }

private:
    void parseUntil(std::size_t end);
    void closeAll();

    GroupState& top() { return stack_.back(); }
    const GroupState& top() const { return stack_.back(); }

    void openGroup();
    void closeGroup();
    void controlSequence();
    void handleWord(std::string_view name, bool hasParameter, int parameter);
    void handleTextWord(Word word, bool hasParameter, int parameter);
    void textBytes(std::size_t begin, std::size_t end);
    void skipBinary(int count);

    void appendByte(char byte);
    void appendChar(char16_t c);
    void decodePending();
    void flushRun();
    void paragraphEnd();
    bool cursorMovePending() const;
    void applyBlockFormat(const ParaState& para);
    void cellEnd();
    void rowEnd();
    void prepareInsertion();
    void enterCell();
    void leaveTable();

    void commitFont();
    void commitColour();
    void pictureByte(char c);
    void finishPicture();

    int codePageOf(const CharState& chars) const;
    const FontDef* fontOf(const CharState& chars) const;
    const QTextCharFormat& charFormat(const CharState& chars);
    const QTextBlockFormat& blockFormat(const ParaState& para);

    QByteArrayView data_;
    std::size_t pos_ = 0;
    bool finished_ = false;
    QTextDocument& document_;
    QTextCursor cursor_;

    std::vector<GroupState> stack_;
    int overflowDepth_ = 0;
    bool ignorableNext_ = false;
    int charsToSkip_ = 0;

    int documentCodePage_ = 1252;
    int defaultFont_ = 0;
    std::map<int, FontDef> fonts_;
    int fontNumber_ = 0;
    FontDef fontEntry_;
    QByteArray fontName_;
    std::vector<QColor> colours_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colourTouched_ = false;

    CodePageDecoder decoder_;
    QByteArray pending_;
    int pendingCodePage_ = 1252;
    QString run_;
    CharState runState_;

    // Formats already built, reused as the same objects: Qt then finds them in its
    // format collection by their cached hash instead of hashing a new one each run.
    std::vector<std::pair<CharState, QTextCharFormat>> charFormats_;
    std::vector<std::pair<ParaState, QTextBlockFormat>> blockFormats_;

    QTextTable* table_ = nullptr;
    int row_ = 0;
    int column_ = 0;
    bool rowDone_ = false;
    int rowCellCount_ = 0;
    int cursorRow_ = -1;
    int cursorColumn_ = -1;
    // The paragraph state whose format the cursor's block carries; empty when unknown.
    std::optional<ParaState> blockPara_;

    Picture picture_;
    int pictureCount_ = 0;
    qint64 pictureBudget_ = kPictureBudget;
};

void RtfReader::run()
{
    // One edit for the whole file: the document rescans its frames after every
    // edit, which would make each table row cost as much as the document so far.
    QTextCursor edit(&document_);
    edit.beginEditBlock();
    begin();
    parseUntil(std::size_t(data_.size()));
    closeAll();
    edit.endEditBlock();
}

void RtfReader::begin()
{
    // The caller has checked the opening "{\rtf"; its brace opens the outermost group.
    while (pos_ < std::size_t(data_.size()) && data_[pos_] != '{')
        ++pos_;
}

bool RtfReader::step(std::size_t bytes)
{
    const std::size_t size = data_.size();
    QTextCursor edit(&document_);
    edit.beginEditBlock();
    parseUntil(bytes >= size - std::min(pos_, size) ? size : pos_ + bytes);
    const bool done = pos_ >= size || finished_;
    if (done)
        closeAll();
    edit.endEditBlock();
    return done;
}

void RtfReader::closeAll()
{
    // A truncated file ends wherever it stops: close what is open.
    overflowDepth_ = 0;
    while (!stack_.empty())
        closeGroup();
}

// Reads tokens while they start before `end`; the last one may run past it.
void RtfReader::parseUntil(std::size_t end)
{
    const std::size_t size = data_.size();
    while (pos_ < end && !finished_) {
        const char c = data_[pos_];
        switch (c) {
        case '{':
            ++pos_;
            openGroup();
            break;
        case '}':
            ++pos_;
            closeGroup();
            break;
        case '\\': controlSequence(); break;
        case '\r':
        case '\n': ++pos_; break;
        default: {
            std::size_t stop = pos_ + 1;
            while (stop < size) {
                const char d = data_[stop];
                if (d == '{' || d == '}' || d == '\\' || d == '\r' || d == '\n')
                    break;
                ++stop;
            }
            textBytes(pos_, stop);
            pos_ = stop;
            break;
        }
        }
    }
}

void RtfReader::openGroup()
{
    decodePending();
    ignorableNext_ = false;
    charsToSkip_ = 0;
    if (stack_.empty()) {
        stack_.emplace_back();
        return;
    }
    if (int(stack_.size()) >= kMaxDepth) {
        ++overflowDepth_;
        return;
    }
    stack_.push_back(top());
}

void RtfReader::closeGroup()
{
    decodePending();
    ignorableNext_ = false;
    charsToSkip_ = 0;
    if (overflowDepth_ > 0) {
        --overflowDepth_;
        return;
    }
    if (stack_.empty())
        return;
    if (stack_.size() == 1) {
        // The outermost group ends the document; whatever follows it is not part of it.
        flushRun();
        if (top().destination == Destination::Text) {
            prepareInsertion();
            applyBlockFormat(top().para);
        }
        stack_.pop_back();
        finished_ = true;
        return;
    }
    const GroupState closing = stack_.back();
    // Text read inside a table cell goes there before the group's state is left behind.
    if (closing.para.inTable != stack_[stack_.size() - 2].para.inTable)
        flushRun();
    stack_.pop_back();
    if (closing.destination == Destination::FontTable)
        commitFont();
    else if (closing.destination == Destination::Picture && top().destination != Destination::Picture)
        finishPicture();
}

void RtfReader::controlSequence()
{
    const std::size_t size = data_.size();
    ++pos_;  // the backslash
    if (pos_ >= size)
        return;
    const char c = data_[pos_];
    if (isLetter(c)) {
        const std::size_t nameStart = pos_;
        while (pos_ < size && isLetter(data_[pos_]))
            ++pos_;
        const std::string_view name(data_.data() + nameStart, std::min<std::size_t>(pos_ - nameStart, 32));
        bool negative = false;
        if (pos_ + 1 < size && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        bool hasParameter = false;
        std::int64_t value = 0;
        while (pos_ < size && isDigit(data_[pos_])) {
            hasParameter = true;
            value = std::min<std::int64_t>(value * 10 + (data_[pos_] - '0'), std::int64_t(1) << 40);
            ++pos_;
        }
        if (pos_ < size && data_[pos_] == ' ')
            ++pos_;
        value = std::clamp<std::int64_t>(negative ? -value : value, INT32_MIN, INT32_MAX);
        handleWord(name, hasParameter, int(value));
        return;
    }
    ++pos_;
    switch (c) {
    case '\'': {
        // An escape cut short by the end of the data is dropped.
        const int high = pos_ < size ? hexValue(data_[pos_]) : -1;
        const int low = pos_ + 1 < size ? hexValue(data_[pos_ + 1]) : -1;
        if (high >= 0 && low >= 0) {
            pos_ += 2;
            appendByte(char(high * 16 + low));
        } else if (high >= 0 && pos_ + 1 >= size) {
            ++pos_;
        }
        break;
    }
    case '\\':
    case '{':
    case '}': appendByte(c); break;
    case '*': ignorableNext_ = true; break;
    case '~': appendChar(0x00A0); break;
    case '-': appendChar(0x00AD); break;
    case '_': appendChar(0x2011); break;
    case '\r':
        if (pos_ < size && data_[pos_] == '\n')
            ++pos_;
        [[fallthrough]];
    case '\n': handleWord("par", false, 0); break;
    case '\t': appendChar(u'\t'); break;
    default: break;
    }
}

void RtfReader::handleWord(std::string_view name, bool hasParameter, int parameter)
{
    const bool ignorable = ignorableNext_;
    ignorableNext_ = false;
    if (stack_.empty())
        return;
    GroupState& state = top();
    const auto& table = wordTable();
    const auto found = table.find(name);
    if (found == table.end()) {
        // An unknown destination marked as ignorable is skipped whole; other
        // unknown words are ignored.
        if (ignorable) {
            decodePending();
            state.destination = Destination::Skip;
        }
        return;
    }
    const Word word = found->second;
    if (state.destination == Destination::Skip) {
        if (word == Word::Bin)
            skipBinary(hasParameter ? parameter : 0);
        return;
    }
    decodePending();
    switch (word) {
    case Word::FontTable: state.destination = Destination::FontTable; return;
    case Word::ColorTable: state.destination = Destination::ColorTable; return;
    case Word::Pict:
        flushRun();
        state.destination = Destination::Picture;
        picture_ = Picture{};
        return;
    case Word::SkipDestination:
    case Word::FieldInstruction: state.destination = Destination::Skip; return;
    case Word::Transparent: return;
    default: break;
    }
    switch (state.destination) {
    case Destination::FontTable:
        switch (word) {
        case Word::Font:
            commitFont();
            fontNumber_ = parameter;
            return;
        case Word::FontFamilyRoman: fontEntry_.hint = QFont::Serif; return;
        case Word::FontFamilySwiss: fontEntry_.hint = QFont::SansSerif; return;
        case Word::FontFamilyModern: fontEntry_.hint = QFont::TypeWriter; return;
        case Word::FontFamilyScript: fontEntry_.hint = QFont::Cursive; return;
        case Word::FontFamilyDecor: fontEntry_.hint = QFont::Decorative; return;
        case Word::FontCharset: fontEntry_.codePage = parameter == 2 ? 28591 : codePageOfCharset(parameter); return;
        case Word::FontCodePage:
            if (parameter > 0)
                fontEntry_.codePage = parameter;
            return;
        case Word::Bin: skipBinary(parameter); return;
        default: return;
        }
    case Destination::ColorTable:
        switch (word) {
        case Word::Red:
            red_ = std::clamp(parameter, 0, 255);
            colourTouched_ = true;
            return;
        case Word::Green:
            green_ = std::clamp(parameter, 0, 255);
            colourTouched_ = true;
            return;
        case Word::Blue:
            blue_ = std::clamp(parameter, 0, 255);
            colourTouched_ = true;
            return;
        case Word::Bin: skipBinary(parameter); return;
        default: return;
        }
    case Destination::Picture:
        switch (word) {
        case Word::PngBlip: picture_.kind = PictureKind::Png; return;
        case Word::JpegBlip: picture_.kind = PictureKind::Jpeg; return;
        case Word::Dib: picture_.kind = PictureKind::Dib; return;
        case Word::WmfPicture: picture_.kind = PictureKind::Wmf; return;
        case Word::EmfBlip: picture_.kind = PictureKind::Emf; return;
        case Word::OtherPicture: picture_.kind = PictureKind::Unknown; return;
        case Word::GoalWidth: picture_.goalWidth = parameter; return;
        case Word::GoalHeight: picture_.goalHeight = parameter; return;
        case Word::ScaleX: picture_.scaleX = parameter; return;
        case Word::ScaleY: picture_.scaleY = parameter; return;
        case Word::Bin: {
            const std::size_t count = std::min<std::size_t>(std::max(parameter, 0), data_.size() - pos_);
            picture_.data.append(data_.data() + pos_, qsizetype(count));
            pos_ += count;
            return;
        }
        default: return;
        }
    case Destination::Text: handleTextWord(word, hasParameter, parameter); return;
    case Destination::Skip: return;
    }
}

void RtfReader::handleTextWord(Word word, bool hasParameter, int parameter)
{
    GroupState& state = top();
    CharState& chars = state.chars;
    ParaState& para = state.para;
    // A toggle word without parameter turns its property on; "0" turns it off.
    const bool on = !hasParameter || parameter != 0;
    const int twips = std::clamp(parameter, -kMaxTwips, kMaxTwips);
    if (charsToSkip_ > 0 && word != Word::Unicode) {
        // Fallback text after \u may be written as control words too.
        --charsToSkip_;
    }
    switch (word) {
    case Word::Ansi: documentCodePage_ = 1252; break;
    case Word::Mac: documentCodePage_ = 10000; break;
    case Word::Pc: documentCodePage_ = 437; break;
    case Word::Pca: documentCodePage_ = 850; break;
    case Word::AnsiCodePage:
        if (parameter > 0)
            documentCodePage_ = parameter;
        break;
    case Word::DefaultFont:
        defaultFont_ = parameter;
        charFormats_.clear();
        break;
    case Word::UnicodeSkip: state.unicodeSkip = std::clamp(parameter, 0, kMaxUnicodeSkip); break;
    case Word::Unicode: {
        int code = parameter < 0 ? parameter + 65536 : parameter;
        if (code >= 0 && code <= 0xFFFF) {
            appendChar(char16_t(code));
        } else if (code > 0xFFFF && code <= 0x10FFFF) {
            code -= 0x10000;
            appendChar(char16_t(0xD800 + (code >> 10)));
            appendChar(char16_t(0xDC00 + (code & 0x3FF)));
        }
        charsToSkip_ = state.unicodeSkip;
        break;
    }
    case Word::Bin: skipBinary(parameter); break;
    case Word::Plain: {
        chars = CharState{};
        break;
    }
    case Word::Bold: chars.bold = on; break;
    case Word::Italic: chars.italic = on; break;
    case Word::Underline: chars.underline = on; break;
    case Word::UnderlineNone: chars.underline = false; break;
    case Word::Strike: chars.strike = on; break;
    case Word::Hidden: chars.hidden = on; break;
    case Word::Font: chars.font = parameter; break;
    case Word::FontSize: chars.halfPoints = hasParameter ? std::clamp(parameter, 2, 3276) : 24; break;
    case Word::Foreground: chars.foreground = std::max(parameter, 0); break;
    case Word::Background: chars.background = std::max(parameter, 0); break;
    case Word::Super: chars.vertical = on ? 1 : 0; break;
    case Word::Sub: chars.vertical = on ? -1 : 0; break;
    case Word::NoSuperSub: chars.vertical = 0; break;
    case Word::Pard: {
        const bool wasInTable = para.inTable;
        if (wasInTable)
            flushRun();
        para = ParaState{};
        break;
    }
    case Word::AlignLeft: para.alignment = Qt::AlignLeft; break;
    case Word::AlignCenter: para.alignment = Qt::AlignHCenter; break;
    case Word::AlignRight: para.alignment = Qt::AlignRight; break;
    case Word::AlignJustify: para.alignment = Qt::AlignJustify; break;
    case Word::LeftIndent: para.leftIndent = twips; break;
    case Word::RightIndent: para.rightIndent = twips; break;
    case Word::FirstIndent: para.firstIndent = twips; break;
    case Word::SpaceBefore: para.spaceBefore = std::max(twips, 0); break;
    case Word::SpaceAfter: para.spaceAfter = std::max(twips, 0); break;
    case Word::InTable:
        if (!para.inTable)
            flushRun();
        para.inTable = true;
        break;
    case Word::Par: paragraphEnd(); break;
    case Word::Line: appendChar(QChar::LineSeparator); break;
    case Word::Tab: appendChar(u'\t'); break;
    case Word::Cell: cellEnd(); break;
    case Word::Row: rowEnd(); break;
    case Word::RowDefaults: rowCellCount_ = 0; break;
    case Word::CellEdge: ++rowCellCount_; break;
    case Word::NestedCell: appendChar(u'\t'); break;
    case Word::NestedRow: appendChar(QChar::LineSeparator); break;
    case Word::EmDash: appendChar(0x2014); break;
    case Word::EnDash: appendChar(0x2013); break;
    case Word::Bullet: appendChar(0x2022); break;
    case Word::LeftQuote: appendChar(0x2018); break;
    case Word::RightQuote: appendChar(0x2019); break;
    case Word::LeftDoubleQuote: appendChar(0x201C); break;
    case Word::RightDoubleQuote: appendChar(0x201D); break;
    case Word::EmSpace: appendChar(0x2003); break;
    case Word::EnSpace: appendChar(0x2002); break;
    case Word::QuarterEmSpace: appendChar(0x2005); break;
    default: break;
    }
}

void RtfReader::skipBinary(int count)
{
    pos_ += std::min<std::size_t>(std::max(count, 0), data_.size() - pos_);
}

void RtfReader::textBytes(std::size_t begin, std::size_t end)
{
    if (stack_.empty())
        return;
    switch (top().destination) {
    case Destination::Text: {
        if (charsToSkip_ > 0) {
            const std::size_t skipped = std::min<std::size_t>(charsToSkip_, end - begin);
            charsToSkip_ -= int(skipped);
            begin += skipped;
        }
        if (begin == end || top().chars.hidden)
            return;
        const int codePage = codePageOf(top().chars);
        if (!pending_.isEmpty() && codePage != pendingCodePage_)
            decodePending();
        pendingCodePage_ = codePage;
        pending_.append(data_.data() + begin, qsizetype(end - begin));
        return;
    }
    case Destination::FontTable:
        for (std::size_t i = begin; i < end; ++i) {
            if (data_[i] == ';')
                commitFont();
            else if (fontName_.size() < 256)
                fontName_.append(data_[i]);
        }
        return;
    case Destination::ColorTable:
        for (std::size_t i = begin; i < end; ++i) {
            if (data_[i] == ';')
                commitColour();
        }
        return;
    case Destination::Picture:
        for (std::size_t i = begin; i < end; ++i)
            pictureByte(data_[i]);
        return;
    case Destination::Skip: return;
    }
}

void RtfReader::appendByte(char byte)
{
    if (stack_.empty())
        return;
    switch (top().destination) {
    case Destination::Text:
        if (charsToSkip_ > 0) {
            --charsToSkip_;
            return;
        }
        if (top().chars.hidden)
            return;
        {
            const int codePage = codePageOf(top().chars);
            if (!pending_.isEmpty() && codePage != pendingCodePage_)
                decodePending();
            pendingCodePage_ = codePage;
            pending_.append(byte);
        }
        return;
    case Destination::FontTable:
        if (fontName_.size() < 256)
            fontName_.append(byte);
        return;
    default: return;
    }
}

void RtfReader::appendChar(char16_t c)
{
    if (stack_.empty() || top().destination != Destination::Text)
        return;
    decodePending();
    if (top().chars.hidden)
        return;
    if (!run_.isEmpty() && !(runState_ == top().chars))
        flushRun();
    runState_ = top().chars;
    const qsizetype at = run_.size();
    run_.append(QChar(c));
    makeDocumentSafe(run_, at);
}

void RtfReader::decodePending()
{
    if (pending_.isEmpty() || stack_.empty())
        return;
    // Pending bytes always carry the character state they were read in: every
    // word that changes it decodes them first.
    if (!run_.isEmpty() && !(runState_ == top().chars))
        flushRun();
    runState_ = top().chars;
    const qsizetype at = run_.size();
    if (pendingCodePage_ == 28591)
        run_ += QString::fromLatin1(pending_);
    else
        decoder_.append(pending_, pendingCodePage_, run_);
    pending_.clear();
    makeDocumentSafe(run_, at);
}

void RtfReader::flushRun()
{
    if (run_.isEmpty())
        return;
    prepareInsertion();
    cursor_.insertText(run_, charFormat(runState_));
    run_.clear();
}

// Paragraph marks go into the run like text, so that a run of paragraphs in one
// format is inserted at once. Qt gives every paragraph so inserted the format of the
// block the insertion starts in: a paragraph in another format first flushes.
void RtfReader::paragraphEnd()
{
    if (cursorMovePending()) {
        flushRun();
        prepareInsertion();
    }
    if (!blockPara_ || !(*blockPara_ == top().para)) {
        flushRun();
        applyBlockFormat(top().para);
    }
    if (!run_.isEmpty() && !(runState_ == top().chars))
        flushRun();
    runState_ = top().chars;
    run_.append(QChar::ParagraphSeparator);
}

bool RtfReader::cursorMovePending() const
{
    if (!top().para.inTable)
        return table_ != nullptr;
    return !table_ || rowDone_ || row_ != cursorRow_ || column_ != cursorColumn_;
}

void RtfReader::applyBlockFormat(const ParaState& para)
{
    if (blockPara_ && *blockPara_ == para)
        return;
    cursor_.setBlockFormat(blockFormat(para));
    blockPara_ = para;
}

void RtfReader::cellEnd()
{
    flushRun();
    top().para.inTable = true;  // a cell mark belongs to its table even without \intbl
    prepareInsertion();
    const QTextTableCell cell = table_->cellAt(row_, column_);
    if (cursor_.block().length() == 1 && cursor_.position() > cell.firstPosition()) {
        // The cell's last paragraph mark followed by the cell mark: one line end, not two.
        cursor_.deletePreviousChar();
        blockPara_.reset();
    } else {
        applyBlockFormat(top().para);
    }
    if (column_ + 1 < kMaxColumns)
        ++column_;
    else
        appendChar(u'\t');
}

void RtfReader::rowEnd()
{
    flushRun();
    if (table_) {
        rowDone_ = true;
        column_ = 0;
    }
}

void RtfReader::prepareInsertion()
{
    if (top().para.inTable)
        enterCell();
    else if (table_)
        leaveTable();
}

void RtfReader::enterCell()
{
    if (table_ && rowDone_ && row_ + 1 >= kMaxTableRows) {
        // Qt's tables grow in time proportional to their size, row by row: a long
        // table continues as a new one, joined by an empty paragraph one pixel high.
        leaveTable();
        QTextBlockFormat joint;
        joint.setLineHeight(1, QTextBlockFormat::FixedHeight);
        joint.setProperty(kTableJointProperty, true);
        cursor_.setBlockFormat(joint);
        blockPara_.reset();
    }
    if (!table_) {
        QTextTableFormat format;
        format.setCellPadding(2);
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        // A table follows the paragraph before it directly; left in its own empty
        // paragraph it would show an empty line above it.
        if (cursor_.block().length() == 1 && cursor_.position() > 0
            && document_.characterAt(cursor_.position() - 1) == QChar::ParagraphSeparator) {
            cursor_.deletePreviousChar();
        }
        blockPara_.reset();
        table_ = cursor_.insertTable(1, std::clamp(rowCellCount_, 1, kMaxColumns), format);
        QTextCursor after(&document_);
        after.setPosition(table_->lastPosition() + 1);
        after.setBlockFormat(QTextBlockFormat());
        row_ = 0;
        column_ = 0;
        rowDone_ = false;
        cursorRow_ = 0;
        cursorColumn_ = 0;
    }
    if (rowDone_) {
        table_->appendRows(1);
        ++row_;
        column_ = 0;
        rowDone_ = false;
    }
    const int wanted = std::max(std::min(rowCellCount_, kMaxColumns), column_ + 1);
    if (wanted > table_->columns())
        table_->appendColumns(wanted - table_->columns());
    if (row_ != cursorRow_ || column_ != cursorColumn_) {
        cursor_ = table_->cellAt(row_, column_).lastCursorPosition();
        blockPara_.reset();
        cursorRow_ = row_;
        cursorColumn_ = column_;
    }
}

void RtfReader::leaveTable()
{
    cursor_.setPosition(table_->lastPosition() + 1);
    blockPara_.reset();
    table_ = nullptr;
    cursorRow_ = -1;
    cursorColumn_ = -1;
}

void RtfReader::commitFont()
{
    if (!fontName_.isEmpty() && fonts_.size() < kMaxTableEntries) {
        QString name;
        decoder_.append(fontName_, documentCodePage_, name);
        fontEntry_.family = name.trimmed();
        if (!fontEntry_.family.isEmpty())
            fonts_[fontNumber_] = fontEntry_;
        charFormats_.clear();
    }
    fontName_.clear();
    fontEntry_ = FontDef{};
}

void RtfReader::commitColour()
{
    // An entry without components (usually the first) is the automatic colour.
    if (colours_.size() < kMaxTableEntries)
        colours_.push_back(colourTouched_ ? QColor(red_, green_, blue_) : QColor());
    red_ = green_ = blue_ = 0;
    colourTouched_ = false;
    charFormats_.clear();
}

void RtfReader::pictureByte(char c)
{
    const int value = hexValue(c);
    if (value < 0)
        return;
    if (picture_.pendingNibble < 0) {
        picture_.pendingNibble = value;
    } else {
        picture_.data.append(char(picture_.pendingNibble * 16 + value));
        picture_.pendingNibble = -1;
    }
}

void RtfReader::finishPicture()
{
    Picture picture = std::move(picture_);
    picture_ = Picture{};
    if (stack_.empty() || top().destination != Destination::Text || top().chars.hidden)
        return;
    QImage image;
    switch (picture.kind) {
    case PictureKind::Png: image = decodePicture(picture.data, "PNG", pictureBudget_); break;
    case PictureKind::Jpeg: image = decodePicture(picture.data, "JPEG", pictureBudget_); break;
    case PictureKind::Dib: image = decodePicture(dibToBmpFile(picture.data), "BMP", pictureBudget_); break;
    case PictureKind::Wmf:
    case PictureKind::Emf: image = metafilePicture(picture, pictureBudget_); break;
    case PictureKind::Unknown: return;  // device-dependent bitmaps and Mac and OS/2 pictures are not shown
    }
    if (image.isNull())
        return;
    auto extent = [](int goalTwips, int pixels, int scale) {
        const double size = goalTwips > 0 ? goalTwips / kTwipsPerPixel : double(pixels);
        const double scaled = size * (scale > 0 ? scale : 100) / 100.0;
        return std::clamp(scaled, 1.0, double(kMaxPicturePixels));
    };
    decodePending();
    flushRun();
    prepareInsertion();
    const QString name = QStringLiteral("rtf-picture:%1").arg(++pictureCount_);
    document_.addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    // Metafiles are rendered at kMetafileOversample times their shown size.
    const int oversample
        = picture.kind == PictureKind::Wmf || picture.kind == PictureKind::Emf ? kMetafileOversample : 1;
    format.setWidth(extent(picture.goalWidth, image.width() / oversample, picture.scaleX));
    format.setHeight(extent(picture.goalHeight, image.height() / oversample, picture.scaleY));
    cursor_.insertImage(format);
}

const FontDef* RtfReader::fontOf(const CharState& chars) const
{
    const auto found = fonts_.find(chars.font < 0 ? defaultFont_ : chars.font);
    return found == fonts_.end() ? nullptr : &found->second;
}

int RtfReader::codePageOf(const CharState& chars) const
{
    const FontDef* font = fontOf(chars);
    return font && font->codePage != 0 ? font->codePage : documentCodePage_;
}

const QTextCharFormat& RtfReader::charFormat(const CharState& chars)
{
    for (const auto& [state, format] : charFormats_) {
        if (state == chars)
            return format;
    }
    if (charFormats_.size() >= kFormatCacheSize)
        charFormats_.clear();
    QTextCharFormat format;
    if (const FontDef* font = fontOf(chars)) {
        format.setFontFamilies(QStringList{font->family});
        format.setFontStyleHint(font->hint);
    } else {
        format.setFontFamilies(QStringList{QStringLiteral("Times New Roman")});
        format.setFontStyleHint(QFont::Serif);
    }
    format.setFontPointSize(chars.halfPoints / 2.0);
    format.setFontWeight(chars.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(chars.italic);
    format.setFontUnderline(chars.underline);
    format.setFontStrikeOut(chars.strike);
    auto colour = [this](int index) {
        return index > 0 && std::size_t(index) < colours_.size() ? colours_[std::size_t(index)] : QColor();
    };
    if (const QColor foreground = colour(chars.foreground); foreground.isValid())
        format.setForeground(foreground);
    if (const QColor background = colour(chars.background); background.isValid())
        format.setBackground(background);
    if (chars.vertical > 0)
        format.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (chars.vertical < 0)
        format.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    charFormats_.emplace_back(chars, format);
    return charFormats_.back().second;
}

const QTextBlockFormat& RtfReader::blockFormat(const ParaState& para)
{
    for (const auto& [state, format] : blockFormats_) {
        if (state == para)
            return format;
    }
    if (blockFormats_.size() >= kFormatCacheSize)
        blockFormats_.clear();
    QTextBlockFormat format;
    format.setAlignment(para.alignment);
    format.setLeftMargin(para.leftIndent / kTwipsPerPixel);
    format.setRightMargin(para.rightIndent / kTwipsPerPixel);
    format.setTextIndent(para.firstIndent / kTwipsPerPixel);
    format.setTopMargin(para.spaceBefore / kTwipsPerPixel);
    format.setBottomMargin(para.spaceAfter / kTwipsPerPixel);
    blockFormats_.emplace_back(para, format);
    return blockFormats_.back().second;
}

}  // namespace

bool looksLikeRtf(QByteArrayView data)
{
    qsizetype i = 0;
    while (i < data.size()
        && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n' || data[i] == '\f'
            || data[i] == '\v'))
        ++i;
    return data.sliced(i).startsWith("{\\rtf");
}

bool readRtf(QByteArrayView data, QTextDocument& document)
{
    if (!looksLikeRtf(data))
        return false;
    RtfReader reader(data, document);
    reader.run();
    return true;
}

struct RtfStepReader::Impl {
    Impl(QByteArray bytes, QTextDocument& document) : data(std::move(bytes)), reader(data, document) { }
    QByteArray data;
    RtfReader reader;
};

RtfStepReader::RtfStepReader(QByteArray data, QTextDocument& document)
    : impl_(std::make_unique<Impl>(std::move(data), document))
{
    impl_->reader.begin();
}

RtfStepReader::~RtfStepReader() = default;

bool RtfStepReader::step(qsizetype bytes)
{
    if (done_)
        return true;
    done_ = impl_->reader.step(std::size_t(std::max<qsizetype>(bytes, 1)));
    return done_;
}

qsizetype RtfStepReader::position() const
{
    return qsizetype(impl_->reader.position());
}

qsizetype RtfStepReader::size() const
{
    return impl_->data.size();
}

}  // namespace iradudo
