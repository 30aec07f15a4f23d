#include "commonlib/core/exception.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commonlib/core/file_ex_exception.h"
#include "commonlib/core/proto_value_exception.h"
#include "logger/file_logger.h"
#include "logger/trace_logger.h"
#include "support/trace_lines.h"
#include "util/text_convert.h"

namespace {

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(IException, ErrorTextFormat) {
  CFileExException error(5, L"a.txt");
  error.SetLocation("x", 28);
  std::wstring text;
  error.GetErrorText(text);
  EXPECT_EQ(text, L"[Exception]x(28): code:5 errMsg:a.txt");

  ProtoValueException negative(-12, L"");
  negative.SetLocation("dir/file.cpp", 0);
  negative.GetErrorText(text);
  EXPECT_EQ(text, L"[Exception]dir/file.cpp(0): code:-12 errMsg:");
}

TEST(IException, DefaultConstructionIsEmpty) {
  const ProtoValueException value;
  const CFileExException file;
  for (const IException* e : {static_cast<const IException*>(&value), static_cast<const IException*>(&file)}) {
    EXPECT_EQ(e->code, 0);
    EXPECT_EQ(e->message, L"");
    EXPECT_EQ(e->file, L"");
    EXPECT_EQ(e->line, 0);
  }
}

TEST(IException, ThrownByValueCaughtByBaseReferenceCopiedWhole) {
  try {
    ThrowFileExException(32, L"name.bin");
  } catch (const IException& caught) {
    EXPECT_NE(dynamic_cast<const CFileExException*>(&caught), nullptr);
    const CFileExException copy = dynamic_cast<const CFileExException&>(caught);
    EXPECT_EQ(copy.code, 32);
    EXPECT_EQ(copy.message, L"name.bin");
    EXPECT_EQ(copy.file, caught.file);
    EXPECT_EQ(copy.line, caught.line);
    EXPECT_TRUE(EndsWith(copy.file, L"exception_test.cpp"));  // the caller's location
    EXPECT_GT(copy.line, 0);
  }
}

TEST(IException, ReportLogsTheErrorTextAtErro) {
  TraceLines trace;
  ProtoValueException error(3, L"ProtoValue::integer wrong type");
  error.SetLocation("v.cpp", 7);
  EXPECT_TRUE(error.Report());
  ASSERT_EQ(trace.lines().size(), 1u);
  const std::wstring line = trace.lines()[0];
  EXPECT_EQ(line.rfind(L"[ERRO]", 0), 0u) << WideToUtf8(line);
  EXPECT_TRUE(EndsWith(line, L"[Exception]v.cpp(7): code:3 errMsg:ProtoValue::integer wrong type\r\n"))
      << WideToUtf8(line);
}

TEST(IException, ReportUsesTheTextAsFormatWithoutArguments) {
  TraceLines trace;
  CFileExException error(5, L"100%% of %s %d");
  error.SetLocation("f", 1);
  error.Report();
  ASSERT_EQ(trace.lines().size(), 1u);
  // "%%" becomes one percent sign; directives without an argument stay as they are.
  EXPECT_TRUE(EndsWith(trace.lines()[0], L"errMsg:100% of %s %d\r\n")) << WideToUtf8(trace.lines()[0]);
}

TEST(IException, ReportGoesToTheFileLoggerWithItsOwnLocation) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  std::FILE* previous = FileLogger::GetInstance()->AttachFile(file);
  CFileExException error(2, L"m");
  error.SetLocation("src.cpp", 9);
  error.Report();
  FileLogger::GetInstance()->AttachFile(previous);

  std::rewind(file);
  std::u16string units;
  int low = 0;
  while ((low = std::fgetc(file)) != EOF) {
    const int high = std::fgetc(file);
    units.push_back(static_cast<char16_t>(low | (high << 8)));
  }
  std::fclose(file);
  const std::wstring line = Utf16ToWide(units);
  EXPECT_NE(line.find(L"exception.cpp:"), std::wstring::npos) << WideToUtf8(line);
  EXPECT_TRUE(EndsWith(line, L"[Exception]src.cpp(9): code:2 errMsg:m\r\n")) << WideToUtf8(line);
}

}  // namespace
