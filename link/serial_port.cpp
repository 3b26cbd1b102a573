#include "serial_port.h"
