#include "app/options.h"

#include <gtest/gtest.h>

namespace kelvor::view {
namespace {

TEST(Options, DefaultsAndEveryOption) {
  ParsedCommandLine p = parseCommandLine({});
  ASSERT_TRUE(p.options);
  EXPECT_EQ(p.options->connection, "eth:127.0.0.1");
  EXPECT_TRUE(p.options->snapshot.empty());
  EXPECT_FALSE(p.options->width);
  EXPECT_EQ(p.options->view, View::Iso);
  EXPECT_EQ(p.options->timeoutMs, 1000);
  EXPECT_EQ(p.options->rateHz, 30);

  p = parseCommandLine({"com:3:115200N:8:1", "--snapshot", "a.png", "--size", "640x480", "--view",
                        "top", "--timeout", "250", "--rate", "10", "--wait", "2.5", "--position",
                        "740,-20"});
  ASSERT_TRUE(p.options) << p.err;
  EXPECT_EQ(p.options->connection, "com:3:115200N:8:1");
  EXPECT_EQ(p.options->snapshot, "a.png");
  EXPECT_EQ(p.options->width, 640);
  EXPECT_EQ(p.options->height, 480);
  EXPECT_EQ(p.options->view, View::Top);
  EXPECT_EQ(p.options->timeoutMs, 250);
  EXPECT_EQ(p.options->rateHz, 10);
  EXPECT_EQ(p.options->waitSeconds, 2.5);
  EXPECT_EQ(p.options->x, 740);
  EXPECT_EQ(p.options->y, -20);
}

TEST(Options, RefusesWhatItDoesNotUnderstandWithStatus2) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--size", "800"},
                                             {"--size", "800x"},
                                             {"--size", "8x600"},
                                             {"--size", "800x600x3"},
                                             {"--size", "5000x600"},
                                             {"--size", "-800x600"},
                                             {"--view", "back"},
                                             {"--position", "740"},
                                             {"--position", "740,0,0"},
                                             {"--position", "740x0"},
                                             {"--rate", "31"},
                                             {"--rate", "0"},
                                             {"--timeout", "0"},
                                             {"--wait", "abc"},
                                             {""},
                                             {"a", "b"},
                                             {"--bogus"}}) {
    const ParsedCommandLine p = parseCommandLine(args);
    EXPECT_FALSE(p.options) << args.front();
    EXPECT_EQ(p.status, 2) << args.front();
    EXPECT_FALSE(p.err.empty()) << args.front();
  }
  const ParsedCommandLine help = parseCommandLine({"--help"});
  EXPECT_FALSE(help.options);
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--snapshot"), std::string::npos);
  EXPECT_NE(help.out.find("Home"), std::string::npos);
}

}  // namespace
}  // namespace kelvor::view
