// Debug trace lines: formatted into a 256-character buffer, written with OutputDebugStringA.
#pragma once

namespace devmode {

[[gnu::format(printf, 1, 2)]] void DebugTrace(const char* format, ...);

}  // namespace devmode
