// Exceptions and small text helpers shared by the whole program.
// Pure code: no Windows header.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

// The class of every error the framework and the program raise.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  ~Exception() override = default;

  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string m) { FMessage = std::move(m); }
  const char* what() const noexcept override { return FMessage.c_str(); }

  // Name of the concrete class, for diagnostics.
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string FMessage;
};

#define VCL_DECLARE_EXCEPTION(Name, Base)                          \
  class Name : public Base {                                       \
   public:                                                          \
    using Base::Base;                                               \
    const char* ClassName() const override { return #Name; }       \
  };

VCL_DECLARE_EXCEPTION(EConvertError, Exception)
VCL_DECLARE_EXCEPTION(EListError, Exception)
VCL_DECLARE_EXCEPTION(EStringListError, Exception)
VCL_DECLARE_EXCEPTION(EStreamError, Exception)
VCL_DECLARE_EXCEPTION(EFOpenError, EStreamError)
VCL_DECLARE_EXCEPTION(EFCreateError, EStreamError)
VCL_DECLARE_EXCEPTION(EReadError, EStreamError)
VCL_DECLARE_EXCEPTION(EWriteError, EStreamError)
VCL_DECLARE_EXCEPTION(EInvalidOperation, Exception)
VCL_DECLARE_EXCEPTION(EConvertAssignError, Exception)
VCL_DECLARE_EXCEPTION(EClassNotFound, Exception)
VCL_DECLARE_EXCEPTION(EPropertyError, Exception)
VCL_DECLARE_EXCEPTION(EParserError, Exception)
VCL_DECLARE_EXCEPTION(EThread, Exception)
VCL_DECLARE_EXCEPTION(EOSError, Exception)
VCL_DECLARE_EXCEPTION(ERegistryException, Exception)

// Resource texts of the framework, byte for byte.
namespace vcl::res {
inline constexpr const char* ListIndexError = "List index out of bounds (%d)";
inline constexpr const char* FOpenError = "Cannot open file %s";
inline constexpr const char* FCreateError = "Cannot create file %s";
inline constexpr const char* ReadError = "Stream read error";
inline constexpr const char* WriteError = "Stream write error";
inline constexpr const char* AssignError = "Cannot assign a %s to a %s";
inline constexpr const char* InvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* ClassNotFound = "Class %s not found";
inline constexpr const char* UnknownProperty = "Error reading %s.%s: Property %s does not exist";
}  // namespace vcl::res

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string IntToStr(int64_t value);
// Decimal (optionally signed, optionally $hex) to integer; false when the text is
// not a number that fits in 32 bits. Leading and trailing blanks are not allowed.
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToIntDef(std::string_view text, int32_t def);
int32_t StrToInt(std::string_view text);  // raises EConvertError

// ASCII-only case helpers (the system's locale-aware ones live with the Windows code).
std::string AsciiLower(std::string_view s);
std::string AsciiUpper(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);

// The folder part of a path, up to and including the last '\' (or '/' or ':').
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileName(std::string_view path);
std::string ChangeFileExt(std::string_view path, std::string_view ext);
