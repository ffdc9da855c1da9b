#include "mp4/UploadOutcome.h"

#include "mp4/ParseMp4.h"

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

std::string UploadStartFailure(int code, const std::string& file) {
    if (code == TParseMp4::kTransferRefused) {
        return "课程上传失败，本课程的上传令牌不合法";
    }
    return "课程上传失败，无法读取生成的MP4文件：\r\n" + file;
}

} // namespace tavrin
