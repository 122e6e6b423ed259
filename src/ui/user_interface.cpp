#include "ui/user_interface.h"
