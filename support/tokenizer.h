// In-place tokenizer: cuts the text it walks over by writing a NUL at the end of every token.
#pragma once

#include <stdint.h>

enum : int {
  TOKENIZER_PRIVATE_COPY = 1,     // Tokenizer_Init: walk over a private copy
  TOKEN_NO_COLLAPSE = 0x100,      // a run of delimiters is not one delimiter
  TOKEN_SKIP_LEADING = 0x200,     // skip white space before the token
  TOKEN_TRIM_TRAILING = 0x400,    // drop white space at the end of the token
};

struct Tokenizer {
  char* ownedText;    // private copy, released by Tokenizer_Free
  char* cursor;       // where the next token starts
  int32_t exhausted;  // 1 once the end of the text has been reached
};

// 0, or ERR_NO_MEMORY when the private copy cannot be made. A null text is an empty text.
int Tokenizer_Init(Tokenizer* tok, char* text, int options);
// Next token up to the delimiter byte; its length through len when given.
char* Tokenizer_Next(Tokenizer* tok, char delimiter, int* len, int options);
// Next token up to any byte of the delimiter set.
char* Tokenizer_NextAny(Tokenizer* tok, const char* delimiters, int* len, int options);
void Tokenizer_Free(Tokenizer* tok);
