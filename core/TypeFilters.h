#pragma once
// The five type filters of the browser and of the playlist editor, in the order of their lists.
// Both match names without regard to letter case; they differ only in how the playlist pattern
// is spelled.
#include <QString>

namespace zypo {

inline constexpr int TypeFilterCount = 5;
inline constexpr int PlaylistFilter = 4;

inline QString typeFilterText(int index) {
    static const char16_t* const texts[TypeFilterCount] = {u"(*.mid&*.wav&*.avi)", u"(*.mid)", u"(*.wav)",
                                                           u"(*.avi)", u"(*.rz0)"};
    return QString::fromUtf16(texts[index]);
}

enum class FilterOwner { MainWindow, Editor };

inline QString typeFilterPattern(int index, FilterOwner owner) {
    static const char16_t* const patterns[TypeFilterCount] = {u"*.mid;*.wav;*.avi", u"*.mid", u"*.wav",
                                                              u"*.avi", u"*.RZ0"};
    if (index == PlaylistFilter && owner == FilterOwner::Editor)
        return QStringLiteral("*.rz0");
    return QString::fromUtf16(patterns[index]);
}

} // namespace zypo
