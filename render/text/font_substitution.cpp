// The font substitution file: which TrueType faces print in a resident font. Read afresh for every
// text run; an absent or empty file means every face is downloaded.
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/pdev.h"
#include "platform/utf16.h"
#include "text/text_fonts.h"
#include "win/fileapi.h"
#include "win/shell.h"

namespace render {

namespace {

constexpr size_t kFaceNameBytes = 512;  // 255 characters and the terminating zero
constexpr uint32_t kMaxRecords = 65536;  // far beyond one record per installed face

// The file's path, creating its folders; empty without an application-data folder.
std::u16string SubstitutionPath() {
  WCHAR folder[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder) != 0)
    return {};
  const std::u16string vendor = std::u16string(platform::WideField(folder, MAX_PATH)) + u"/" + kSubstitutionVendorFolder;
  const std::u16string product = vendor + u"/" + kSubstitutionFolder;
  std::error_code ec;
  for (const auto& dir : {vendor, product}) {
    const std::string utf8 = platform::Utf16ToUtf8(dir);
    if (!std::filesystem::is_directory(utf8, ec)) std::filesystem::create_directory(utf8, ec);
  }
  return product + u"/" + kSubstitutionFileName;
}

std::u16string FaceName(FONTOBJ* pfo) {
  const IFIMETRICS* ifi = pfo != nullptr ? FONTOBJ_pifi(pfo) : nullptr;
  if (ifi == nullptr || ifi->dpwszFaceName <= 0 || static_cast<ULONG>(ifi->dpwszFaceName) >= ifi->cjThis) return {};
  const auto* name = reinterpret_cast<const WCHAR*>(reinterpret_cast<const uint8_t*>(ifi) + ifi->dpwszFaceName);
  return std::u16string(platform::WideField(name, (ifi->cjThis - static_cast<ULONG>(ifi->dpwszFaceName)) / 2));
}

}  // namespace

bool FindSubstitution(const uint8_t* data, size_t size, const char16_t* faceName, int* fontNumber) {
  if (data == nullptr || faceName == nullptr || size < 4) return false;
  uint32_t count = 0;
  std::memcpy(&count, data, 4);  // little-endian, as the host
  const std::u16string_view face(faceName);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = 4 + size_t{i} * kSubstitutionRecordBytes;
    if (at + kFaceNameBytes + 2 > size) break;  // a short file: only what is there is compared
    const uint16_t number = static_cast<uint16_t>(data[at + kFaceNameBytes] | (data[at + kFaceNameBytes + 1] << 8));
    if (number == 0) continue;
    size_t length = 0;
    char16_t name[kFaceNameBytes / 2];
    for (; length < kFaceNameBytes / 2; ++length) {
      name[length] = static_cast<char16_t>(data[at + 2 * length] | (data[at + 2 * length + 1] << 8));
      if (name[length] == 0) break;
    }
    if (std::u16string_view(name, length) == face) {
      if (fontNumber != nullptr) *fontNumber = number;
      return true;
    }
  }
  return false;
}

bool LookUpSubstitutionFace(const char16_t* faceName, int* fontNumber) {
  if (faceName == nullptr || faceName[0] == 0) return false;
  const std::u16string path = SubstitutionPath();
  if (path.empty()) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  uint8_t head[4] = {};
  DWORD got = 0;
  bool found = false;
  if (ReadFile(file, head, 4, &got, nullptr) && got == 4) {
    uint32_t count = 0;
    std::memcpy(&count, head, 4);
    if (count > 0 && count <= kMaxRecords) {
      std::vector<uint8_t> image(4 + size_t{count} * kSubstitutionRecordBytes, 0);
      std::memcpy(image.data(), head, 4);
      DWORD read = 0;
      if (ReadFile(file, image.data() + 4, static_cast<DWORD>(image.size() - 4), &read, nullptr))
        found = FindSubstitution(image.data(), 4 + size_t{read}, faceName, fontNumber);
    }
  }
  CloseHandle(file);
  return found;
}

bool LookUpSubstitution(FONTOBJ* pfo, int* fontNumber) {
  const std::u16string face = FaceName(pfo);
  return LookUpSubstitutionFace(face.c_str(), fontNumber);
}

}  // namespace render
