#pragma once

// The window's generated controls (Ui::Tdefs), for code outside the window that reaches them through
// Tdefs::ui(); including the generated header from here keeps other targets' uic scan out of it.
#include "ui_f_defs.h"
