// The library is reached by name at the first call; a missing library or function is told
// to the user and fails the call with its own code, never crashing.
#include <gtest/gtest.h>

#include "ctrllib/dynamic_kelvor.h"
#include "ctrllib/lib_strings.h"
#include "kelvor.h"
#include "recording_messages.h"

TEST(Loader, MissingLibraryIsReportedAndFailsEveryCall) {
  RecordingMessages messages;
  DynamicKelvor lib(messages, "libkelvor-no-such-library.so.1");
  char conn[] = "eth:127.0.0.1";
  EXPECT_EQ(lib.klv_Connect(conn, 400, 0), KLV_E_LIBRARY_NOT_FOUND);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].icon, MsgIcon::Stop);
  EXPECT_NE(messages.shown[0].text.find("libkelvor-no-such-library.so.1"), std::string::npos);
  EXPECT_NE(messages.shown[0].text.find("cannot open shared object file"), std::string::npos)
      << "the loader's reason is shown: " << messages.shown[0].text;
  int32_t state = 7;
  EXPECT_EQ(lib.klv_get_MotorState(&state), KLV_E_LIBRARY_NOT_FOUND);
  EXPECT_EQ(state, 7);
}

TEST(Loader, FunctionsAreFoundOneByOneAndAMissingOneIsNamed) {
  RecordingMessages messages;
  DynamicKelvor lib(messages, LOADER_STUB_PATH);
  char conn[] = "eth:127.0.0.1";
  EXPECT_EQ(lib.klv_Connect(conn, 400, 0), 0);
  OutText buf;
  EXPECT_EQ(lib.klv_get_RomVersion(buf.data(), buf.capacity()), 0);
  EXPECT_EQ(buf.text(), "eth:127.0.0.1") << "arguments reach the library unchanged";
  EXPECT_TRUE(messages.shown.empty());

  EXPECT_EQ(lib.klv_Disconnect(), KLV_E_FUNCTION_NOT_FOUND);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_NE(messages.shown[0].text.find("klv_Disconnect"), std::string::npos);
  EXPECT_NE(messages.shown[0].text.find("undefined symbol"), std::string::npos)
      << messages.shown[0].text;
}

TEST(Loader, OutputBufferWithoutNulShowsAll1024Characters) {
  OutText buf;
  std::memset(buf.data(), 'x', static_cast<size_t>(buf.capacity()));
  EXPECT_EQ(buf.text().size(), 1024);
}
