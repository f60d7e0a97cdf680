#pragma once

#include <cstddef>

// Reads one blank-separated word from standard input into a field of `size`
// bytes. False when the word does not fit; at the end of the input the field
// is left unchanged and the result is true, as with scanf("%s").
bool ReadWord(char* field, size_t size);
