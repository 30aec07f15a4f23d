#include "app/main_app.h"

#include <gtest/gtest.h>

#include <vector>

#include "util/command_line.h"

namespace {

struct Expected {
  bool hidden;
  int32_t gameIdOverride;
  bool runLauncher;
};

// ApplyOptions on a fresh copy of the defaults: MainApp itself is a process-wide singleton.
Expected Apply(std::vector<const wchar_t*> words) {
  words.insert(words.begin(), L"C:\\setup\\devu_dodazavavi.exe");
  MainApp* app = MainApp::GetInstance();
  app->hidden = false;
  app->gameIdOverride = 0;
  app->runLauncher = true;
  app->ApplyOptions(CommandLine(static_cast<int>(words.size()), words.data()));
  return {app->hidden, app->gameIdOverride, app->runLauncher};
}

TEST(MainApp, OptionsSetTheApplicationFields) {
  struct Case {
    std::vector<const wchar_t*> words;
    Expected expected;
  };
  const Case cases[] = {
      {{}, {false, 0, true}},
      {{L"-h"}, {true, 0, true}},
      {{L"--hide"}, {true, 0, true}},
      {{L"-i", L"77"}, {false, 77, true}},
      {{L"--id", L"abc"}, {false, 0, true}},           // not a number: no override
      {{L"-i"}, {false, 0, true}},                      // missing argument: no override
      {{L"-i", L"4294967298"}, {false, 2, true}},       // low 32 bits
      {{L"-r", L"0"}, {false, 0, false}},
      {{L"--run", L"1"}, {false, 0, true}},
      {{L"-x", L"-h"}, {false, 0, true}},               // parsing stops at the unknown option
      {{L"-h", L"-x", L"-i", L"5"}, {true, 0, true}},  // options before it still apply
      {{L"setup", L"-r", L"0", L"-h"}, {true, 0, false}},
  };
  for (const Case& c : cases) {
    const Expected got = Apply(c.words);
    std::wstring line;
    for (const wchar_t* w : c.words) line += std::wstring(w) + L" ";
    SCOPED_TRACE(testing::PrintToString(line));
    EXPECT_EQ(got.hidden, c.expected.hidden);
    EXPECT_EQ(got.gameIdOverride, c.expected.gameIdOverride);
    EXPECT_EQ(got.runLauncher, c.expected.runLauncher);
  }
}

TEST(MainApp, LogUrlPointsAtTheCollectionPath) {
  const std::wstring& url = MainApp::GetInstance()->logUrl;
  EXPECT_EQ(url.rfind(L"http://", 0), 0u);
  EXPECT_NE(url.find(L":8080/api/ts/data/rece_download_data"), std::wstring::npos);
}

}  // namespace
