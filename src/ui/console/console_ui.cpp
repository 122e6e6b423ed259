#include "ui/console/console_ui.h"
