// The setup record's file image, and loading and saving it.
#include "kxtdev/setup_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tests/kxtdev/kxtdev_fixture.h"

namespace kxtdev {
namespace {

using console::kKeyEscape;
using console::kKeyF10;
using Bytes = std::vector<unsigned char>;

// The standard default record as the file holds it, written out by hand.
const unsigned char kStandardImage[148] = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 'E',  'D',  'I',  'T',  '.',  'C',  'O',  'M',  0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF4, 0x01, 0xF6,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// The TR90X default: one drop, 201, and Modbus TCP port 504.
const unsigned char kTr90xImage[148] = {
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x01, 0x00, 0xC9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 'E',  'D',  'I',  'T',  '.',  'C',  'O',  'M',  0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF4, 0x01, 0xF8,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

Bytes ImageOf(const SetupRecord& record) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  return Bytes(bytes, bytes + sizeof record);
}

// A record of random bytes that loads without waiting: connection "None"
// (the link fails at once) and trap errors "NO" (the failure is a status line).
Bytes QuietRandomImage(unsigned seed) {
  std::mt19937 random(seed);
  Bytes image(sizeof(SetupRecord));
  for (auto& byte : image) byte = static_cast<unsigned char>(random());
  SetupRecord record;
  std::memcpy(&record, image.data(), sizeof record);
  record.connection_type = kConnectionNone;
  record.trap_errors = kChoiceNo;
  return ImageOf(record);
}

TEST(SetupRecordImage, DefaultsAreTheirFileImages) {
  EXPECT_EQ(ImageOf(StandardDefaultSetup()),
            Bytes(std::begin(kStandardImage), std::end(kStandardImage)));
  EXPECT_EQ(ImageOf(Tr90xDefaultSetup()), Bytes(std::begin(kTr90xImage), std::end(kTr90xImage)));
  // The TR90X default goes with names that begin with "TR90X", exactly.
  EXPECT_EQ(&DefaultSetupFor("TR90X1.STP"), &Tr90xDefaultSetup());
  EXPECT_EQ(&DefaultSetupFor("tr90x1.STP"), &StandardDefaultSetup());
  EXPECT_EQ(&DefaultSetupFor("KXTSW.STP"), &StandardDefaultSetup());
}

using SetupFileTest = KxtdevScreenTest;

TEST_F(SetupFileTest, LoadAndSaveAreByteIdentical) {
  const Bytes image = QuietRandomImage(7);
  WriteFile("KXTSW.STP", image.data(), image.size());
  session.terminal_port = reinterpret_cast<linklib::ComPort*>(&session);  // left by a terminal run
  EXPECT_EQ(LoadSetup(session, "KXTSW.STP"), nullptr);
  EXPECT_EQ(StatusLine(), "Unable to establish link.");
  EXPECT_EQ(ImageOf(session.setup), image);
  EXPECT_EQ(session.terminal_port, nullptr);
  Keys({kKeyEscape});  // F1 opens the screen print; Escape leaves its name field
  EXPECT_EQ(console::DispatchHotKey(console::kKeyF1, -1), 1);
  EXPECT_TRUE(Written("PRINT SCREEN"));

  std::remove("KXTSW.STP");
  Text("y");  // "Write setup to startup file?"
  SaveSetup(session);
  EXPECT_TRUE(Written("Write setup to startup file?"));
  EXPECT_EQ(FileBytes("KXTSW.STP"), image);
}

TEST_F(SetupFileTest, FileSizes) {
  const Bytes image = QuietRandomImage(11);
  struct Case {
    size_t size;  // of the file, from the image followed by filler
    bool present;
    const char* name;
    const char* message;  // shown in the error box; null: none, the image loads
  };
  const Case cases[] = {
      {0, true, "KXTSW.STP", "Can't read setup file. Use SETUP to change it"},
      {147, true, "KXTSW.STP", "Can't read setup file. Use SETUP to change it"},
      {148, true, "KXTSW.STP", nullptr},
      {200, true, "KXTSW.STP", nullptr},
      {0, false, "KXTSW.STP", "Can't locate setup file."},
      {0, false, "TR90XA.STP", "Can't locate setup file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    SCOPED_TRACE(c.name);
    terminal.ForgetWrites();
    std::remove(c.name);
    if (c.present) {
      Bytes file = image;
      file.resize(c.size, 0x5A);
      WriteFile(c.name, file.data(), file.size());
    }
    if (c.message) Keys({kKeyF10, kKeyEscape});  // the error box, then the communications setup
    EXPECT_EQ(LoadSetup(session, c.name), nullptr);
    EXPECT_TRUE(terminal.ScriptDone());
    if (c.message) {
      EXPECT_TRUE(Written(c.message));
      EXPECT_TRUE(Written("CONFIGURE THIS COMPUTER"));
      EXPECT_EQ(ImageOf(session.setup), ImageOf(DefaultSetupFor(c.name)));
    } else {
      EXPECT_FALSE(Written("CONFIGURE THIS COMPUTER"));
      EXPECT_EQ(ImageOf(session.setup), image);  // the first 148 bytes count
      // Saved again, the file is the 148-byte record.
      Text("y");
      SaveSetup(session);
      EXPECT_EQ(FileBytes(c.name), image);
    }
  }
}

TEST_F(SetupFileTest, LoadFromFileKeepsTheStartupName) {
  const Bytes other = QuietRandomImage(5);
  WriteFile("OTHER.STP", other.data(), other.size());
  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "KXTSW.STP");
  session.setup = StandardDefaultSetup();
  session.setup.trap_errors = kChoiceNo;

  const Bytes before = ImageOf(session.setup);
  Keys({kKeyEscape});  // nothing chosen: nothing changes
  EXPECT_EQ(LoadSetupFile(session), nullptr);
  EXPECT_EQ(ImageOf(session.setup), before);

  Text("OTHER");  // a typed name, without its extension
  Keys({console::kKeyEnter});
  EXPECT_EQ(LoadSetupFile(session), nullptr);
  EXPECT_TRUE(Written("LOAD SETUP FROM FILE"));
  EXPECT_EQ(ImageOf(session.setup), other);
  EXPECT_STREQ(session.setup_file_name, "KXTSW.STP");
  Text("y");
  SaveSetup(session);
  EXPECT_EQ(FileBytes("KXTSW.STP"), other);  // the startup file, not OTHER.STP

  // A chosen file that is missing: its message, the startup name's default
  // and the communications setup.
  Text("GONE");
  Keys({console::kKeyEnter, kKeyF10, kKeyEscape});
  session.setup.trap_errors = kChoiceYes;
  EXPECT_EQ(LoadSetupFile(session), nullptr);
  EXPECT_TRUE(Written("Can't locate setup file."));
  EXPECT_EQ(ImageOf(session.setup), ImageOf(StandardDefaultSetup()));
}

TEST_F(SetupFileTest, SaveFailuresAndRefusal) {
  session.setup = StandardDefaultSetup();
  session.setup.trap_errors = kChoiceNo;
  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "KXTSW.STP");
  Text("n");
  SaveSetup(session);
  EXPECT_TRUE(FileBytes("KXTSW.STP").empty());

  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "missing/KXTSW.STP");
  Text("y");
  SaveSetup(session);
  EXPECT_EQ(StatusLine(), "Can't open setup file");

  // A device that takes no bytes: the write (or its flush) fails.
  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "/dev/full");
  Text("y");
  SaveSetup(session);
  EXPECT_EQ(StatusLine(), "Can't save setup file");
}

}  // namespace
}  // namespace kxtdev
