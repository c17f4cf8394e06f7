// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewers/text/code_pages.h"

#include <QStringDecoder>

namespace iradudo {
namespace {

// 0x80..0x9F of code page 1252; the five unassigned bytes map to the C1 controls
// of the same value, as Windows itself converts them.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
    0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char* converterName(int codePage)
{
    switch (codePage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 852: return "IBM852";
    case 866: return "IBM866";
    case 874: return "windows-874";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 1250: return "windows-1250";
    case 1251: return "windows-1251";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 1258: return "windows-1258";
    case 10000: return "macintosh";
    // Mac Japanese: Shift_JIS with a few Apple additions that no converter here knows.
    case 10001: return "Shift_JIS";
    case 65001: return "UTF-8";
    default: return nullptr;
    }
}

void appendCp1252(QByteArrayView bytes, QString& out)
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    QChar* dest = out.data() + start;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *dest++ = (byte >= 0x80 && byte < 0xA0) ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
    }
}

}  // namespace

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 77: return 10000;
    case 78: return 10001;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
    }
}

CodePageDecoder::CodePageDecoder() = default;
CodePageDecoder::~CodePageDecoder() = default;

QStringDecoder* CodePageDecoder::decoderFor(int codePage)
{
    auto found = decoders_.find(codePage);
    if (found != decoders_.end())
        return found->second.get();
    std::unique_ptr<QStringDecoder> decoder;
    if (const char* name = converterName(codePage)) {
        decoder = std::make_unique<QStringDecoder>(name, QStringConverter::Flag::Stateless);
        if (!decoder->isValid())
            decoder.reset();
    }
    return decoders_.emplace(codePage, std::move(decoder)).first->second.get();
}

void CodePageDecoder::append(QByteArrayView bytes, int codePage, QString& out)
{
    if (bytes.isEmpty())
        return;
    QStringDecoder* decoder = codePage == 1252 ? nullptr : decoderFor(codePage);
    if (!decoder) {
        appendCp1252(bytes, out);
        return;
    }
    out += decoder->decode(bytes);
}

}  // namespace iradudo
