#include "command/payment_field.h"

#include <string.h>

#include "support/string_util.h"

namespace {

constexpr char kEscrowPrefix[] = "Escrow";

}  // namespace

char PaymentField_Separator(const char* sectionName) {
  return strncmp(sectionName, kEscrowPrefix, sizeof kEscrowPrefix - 1) == 0 ? ESCROW_FIELD_DELIMITER : FIELD_DELIMITER;
}

int PaymentField_Store(FieldStore* store, const char* section, const char* key, const char* value) {
  char sectionBuf[PAYMENT_NAME_CAPACITY] = {};
  char keyBuf[PAYMENT_NAME_CAPACITY] = {};
  char valueBuf[PAYMENT_VALUE_CAPACITY] = {};
  // Texts that fit pass byte for byte; a longer one is cut at a character boundary.
  String_CopyCut(sectionBuf, section, PAYMENT_NAME_CAPACITY - 1, COPY_TRIM);
  String_CopyCut(keyBuf, key, PAYMENT_NAME_CAPACITY - 1, COPY_TRIM);
  String_CopyCut(valueBuf, value, PAYMENT_VALUE_CAPACITY - 1, COPY_TRIM);
  // The separator follows the name of this call, letter case included; the section found may
  // have been named first in another case and end its records with the other separator.
  const char separator = PaymentField_Separator(sectionBuf);
  int index = FieldStore_FindSection(sectionBuf, store);
  FieldRefusal refusal = FieldText_CheckField(keyBuf, valueBuf, separator);
  if (refusal == FIELD_ACCEPTED && index >= 0) {
    refusal = FieldText_CheckField(keyBuf, valueBuf, PaymentField_Separator(store->sections[index].name));
  }
  if (refusal != FIELD_ACCEPTED) return refusal;
  if (index < 0) index = FieldStore_AddSection(sectionBuf, store);
  if (index < 0) return index;
  return FieldStore_AddField(index, keyBuf, valueBuf, separator, store);
}
