#include "engine/uTaskItem.h"

#include "infra/uMessages.h"

// The texts are data (the JSON report, the rip report); a front end
// translates them where it shows them.

std::u16string TaskResultText(int32_t Result) {
  switch (Result) {
  case rcUserAbort:
    return TrNoop(u"用户中断");
  case rcEncodeFailed:
    return TrNoop(u"编码过程失败");
  case rcLowToHigh:
    return TrNoop(u"不支持音质低转高");
  case rcExistsUserAbort:
    return TrNoop(u"文件已存在，用户中止");
  case rcSourceMissing:
    return TrNoop(u"文件不存在或为网络文件");
  case rcReadFailed:
    return TrNoop(u"读取文件失败");
  case rcBadFolder:
    return TrNoop(u"目标文件夹非法");
  case rcCannotOverwrite:
    return TrNoop(u"文件无法覆盖");
  case rcLossyToLossless:
    return TrNoop(u"不支持有损转无损");
  case rcMp3TooLow:
    return TrNoop(u"目标mp3码率过低(低于192)");
  case rcAbortedInPump:
    return TrNoop(u"编码过程中用户中止");
  default:
    return {};
  }
}
