// The scenario commands, one row each: words, usage, how the line is read, what it does.
#include "scenario/commands.h"

namespace handheld {

const std::vector<ScnVerb> &scnVerbs() {
    namespace p = scnparse;
    static const std::vector<ScnVerb> verbs = {
        // setting up
        {"driver", "driver ce420|ce400|ce300", p::driver, ScnRun::driver},
        {"osbuild", "osbuild N", p::number, ScnRun::osbuild},
        {"set", "set PATH NAME dword N | sz TEXT | multisz TEXT... | binary HH... | raw TYPE HH...",
         p::set, ScnRun::set},
        {"key", "key PATH", p::path, ScnRun::key},
        {"delete", "delete PATH [NAME]", p::del, ScnRun::del},
        {"port", "port COMn: [nobaud9600]", p::port, ScnRun::port},
        {"fail", "fail CALL", p::call, ScnRun::fail},
        {"heal", "heal CALL", p::call, ScnRun::heal},
        {"file", "file PATH [TEXT]", p::file, ScnRun::file},
        {"window", "window NAME CLASS [parent NAME] [rect L T R B]", p::window, ScnRun::window},
        {"foreground", "foreground NAME", p::path, ScnRun::foreground},
        // acting
        {"boot", "boot", p::none, ScnRun::boot},
        {"activate", "activate PATH", p::path, ScnRun::activate},
        {"deactivate", "deactivate", p::none, ScnRun::deactivate},
        {"rx", "rx HH [HH...]", p::rx, ScnRun::rx},
        {"wait", "wait MS", p::number, ScnRun::wait},
        {"powerdown", "powerdown", p::none, ScnRun::powerdown},
        {"powerup", "powerup", p::none, ScnRun::powerup},
        {"client open", "client open [ACCESS]", p::clientOpen, ScnRun::clientOpen},
        {"client read", "client read N", p::clientRead, ScnRun::clientRead},
        {"client close", "client close", p::none, ScnRun::clientClose},
        {"run", "run PROGRAM [ARGS...]", p::run, ScnRun::run},
        {"close", "close PROGRAM", p::path, ScnRun::close},
        {"sip", "sip on|off", p::sip, ScnRun::sip},
        {"dump", "dump PATH", p::path, ScnRun::dump},
        {"show", "show ID", p::number, ScnRun::show},
        {"screenshot", "screenshot NAME.png", p::screenshot, ScnRun::screenshot},
        // the user at the foreground program's controls
        {"tab", "tab N", p::number, ScnRun::tab},
        {"click", "click ID", p::number, ScnRun::click},
        {"slide", "slide ID POS", p::slide, ScnRun::slide},
        {"select", "select ID TEXT", p::select, ScnRun::select},
        {"tap", "tap X Y", p::tap, ScnRun::tap},
        {"drag", "drag X1 Y1 X2 Y2", p::drag, ScnRun::drag},
        {"ok", "ok", p::none, ScnRun::ok},
        {"cancel", "cancel", p::none, ScnRun::cancel},
        {"answer", "answer yes|no|open", p::answer, ScnRun::answer},
        {"choose", "choose PATH|cancel|open", p::choose, ScnRun::choose},
    };
    return verbs;
}

} // namespace handheld
