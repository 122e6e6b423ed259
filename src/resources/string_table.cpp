#include "resources/string_table.h"
