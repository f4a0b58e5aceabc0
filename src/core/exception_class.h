#pragma once

#include <exception>
#include <string>
#include <string_view>

// The class name of an exception of the hub's family, as the Error line of
// an unhandled exception names it ("Exception" for any other).
std::string_view ExceptionClass(const std::exception& e);

// "Class:message" of the exception `error` holds; "Exception:unknown" for
// one that is no std::exception.
std::string UnhandledExceptionText(std::exception_ptr error);
