// Font files and faces: the FreeType library, file bytes shared by every face made from them,
// fonts an application registers, and finding the face for a family, weight and slant.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "win/base.h"

namespace platform::fonts {

// The bytes of one font file (or of memory an application handed over), with an identifier
// that stays the same for as long as the process keeps the bytes.
struct FontFile {
  std::string path;  // empty for memory fonts
  std::vector<BYTE> bytes;
  ULONG_PTR id = 0;
};

// Read once per path and kept; null when the file cannot be read.
std::shared_ptr<const FontFile> LoadFontFile(const std::string& path);
std::shared_ptr<const FontFile> AdoptFontBytes(std::vector<BYTE> bytes);

// A FreeType face over a font file's bytes. FreeType's library calls are serialised by Lock().
class Face {
 public:
  static std::unique_ptr<Face> Open(std::shared_ptr<const FontFile> file, ULONG faceIndex);
  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  FT_Face get() const { return face_; }
  const FontFile& file() const { return *file_; }
  ULONG index() const { return index_; }

 private:
  Face() = default;
  std::shared_ptr<const FontFile> file_;
  FT_Face face_ = nullptr;
  ULONG index_ = 0;
};

std::mutex& FreeTypeLock();
FT_Library FreeType();

// A face on the system or registered by the application.
struct FaceInfo {
  std::shared_ptr<const FontFile> file;  // set for registered faces
  std::string path;                       // installed faces: found through fontconfig
  ULONG index = 0;
  std::u16string family;
  std::u16string style;
  LONG weight = 400;
  bool italic = false;
  bool enumerable = true;
};

// The face for a family name (case-insensitive; registered faces first, then fontconfig's
// match, which always names some face); nothing when there is no face at all.
std::optional<FaceInfo> MatchFace(std::u16string_view family, LONG weight, bool italic);
// Installed and registered faces, of one family or (empty name) of all.
std::vector<FaceInfo> ListFaces(std::u16string_view family);

// Registered faces: the number added (0 when the file holds none).
int RegisterFontFile(const std::string& path, bool enumerable);
bool UnregisterFontFile(const std::string& path);
// Memory fonts get a handle back; they are never enumerated.
HANDLE RegisterFontMemory(std::vector<BYTE> bytes, DWORD* count);
bool UnregisterFontMemory(HANDLE handle);

// Names of a face as FreeType reads them.
std::u16string FamilyName(FT_Face face);
std::u16string StyleName(FT_Face face);
LONG FaceWeight(FT_Face face);
bool FaceItalic(FT_Face face);

}  // namespace platform::fonts
