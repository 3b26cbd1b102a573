#include "window_set.h"

#include "dialogs.h"

WindowSet::WindowSet() {
    defs = &window;
    cf = &link;
    f_avanz = &progress;
    link.attach(&window, &progress);
    window.attach_link(&link);
    set_dialog_parent(&window);
}

WindowSet::~WindowSet() {
    // The members go in reverse order; nothing may reach a partner that is already gone. The port's own
    // destructor closes it and writes the trace.
    window.attach_link(nullptr);
    link.attach(nullptr, nullptr);
    set_dialog_parent(nullptr);
    f_avanz = nullptr;
    cf = nullptr;
}
