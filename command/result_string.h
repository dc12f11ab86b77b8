// The result string with which the system reports an outcome in the result area:
// "res_cd=<code>" 0x1F "res_msg=<message>".
#pragma once

constexpr int RESULT_AREA_CAPACITY = 8192;

// Result codes written by the system itself, with their messages (code page 949).
extern const char RESULT_CODE_LOAD_FAILED[];     // "P002"
extern const char RESULT_MSG_LOAD_FAILED[];      // "결제모듈 LOAD 실패" (payment module LOAD failed)
extern const char RESULT_CODE_UPDATE_FAILED[];   // "P003"
extern const char RESULT_MSG_UPDATE_FAILED[];    // "결제모듈 UPDATE 실패" (payment module UPDATE failed)
extern const char RESULT_CODE_PAGE_REFUSED[];    // "P004"
extern const char RESULT_MSG_PAGE_REFUSED[];     // "허용되지 않은 결제 페이지" (payment page not allowed)
extern const char RESULT_CODE_FIELD_REFUSED[];   // "P005"
extern const char RESULT_MSG_FIELD_REFUSED[];    // "허용되지 않은 결제 정보" (payment data not allowed)

// Writes the result string at the start of buffer and returns the count of characters written. A
// string that does not fit is cut at a character boundary; the text is always terminated.
int FormatResult(const char* code, const char* message, char* buffer, int capacity);
