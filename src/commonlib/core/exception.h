#pragma once
// Base of the system's exceptions: an error code, a message and the source location of the
// statement that threw. Thrown by value, caught by reference, copied with all four fields.
#include <cstdint>
#include <string>

class IException {
 public:
  IException() = default;
  IException(int32_t code, std::wstring message);
  virtual ~IException();

  // "[Exception]<file>(<line>): code:<code> errMsg:<message>"
  virtual void GetErrorText(std::wstring& out) const;
  // Called by Report with the error text; nothing more to do here.
  virtual bool OnReport(const std::wstring& text) const;
  // Logs the error text at ERRO, then calls OnReport.
  virtual bool Report() const;

  // `file` is the compiler's (narrow) file name.
  void SetLocation(const char* file, int32_t line);

  int32_t code = 0;
  std::wstring message;
  std::wstring file;
  int32_t line = 0;
};
