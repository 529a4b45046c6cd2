// Lays fuzz input out as a devmode whose claimed size ends exactly at its allocation's end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "win/devmode.h"

inline std::vector<uint8_t> RecordFrom(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(std::max<size_t>(size, 72));
  std::memcpy(bytes.data(), data, size);
  WORD dmSize, extra;
  std::memcpy(&dmSize, bytes.data() + offsetof(DEVMODEW, dmSize), 2);
  std::memcpy(&extra, bytes.data() + offsetof(DEVMODEW, dmDriverExtra), 2);
  bytes.resize(std::max<size_t>(72, static_cast<size_t>(dmSize) + extra));
  bytes.shrink_to_fit();
  return bytes;
}
