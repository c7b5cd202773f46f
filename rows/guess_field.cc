#include "rows/guess_field.h"

// The guess state and its value tests belong to the type guesser (scan/),
// which sits above the row decoders, so the decoders call this hook and the
// guesser provides the body. Until it does, nothing can set a non-zero row
// output mode (only SAMPLE does), and a value handed here is not recorded.
void guessField(SessionContext&, uint32_t, uint32_t, uint32_t) {}
