// The names Windows reads as devices or streams, and the trailing dots and
// spaces it drops.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/zip_name_rules.h"

TEST(ZipNameRules, DevicesAndStreams) {
  const struct {
    const char* path;
    const char* reason;  // null: a plain file
  } cases[] = {
      {"aux.dat", "device name"},
      {"datafile/NUL", "device name"},
      {"COM1", "device name"},
      {"sub/lpt1.txt", "device name"},
      {"Con .txt", "device name"},
      {"con", "device name"},
      {"prn.", "device name"},
      {"nul.tar.gz", "device name"},
      {"dir\\CONIN$", "device name"},
      {"conout$.log", "device name"},
      {"com0", "device name"},
      {"LPT9/x", "device name"},
      {"file.txt:ads", "':' in name"},
      {"dir/a:b", "':' in name"},
      {"C:\\Program Files\\Kelvane\\aux.dat", "device name"},
      {"C:\\Program Files\\Kelvane\\datafile/a.dat", nullptr},  // the drive is no stream
      {"C:\\x\\y:z", "':' in name"},
      {"console.txt", nullptr},
      {"com10", nullptr},
      {"lpt", nullptr},
      {"auxiliary/nul_", nullptr},
      {"a.con", nullptr},
      {"xcom1", nullptr},
      {"", nullptr},
      {"\xB1\\/ok", nullptr},  // a double-byte character whose trail byte is '\'
  };
  for (const auto& c : cases) {
    const char* reason = UnsafePathReason(c.path);
    if (c.reason == nullptr) {
      EXPECT_EQ(reason, nullptr) << c.path << ": " << reason;
    } else {
      ASSERT_NE(reason, nullptr) << c.path;
      EXPECT_STREQ(reason, c.reason) << c.path;
    }
  }
}

TEST(ZipNameRules, TrailingDotsAndSpaces) {
  for (const char* bad : {"a.", "dir./x", "x/b ", "sub /f", "f.txt."}) {
    EXPECT_NE(TrailingDotOrSpaceReason(bad), nullptr) << bad;
  }
  for (const char* good : {"a.b", "./x", "x/../y", "dir/", ".hidden", "a b"}) {
    EXPECT_EQ(TrailingDotOrSpaceReason(good), nullptr) << good;
  }
}
