#pragma once
#include <QIcon>
#include <QPixmap>

namespace zypo {

/// The player's icon, drawn by our own code: a beamed pair of notes on a round badge.
QPixmap appIconPixmap(int size = 32);
QIcon appIcon();

} // namespace zypo
