// Reader and writer of the configuration-object format.
//
// A node is "<object:NAME,type:TYPE,len:N,childobjs:M>", a line feed when it has no data,
// else its N payload bytes; then its children; then "<endobj>\n". A node with children is
// written without its payload.
#include "store/config_object.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "devmode/trace.h"
#include "platform/durable_file.h"
#include "platform/utf16.h"
#include "win/error.h"

namespace ui {
namespace {

constexpr char kOpeningTag[] = "<%s:%s,%s:%s,%s:%d,%s:%d>";  // node header
constexpr char kClosingTag[] = "<%s>\n";                     // end of node
constexpr char kVersion[] = "1.001";

bool CopyField(char (&field)[kConfigNameBytes], std::string_view text) {
  if (text.size() >= kConfigNameBytes || text.find('\0') != std::string_view::npos) return false;
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), text.size());
  return true;
}

void Append(ConfigObject* parent, ConfigObject* child) {
  child->parent = parent;
  child->prev = parent->lastChild;
  child->next = nullptr;
  if (parent->lastChild != nullptr) {
    parent->lastChild->next = child;
  } else {
    parent->firstChild = child;
  }
  parent->lastChild = child;
}

bool SetData(ConfigObject* node, const void* payload, int32_t length) {
  node->dataLength = length;
  node->data.reset();
  if (length <= 0) return true;
  node->data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length) + 32]());
  if (node->data == nullptr) return false;
  if (payload != nullptr) std::memcpy(node->data.get(), payload, static_cast<size_t>(length));
  return true;
}

// "%d" of the header, as the writer would format it.
size_t TagLength(std::string_view name, std::string_view type, int32_t length, int32_t children) {
  char scratch[32];
  size_t n = std::strlen("<object:") + name.size() + std::strlen(",type:") + type.size() + std::strlen(",len:");
  n += static_cast<size_t>(std::snprintf(scratch, sizeof scratch, "%d", length));
  n += std::strlen(",childobjs:") + static_cast<size_t>(std::snprintf(scratch, sizeof scratch, "%d", children)) + 1;
  return n;
}

bool FormatNode(const ConfigObject& node, std::string& out, int depth) {
  if (depth > kConfigMaxDepth) return false;
  char tag[256];
  int n = std::snprintf(tag, sizeof tag, kOpeningTag, "object", node.name, "type", node.type, "len", node.dataLength,
                        "childobjs", node.childCount);
  if (n < 0 || static_cast<size_t>(n) > kConfigTagBytes) return false;  // would not read back
  out.append(tag, static_cast<size_t>(n));
  if (node.dataLength <= 0) {
    out += '\n';
  } else if (node.childCount <= 0) {
    out.append(reinterpret_cast<const char*>(node.data.get()), static_cast<size_t>(node.dataLength));
  }
  if (node.childCount > 0) {
    for (const ConfigObject* c = node.firstChild; c != nullptr; c = c->next) {
      if (!FormatNode(*c, out, depth + 1)) return false;
    }
  }
  n = std::snprintf(tag, sizeof tag, kClosingTag, "endobj");
  out.append(tag, static_cast<size_t>(n));
  return true;
}

// Leading decimal digits with an optional sign; nothing when the value leaves 32 bits.
bool ParseNumber(std::string_view text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  value = static_cast<int32_t>(v);
  return true;
}

// The header of a finished tag (its text ends with the reader's ',' terminator).
ConfigObject* ParseHeader(std::string_view text) {
  if (text.substr(0, 6) != "object") return nullptr;
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return nullptr;
  size_t nameEnd = text.find(",type", colon + 1);
  if (nameEnd == std::string_view::npos) return nullptr;
  std::string_view name = text.substr(colon + 1, nameEnd - colon - 1);
  std::string_view values[3];
  size_t pos = nameEnd + 1;
  for (auto& value : values) {
    size_t start = text.find(':', pos);
    if (start == std::string_view::npos) return nullptr;
    size_t end = text.find(',', start + 1);
    if (end == std::string_view::npos) return nullptr;
    value = text.substr(start + 1, end - start - 1);
    if (value.size() > kConfigNameBytes) return nullptr;
    pos = end + 1;
  }
  auto node = std::make_unique<ConfigObject>();
  if (!CopyField(node->name, name) || !CopyField(node->type, values[0])) return nullptr;
  if (!ParseNumber(values[1], node->dataLength) || !ParseNumber(values[2], node->childCount)) return nullptr;
  return node.release();
}

int CountChildren(const ConfigObject* node) {
  int n = 0;
  for (const ConfigObject* c = node->firstChild; c != nullptr; c = c->next) ++n;
  return n;
}

bool CountsMatch(const ConfigObject* node) {
  int declared = node->childCount > 0 ? node->childCount : 0;
  if (declared != CountChildren(node)) return false;
  for (const ConfigObject* c = node->firstChild; c != nullptr; c = c->next) {
    if (!CountsMatch(c)) return false;
  }
  return true;
}

std::string Utf8Path(std::u16string_view path) { return platform::Utf16ToUtf8(path); }

}  // namespace

void FreeConfigObject(ConfigObject* node) {
  if (node == nullptr) return;
  ConfigObject* c = node->firstChild;
  while (c != nullptr) {
    ConfigObject* next = c->next;
    FreeConfigObject(c);
    c = next;
  }
  node->data.reset();
  delete node;
}

bool NameReadsBack(std::string_view name, std::string_view type) {
  if (name.size() >= kConfigNameBytes || type.size() >= kConfigNameBytes) return false;
  if (name.find('\0') != std::string_view::npos || type.find('\0') != std::string_view::npos) return false;
  // The name ends at the first ",type"; the type at the first ','.
  if (name.find(",type") != std::string_view::npos || type.find(',') != std::string_view::npos) return false;
  if (type.find_first_of(":<>") != std::string_view::npos) return false;
  // A '>' ends the tag once "childobjs" or "endobj" has been seen.
  std::string_view head = name.substr(0, name.rfind('>') == std::string_view::npos ? 0 : name.rfind('>'));
  if (head.find("childobjs") != std::string_view::npos || head.find("endobj") != std::string_view::npos) return false;
  return true;
}

ConfigObject* FindChildUtf8(const ConfigObject* node, std::string_view name) {
  if (node == nullptr || name.size() >= kConfigNameBytes) return nullptr;
  for (ConfigObject* c = node->firstChild; c != nullptr; c = c->next) {
    if (std::string_view(c->name) == name) return c;
  }
  return nullptr;
}

ConfigObject* FindChild(const ConfigObject* node, std::u16string_view name) {
  return FindChildUtf8(node, platform::Utf16ToUtf8(name));
}

ConfigObject* AddChildUtf8(ConfigObject* node, std::string_view name, std::string_view type, const void* payload,
                           int32_t length) {
  if (node == nullptr || !NameReadsBack(name, type) || node->childCount == INT32_MAX) return nullptr;
  if (TagLength(name, type, length, 0) > kConfigTagBytes) return nullptr;
  // The parent's own tag grows by at most one digit.
  if (TagLength(node->name, node->type, node->dataLength, node->childCount + 1) > kConfigTagBytes) return nullptr;
  auto child = std::make_unique<ConfigObject>();
  if (!CopyField(child->name, name) || !CopyField(child->type, type)) return nullptr;
  if (!SetData(child.get(), payload, length)) return nullptr;
  Append(node, child.get());
  ++node->childCount;
  return child.release();
}

ConfigObject* AddChild(ConfigObject* node, std::u16string_view name, std::string_view type, const void* payload,
                       int32_t length) {
  return AddChildUtf8(node, platform::Utf16ToUtf8(name), type, payload, length);
}

void RemoveChildNode(ConfigObject* node, ConfigObject* child) {
  if (child->prev != nullptr) {
    child->prev->next = child->next;
  } else {
    node->firstChild = child->next;
  }
  if (child->next != nullptr) {
    child->next->prev = child->prev;
  } else {
    node->lastChild = child->prev;
  }
  --node->childCount;
  FreeConfigObject(child);
}

bool RemoveChild(ConfigObject* node, std::u16string_view name) {
  ConfigObject* child = FindChild(node, name);
  if (child == nullptr) return false;
  RemoveChildNode(node, child);
  return true;
}

bool SerializeConfigObject(const ConfigObject& root, std::string& out) {
  out.clear();
  return FormatNode(root, out, 0);
}

ConfigReadResult ReadConfigObjects(std::span<const uint8_t> bytes) {
  ConfigObject* root = nullptr;
  ConfigObject* current = nullptr;
  int depth = 0;
  auto fail = [&](ConfigReadError e) {
    FreeConfigObject(root);
    return ConfigReadResult{nullptr, e};
  };
  if (bytes.size() > kConfigMaxFileBytes) return fail(ConfigReadError::TooLarge);

  enum class Mode { Between, Tag, Payload } mode = Mode::Between;
  std::string tag;
  size_t payloadDone = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = static_cast<char>(bytes[i]);
    switch (mode) {
      case Mode::Between:
        if (c == '<') {
          tag.clear();
          mode = Mode::Tag;
        }
        break;
      case Mode::Tag: {
        tag += c;
        if (tag.size() > kConfigTagBytes) return fail(ConfigReadError::TagTooLong);
        if (c != '>' || (tag.find("childobjs") == std::string::npos && tag.find("endobj") == std::string::npos))
          break;
        tag += ',';
        mode = Mode::Between;
        if (tag.rfind("endobj", 0) == 0) {
          if (current != nullptr && current->parent != nullptr) current = current->parent;
          if (depth > 0) --depth;
          break;
        }
        ConfigObject* node = ParseHeader(tag);
        if (node == nullptr) return fail(ConfigReadError::BadTag);
        if (++depth > kConfigMaxDepth) {
          FreeConfigObject(node);
          return fail(ConfigReadError::TooDeep);
        }
        if (current == nullptr) {
          root = node;
        } else {
          Append(current, node);
        }
        current = node;
        // Payloads are only written for nodes without children; a length beside children
        // stands for no bytes in the file.
        if (node->dataLength > 0 && node->childCount > 0) node->dataLength = 0;
        if (node->dataLength > 0) {
          if (static_cast<size_t>(node->dataLength) > bytes.size() - i - 1) return fail(ConfigReadError::Truncated);
          if (!SetData(node, nullptr, node->dataLength)) return fail(ConfigReadError::TooLarge);
          payloadDone = 0;
          mode = Mode::Payload;
        }
        break;
      }
      case Mode::Payload: {
        // Payload bytes are copied as they stand, whatever they look like.
        size_t n = std::min(static_cast<size_t>(current->dataLength) - payloadDone, bytes.size() - i);
        std::memcpy(current->data.get() + payloadDone, bytes.data() + i, n);
        payloadDone += n;
        i += n - 1;
        if (payloadDone == static_cast<size_t>(current->dataLength)) mode = Mode::Between;
        break;
      }
    }
  }
  // A file cut anywhere inside its tree is damaged, not a tree with missing parts.
  if (mode != Mode::Between || depth != 0) return fail(ConfigReadError::Truncated);
  if (root != nullptr && !CountsMatch(root)) return fail(ConfigReadError::CountMismatch);
  return {root, ConfigReadError::None};
}

ConfigObject* NewDefaultTree() {
  auto* root = new ConfigObject;
  CopyField(root->name, "cfgobj");
  CopyField(root->type, "null");
  if (AddChildUtf8(root, "version", "string", kVersion, sizeof kVersion) == nullptr) {
    FreeConfigObject(root);
    return nullptr;
  }
  return root;
}

ConfigDocument* OpenConfigDocument(std::u16string_view path, ConfigOpenError* why) {
  ConfigOpenError ignored;
  ConfigOpenError& error = why != nullptr ? *why : ignored;
  error = ConfigOpenError::CannotCreate;
  if (path.empty() || path.size() > 260) return nullptr;
  std::string file = Utf8Path(path);
  std::error_code ec;
  if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) {
    ConfigObject* tree = NewDefaultTree();
    std::string bytes;
    bool ok = tree != nullptr && SerializeConfigObject(*tree, bytes) && platform::ReplaceFileDurably(file, bytes);
    FreeConfigObject(tree);
    if (!ok) return nullptr;
  }
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes, kConfigMaxFileBytes)) {
    devmode::DebugTrace("settings file: cannot read %s\n", file.c_str());
    error = ConfigOpenError::Unreadable;
    return nullptr;
  }
  ConfigReadResult read = ReadConfigObjects({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
  if (read.error != ConfigReadError::None) {
    devmode::DebugTrace("settings file: %s is damaged (error %d)\n", file.c_str(), static_cast<int>(read.error));
    error = ConfigOpenError::Damaged;
    return nullptr;
  }
  auto* document = new ConfigDocument;
  document->path = std::u16string(path);
  document->root = read.root;
  error = ConfigOpenError::None;
  return document;
}

bool SaveConfigDocument(const ConfigDocument& document) {
  if (document.root == nullptr) return false;
  std::string bytes;
  if (!SerializeConfigObject(*document.root, bytes)) return false;
  if (!platform::ReplaceFileDurably(Utf8Path(document.path), bytes)) {
    devmode::DebugTrace("settings file: writing %s failed (error %lu)\n", Utf8Path(document.path).c_str(),
                        static_cast<unsigned long>(GetLastError()));
    return false;
  }
  return true;
}

void FreeConfigDocument(ConfigDocument* document) {
  if (document == nullptr) return;
  FreeConfigObject(document->root);
  delete document;
}

}  // namespace ui
