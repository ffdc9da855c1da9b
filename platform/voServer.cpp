#include "platform/voServer.h"

#include "base/IniFile.h"
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Text.h"
#include "base/Trace.h"
#include "platform/LessonCache.h"
#include "platform/LessonJson.h"
#include "platform/PlatformSettings.h"
#include "platform/VersionCompare.h"

#include <nlohmann/json.hpp>

namespace tavrin {

namespace {

TvoServerSetup DefaultSetup() {
    TvoServerSetup setup;
    setup.https = LoadPlatformSettings(SettingsFile());
    setup.sCacheFile = UserFile(kLessonCacheFile);
    setup.sOwnVersion = ProgramVersion();
    return setup;
}

} // namespace

TvoServer::TvoServer() : TvoServer(DefaultSetup()) {}

TvoServer::TvoServer(TvoServerSetup setup) : setup_(std::move(setup)) {
    Initialize();
}

void TvoServer::Initialize() {
    voList.clear();
    nTotalLessions = 0;
    UserID = 0;
    Password.clear();
    nLoginState = 0;
    CommInfo.serverIp.clear();
    CommInfo.serverPort = 0;
    CommInfo.URL.clear();
    CommInfo.version.clear();
}

int TvoServer::Login(int32_t userID, const std::string& password) {
    UserID = userID;
    Password = password;
    // The password goes between quotes as it is, only made safe for JSON.
    const std::string body =
        "{\"userID\":" + std::to_string(userID) + ",\"password\":\"" + JsonQuoted(password) + "\"}";
    THttpsClient client(setup_.https);
    std::string answer;
    int result = client.PostJson(kLoginPath, body, answer);
    if (result == 0) {
        result = ReadLoginAnswer(answer);
    }
    if (result == 200) {
        nLoginState = 1;
    } else if (result == -1) {
        result = OfflineFallback();
    }
    return result;
}

int TvoServer::OfflineFallback() {
    const std::string text =
        setup_.sCacheFile.empty() ? std::string() : LoadLessonCache(setup_.sCacheFile);
    if (text.empty() || ParseLessonCache(text, UserID, Password) != 0) {
        ShowMessage(kOfflineNoSavedList, TMsgIcon::Information, TMsgButtons::Ok);
        nLoginState = 0;
        return -1;
    }
    const std::string question = "登录失败。本机存有您 " + FormatDateTime(lastLoginTime) + " [" +
                                 IntToStr(DaysBetween(lastLoginTime, LocalNow())) + "天前] " +
                                 " 成功登录后、从平台所获得的课表，是否使用？";
    if (ShowMessage(question, TMsgIcon::Question, TMsgButtons::YesNo) == TMsgAnswer::Yes) {
        nLoginState = 2;
        return 200;
    }
    nLoginState = 0;
    return -1;
}

int TvoServer::ReadLoginAnswer(const std::string& body) {
    try {
        const nlohmann::json root = nlohmann::json::parse(body);
        if (!root.is_object()) {
            Trace("sign-in answer is not a JSON object");
            return -1;
        }
        int32_t code = 0;
        if (!ParseInt32(JsonText(root, "resultCode"), code)) {
            Trace("sign-in answer without a readable resultCode");
            return -1;
        }
        if (code != 200) {
            return code;
        }
        const auto data = root.find("data");
        if (data == root.end()) {
            return 200;
        }
        // Everything is read before anything is kept or saved, so that an
        // unreadable answer never replaces the last good saved list.
        TDateTime date = currentDate;
        ParsePlatformDate(JsonText(root, "currentDate"), date);
        TCommInfo comm;
        comm.version = JsonText(root, "version");
        comm.URL = JsonText(root, "url");
        comm.serverIp = JsonText(root, "serverIp");
        comm.serverPort = JsonInt(root, "serverPort", 0);
        comm.voName = JsonBase64Text(root, "name");
        comm.areaName = JsonBase64Text(root, "areaName");
        std::vector<Tvo_FromServer> list = ReadLessonList(*data);

        currentDate = date;
        CommInfo = std::move(comm);
        SaveLessonCache(data->dump(-1, ' ', true));
        voList = std::move(list);
        nTotalLessions = int32_t(voList.size());

        int compare = 0;
        if (!CompareVersion(setup_.sOwnVersion, CommInfo.version, compare)) {
            Trace(std::string(kVersionPartsDiffer) + " " + setup_.sOwnVersion + " / " +
                  CommInfo.version);
            return -1;
        }
        return compare < 0 ? -2 : 200;
    } catch (const std::exception& e) {
        Trace(std::string("sign-in answer unreadable: ") + e.what());
        return -1;
    }
}

void TvoServer::SaveLessonCache(const std::string& dataJson) const {
    if (setup_.sCacheFile.empty()) {
        return;
    }
    TLessonCacheOwner owner;
    owner.UserID = UserID;
    owner.Password = Password;
    owner.serverIp = CommInfo.serverIp;
    owner.serverPort = CommInfo.serverPort;
    owner.voName = CommInfo.voName;
    owner.areaName = CommInfo.areaName;
    if (!tavrin::SaveLessonCache(setup_.sCacheFile, owner, dataJson)) {
        Trace("the lesson list could not be saved for offline use");
    }
}

int TvoServer::ParseLessonCache(const std::string& text, int32_t userID,
                                const std::string& password) {
    TLessonCache cache;
    cache.lastLoginTime = lastLoginTime;
    const int result = tavrin::ParseLessonCache(text, userID, password, cache);
    lastLoginTime = cache.lastLoginTime;
    currentDate = LocalNow();
    if (result != 0) {
        return result;
    }
    UserID = cache.owner.UserID;
    Password = cache.owner.Password;
    CommInfo.serverIp = cache.owner.serverIp;
    CommInfo.serverPort = cache.owner.serverPort;
    CommInfo.voName = cache.owner.voName;
    CommInfo.areaName = cache.owner.areaName;
    voList = std::move(cache.voList);
    nTotalLessions = int32_t(voList.size());
    return 0;
}

int TvoServer::GetLessionList(const std::vector<Tvo_FromServer>*& list) const {
    list = &voList;
    return nTotalLessions;
}

const Tvo_FromServer* TvoServer::Find(int32_t lessionID) const {
    for (const Tvo_FromServer& vo : voList) {
        if (vo.LI.LessionID == lessionID) {
            return &vo;
        }
    }
    return nullptr;
}

int TvoServer::GetServerInfo(int32_t lessionID, std::string& serverIp, std::string& lessonToken,
                             int32_t& allowLive, int32_t& serverPort) const {
    const Tvo_FromServer* vo = Find(lessionID);
    if (vo == nullptr) {
        return -1;
    }
    serverIp = CommInfo.serverIp;
    serverPort = CommInfo.serverPort;
    lessonToken = vo->liveToken;
    allowLive = vo->allowLive;
    return 0;
}

int TvoServer::GetLessonTime(int32_t lessionID, TDateTime& lessionTime) const {
    const Tvo_FromServer* vo = Find(lessionID);
    if (vo == nullptr) {
        return -1;
    }
    lessionTime = vo->LessionTime;
    return 0;
}

int TvoServer::GetAllowUpload(int32_t lessionID) const {
    const Tvo_FromServer* vo = Find(lessionID);
    return vo == nullptr ? 0 : vo->allowUpload;
}

const char* TvoServer::ResultText(int code) {
    switch (code) {
    case 200:
        return "成功";
    case 201:
        return "失败";
    case 301:
        return "本账号已冻结";
    case 302:
        return "账号错误";
    case 400:
        return "没有相匹配的服务器";
    case 500:
        return "本账号无此权限";
    default:
        return "未知错误";
    }
}

} // namespace tavrin
