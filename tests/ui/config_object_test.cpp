// The configuration-object format: exact bytes, round trips of awkward payloads and names,
// and damaged files.
#include "store/config_object.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/utf16.h"
#include "support/temp_dir.h"

namespace {

using ui::ConfigObject;

struct TreeDeleter {
  void operator()(ConfigObject* n) const { ui::FreeConfigObject(n); }
};
using Tree = std::unique_ptr<ConfigObject, TreeDeleter>;

const std::string kFreshFile =
    "<object:cfgobj,type:null,len:0,childobjs:1>\n"
    "<object:version,type:string,len:6,childobjs:0>1.001" + std::string(1, '\0') +
    "<endobj>\n"
    "<endobj>\n";

std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

Tree Read(const std::string& bytes, ui::ConfigReadError expected = ui::ConfigReadError::None) {
  ui::ConfigReadResult r = ui::ReadConfigObjects(Bytes(bytes));
  EXPECT_EQ(r.error, expected);
  return Tree(r.root);
}

std::string Write(const ConfigObject& root) {
  std::string out;
  EXPECT_TRUE(ui::SerializeConfigObject(root, out));
  return out;
}

std::string Payload(const ConfigObject* n) {
  return n->dataLength > 0 ? std::string(reinterpret_cast<const char*>(n->data.get()), n->dataLength) : "";
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(ConfigObjectFormat, FreshFileHasExactlyTheDefaultTree) {
  testsupport::TempDir dir;
  auto path = dir.path() / "settings.dat";
  ui::ConfigDocument* doc = ui::OpenConfigDocument(platform::Utf8ToUtf16(path.string()));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(ReadFile(path), kFreshFile);
  ASSERT_NE(doc->root, nullptr);
  EXPECT_STREQ(doc->root->name, "cfgobj");
  EXPECT_EQ(doc->root->childCount, 1);
  const ConfigObject* version = ui::FindChild(doc->root, u"version");
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(Payload(version), std::string("1.001", 6));
  ui::FreeConfigDocument(doc);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "no temporary file left";
}

TEST(ConfigObjectFormat, PayloadsAreNeverScannedForTags) {
  Tree root(ui::NewDefaultTree());
  const std::string tricky = "<endobj>\n<object:x,type:null,len:0,childobjs:0>\n>>><<" + std::string(3, '\0');
  ConfigObject* item = ui::AddChild(root.get(), u"item", "binary", tricky.data(), static_cast<int32_t>(tricky.size()));
  ASSERT_NE(item, nullptr);
  Tree back = Read(Write(*root));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->childCount, 2);
  const ConfigObject* read = ui::FindChild(back.get(), u"item");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(Payload(read), tricky);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(read->data[tricky.size() + i], 0) << "zero tail byte " << i;
}

TEST(ConfigObjectFormat, NamesWithAwkwardCharactersSurvive) {
  Tree root(ui::NewDefaultTree());
  for (std::u16string name : {u"a>b", u">", u"x:y,z", u"Größe <A4>", u"type>"}) {
    ASSERT_NE(ui::AddChild(root.get(), name, "binary", "1", 1), nullptr) << platform::Utf16ToUtf8(name);
  }
  Tree back = Read(Write(*root));
  ASSERT_NE(back, nullptr);
  for (std::u16string name : {u"a>b", u">", u"x:y,z", u"Größe <A4>", u"type>"}) {
    EXPECT_NE(ui::FindChild(back.get(), name), nullptr) << platform::Utf16ToUtf8(name);
  }
}

TEST(ConfigObjectFormat, NamesThatWouldNotReadBackAreRefused) {
  Tree root(ui::NewDefaultTree());
  EXPECT_EQ(ui::AddChild(root.get(), u"a,type", "binary", "1", 1), nullptr);
  EXPECT_EQ(ui::AddChild(root.get(), u"endobj>", "binary", "1", 1), nullptr);
  EXPECT_EQ(ui::AddChild(root.get(), u"childobjs>x", "binary", "1", 1), nullptr);
  EXPECT_EQ(ui::AddChildUtf8(root.get(), std::string(128, 'n'), "binary", "1", 1), nullptr);
  EXPECT_NE(ui::AddChildUtf8(root.get(), std::string(127, 'n'), "binary", "1", 1), nullptr);
  EXPECT_EQ(root->childCount, 2);
  EXPECT_NE(Read(Write(*root)), nullptr);
}

TEST(ConfigObjectFormat, NodeWithDataAndChildIsWrittenWithoutPayloadAndReadsBack) {
  Tree root(ui::NewDefaultTree());
  ConfigObject* parent = ui::AddChild(root.get(), u"p", "binary", "ABCDEF", 6);
  ASSERT_NE(ui::AddChild(parent, u"c", "binary", "xy", 2), nullptr);
  std::string bytes = Write(*root);
  EXPECT_NE(bytes.find("<object:p,type:binary,len:6,childobjs:1><object:c,type:binary,len:2,childobjs:0>xy<endobj>\n"
                       "<endobj>\n"),
            std::string::npos)
      << bytes;
  EXPECT_EQ(bytes.find("ABCDEF"), std::string::npos);
  Tree back = Read(bytes);
  ASSERT_NE(back, nullptr);
  const ConfigObject* c = ui::FindChild(ui::FindChild(back.get(), u"p"), u"c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(Payload(c), "xy");
}

TEST(ConfigObjectFormat, RemovingTheOnlyChildLeavesAnEmptyContainerLine) {
  Tree root(ui::NewDefaultTree());
  ConfigObject* box = ui::AddChild(root.get(), u"box", "null", nullptr, 0);
  ui::AddChild(box, u"only", "binary", "1", 1);
  EXPECT_FALSE(ui::RemoveChild(box, u"other"));
  EXPECT_TRUE(ui::RemoveChild(box, u"only"));
  EXPECT_EQ(box->childCount, 0);
  EXPECT_EQ(box->firstChild, nullptr);
  EXPECT_EQ(box->lastChild, nullptr);
  EXPECT_NE(Write(*root).find("<object:box,type:null,len:0,childobjs:0>\n<endobj>\n"), std::string::npos);
}

TEST(ConfigObjectFormat, RemoveKeepsTheListLinked) {
  Tree root(ui::NewDefaultTree());
  for (auto n : {u"a", u"b", u"c"}) ui::AddChild(root.get(), n, "binary", "1", 1);
  EXPECT_TRUE(ui::RemoveChild(root.get(), u"b"));
  EXPECT_TRUE(ui::RemoveChild(root.get(), u"c"));
  ui::AddChild(root.get(), u"d", "binary", "1", 1);
  std::string order;
  for (ConfigObject* c = root->firstChild; c != nullptr; c = c->next) order += std::string(c->name) + " ";
  EXPECT_EQ(order, "version a d ");
  EXPECT_EQ(root->lastChild->prev->next, root->lastChild);
  EXPECT_EQ(root->childCount, 3);
}

TEST(ConfigObjectReader, BytesBetweenTagsAreSkipped) {
  Tree t = Read("junk\r\n" + kFreshFile + "\n\n");
  ASSERT_NE(t, nullptr);
  EXPECT_NE(ui::FindChild(t.get(), u"version"), nullptr);
  EXPECT_EQ(Read("").get(), nullptr);
}

TEST(ConfigObjectReader, DamagedFilesAreRefused) {
  using E = ui::ConfigReadError;
  // Cut inside a payload, inside a tag, and before the closing tags.
  Read(kFreshFile.substr(0, kFreshFile.find("1.001") + 3), E::Truncated);
  Read(kFreshFile.substr(0, 20), E::Truncated);
  Read(kFreshFile.substr(0, kFreshFile.size() - 9), E::Truncated);
  Read("<" + std::string(300, 'x') + ">", E::TagTooLong);
  Read("<object:" + std::string(250, 'n') + ",type:null,len:0,childobjs:0>\n<endobj>\n", E::TagTooLong);
  Read("<garbage childobjs>", E::BadTag);
  Read("<object:a,tipo:null,len:0,childobjs:0>\n<endobj>\n", E::BadTag);
  Read("<object:a,type:binary,len:2000000000,childobjs:0>abc<endobj>\n", E::Truncated);
  Read("<object:a,type:binary,len:99999999999,childobjs:0>abc<endobj>\n", E::BadTag);
  Read("<object:a,type:null,len:0,childobjs:2>\n<object:b,type:null,len:0,childobjs:0>\n<endobj>\n<endobj>\n",
       E::CountMismatch);
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "<object:d,type:null,len:0,childobjs:1>\n";
  Read(deep, E::TooDeep);
}

TEST(ConfigObjectDocument, DamagedFileIsLeftUntouched) {
  testsupport::TempDir dir;
  auto path = dir.path() / "settings.dat";
  const std::string damaged = kFreshFile.substr(0, kFreshFile.size() - 4);
  WriteFile(path, damaged);
  EXPECT_EQ(ui::OpenConfigDocument(platform::Utf8ToUtf16(path.string())), nullptr);
  EXPECT_EQ(ReadFile(path), damaged);
}

TEST(ConfigObjectDocument, SaveReplacesTheWholeFile) {
  testsupport::TempDir dir;
  auto path = dir.path() / "settings.dat";
  ui::ConfigDocument* doc = ui::OpenConfigDocument(platform::Utf8ToUtf16(path.string()));
  ASSERT_NE(doc, nullptr);
  ui::AddChild(doc->root, u"x", "binary", "12345", 5);
  ASSERT_TRUE(ui::SaveConfigDocument(*doc));
  ASSERT_TRUE(ui::RemoveChild(doc->root, u"x"));
  ASSERT_TRUE(ui::SaveConfigDocument(*doc));
  ui::FreeConfigDocument(doc);
  EXPECT_EQ(ReadFile(path), kFreshFile);
}

}  // namespace
