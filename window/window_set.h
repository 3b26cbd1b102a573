#pragma once

#include "com_form.h"
#include "f_defs.h"
#include "form_avanzamento.h"

// The program's fixed window set, created in its order and wired together: the main window `defs`,
// the device-link holder `cf`, the progress window `f_avanz`. Destroyed in reverse, so the port is
// closed (and its trace written) before the main window goes.
class WindowSet {
public:
    WindowSet();
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    Tdefs window;
    Tcf link;
    Tf_avanz progress;
};
