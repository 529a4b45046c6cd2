// The substitution table, its file and the face list. The file layout is shared with the
// rendering library, which reads it for every text run: a little-endian count, then per record
// 512 bytes of UTF-16 face name, the 16-bit resident font number and 512 bytes we leave zero.
#include "pages/font_substitution_table.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/utf16.h"
#include "win/fileapi.h"
#include "win/shell.h"

namespace ui::fonts {

namespace {

constexpr const char16_t* kResidentNames[kResidentFontCount] = {
    u"Albertus Extra Bold",
    u"Albertus Medium",
    u"Antique Olive",
    u"Antique Olive Bold",
    u"Antique Olive Italic",
    u"Arial",
    u"Arial Bold",
    u"Arial Bold Italic",
    u"Arial Italic",
    u"CG Omega",
    u"CG Omega Bold",
    u"CG Omega Bold Italic",
    u"CG Omega Italic",
    u"CG Times",
    u"CG Times Bold",
    u"CG Times Bold Italic",
    u"CG Times Italic",
    u"Clarendon Condencsed",
    u"Coronet",
    u"Courier",
    u"Courier Bold",
    u"Courier Bold Italic",
    u"Courier Italic",
    u"CourierPS",
    u"CourierPS Bold",
    u"CourierPS Bold Oblique",
    u"CourierPS Oblique",
    u"Garamond",
    u"Garamond Bold",
    u"Garamond Bold Italic",
    u"Garamond Italic",
    u"Helvetica",
    u"Helvetica Bold",
    u"Helvetica Bold Oblique",
    u"Helvetica Narrow",
    u"Helvetica Narrow Bold",
    u"Helvetica Narrow Bold Oblique",
    u"Helvetica Narrow Oblique",
    u"Helvetica Oblique",
    u"HP David",
    u"HP David Bold",
    u"HP Miryam",
    u"HP Miryam Bold",
    u"HP Miryam Italic",
    u"HP Narkis Tam",
    u"HP Narkis Tam Bold",
    u"ITC Avant Garde Gothic Book",
    u"ITC Avant Garde Book Oblique",
    u"ITC Avant Garde Book Demi",
    u"ITC Avant Garde Book Demi Oblique",
    u"ITC Bookman Demi",
    u"ITC Bookman Demi Italic",
    u"ITC Bookman Light",
    u"ITC Bookman light Italic",
    u"ITC Zapf Chancery Italic",
    u"ITC Zapf Dingbats",
    u"Koufi",
    u"Koufi Bold",
    u"Letter Gothic",
    u"Letter Gothic Bold",
    u"Letter Gothic Italic",
    u"Marigold",
    u"Naskh",
    u"Naskh Bold",
    u"New Century Schoolbook Bold",
    u"New Century Schoolbook Bold Italic",
    u"New Century Schoolbook Italic",
    u"New Century Schoolbook Roman",
    u"Palatino Bold",
    u"Palatino Bold Italic",
    u"Palatino Italic",
    u"Palatino Roman",
    u"Ryadh",
    u"Ryadh Bold",
    u"Symbol PS",
    u"Symbol TT",
    u"Times Bold",
    u"Times Bold Italic",
    u"Times Italic",
    u"Times New Roman",
    u"Times New Roman Bold",
    u"Times New Roman Bold Italic",
    u"Times New Roman Italic",
    u"Times Roman",
    u"Univers Bold",
    u"Univers Bold Italic",
    u"Univers Condensed",
    u"Univers Condensed Bold",
    u"Univers Condensed Bold Italic",
    u"Univers Condensed Italic",
    u"Univers Medium",
    u"Univers Medium Italic",
    u"Wingdings",
};

constexpr size_t kRecordBytes = 1026;
constexpr size_t kNameBytes = 512;
constexpr uint32_t kMaxRecords = 65536;
constexpr DWORD kFileAttributeHidden = 0x2;

}  // namespace

const char16_t* ResidentFontName(int number) {
  return number >= 1 && number <= kResidentFontCount ? kResidentNames[number - 1] : nullptr;
}

void ApplyAutomaticMapping(SubstitutionTable& table) {
  for (auto& record : table) {
    for (int n = 1; n <= kResidentFontCount; ++n) {
      if (record.face == kResidentNames[n - 1]) {
        record.number = static_cast<uint16_t>(n);
        break;
      }
    }
  }
}

bool FaceNameLess(std::u16string_view a, std::u16string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;
    if (i > 0 && a[i] == u'_') return true;
    if (i > 0 && b[i] == u'_') return false;
    return a[i] < b[i];
  }
  return a.size() < b.size();
}

std::vector<std::u16string> BuildFaceList(const std::vector<FontFamily>& families,
                                          const std::vector<std::u16string>& fileNames) {
  std::vector<std::u16string> list;
  auto add = [&list](const std::u16string& name) {
    if (!name.empty() && std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
  };
  if (fileNames.empty()) {
    for (const auto& f : families)
      if (f.trueType) add(f.name);
  } else {
    for (const auto& f : families) {
      if (!f.trueType || f.name.size() < 2 || f.name[0] != u'@') continue;
      list.push_back(f.name);
      list.push_back(f.name.substr(1));
    }
    for (const auto& name : fileNames) add(name);
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const std::u16string& a, const std::u16string& b) { return FaceNameLess(a, b); });
  return list;
}

std::u16string SubstitutionFilePath() {
  WCHAR folder[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder) != 0) return {};
  const std::u16string vendor = std::u16string(platform::WideField(folder, MAX_PATH)) + u"/Taliro";
  const std::u16string product = vendor + u"/rt7x5e";
  std::error_code ec;
  for (const auto& dir : {vendor, product}) {
    const std::string utf8 = platform::Utf16ToUtf8(dir);
    if (!std::filesystem::is_directory(utf8, ec)) std::filesystem::create_directory(utf8, ec);
  }
  return product + u"/rt7700PCL5efont.dat";
}

bool ReadSubstitutionFile(SubstitutionTable& table) {
  table.clear();
  const std::u16string path = SubstitutionFilePath();
  if (path.empty()) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  uint8_t head[4] = {};
  DWORD got = 0;
  if (ReadFile(file, head, 4, &got, nullptr) && got == 4) {
    const uint32_t count = static_cast<uint32_t>(head[0] | (head[1] << 8) | (head[2] << 16)) |
                           (static_cast<uint32_t>(head[3]) << 24);
    if (count <= kMaxRecords) {
      std::vector<uint8_t> records(size_t{count} * kRecordBytes);
      DWORD read = 0;
      ok = records.empty() || (ReadFile(file, records.data(), static_cast<DWORD>(records.size()), &read, nullptr) &&
                               read == records.size());
      for (uint32_t i = 0; ok && i < count; ++i) {
        const uint8_t* r = records.data() + size_t{i} * kRecordBytes;
        SubstitutionRecord record;
        for (size_t k = 0; k < kNameBytes / 2; ++k) {
          const char16_t c = static_cast<char16_t>(r[2 * k] | (r[2 * k + 1] << 8));
          if (c == 0) break;
          record.face += c;
        }
        record.number = static_cast<uint16_t>(r[kNameBytes] | (r[kNameBytes + 1] << 8));
        table.push_back(std::move(record));
      }
    }
  }
  CloseHandle(file);
  if (!ok) table.clear();
  return ok;
}

bool WriteSubstitutionFile(const SubstitutionTable& table) {
  const std::u16string path = SubstitutionFilePath();
  if (path.empty() || table.size() > kMaxRecords) return false;
  std::vector<uint8_t> image(4 + table.size() * kRecordBytes, 0);
  const uint32_t count = static_cast<uint32_t>(table.size());
  for (int k = 0; k < 4; ++k) image[static_cast<size_t>(k)] = static_cast<uint8_t>(count >> (8 * k));
  for (size_t i = 0; i < table.size(); ++i) {
    uint8_t* r = image.data() + 4 + i * kRecordBytes;
    const std::u16string& face = table[i].face;
    for (size_t k = 0; k < face.size() && k < kFaceNameChars; ++k) {
      r[2 * k] = static_cast<uint8_t>(face[k]);
      r[2 * k + 1] = static_cast<uint8_t>(face[k] >> 8);
    }
    r[kNameBytes] = static_cast<uint8_t>(table[i].number);
    r[kNameBytes + 1] = static_cast<uint8_t>(table[i].number >> 8);
  }
  DeleteFileW(path.c_str());
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, kFileAttributeHidden, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr) &&
                  written == image.size();
  CloseHandle(file);
  return ok;
}

}  // namespace ui::fonts
