#include "platform/Text1251.h"

#include "platform/Convert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace morvik {

namespace {

// Unicode code points of bytes 0x80..0xFF in Windows-1251 (0 where the byte is unused).
constexpr uint16_t kHigh[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

void AppendCp1251ToUtf8(std::string& out, std::string_view bytes)
{
    // Metadata texts are mostly ASCII: runs of plain bytes go over in one append, and
    // only the bytes above 0x7F are converted one by one.
    size_t i = 0;
    while (i < bytes.size()) {
        size_t run = i;
        // Eight bytes at a time while none has its top bit set, then byte by byte.
        while (run + 8 <= bytes.size()) {
            uint64_t word;
            std::memcpy(&word, bytes.data() + run, sizeof word);
            if (word & 0x8080808080808080u)
                break;
            run += 8;
        }
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80)
            ++run;
        out.append(bytes.data() + i, run - i);
        for (i = run; i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80; ++i) {
            const unsigned char b = static_cast<unsigned char>(bytes[i]);
            AppendUtf8(out, kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD);
        }
    }
}

size_t AppendCp1251LinesToUtf8(std::string& out, std::string_view text, std::string_view indent)
{
    // One pass into a scratch buffer of the worst case, kept per thread so it is neither
    // allocated nor cleared per text: a byte becomes at most three, a CR LF a line feed
    // and the next line's indent, and there is the first indent and the last line feed.
    thread_local std::vector<char> scratch;
    const size_t perByte = std::max<size_t>(3, (indent.size() + 2) / 2);
    const size_t bound = perByte * text.size() + indent.size() + 1;
    if (scratch.size() < bound)
        scratch.resize(bound);
    char* const first = scratch.data();
    char* w = first;
    size_t lines = 0;
    ForEachCrLfLine(text, [&](std::string_view line) {
        std::memcpy(w, indent.data(), indent.size());
        w += indent.size();
        ++lines;
        const char* p = line.data();
        const char* const end = p + line.size();
        while (p < end) {
            // Eight plain bytes at a time, then one byte: a plain one is copied, one above
            // 0x7F becomes its two or three UTF-8 bytes.
            while (end - p >= 8) {
                uint64_t word;
                std::memcpy(&word, p, sizeof word);
                if (word & 0x8080808080808080u)
                    break;
                std::memcpy(w, &word, sizeof word);
                w += 8;
                p += 8;
            }
            if (p == end)
                break;
            const unsigned char b = static_cast<unsigned char>(*p++);
            if (b < 0x80) {
                *w++ = static_cast<char>(b);
                continue;
            }
            const uint32_t cp = kHigh[b - 0x80] ? kHigh[b - 0x80] : 0xFFFD;
            if (cp < 0x800) {
                *w++ = static_cast<char>(0xC0 | (cp >> 6));
            } else {
                *w++ = static_cast<char>(0xE0 | (cp >> 12));
                *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            }
            *w++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
        *w++ = '\n';
    });
    out.append(first, static_cast<size_t>(w - first));
    return lines;
}

std::string Cp1251ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    AppendCp1251ToUtf8(out, bytes);
    return out;
}

std::string Utf8ToCp1251(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        uint32_t cp;
        size_t len;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < text.size()) {
            cp = ((b & 0x1F) << 6) | (text[i + 1] & 0x3F);
            len = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < text.size()) {
            cp = ((b & 0x0F) << 12) | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F);
            len = 3;
        } else if ((b & 0xF8) == 0xF0 && i + 3 < text.size()) {
            cp = 0x10000;  // outside the code page either way
            len = 4;
        } else {
            cp = '?';
            len = 1;
        }
        i += len;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 128; ++k)
            if (kHigh[k] == cp) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        out += mapped;
    }
    return out;
}

}  // namespace morvik
