// The console's only client of the education platform: signs the operator
// in, keeps the common information and the lesson schedule, falls back to
// the saved lesson list when the platform cannot be reached, and answers
// lookups by lesson number.
#pragma once

#include "platform/DateTime.h"
#include "platform/HttpsClient.h"
#include "platform/PlatformTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

inline constexpr char kLoginPath[] = "/web/voPerson/login-vo";
inline constexpr char kOfflineNoSavedList[] =
    "登录失败，且本机无您上一次成功登录后、从平台所获得的课表。";

// Where the client talks to and what it compares and saves.
struct TvoServerSetup {
    THttpsSettings https;
    std::string sCacheFile;  // the saved lesson list; empty: never saved
    std::string sOwnVersion; // the console's version, major.minor.release.build
};

class TvoServer {
public:
    // Platform settings from vo.ini, lesson.dat and the version of this build.
    TvoServer();
    explicit TvoServer(TvoServerSetup setup);

    void Initialize();

    // Signs in: 200, -2 (signed in, a newer console exists), another platform
    // code, or -1 (no usable answer and the saved list not used).
    int Login(int32_t userID, const std::string& password);

    // Reads a sign-in answer body into the client (saving the list for
    // offline use): the platform's code, -2, or -1 when it cannot be read.
    int ReadLoginAnswer(const std::string& body);

    // Takes a saved list's plain text for the account being tried: 0, or -1.
    int ParseLessonCache(const std::string& text, int32_t userID, const std::string& password);

    int GetLoginState() const { return nLoginState; }
    // Where the client talks to; the installer download uses the same trust.
    const TvoServerSetup& Setup() const { return setup_; }
    const TCommInfo& GetCommInfo() const { return CommInfo; }
    // The platform's date at sign-in, at midnight.
    TDateTime GetCurrentDate() const { return DateOf(currentDate); }
    const TDateTime& GetLastLoginTime() const { return lastLoginTime; }
    int32_t GetUserID() const { return UserID; }
    // Gives the list; returns its count.
    int GetLessionList(const std::vector<Tvo_FromServer>*& list) const;

    // Lookups by lesson number; 0, or -1 (outputs untouched) when it is not
    // in the list.
    int GetServerInfo(int32_t lessionID, std::string& serverIp, std::string& lessonToken,
                      int32_t& allowLive, int32_t& serverPort) const;
    int GetLessonTime(int32_t lessionID, TDateTime& lessionTime) const;
    int GetAllowUpload(int32_t lessionID) const;

    static const char* ResultText(int code);

private:
    const Tvo_FromServer* Find(int32_t lessionID) const;
    void SaveLessonCache(const std::string& dataJson) const;
    int OfflineFallback();

    int32_t UserID = 0;
    [[maybe_unused]] std::string liveToken; // kept with the account; not used
    std::string Password;
    int32_t nLoginState = 0;
    int32_t nTotalLessions = 0;
    TDateTime currentDate;
    TDateTime lastLoginTime;
    TCommInfo CommInfo;
    std::vector<Tvo_FromServer> voList;

    TvoServerSetup setup_;
};

} // namespace tavrin
