// Settings values: any text reads as a number in range or as "not a number"; a number written
// in the store's text form reads back as the same number.
#include "core/SettingsText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto v = zypo::parseSettingsInt16(text)) {
        if (zypo::parseSettingsInt16(zypo::settingsNumberText(*v)) != v)
            std::abort();
    }
    if (const auto d = zypo::parseSettingsReal(text)) {
        const auto back = zypo::parseSettingsReal(zypo::settingsNumberText(*d));
        if (!back || *back != *d)
            std::abort();
    }
    return 0;
}
