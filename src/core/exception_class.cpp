#include "core/exception_class.h"

#include "base/exceptions.h"

std::string_view ExceptionClass(const std::exception& e) {
  // Most derived first: every class but the last is an EKavroException.
  if (dynamic_cast<const EAssertionFailed*>(&e)) return "EAssertionFailed";
  if (dynamic_cast<const EBufferException*>(&e)) return "EBufferException";
  if (dynamic_cast<const EProtocolException*>(&e)) return "EProtocolException";
  if (dynamic_cast<const ECoreSocketError*>(&e)) return "ECoreSocketError";
  if (dynamic_cast<const EHubCommandError*>(&e)) return "EHubCommandError";
  if (dynamic_cast<const EGUIException*>(&e)) return "EGUIException";
  if (dynamic_cast<const EKavroException*>(&e)) return "EKavroException";
  if (dynamic_cast<const EComError*>(&e)) return "EComError";
  return "Exception";
}

std::string UnhandledExceptionText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return std::string(ExceptionClass(e)) + ":" + e.what();
  } catch (...) {
    return "Exception:unknown";
  }
}
