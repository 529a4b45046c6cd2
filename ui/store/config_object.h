// The configuration-object file: a tree of named nodes written as text tags with raw binary
// payloads. Every tree this writer produces reads back to the same tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace ui {

constexpr size_t kConfigNameBytes = 128;  // name and type fields, NUL included
constexpr size_t kConfigTagBytes = 255;   // longest tag text the reader takes
constexpr int kConfigMaxDepth = 64;       // deeper nesting is treated as damage
constexpr size_t kConfigMaxFileBytes = 64u << 20;

struct ConfigObject {
  char name[kConfigNameBytes] = {};
  char type[kConfigNameBytes] = {};
  int32_t childCount = 0;  // kept equal to the number of children
  int32_t dataLength = 0;  // 0 or less: no data
  // dataLength + 32 bytes, zero-filled, so a payload is always followed by 32 zero bytes.
  std::unique_ptr<uint8_t[]> data;
  ConfigObject* parent = nullptr;
  ConfigObject* firstChild = nullptr;
  ConfigObject* lastChild = nullptr;
  ConfigObject* prev = nullptr;
  ConfigObject* next = nullptr;
};

// Frees the node's children recursively, then its data, then the node.
void FreeConfigObject(ConfigObject* node);

struct ConfigDocument {
  std::u16string path;  // at most 260 characters
  ConfigObject* root = nullptr;  // null for an empty file
};

enum class ConfigOpenError { None, CannotCreate, Unreadable, Damaged };
// Creates the file with the default tree when it does not exist, then reads it. Null when the
// file cannot be created, read or parsed (why says which); a damaged file is left as it is.
[[nodiscard]] ConfigDocument* OpenConfigDocument(std::u16string_view path, ConfigOpenError* why = nullptr);
// Writes the whole tree over the file durably (platform::ReplaceFileDurably).
[[nodiscard]] bool SaveConfigDocument(const ConfigDocument& document);
void FreeConfigDocument(ConfigDocument* document);

// First child whose name equals name exactly (as UTF-8), or null.
ConfigObject* FindChild(const ConfigObject* node, std::u16string_view name);
ConfigObject* FindChildUtf8(const ConfigObject* node, std::string_view name);
// Appends a child copying the payload; null when the name or type does not fit its field or
// would not read back (see NameReadsBack).
ConfigObject* AddChild(ConfigObject* node, std::u16string_view name, std::string_view type, const void* payload,
                       int32_t length);
ConfigObject* AddChildUtf8(ConfigObject* node, std::string_view name, std::string_view type, const void* payload,
                           int32_t length);
// Unlinks the first child of that name and frees it with its subtree.
bool RemoveChild(ConfigObject* node, std::u16string_view name);
// Unlinks and frees this child of node.
void RemoveChildNode(ConfigObject* node, ConfigObject* child);

// True when a node of this name and type would be read back as written.
bool NameReadsBack(std::string_view name, std::string_view type);

// The byte format.
[[nodiscard]] bool SerializeConfigObject(const ConfigObject& root, std::string& out);
enum class ConfigReadError { None, BadTag, TagTooLong, Truncated, TooDeep, CountMismatch, TooLarge };
struct ConfigReadResult {
  ConfigObject* root = nullptr;  // owned by the caller when error is None
  ConfigReadError error = ConfigReadError::None;
};
[[nodiscard]] ConfigReadResult ReadConfigObjects(std::span<const uint8_t> bytes);

// The tree a new file holds: "cfgobj" with its "version" child.
ConfigObject* NewDefaultTree();

}  // namespace ui
