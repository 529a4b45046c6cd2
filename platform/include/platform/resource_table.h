// The resource table a module file exports; written by the language-module generator and
// read by LoadLibraryW.
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kResourceTableMagic = 0x52375254;  // "TR7R"
constexpr char kResourceTableSymbol[] = "rt7700_resource_table";

struct ResourceEntry {
  uint32_t type;  // RT_STRING data is UTF-16 without a NUL
  uint32_t id;
  const void* data;
  uint32_t size;  // bytes
};

struct ResourceTable {
  uint32_t magic;
  uint32_t count;
  const ResourceEntry* entries;
};

}  // namespace platform
