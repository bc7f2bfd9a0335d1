#pragma once
// The one place where an error escaping a handler is reported. Every connection from a
// widget, action, timer or table notification to a handler goes through runGuarded, so a
// failing command stops where it failed and the program goes on:
//   - dorvin::Abort (a before-handler refusing silently) is swallowed;
//   - dorvin::Error and any other std::exception are shown in the default error report
//     (stop icon, application title as caption, the error's text).
#include <functional>

#include <QString>

namespace dorvin {

// Runs fn; returns false when it ended by an error or an abort.
bool runGuarded(const std::function<void()>& fn);

// The text an exception carries, as the user reads it (messages are UTF-8).
QString errorText(const std::exception& error);

} // namespace dorvin
