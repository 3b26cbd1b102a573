#include "f_defs.h"

Tdefs* defs = nullptr;

Tdefs::Tdefs(QWidget* parent) : QMainWindow(parent) {}
