// SPDX-License-Identifier: MIT
#pragma once

// scanf for prompt replies. A reply that is no number stops it, leaving that
// field and the later ones as they were, and so does the end of the input:
// the callers rely on that and need no count.
void ReadReplies(const char* format, ...) __attribute__((format(scanf, 1, 2)));

// Reads one blank-separated word from standard input into `field`. False
// when the word does not fit; at the end of the input the field is left
// unchanged and the result is true, as with scanf("%s").
bool ReadWord(char (&field)[256]);
