#include "support/tokenizer.h"

#include <string.h>

#include "support/crt.h"
#include "support/status.h"
#include "support/string_util.h"

namespace {

// Writable empty text for tokenizers started on a null text (tokens are cut by writing a NUL).
char g_emptyText[1];

bool IsDelimiter(char c, const char* set) { return c != '\0' && strchr(set, c) != nullptr; }

char* NextToken(Tokenizer* tok, const char* set, int* len, int options) {
  if (len != nullptr) *len = 0;
  if (tok->exhausted) return tok->cursor;
  char* start = tok->cursor;
  if (options & TOKEN_SKIP_LEADING) {
    while (String_IsSpace(*start)) ++start;
  }
  if (*start == '\0') {
    tok->cursor = start;
    tok->exhausted = 1;
    return start;
  }
  char* end = start;
  while (*end != '\0' && !IsDelimiter(*end, set)) ++end;
  if (*end != '\0') {
    tok->cursor = end + 1;
    if (!(options & TOKEN_NO_COLLAPSE)) {
      while (IsDelimiter(*tok->cursor, set)) ++tok->cursor;
    }
  } else {
    tok->cursor = end;
    tok->exhausted = 1;
  }
  if (options & TOKEN_TRIM_TRAILING) {
    while (end - start > 1 && String_IsSpace(end[-1])) --end;
  }
  *end = '\0';
  if (len != nullptr) *len = static_cast<int>(end - start);
  return start;
}

}  // namespace

int Tokenizer_Init(Tokenizer* tok, char* text, int options) {
  tok->ownedText = nullptr;
  tok->exhausted = 0;
  if (text == nullptr) {
    g_emptyText[0] = '\0';
    tok->cursor = g_emptyText;
    return STATUS_OK;
  }
  if (options & TOKENIZER_PRIVATE_COPY) {
    tok->ownedText = _strdup(text);
    if (tok->ownedText == nullptr) {
      g_emptyText[0] = '\0';
      tok->cursor = g_emptyText;
      tok->exhausted = 1;
      return ERR_NO_MEMORY;
    }
    tok->cursor = tok->ownedText;
  } else {
    tok->cursor = text;
  }
  return STATUS_OK;
}

char* Tokenizer_Next(Tokenizer* tok, char delimiter, int* len, int options) {
  const char set[2] = {delimiter, '\0'};
  return NextToken(tok, set, len, options);
}

char* Tokenizer_NextAny(Tokenizer* tok, const char* delimiters, int* len, int options) {
  return NextToken(tok, delimiters != nullptr ? delimiters : "", len, options);
}

void Tokenizer_Free(Tokenizer* tok) {
  free(tok->ownedText);
  tok->ownedText = nullptr;
}
