// The font substitution table the dialog edits: which TrueType face prints with which resident
// font, the resident fonts' names, the face list built from the installed fonts, and the file the
// rendering library reads back when it prints text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui::fonts {

constexpr int kResidentFontCount = 93;  // numbered 1 to 93; 0 downloads the face
constexpr size_t kFaceNameChars = 255;

// Null outside 1 to 93.
const char16_t* ResidentFontName(int number);

struct SubstitutionRecord {
  std::u16string face;
  uint16_t number = 0;
};
using SubstitutionTable = std::vector<SubstitutionRecord>;

// A face named exactly as a resident font gets that font's number; the others keep theirs.
void ApplyAutomaticMapping(SubstitutionTable& table);

// UTF-16 code-unit order, except that '_' after the first position sorts before anything.
bool FaceNameLess(std::u16string_view a, std::u16string_view b);

struct FontFamily {
  std::u16string name;
  bool trueType = false;
  uint8_t charSet = 0;
};
// The sorted face list: vertical ('@') TrueType families with and without the '@', then the full
// names of the font files, each text once; the TrueType families when the files gave no name.
std::vector<std::u16string> BuildFaceList(const std::vector<FontFamily>& families,
                                          const std::vector<std::u16string>& fileNames);

// "<application data>/Taliro/rt7x5e/rt7700PCL5efont.dat", folders created; empty without an
// application-data folder.
std::u16string SubstitutionFilePath();
// False when the file is missing, short, or claims an absurd count.
bool ReadSubstitutionFile(SubstitutionTable& table);
// Replaces the file (hidden); names are cut to 255 characters.
bool WriteSubstitutionFile(const SubstitutionTable& table);

}  // namespace ui::fonts
