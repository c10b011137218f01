#include "terminal/widgets/main_terminal.h"

#include "terminal/main_terminal_design.h"
#include "terminal/mur_terminal.h"
#include "terminal/widgets/terminal_form.h"

namespace kestrova {

MainTerminal CreateMainTerminal(Component* owner, QWidget* owner_form, VMurAppInfo* app_info) {
  auto* terminal = new VMurTerminal(owner);
  terminal->BeginLoading();
  auto* form = new TerminalForm(*terminal, owner_form);
  SetMainTerminalDesignValues(*terminal);
  terminal->SetMurAppInfo(app_info);
  terminal->SetOnFormCreate([terminal](Object*, TerminalWindow& window, RichView&) {
    MainTerminalFormCreate(*terminal, window);
  });
  return {terminal, form};
}

}  // namespace kestrova
