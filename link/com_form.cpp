#include "com_form.h"
