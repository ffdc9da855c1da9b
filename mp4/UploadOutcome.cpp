#include "mp4/UploadOutcome.h"

namespace tavrin {

bool UploadOutcome(int position, TUploadOutcome& outcome) {
    switch (position) {
    case -1:
        outcome = {"成功！课程已上传至平台", TMsgIcon::Information};
        return true;
    case -2:
        outcome = {"平台认为连接不合法，连接中断", TMsgIcon::Error};
        return true;
    case -3:
        outcome = {"平台认为结尾不合法，连接中断", TMsgIcon::Error};
        return true;
    case -4:
        outcome = {"课程上传失败，与平台连接中断", TMsgIcon::Error};
        return true;
    case -5:
        outcome = {"课程上传失败，平台已存在此课程生成的MP4", TMsgIcon::Error};
        return true;
    default:
        return false;
    }
}

} // namespace tavrin
