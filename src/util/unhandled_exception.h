// Where an exception goes that no handler caught before it reached the message loop: reported
// (by default on standard error; the GUI shows it), and the program goes on.
#pragma once

#include <exception>
#include <functional>

namespace kestrova {

using UnhandledExceptionHandler = std::function<void(const std::exception&)>;

void ReportUnhandledException(const std::exception& error);
// An empty handler restores the default.
void SetUnhandledExceptionHandler(UnhandledExceptionHandler handler);

}  // namespace kestrova
