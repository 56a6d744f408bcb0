// The point-array store: up to three owned float blocks from which line and
// dots draw. Slots at and above ArrayCount always hold no block and length 0.
#include "plugin/tesselin.h"

#include <stdlib.h>

void ReleasePointArrays(void)
{
    for (int i = 0; i < ArrayCount; i++) {
        if (ArraySlots && ArraySlots[i]) {
            free(ArraySlots[i]);
            ArraySlots[i] = NULL;
        }
        if (ArrayLengths)
            ArrayLengths[i] = 0;
    }
    ArrayCount = 0;
}

// When the fresh tables cannot be allocated the store stays absent, as before
// the first canvas command.
void ResetPointArrayStore(void)
{
    ReleasePointArrays();
    free(ArraySlots);
    free(ArrayLengths);
    ArraySlots = (float **)calloc(POINT_ARRAY_SLOTS, sizeof(float *));
    ArrayLengths = (int *)calloc(POINT_ARRAY_SLOTS, sizeof(int));
    if (!ArraySlots || !ArrayLengths) {
        free(ArraySlots);
        free(ArrayLengths);
        ArraySlots = NULL;
        ArrayLengths = NULL;
    }
    ArrayCount = 0;
}
