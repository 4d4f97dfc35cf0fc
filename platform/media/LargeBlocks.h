#pragma once

#include <cstddef>

namespace zypo {

/// Lets the large aligned blocks the players' decoders ask for be backed by huge pages.
///
/// Each WAV or AVI open clears a 10 MiB buffer for telling the file's format. Blocks that large
/// are mapped apart and given back when freed (so that a closed item leaves nothing resident),
/// and clearing a fresh mapping one small page at a time costs 2,560 page faults per open: tens
/// of milliseconds in a virtual machine. Advised for huge pages, the same buffer takes a handful
/// of faults, and is still given back whole. Called once before the first player is made;
/// blocks of `kLargeBlockBytes` and more asked for with posix_memalign are advised from then on.
void adviseLargeBlocks();

/// Blocks of this size and more are advised: below it, no whole huge page fits inside a block.
inline constexpr std::size_t kLargeBlockBytes = std::size_t{4} << 20;

/// How many blocks were advised in this process (for the tests).
int largeBlocksAdvised();

} // namespace zypo
