#pragma once

// The boolean status word at the module's boundaries: operations answer TRUE
// or FALSE, as the automation methods hand them on.
typedef int BOOL;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
