#include "font_faces.h"

#include <fontconfig/fontconfig.h>

#include <freetype/ftsnames.h>
#include <freetype/tttables.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/utf16.h"
#include "win/debug.h"

namespace platform::fonts {
namespace {

std::mutex g_filesLock;
ULONG_PTR g_nextFileId = 0x7F000000;

std::map<std::string, std::shared_ptr<const FontFile>>& FilesByPath() {
  static std::map<std::string, std::shared_ptr<const FontFile>> files;
  return files;
}

struct Registered {
  std::vector<FaceInfo> faces;
  std::string path;  // empty for memory fonts
};

std::mutex g_registryLock;
uintptr_t g_nextMemoryHandle = 0x5F000000;

std::map<uintptr_t, Registered>& Registry() {
  static std::map<uintptr_t, Registered> registry;
  return registry;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           return Lower(x) == Lower(y);
         });
}

// How far a face is from the weight and slant asked for; the nearest wins.
int Distance(const FaceInfo& f, LONG weight, bool italic) {
  return std::abs(static_cast<int>(f.weight) - static_cast<int>(weight)) + (f.italic != italic ? 1000 : 0);
}

std::vector<FaceInfo> FacesOfFile(const std::shared_ptr<const FontFile>& file, bool enumerable) {
  std::vector<FaceInfo> faces;
  for (ULONG i = 0;; ++i) {
    auto face = Face::Open(file, i);
    if (face == nullptr) break;
    FaceInfo info;
    info.file = file;
    info.index = i;
    info.family = FamilyName(face->get());
    info.style = StyleName(face->get());
    info.weight = FaceWeight(face->get());
    info.italic = FaceItalic(face->get());
    info.enumerable = enumerable;
    faces.push_back(std::move(info));
    if (static_cast<FT_Long>(i) + 1 >= face->get()->num_faces) break;
  }
  return faces;
}

// fontconfig's configuration lives until the process ends; releasing it then keeps leak checkers
// quiet about the library's own allocations.
bool ConfigReady() {
  static bool ready = [] {
    if (FcInit() != FcTrue) return false;
    std::atexit([] { FcFini(); });
    return true;
  }();
  return ready;
}

std::optional<FaceInfo> InfoOfPattern(FcPattern* p) {
  FcChar8* file = nullptr;
  int index = 0;
  if (FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch) return std::nullopt;
  (void)FcPatternGetInteger(p, FC_INDEX, 0, &index);
  FaceInfo info;
  info.path = reinterpret_cast<const char*>(file);
  info.index = static_cast<ULONG>(index);
  FcChar8* s = nullptr;
  if (FcPatternGetString(p, FC_FAMILY, 0, &s) == FcResultMatch) info.family = Utf8ToUtf16(reinterpret_cast<char*>(s));
  if (FcPatternGetString(p, FC_STYLE, 0, &s) == FcResultMatch) info.style = Utf8ToUtf16(reinterpret_cast<char*>(s));
  int w = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  (void)FcPatternGetInteger(p, FC_WEIGHT, 0, &w);
  (void)FcPatternGetInteger(p, FC_SLANT, 0, &slant);
  info.weight = FcWeightToOpenType(w);
  info.italic = slant != FC_SLANT_ROMAN;
  return info;
}

}  // namespace

std::mutex& FreeTypeLock() {
  static std::mutex lock;
  return lock;
}

FT_Library FreeType() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) return static_cast<FT_Library>(nullptr);
    return l;
  }();
  return library;
}

std::shared_ptr<const FontFile> LoadFontFile(const std::string& path) {
  std::lock_guard g(g_filesLock);
  auto& files = FilesByPath();
  if (auto it = files.find(path); it != files.end()) return it->second;
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  auto file = std::make_shared<FontFile>();
  file->path = path;
  file->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad() || file->bytes.empty()) return nullptr;
  file->id = ++g_nextFileId;
  files[path] = file;
  return file;
}

std::shared_ptr<const FontFile> AdoptFontBytes(std::vector<BYTE> bytes) {
  auto file = std::make_shared<FontFile>();
  file->bytes = std::move(bytes);
  std::lock_guard g(g_filesLock);
  file->id = ++g_nextFileId;
  return file;
}

std::unique_ptr<Face> Face::Open(std::shared_ptr<const FontFile> file, ULONG faceIndex) {
  if (file == nullptr || file->bytes.empty() || faceIndex > 0xFFFF) return nullptr;
  std::lock_guard g(FreeTypeLock());
  if (FreeType() == nullptr) return nullptr;
  std::unique_ptr<Face> f(new Face());
  if (FT_New_Memory_Face(FreeType(), file->bytes.data(), static_cast<FT_Long>(file->bytes.size()),
                         static_cast<FT_Long>(faceIndex), &f->face_) != 0) {
    f->face_ = nullptr;
    return nullptr;
  }
  if (!FT_IS_SCALABLE(f->face_)) return nullptr;
  f->file_ = std::move(file);
  f->index_ = faceIndex;
  return f;
}

Face::~Face() {
  if (face_ == nullptr) return;
  std::lock_guard g(FreeTypeLock());
  FT_Done_Face(face_);
}

std::u16string FamilyName(FT_Face face) {
  // The Windows family name (name 1 of platform 3) when there is one: it is what LOGFONTW names.
  FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
    if (name.platform_id != 3 || name.name_id != 1 || name.language_id != 0x409) continue;
    std::u16string out;
    for (FT_UInt k = 0; k + 1 < name.string_len; k += 2)
      out.push_back(static_cast<char16_t>((name.string[k] << 8) | name.string[k + 1]));
    if (!out.empty()) return out;
  }
  return face->family_name != nullptr ? Utf8ToUtf16(face->family_name) : std::u16string();
}

std::u16string StyleName(FT_Face face) {
  return face->style_name != nullptr ? Utf8ToUtf16(face->style_name) : std::u16string(u"Regular");
}

LONG FaceWeight(FT_Face face) {
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 != nullptr && os2->version != 0xFFFF)
    return std::clamp<LONG>(os2->usWeightClass, 1, 1000);
  return (face->style_flags & FT_STYLE_FLAG_BOLD) != 0 ? 700 : 400;
}

bool FaceItalic(FT_Face face) { return (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0; }

std::optional<FaceInfo> MatchFace(std::u16string_view family, LONG weight, bool italic) {
  if (weight <= 0) weight = 400;
  {
    std::lock_guard g(g_registryLock);
    const FaceInfo* best = nullptr;
    for (auto& [handle, reg] : Registry())
      for (auto& f : reg.faces)
        if (SameName(f.family, family) && (best == nullptr || Distance(f, weight, italic) < Distance(*best, weight, italic)))
          best = &f;
    if (best != nullptr) return *best;
  }
  if (!ConfigReady()) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return std::nullopt;
  std::string name = Utf16ToUtf8(family);
  if (!name.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(static_cast<int>(weight)));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return std::nullopt;
  auto info = InfoOfPattern(match);
  FcPatternDestroy(match);
  return info;
}

std::vector<FaceInfo> ListFaces(std::u16string_view family) {
  std::vector<FaceInfo> faces;
  {
    std::lock_guard g(g_registryLock);
    for (auto& [handle, reg] : Registry())
      for (auto& f : reg.faces)
        if (f.enumerable && (family.empty() || SameName(f.family, family))) faces.push_back(f);
  }
  if (!ConfigReady()) return faces;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, nullptr);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcFontSet* set = pattern != nullptr && os != nullptr ? FcFontList(nullptr, pattern, os) : nullptr;
  if (set != nullptr) {
    for (int i = 0; i < set->nfont; ++i) {
      auto info = InfoOfPattern(set->fonts[i]);
      if (!info) continue;
      // A face listed under several family names is taken under the one asked for.
      bool named = family.empty();
      FcChar8* s = nullptr;
      for (int k = 0; !named && FcPatternGetString(set->fonts[i], FC_FAMILY, k, &s) == FcResultMatch; ++k) {
        if (SameName(Utf8ToUtf16(reinterpret_cast<char*>(s)), family)) {
          named = true;
          info->family = Utf8ToUtf16(reinterpret_cast<char*>(s));
        }
      }
      if (named) faces.push_back(std::move(*info));
    }
    FcFontSetDestroy(set);
  }
  if (os != nullptr) FcObjectSetDestroy(os);
  if (pattern != nullptr) FcPatternDestroy(pattern);
  std::stable_sort(faces.begin(), faces.end(), [](const FaceInfo& a, const FaceInfo& b) {
    return a.family != b.family ? a.family < b.family : a.style < b.style;
  });
  return faces;
}

int RegisterFontFile(const std::string& path, bool enumerable) {
  auto file = LoadFontFile(path);
  if (file == nullptr) return 0;
  auto faces = FacesOfFile(file, enumerable);
  if (faces.empty()) return 0;
  int n = static_cast<int>(faces.size());
  std::lock_guard g(g_registryLock);
  Registry()[++g_nextMemoryHandle] = Registered{std::move(faces), path};
  return n;
}

bool UnregisterFontFile(const std::string& path) {
  std::lock_guard g(g_registryLock);
  for (auto it = Registry().begin(); it != Registry().end(); ++it) {
    if (!it->second.path.empty() && it->second.path == path) {
      Registry().erase(it);
      return true;
    }
  }
  return false;
}

HANDLE RegisterFontMemory(std::vector<BYTE> bytes, DWORD* count) {
  auto file = AdoptFontBytes(std::move(bytes));
  auto faces = FacesOfFile(file, false);
  if (faces.empty()) return nullptr;
  if (count != nullptr) *count = static_cast<DWORD>(faces.size());
  std::lock_guard g(g_registryLock);
  uintptr_t handle = ++g_nextMemoryHandle;
  Registry()[handle] = Registered{std::move(faces), {}};
  return reinterpret_cast<HANDLE>(handle);
}

bool UnregisterFontMemory(HANDLE handle) {
  std::lock_guard g(g_registryLock);
  auto it = Registry().find(reinterpret_cast<uintptr_t>(handle));
  if (it == Registry().end() || !it->second.path.empty()) return false;
  Registry().erase(it);
  return true;
}

}  // namespace platform::fonts
