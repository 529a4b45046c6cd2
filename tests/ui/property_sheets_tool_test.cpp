// rt7700-print's devmode comes from the interface library's sheet entry point without UI.
#include <cstring>

#include "capabilities.h"
#include "entry_fixture.h"

namespace {

using devmode::StoredDevmode;

class PropertySheetsToolTest : public testsupport::EntryTest {
 protected:
  const std::string library_ = std::string(RT7700_LIB_DIR) + "/rt7700PCL5eui.so";
};

TEST_F(PropertySheetsToolTest, TheJobIsMergedIntoThePrintersDefaultsAndValidated) {
  StoredDevmode defaults = Current();
  defaults.pub.dmOrientation = DMORIENT_LANDSCAPE;
  ASSERT_TRUE(platform::spooler::AddPrinter({kPrinter, kDriver, "/opt/dr.so", library_, u"winprint", "MEMORY:",
                                             std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&defaults),
                                                                  reinterpret_cast<const uint8_t*>(&defaults + 1))}));
  StoredDevmode job = Current();
  job.pub.dmFields &= ~DM_ORIENTATION;  // the job leaves orientation to the printer
  job.pub.dmCopies = 7;
  job.priv.MultipleUp = 4;
  job.priv.Thickness = 9;  // out of range
  StoredDevmode out{};
  ASSERT_TRUE(rt7700print::InterfaceDevmode(library_, kPrinter, job, &out));
  EXPECT_EQ(out.pub.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(out.pub.dmCopies, 7);
  EXPECT_EQ(out.priv.MultipleUp, 4);
  EXPECT_EQ(out.priv.Thickness, 1);
  EXPECT_EQ(out.priv.signature, devmode::kPrivSignature);

  // The same record may be given in and out.
  ASSERT_TRUE(rt7700print::InterfaceDevmode(library_, kPrinter, job, &job));
  EXPECT_EQ(0, std::memcmp(&job, &out, sizeof out));
}

TEST_F(PropertySheetsToolTest, ACustomPaperKeepsTheJobsSize) {
  StoredDevmode job = Current();
  job.pub.dmPaperSize = 288;
  job.pub.dmPaperWidth = 1500;
  job.pub.dmPaperLength = 2500;
  StoredDevmode out{};
  ASSERT_TRUE(rt7700print::InterfaceDevmode(library_, kPrinter, job, &out));
  EXPECT_EQ(out.pub.dmPaperSize, 288);
  EXPECT_EQ(out.pub.dmPaperWidth, 1500);
  EXPECT_EQ(out.pub.dmPaperLength, 2500);
}

TEST_F(PropertySheetsToolTest, WithoutTheLibraryOrThePrinterNothingIsWritten) {
  StoredDevmode job = Current();
  StoredDevmode out{};
  out.pub.dmCopies = 55;
  EXPECT_FALSE(rt7700print::InterfaceDevmode("", kPrinter, job, &out));
  EXPECT_FALSE(rt7700print::InterfaceDevmode(library_, u"No Such Printer", job, &out));
  EXPECT_EQ(out.pub.dmCopies, 55);
}

}  // namespace
