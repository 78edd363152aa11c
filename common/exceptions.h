#pragma once
// The error family of the system. Every error the system raises on purpose is an
// Exception; the host reports its message (and, in the last-resort box, its class name).

#include <cstdint>
#include <stdexcept>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Text(std::move(message)) {}
  const std::string& Message() const { return Text; }
  const char* what() const noexcept override { return Text.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string Text;
};

// A failed system call; carries the Windows error code.
class EOSError : public Exception {
 public:
  EOSError(uint32_t code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
  const char* ClassName() const override { return "EOSError"; }
  uint32_t ErrorCode;
};

// The platform ran out of a resource (a window timer).
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EOutOfResources"; }
};

// A thread could not be created or started.
class EThread : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EThread"; }
};

// A registry value that cannot be read as the configuration requires.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "ERegistryException"; }
};
