/* The header from C. */
#include <marking-system/console.h>

int column_from_c(void) { return whereX(); }
