#pragma once
// The status bar's time texts.
#include <QString>
#include <cstdint>

namespace zypo {

/// Total length: hh:mm:ss.ttt, hours at least two digits, cut down (not rounded).
QString lengthText(std::int32_t ms);
/// Whole seconds of a position, a half to the even neighbour (2 500 → 2, 3 500 → 4).
std::int32_t roundedSeconds(std::int32_t ms);
/// Elapsed time: hh:mm:ss, hours at least two digits.
QString elapsedText(std::int32_t seconds);

} // namespace zypo
