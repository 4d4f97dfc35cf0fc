#include "platform/Cp932.h"

#include <cerrno>
#include <iconv.h>

namespace zypo::Cp932 {

namespace {

constexpr char16_t EscapeBase = 0xF700; // + byte (0x80..0xFF)

bool isEscape(QChar c) {
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

} // namespace

QString decode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    Converter cv("UTF-16LE", "CP932");
    if (!cv.ok()) {
        for (char c : bytes)
            out.append(static_cast<unsigned char>(c) < 0x80
                           ? QChar(QLatin1Char(c))
                           : QChar(char16_t(EscapeBase + static_cast<unsigned char>(c))));
        return out;
    }
    const char* in = bytes.constData();
    size_t inLeft = static_cast<size_t>(bytes.size());
    QByteArray buffer(4096, Qt::Uninitialized);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = static_cast<size_t>(buffer.size());
        const size_t r = iconv(cv.get(), const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
        const qsizetype produced = buffer.size() - static_cast<qsizetype>(outLeft);
        out.append(QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer.constData()), produced / 2));
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (a lead byte at the very end): keep the byte apart and go on.
        out.append(QChar(char16_t(EscapeBase + static_cast<unsigned char>(*in))));
        ++in;
        --inLeft;
        iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

QByteArray encode(const QString& text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    Converter cv("CP932", "UTF-16LE");
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (isEscape(c)) {
            out.append(static_cast<char>(c.unicode() - EscapeBase));
            ++i;
            continue;
        }
        // One character (a surrogate pair counts as one) at a time keeps substitution simple.
        const qsizetype len =
            (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        if (c.unicode() < 0x80) {
            out.append(static_cast<char>(c.unicode()));
            ++i;
            continue;
        }
        bool converted = false;
        if (cv.ok()) {
            const char16_t* src = reinterpret_cast<const char16_t*>(text.constData() + i);
            const char* in = reinterpret_cast<const char*>(src);
            size_t inLeft = static_cast<size_t>(len * 2);
            char buf[8];
            char* outPtr = buf;
            size_t outLeft = sizeof buf;
            const size_t r = iconv(cv.get(), const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
            if (r != static_cast<size_t>(-1) && inLeft == 0) {
                out.append(buf, static_cast<qsizetype>(sizeof buf - outLeft));
                converted = true;
            } else {
                iconv(cv.get(), nullptr, nullptr, nullptr, nullptr);
            }
        }
        if (!converted)
            out.append('?');
        i += len;
    }
    return out;
}

bool hasInvalidBytes(const QString& text) {
    for (const QChar c : text)
        if (isEscape(c))
            return true;
    return false;
}

} // namespace zypo::Cp932
