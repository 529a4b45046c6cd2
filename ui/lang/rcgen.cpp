// Turns a language's text sources into the C++ source of its module file: string table,
// dialog templates, pictures and the manifest, behind the table LoadLibraryW reads.
//
//   rcgen OUT.cpp STRINGS DIALOGS PICTURES.txt
//
// STRINGS and DIALOGS are each a file or a folder; a folder's *.txt files are read in name order,
// so every page keeps its texts in a file of its own. An id given twice fails the build.
//
// strings:  "<id><TAB><text>" (UTF-8; \n, \t and \\ escapes); '#' starts a comment line.
// dialogs:  "dialog <id> <caption string id>" then "control <id> <class> [options]" lines, kept as
//           text and checked here as the platform reads them (platform/src/ui/dialog_template.h:
//           style=, text=#<string id> or text="literal", rect=); a line that would not load fails
//           the build.
// pictures: "picture <id> <width> <height> <cols> <rows>" a page with cols x rows cells;
//           "icon <id> <size>".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ui/dialog_template.h"

namespace {

struct Resource {
  uint32_t type;
  uint32_t id;
  std::vector<uint8_t> bytes;
};

constexpr uint32_t kBitmap = 2, kDialog = 5, kString = 6, kGroupIcon = 14, kManifest = 24;

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "rcgen: " << what << "\n";
  std::exit(1);
}

std::u16string Utf8ToUtf16(const std::string& s, const std::string& where) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else Fail("bad UTF-8 in " + where);
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= s.size()) Fail("cut UTF-8 in " + where);
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 'n' ? '\n' : n == 't' ? '\t' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot read " + path);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

// The file itself, or a folder's *.txt files in name order.
std::vector<std::string> Sources(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(path, ec)) return {path};
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(path, ec)) {
    if (e.path().extension() == ".txt") files.push_back(e.path().string());
  }
  if (ec) Fail("cannot list " + path);
  std::sort(files.begin(), files.end());
  return files;
}

void Strings(const std::string& path, std::map<uint32_t, std::string>& seen, std::vector<Resource>& out) {
  int n = 0;
  for (const auto& line : Lines(path)) {
    ++n;
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) Fail(path + ":" + std::to_string(n) + ": expected <id><TAB><text>");
    uint32_t id = static_cast<uint32_t>(std::stoul(line.substr(0, tab)));
    auto [where, fresh] = seen.emplace(id, path + ":" + std::to_string(n));
    if (!fresh) Fail(path + ":" + std::to_string(n) + ": string " + std::to_string(id) + " already at " + where->second);
    std::u16string text = Utf8ToUtf16(Unescape(line.substr(tab + 1)), path + ":" + std::to_string(n));
    if (text.empty()) Fail(path + ":" + std::to_string(n) + ": empty string");
    Resource r{kString, id, {}};
    for (char16_t c : text) {
      r.bytes.push_back(static_cast<uint8_t>(c & 0xFF));
      r.bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(std::move(r));
  }
}

void Dialogs(const std::string& path, std::map<uint32_t, std::string>& seen, std::vector<Resource>& out) {
  Resource* current = nullptr;
  for (const auto& line : Lines(path)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "dialog") {
      uint32_t id;
      words >> id;
      auto [where, fresh] = seen.emplace(id, path);
      if (!fresh) Fail(path + ": dialog " + std::to_string(id) + " already in " + where->second);
      out.push_back({kDialog, id, {}});
      current = &out.back();
    } else if (current == nullptr) {
      Fail(path + ": control before any dialog");
    }
    current->bytes.insert(current->bytes.end(), line.begin(), line.end());
    current->bytes.push_back('\n');
  }
  for (const auto& r : out) {
    if (r.type != kDialog) continue;
    std::string error;
    std::string_view text(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
    if (!platform::ui::ParseDialogTemplate(text, error)) Fail(path + ": dialog " + std::to_string(r.id) + ": " + error);
  }
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A 24-bit bottom-up DIB: a white page with a black outline and cols x rows grey cells.
std::vector<uint8_t> Picture(int width, int height, int cols, int rows) {
  std::vector<uint8_t> b;
  int stride = (width * 3 + 3) / 4 * 4;
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(width));
  Put32(b, static_cast<uint32_t>(height));
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);
  Put32(b, static_cast<uint32_t>(stride * height));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, 0);
  Put32(b, 0);
  for (int yUp = 0; yUp < height; ++yUp) {
    int y = height - 1 - yUp;
    for (int x = 0; x < width; ++x) {
      uint8_t v = 255;
      if (x == 0 || y == 0 || x == width - 1 || y == height - 1) {
        v = 0;
      } else if (cols > 0 && rows > 0) {
        int cw = (width - 2) / cols, ch = (height - 2) / rows;
        int cx = (x - 1) % (cw > 0 ? cw : 1), cy = (y - 1) % (ch > 0 ? ch : 1);
        bool inCell = cx >= 2 && cx < cw - 2 && cy >= 2 && cy < ch - 2;
        if (inCell) v = (cy % 3 == 0) ? 96 : 200;
      }
      b.push_back(v);
      b.push_back(v);
      b.push_back(v);
    }
    for (int p = width * 3; p < stride; ++p) b.push_back(0);
  }
  return b;
}

void Pictures(const std::string& path, std::vector<Resource>& out) {
  for (const auto& line : Lines(path)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string kind;
    uint32_t id;
    words >> kind >> id;
    if (kind == "picture") {
      int w, h, c, r;
      if (!(words >> w >> h >> c >> r) || w <= 0 || h <= 0) Fail(path + ": bad picture line: " + line);
      out.push_back({kBitmap, id, Picture(w, h, c, r)});
    } else if (kind == "icon") {
      int size;
      if (!(words >> size) || size <= 0) Fail(path + ": bad icon line: " + line);
      out.push_back({kGroupIcon, id, Picture(size, size, 1, 1)});
    } else {
      Fail(path + ": unknown line: " + line);
    }
  }
}

constexpr char kManifestText[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "  <dependency><dependentAssembly><assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\""
    " version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>"
    "</dependentAssembly></dependency>\n</assembly>\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) Fail("usage: rcgen OUT.cpp STRINGS DIALOGS PICTURES.txt");
  std::vector<Resource> resources;
  std::map<uint32_t, std::string> strings, dialogs;
  for (const auto& file : Sources(argv[2])) Strings(file, strings, resources);
  for (const auto& file : Sources(argv[3])) Dialogs(file, dialogs, resources);
  Pictures(argv[4], resources);
  resources.push_back({kManifest, 2, std::vector<uint8_t>(kManifestText, kManifestText + sizeof kManifestText - 1)});

  std::ostringstream src;
  src << "// Generated by rcgen from the language's text sources; do not edit.\n"
         "#include \"platform/resource_table.h\"\n\nnamespace {\n";
  for (size_t i = 0; i < resources.size(); ++i) {
    const auto& r = resources[i];
    src << "alignas(4) const unsigned char r" << i << "[] = {";
    for (size_t k = 0; k < r.bytes.size(); ++k) src << (k % 24 == 0 ? "\n" : "") << unsigned(r.bytes[k]) << ",";
    src << "};\n";
  }
  src << "const platform::ResourceEntry kEntries[] = {\n";
  for (size_t i = 0; i < resources.size(); ++i) {
    src << "  {" << resources[i].type << ", " << resources[i].id << ", r" << i << ", " << resources[i].bytes.size()
        << "},\n";
  }
  src << "};\n}  // namespace\n\n"
         "extern \"C\" __attribute__((visibility(\"default\"))) const platform::ResourceTable rt7700_resource_table = {\n"
         "    platform::kResourceTableMagic, sizeof kEntries / sizeof kEntries[0], kEntries};\n";
  std::string text = src.str();
  std::ifstream old(argv[1], std::ios::binary);
  std::string previous((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
  if (previous == text) return 0;  // unchanged: keep the timestamp
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) Fail(std::string("cannot write ") + argv[1]);
  return 0;
}
