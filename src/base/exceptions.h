#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// The program's exception family. A message always has the form
// "Place(detail)": the class and method (or GUI page and action) that raised
// it, then what went wrong.
class EKavroException : public std::runtime_error {
 public:
  EKavroException(std::string_view where, std::string_view detail);

 protected:
  // For subclasses that compose the message themselves.
  explicit EKavroException(const std::string& message);
};

class ECoreSocketError : public EKavroException {
 public:
  using EKavroException::EKavroException;
};

class EProtocolException : public EKavroException {
 public:
  using EKavroException::EKavroException;
};

class EHubCommandError : public EKavroException {
 public:
  using EKavroException::EKavroException;
};

class EGUIException : public EKavroException {
 public:
  using EKavroException::EKavroException;
};

class EBufferException : public EKavroException {
 public:
  using EKavroException::EKavroException;
};

// A failed internal check: a programming error, reported with the source
// file and line, never an abort. The place is the file, the detail is
// "<what> at line N".
class EAssertionFailed : public EKavroException {
 public:
  EAssertionFailed(std::string_view file, int line, std::string_view what);
};

// Throws EAssertionFailed naming this file and line when `cond` is false.
#define KAVRO_CHECK(cond, what)                                  \
  do {                                                           \
    if (!(cond)) throw EAssertionFailed(__FILE__, __LINE__, (what)); \
  } while (false)

// The serial line's errors. Not of the hub's family: the message is the
// component's own text, shown as it stands.
class EComError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
