// Exception hierarchy of the class library.  Portable: no <windows.h>.
#pragma once
#include <stdexcept>
#include <string>

namespace wx {

// Base of every exception the program raises itself.  The message is a
// Shift-JIS text meant for a message box.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A failed operating-system call; Code is the system error number.
class EOSError : public Exception {
public:
    EOSError(const std::string& message, unsigned long code)
        : Exception(message), Code(code) {}
    unsigned long Code;
};

// Text that does not convert to a number or date.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A component's outside library is missing or incomplete.
class ELibraryError : public Exception {
public:
    using Exception::Exception;
};

// Silent abort of an operation the user cancelled.
class EAbort : public Exception {
public:
    EAbort() : Exception("operation aborted") {}
};

}  // namespace wx
