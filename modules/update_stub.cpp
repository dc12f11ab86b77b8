// Temporary: the update driver arrives with the HTTP client. Until then every update fails.
#include "command/result_string.h"
#include "command/zavavodur.h"

int ZAVavodur::UpdateModules(FileEntry*) {
  FormatResult(RESULT_CODE_UPDATE_FAILED, RESULT_MSG_UPDATE_FAILED, m_result, sizeof m_result);
  return -1;
}
