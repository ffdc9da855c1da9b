// User-facing messages and the "end the process" fault exit. Every part of
// the system calls these two; the GUI installs a message-box handler, the CLI
// a printing one, tests a recording one.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Caption of every message box.
inline constexpr std::string_view kAppTitle = "Tavrin";

enum class TMsgIcon { Information, Warning, Error, Question };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class TMsgAnswer { Ok, Cancel, Yes, No, Retry };

using MessageHandler =
    std::function<TMsgAnswer(const std::string& text, TMsgIcon icon, TMsgButtons buttons)>;

// Shows text and returns the operator's answer.
TMsgAnswer ShowMessage(const std::string& text, TMsgIcon icon = TMsgIcon::Information,
                       TMsgButtons buttons = TMsgButtons::Ok);

// Installs a handler; an empty one restores the printing default. Returns the
// previous handler.
MessageHandler SetMessageHandler(MessageHandler handler);

// The answer given where nobody can be asked: the one that changes nothing
// (Ok for a lone Ok button, otherwise No or Cancel).
TMsgAnswer CautiousAnswer(TMsgButtons buttons);

// Ends the process after a fault that leaves nothing sensible to do. With the
// default handler it never returns. A test handler may return, so callers
// must stop what they were doing right after it.
void EndProcess();

using EndProcessHandler = std::function<void()>;
EndProcessHandler SetEndProcessHandler(EndProcessHandler handler);

// Records every message while it lives and answers with the queued answers
// (then with the cautious answer); EndProcess calls are counted instead of
// ending the process. Used by tests.
class TMessageRecorder {
public:
    struct Shown {
        std::string text;
        TMsgIcon icon;
        TMsgButtons buttons;
    };

    TMessageRecorder();
    ~TMessageRecorder();
    TMessageRecorder(const TMessageRecorder&) = delete;
    TMessageRecorder& operator=(const TMessageRecorder&) = delete;

    void QueueAnswer(TMsgAnswer answer);
    std::vector<Shown> Messages() const;
    int EndProcessCount() const;

private:
    struct Store;
    std::shared_ptr<Store> store_;
    MessageHandler previousMessage_;
    EndProcessHandler previousEnd_;
};

} // namespace tavrin
