#include "app/Startup.h"

#include "base/Message.h"
#include "base/Trace.h"
#include "compose/ScreenLayout.h"

namespace tavrin {

namespace {

constexpr int kSceneCanvasWidth = 1920;
constexpr int kSceneCanvasHeight = 1080;

} // namespace

std::string DriveMessage(const std::string& rootPath) {
    return std::string("当前录像存储磁盘：") + "\"" + rootPath + "\"" +
           " 不存在或不是硬盘，系统将退出";
}

std::string LowSpaceMessage(const std::string& rootPath) {
    return "工作目录：" + rootPath + "，其所在磁盘空间不够。" + "\n\r" +
           "我们需要至少6个G的磁盘空间。" + "\n\r" + "请注意清理已完成的录像资料！";
}

bool RunStartup(const TStartupEnv& env, TStartupState& st) {
    if (!env.InitSdl || !env.InitSdl()) {
        ShowMessage(kSdlFailedMessage, TMsgIcon::Error);
        EndProcess();
        return false;
    }
    st.layout = std::make_unique<TScreenLayout>();
    st.layout->initialize(kSceneCanvasWidth, kSceneCanvasHeight);
    st.LayoutWindowPos = {(int(env.screenWidth) - kLayoutWindowW) / 2,
                          (int(env.screenHeight) - kLayoutWindowH) / 2, kLayoutWindowW,
                          kLayoutWindowH};

    const TSystemDrives systemDrives;
    const TDriveClassifier& drives = env.drives != nullptr ? *env.drives : systemDrives;
    LoadSettings(env.iniPath, env.screenWidth, env.screenHeight, drives, st.settings);
    const std::string& root = st.settings.rootPath;
    if (!drives.IsFixed(root)) {
        ShowMessage(DriveMessage(root), TMsgIcon::Error);
        EndProcess();
        return false;
    }
    // Only the low 32 bits of the MiB count are compared.
    const auto freeMiB = uint32_t(drives.FreeBytes(root) / 1048576);
    if (freeMiB < kLowSpaceMiB) {
        ShowMessage(LowSpaceMessage(root), TMsgIcon::Information);
    }

    int32_t userID = st.settings.userID;
    if (!env.SignIn || !env.SignIn(userID)) {
        Trace("sign-in not completed: the console ends");
        EndProcess();
        return false;
    }
    st.settings.userID = userID;
    SaveUser(env.iniPath, userID);

    st.clock = std::make_unique<TGloTimer>();
    st.clock->initialize();
    st.paths = std::make_unique<TGetLessionInfo>();
    st.paths->initialize(root, std::to_string(userID));
    return true;
}

} // namespace tavrin
