#include "platform/Cp932.h"

#include <array>
#include <iconv.h>
#include <memory>
#include <vector>

namespace zypo::Cp932 {

namespace {

constexpr char16_t EscapeBase = 0xF700; // + byte (0x80..0xFF)

bool isEscape(QChar c) {
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}
bool isLead(unsigned b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

/// The code page as two tables, built once from iconv's CP932. Only codes that convert back to
/// themselves are kept: the few characters that have two codes (the NEC and IBM extensions)
/// decode from their one canonical code, and the other code stays raw bytes. So reading and
/// writing back always gives the same bytes.
struct Tables {
    std::array<char16_t, 256> single{}; // 0 = not a character of its own
    std::vector<char16_t> pair;         // (lead << 8 | trail) → char, 0 = none
    std::vector<std::uint16_t> encode;  // char → 1 or 2 bytes (high byte 0 = single), 0 = none

    Tables() : pair(65536, 0), encode(65536, 0) {
        iconv_t dec = iconv_open("UTF-16LE", "CP932");
        iconv_t enc = iconv_open("CP932", "UTF-16LE");
        const bool ok = dec != reinterpret_cast<iconv_t>(-1) && enc != reinterpret_cast<iconv_t>(-1);
        auto convert = [](iconv_t cd, const char* in, size_t inLen, char* out, size_t outLen) -> size_t {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            char* src = const_cast<char*>(in);
            char* dst = out;
            size_t left = outLen;
            if (iconv(cd, &src, &inLen, &dst, &left) == static_cast<size_t>(-1) || inLen != 0)
                return 0;
            return outLen - left;
        };
        auto roundTrips = [&](const char* bytes, size_t n, char16_t& c) {
            char u[8];
            if (convert(dec, bytes, n, u, sizeof u) != 2)
                return false;
            c = static_cast<char16_t>(static_cast<unsigned char>(u[0]) |
                                      (static_cast<unsigned char>(u[1]) << 8));
            char back[4];
            const size_t m = convert(enc, u, 2, back, sizeof back);
            return m == n && std::equal(bytes, bytes + n, back);
        };
        for (unsigned b = 0; b < 0x80; ++b)
            single[b] = static_cast<char16_t>(b);
        if (!ok) {
            if (dec != reinterpret_cast<iconv_t>(-1))
                iconv_close(dec);
            if (enc != reinterpret_cast<iconv_t>(-1))
                iconv_close(enc);
            for (unsigned b = 0; b < 0x80; ++b)
                encode[b] = static_cast<std::uint16_t>(b);
            return;
        }
        for (unsigned b = 0x80; b < 0x100; ++b) {
            if (isLead(b))
                continue;
            const char byte = static_cast<char>(b);
            char16_t c = 0;
            if (roundTrips(&byte, 1, c))
                single[b] = c;
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLead(lead))
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char16_t c = 0;
                if (roundTrips(bytes, 2, c))
                    pair[(lead << 8) | trail] = c;
            }
        }
        for (unsigned b = 0; b < 0x100; ++b)
            if (single[b] || b == 0)
                encode[single[b]] = static_cast<std::uint16_t>(b);
        for (unsigned code = 0; code < 0x10000; ++code)
            if (pair[code] && !encode[pair[code]])
                encode[pair[code]] = static_cast<std::uint16_t>(code);
        iconv_close(dec);
        iconv_close(enc);
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

QString decode(const QByteArray& bytes) {
    const Tables& t = tables();
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            out.append(QChar(char16_t(b)));
            ++i;
            continue;
        }
        if (isLead(b) && i + 1 < n) {
            const char16_t c = t.pair[(b << 8) | p[i + 1]];
            if (c) {
                out.append(QChar(c));
                i += 2;
                continue;
            }
        } else if (!isLead(b) && t.single[b]) {
            out.append(QChar(t.single[b]));
            ++i;
            continue;
        }
        // Not a character of the code page: kept apart as the byte itself.
        out.append(QChar(char16_t(EscapeBase + b)));
        ++i;
    }
    return out;
}

QByteArray encode(const QString& text) {
    const Tables& t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isEscape(c)) {
            out.append(static_cast<char>(c.unicode() - EscapeBase));
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append('?'); // beyond the code page
            ++i;
            continue;
        }
        const std::uint16_t code = t.encode[c.unicode()];
        if (code == 0 && c.unicode() != 0) {
            out.append('?'); // the code page's default substitution
        } else if (code > 0xFF) {
            out.append(static_cast<char>(code >> 8));
            out.append(static_cast<char>(code & 0xFF));
        } else {
            out.append(static_cast<char>(code));
        }
    }
    return out;
}

QString readable(QString text) {
    for (QChar& c : text)
        if (isEscape(c))
            c = QChar(QChar::ReplacementCharacter);
    return text;
}

bool hasInvalidBytes(const QString& text) {
    for (const QChar c : text)
        if (isEscape(c))
            return true;
    return false;
}

} // namespace zypo::Cp932
