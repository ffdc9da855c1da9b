// login and schedule: sign in to the education platform (or read the saved
// lesson list) and print the common information and the lesson schedule.
#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/Text.h"
#include "cli/Commands.h"
#include "platform/LessonCache.h"
#include "platform/PlatformSettings.h"
#include "platform/voServer.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tavrin::cli {

namespace {

// Columns a text takes in a terminal: East Asian characters take two.
size_t DisplayWidth(const std::string& text) {
    size_t width = 0;
    for (const char32_t c : Utf8ToCodePoints(text)) {
        width += (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                         (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000
                     ? 2
                     : 1;
    }
    return width;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line.append(widths[i] - DisplayWidth(row[i]) + 2, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        std::printf("%s\n", line.c_str());
    }
}

std::string DateTimeText(const TDateTime& t) {
    return IsValidDateTime(t) ? FormatDateTime(t).substr(0, 16) : "-";
}

void PrintSchedule(const TvoServer& server) {
    const std::vector<Tvo_FromServer>* list = nullptr;
    const int count = server.GetLessionList(list);
    std::printf("lessons           %d\n", count);
    if (count <= 0) {
        return;
    }
    std::vector<std::vector<std::string>> rows = {{"ID", "time", "days", "no", "min", "subject",
                                                   "grade", "lesson", "teacher", "school",
                                                   "edition", "live", "upload"}};
    const TDateTime today = server.GetCurrentDate();
    for (const Tvo_FromServer& vo : *list) {
        const bool dated = IsValidDateTime(vo.LessionTime) && IsValidDateTime(today);
        const int64_t days = dated ? DaysBetween(today, vo.LessionTime) : 0;
        std::string daysText = dated ? IntToStr(days) : "-";
        if (days > 0) {
            daysText.insert(daysText.begin(), '+');
        }
        rows.push_back({IntToStr(vo.LI.LessionID), DateTimeText(vo.LessionTime), daysText,
                        IntToStr(vo.LessionNO), IntToStr(vo.continueMinutes), vo.LI.subject,
                        vo.LI.grade, vo.LI.LessionName, vo.LI.TeacherName, vo.LI.ShcoolName,
                        vo.LI.version, vo.allowLive != 0 ? "Y" : "",
                        vo.allowUpload != 0 ? "Y" : ""});
    }
    PrintTable(rows);
}

void PrintCommon(const TvoServer& server) {
    const TCommInfo& c = server.GetCommInfo();
    const int state = server.GetLoginState();
    std::printf("login state       %d (%s)\n", state,
                state == 1   ? "signed in"
                : state == 2 ? "saved lesson list"
                             : "not signed in");
    std::printf("account           %d\n", server.GetUserID());
    std::printf("operator          %s %s\n", c.areaName.c_str(), c.voName.c_str());
    std::printf("platform date     %s\n",
                FormatDateTime(server.GetCurrentDate()).substr(0, 10).c_str());
    if (state == 2) {
        std::printf("list saved at     %s\n", FormatDateTime(server.GetLastLoginTime()).c_str());
    }
    std::printf("newest version    %s (this is %s)\n", c.version.c_str(), ProgramVersion());
    std::printf("installer         %s\n", c.URL.c_str());
    std::printf("media server      %s:%d\n", c.serverIp.c_str(), c.serverPort);
}

// The account and password every command here needs; false after a usage error.
bool ReadAccount(const TCliArgs& args, int& user, std::string& password, int& status) {
    if (!args.Has("user") || !args.Has("password-file")) {
        status = Fail("needs --user ID and --password-file FILE");
        return false;
    }
    if (!args.GetInt("user", user)) {
        status = Fail(args.Error());
        return false;
    }
    if (!ReadSecretFile(args.Get("password-file"), password)) {
        status = Fail("cannot read " + args.Get("password-file"));
        return false;
    }
    return true;
}

// Settings from vo.ini, each overridden by its option.
bool SetupFromArgs(const TCliArgs& args, TvoServerSetup& setup, int& status) {
    setup.https = LoadPlatformSettings(args.Get("ini", SettingsFile()));
    setup.https.Host = args.Get("host", setup.https.Host);
    setup.https.CAFile = args.Get("ca", setup.https.CAFile);
    if (!args.GetInt("port", setup.https.Port) ||
        !args.GetInt("timeout", setup.https.nReadTimeoutMs)) {
        status = Fail(args.Error());
        return false;
    }
    setup.sCacheFile = args.Get("cache", UserFile(kLessonCacheFile));
    setup.sOwnVersion = ProgramVersion();
    return true;
}

// Signs in as the console does; the offline offer is accepted only with
// --accept-offline (a script has nobody to ask).
int SignIn(const TCliArgs& args, bool printCommon) {
    int status = 0;
    int user = 0;
    std::string password;
    TvoServerSetup setup;
    if (!ReadAccount(args, user, password, status) || !SetupFromArgs(args, setup, status)) {
        return status;
    }
    const bool acceptOffline = args.Has("accept-offline");
    const MessageHandler previous = SetMessageHandler(
        [acceptOffline](const std::string& text, TMsgIcon /*icon*/, TMsgButtons buttons) {
            std::fprintf(stderr, "Tavrin: %s\n", text.c_str());
            if (buttons == TMsgButtons::YesNo) {
                return acceptOffline ? TMsgAnswer::Yes : TMsgAnswer::No;
            }
            return CautiousAnswer(buttons);
        });
    TvoServer server(setup);
    const int result = server.Login(user, password);
    SetMessageHandler(previous);
    std::printf("result            %d %s\n", result,
                result == -2   ? "signed in; a newer console version exists"
                : result == -1 ? "no usable answer from the platform"
                               : TvoServer::ResultText(result));
    if (result != 200 && result != -2) {
        return kExitFailed;
    }
    if (printCommon) {
        PrintCommon(server);
    }
    PrintSchedule(server);
    return 0;
}

int ReadSavedList(const TCliArgs& args) {
    int status = 0;
    int user = 0;
    std::string password;
    if (!ReadAccount(args, user, password, status)) {
        return status;
    }
    const std::string path = args.Get("cache", UserFile(kLessonCacheFile));
    const std::string text = LoadLessonCache(path);
    if (text.empty()) {
        std::fprintf(stderr, "tavrin-cli: no saved lesson list in %s\n", path.c_str());
        return kExitFailed;
    }
    TvoServerSetup setup;
    setup.sOwnVersion = ProgramVersion();
    TvoServer server(setup);
    if (server.ParseLessonCache(text, user, password) != 0) {
        std::fprintf(stderr, "tavrin-cli: the saved lesson list is not that of this account\n");
        return kExitFailed;
    }
    std::printf("list saved at     %s\n", FormatDateTime(server.GetLastLoginTime()).c_str());
    PrintSchedule(server);
    return 0;
}

} // namespace

int RunLogin(const TCliArgs& args) {
    return SignIn(args, true);
}

int RunSchedule(const TCliArgs& args) {
    return args.Has("offline") ? ReadSavedList(args) : SignIn(args, false);
}

} // namespace tavrin::cli
