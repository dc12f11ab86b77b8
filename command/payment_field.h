// One payment field as MV_setdata stores it: the texts trimmed and cut to their buffers, the
// section found or added, the separator of the call's section name, and the record appended, or
// nothing at all when the record would not read back as the page gave it.
#pragma once

#include "support/field_store.h"

constexpr int PAYMENT_NAME_CAPACITY = 1024;   // section names and keys, terminator included
constexpr int PAYMENT_VALUE_CAPACITY = 8192;  // values, terminator included

// The separator of records given under the section name: 0x1D for names that begin with "Escrow"
// (letter case kept), 0x1F for all others.
char PaymentField_Separator(const char* sectionName);

// Stores one field. A positive FieldRefusal when the field is refused (nothing stored, no section
// added): a key with "=", 0x1F or 0x1D, or a value with the separator of the call's record or of
// the section it lands in (which differ when a section is named again in another letter case).
// Otherwise FieldStore_AddField's status (an empty value stores no record, but its section is
// added) or FieldStore_AddSection's when no section slot is left.
int PaymentField_Store(FieldStore* store, const char* section, const char* key, const char* value);
