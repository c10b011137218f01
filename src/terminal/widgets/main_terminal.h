// The main window's terminal VMurTerminal1 with its window, built with its design values.
#pragma once

class QWidget;

namespace kestrova {

class Component;
class TerminalForm;
class VMurAppInfo;
class VMurTerminal;

struct MainTerminal {
  VMurTerminal* terminal;  // owned by the owner component given
  TerminalForm* form;      // owned by the terminal
};

// Makes VMurTerminal1 owned by `owner`, with its window for `owner_form` and the history kept
// through `app_info` (which should outlive it, so that the history is stored at the end), and
// sets its design values and the form-create handler that sets the view's font and headers.
// The terminal is left loading: the caller sets OnTermSendData (and may replace OnFormCreate,
// calling MainTerminalFormCreate itself), then calls Loaded().
MainTerminal CreateMainTerminal(Component* owner, QWidget* owner_form, VMurAppInfo* app_info);

}  // namespace kestrova
