// DrvEscape through the hook table: the standard queries and the private codes.
#include "render_fixture.h"

namespace rendertest {
namespace {

using testsupport::Pcl;

class Escapes : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    pdev_ = Enable();
    ASSERT_NE(pdev_, nullptr);
    so_ = Surface(pdev_);
  }
  ULONG Escape(ULONG code, ULONG cjIn, void* in, ULONG cjOut, void* out, SURFOBJ* so = nullptr) {
    return Hook<PFN_DrvEscape>(INDEX_DrvEscape)(so != nullptr ? so : &so_, code, cjIn, in, cjOut, out);
  }
  ULONG Query(uint16_t code) { return Escape(QUERYESCSUPPORT, sizeof code, &code, 0, nullptr); }

  render::Pdev* pdev_ = nullptr;
  SURFOBJ so_{};
};

TEST_F(Escapes, QuerySupportNamesTheCodesThatAreAnswered) {
  EXPECT_EQ(Query(SETCOPYCOUNT), 999u);
  for (uint16_t code : {8, 20, 6002, 0x4001, 0x4003, 0x5001, 0x5002, 0x5003, 0x5004}) EXPECT_EQ(Query(code), 1u) << code;
  for (uint16_t code : {19, 0, 0x4002, 0x5005, 6001}) EXPECT_EQ(Query(code), 0u) << code;
  uint8_t one = 8;
  EXPECT_EQ(Escape(QUERYESCSUPPORT, 1, &one, 0, nullptr), 0u);  // too short to hold a code
  SURFOBJ none{};
  uint16_t code = GETTECHNOLOGY;
  EXPECT_EQ(Escape(QUERYESCSUPPORT, 2, &code, 0, nullptr, &none), 1u);  // needs no device
}

TEST_F(Escapes, TechnologyNeedsSixBytes) {
  char out[6];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(Escape(GETTECHNOLOGY, 0, nullptr, 5, out), 0u);
  EXPECT_EQ(std::string(out, 6), "######");
  EXPECT_EQ(Escape(GETTECHNOLOGY, 0, nullptr, 6, out), 1u);
  EXPECT_EQ(std::string(out, 6), std::string("PCL5c", 6));
}

TEST_F(Escapes, PosterQuery) {
  uint32_t v = 7;
  EXPECT_EQ(Escape(6002, 0, nullptr, 4, &v), 1u);
  EXPECT_EQ(v, 0u);
  pdev_->settings.priv.LayoutMode = devmode::kLayoutPoster;
  EXPECT_EQ(Escape(6002, 0, nullptr, 4, &v), 1u);
  EXPECT_EQ(v, 1u);
  EXPECT_EQ(Escape(6002, 0, nullptr, 0, nullptr), 0u);
}

TEST_F(Escapes, OverlaySettingsAreReadOnlyWithTheExactSizeAndCanBeCleared) {
  devmode::OverlayBlock out{};
  std::memset(&out, 0x5A, sizeof out);
  EXPECT_EQ(Escape(0x4001, 0, nullptr, sizeof out - 1, &out), 0u);
  EXPECT_EQ(Escape(0x4001, 0, nullptr, sizeof out, &out), 1u);
  EXPECT_EQ(out.mode, 0);
  EXPECT_EQ(out.path[0], 0x5A5A);  // only the mode is stored when there are no settings
  pdev_->settings.priv.overlay.mode = 2;
  pdev_->settings.priv.overlay.data[255] = 9;
  EXPECT_EQ(Escape(0x4001, 0, nullptr, sizeof out, &out), 1u);
  EXPECT_EQ(std::memcmp(&out, &pdev_->settings.priv.overlay, sizeof out), 0);
  EXPECT_EQ(Escape(0x4003, 0, nullptr, 0, nullptr), 0u);
  char any = 0;
  EXPECT_EQ(Escape(0x4003, 1, &any, 0, nullptr), 1u);
  EXPECT_EQ(pdev_->settings.priv.overlay.mode, 0);
  EXPECT_EQ(pdev_->settings.priv.overlay.data[255], 0);
}

TEST_F(Escapes, DecorationBlockNeedsExactly3232Bytes) {
  std::vector<uint8_t> out(3232, 0xEE);
  EXPECT_EQ(Escape(0x5001, 0, nullptr, 3000, out.data()), 0u);
  EXPECT_EQ(out[0], 0xEE);
  pdev_->settings.priv.decoration.WatermarkIndex = 3;
  EXPECT_EQ(Escape(0x5001, 0, nullptr, 3232, out.data()), 1u);
  EXPECT_EQ(std::memcmp(out.data(), &pdev_->settings.priv.decoration, 3232), 0);
}

TEST_F(Escapes, PageNumberFollowsThePages) {
  int32_t page = 99;
  EXPECT_EQ(Escape(0x5004, 0, nullptr, 4, &page), 1u);
  EXPECT_EQ(page, -1);
  ASSERT_TRUE(Hook<PFN_DrvStartDoc>(INDEX_DrvStartDoc)(&so_, nullptr, 5));
  ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_));
  ASSERT_TRUE(Hook<PFN_DrvSendPage>(INDEX_DrvSendPage)(&so_));
  ASSERT_TRUE(Hook<PFN_DrvStartPage>(INDEX_DrvStartPage)(&so_));
  EXPECT_EQ(Escape(0x5004, 0, nullptr, 4, &page), 1u);
  EXPECT_EQ(page, 1);
  EXPECT_EQ(Escape(0x5004, 0, nullptr, 3, &page), 0u);
  EXPECT_EQ(Escape(0x5004, 0, nullptr, 4, nullptr), 0u);
  ASSERT_TRUE(Hook<PFN_DrvEndDoc>(INDEX_DrvEndDoc)(&so_, 0));
}

TEST_F(Escapes, DecorationModeForcesTransparentRasterOperations) {
  pdev_->settings.priv.decoration.WatermarkIndex = 1;
  render::ResetGraphicsCaches(*pdev_);
  pdev_->caches.CurrentLanguage = render::kLanguagePcl;
  EXPECT_EQ(Escape(0x5002, 0, nullptr, 0, nullptr), 1u);
  render::SetPclRasterOps(*pdev_, 0, 0, 0xCC);
  render::SetPclRasterOps(*pdev_, 0, 0, 0x66);
  EXPECT_EQ(Escape(0x5003, 0, nullptr, 0, nullptr), 1u);
  EXPECT_FALSE(pdev_->doc.OutputFlags & render::kDecorationMode);
  render::SetPclRasterOps(*pdev_, 0, 0, 0x66);
  EXPECT_STREAM(Pcl("\\e*v0N\\e*v0O\\e*l160O\\e*l102O"),
                std::string(reinterpret_cast<const char*>(pdev_->channel.buffer), pdev_->channel.fill));
}

TEST_F(Escapes, UnknownCodesAndInvalidDevicesReturnZero) {
  uint32_t v = 0;
  EXPECT_EQ(Escape(0x5005, 0, nullptr, 4, &v), 0u);
  EXPECT_EQ(Escape(PASSTHROUGH, 0, nullptr, 4, &v), 0u);
  SURFOBJ none{};
  EXPECT_EQ(Escape(0x5002, 0, nullptr, 0, nullptr, &none), 0u);
  EXPECT_EQ(Escape(6002, 0, nullptr, 4, &v, &none), 0u);
}

}  // namespace
}  // namespace rendertest
