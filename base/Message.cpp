#include "base/Message.h"

#include "base/Trace.h"

#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace tavrin {

namespace {

std::mutex gMessageLock;
MessageHandler gMessageHandler;
EndProcessHandler gEndProcessHandler;

const char* IconName(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Information:
        return "information";
    case TMsgIcon::Warning:
        return "warning";
    case TMsgIcon::Error:
        return "error";
    case TMsgIcon::Question:
        return "question";
    }
    return "";
}

TMsgAnswer PrintMessage(const std::string& text, TMsgIcon icon, TMsgButtons buttons) {
    std::fprintf(stderr, "%.*s [%s]: %s\n", int(kAppTitle.size()), kAppTitle.data(), IconName(icon),
                 text.c_str());
    return CautiousAnswer(buttons);
}

} // namespace

TMsgAnswer CautiousAnswer(TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::Ok:
        return TMsgAnswer::Ok;
    case TMsgButtons::YesNo:
        return TMsgAnswer::No;
    case TMsgButtons::OkCancel:
    case TMsgButtons::YesNoCancel:
    case TMsgButtons::RetryCancel:
        return TMsgAnswer::Cancel;
    }
    return TMsgAnswer::Cancel;
}

TMsgAnswer ShowMessage(const std::string& text, TMsgIcon icon, TMsgButtons buttons) {
    MessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(gMessageLock);
        handler = gMessageHandler;
    }
    // The handler may run a modal loop; it is called without the lock held.
    return handler ? handler(text, icon, buttons) : PrintMessage(text, icon, buttons);
}

MessageHandler SetMessageHandler(MessageHandler handler) {
    std::lock_guard<std::mutex> lock(gMessageLock);
    MessageHandler previous = std::move(gMessageHandler);
    gMessageHandler = std::move(handler);
    return previous;
}

void EndProcess() {
    EndProcessHandler handler;
    {
        std::lock_guard<std::mutex> lock(gMessageLock);
        handler = gEndProcessHandler;
    }
    if (handler) {
        handler();
        return;
    }
    Trace("EndProcess");
    std::fflush(nullptr);
    // Other threads may still run; static destructors must not race them.
    _exit(1);
}

EndProcessHandler SetEndProcessHandler(EndProcessHandler handler) {
    std::lock_guard<std::mutex> lock(gMessageLock);
    EndProcessHandler previous = std::move(gEndProcessHandler);
    gEndProcessHandler = std::move(handler);
    return previous;
}

struct TMessageRecorder::Store {
    mutable std::mutex lock;
    std::deque<TMsgAnswer> answers;
    std::vector<Shown> shown;
    int endCount = 0;
};

TMessageRecorder::TMessageRecorder() : store_(std::make_shared<Store>()) {
    auto store = store_;
    previousMessage_ =
        SetMessageHandler([store](const std::string& text, TMsgIcon icon, TMsgButtons buttons) {
            std::lock_guard<std::mutex> lock(store->lock);
            store->shown.push_back({text, icon, buttons});
            if (store->answers.empty()) {
                return CautiousAnswer(buttons);
            }
            const TMsgAnswer answer = store->answers.front();
            store->answers.pop_front();
            return answer;
        });
    previousEnd_ = SetEndProcessHandler([store] {
        std::lock_guard<std::mutex> lock(store->lock);
        ++store->endCount;
    });
}

TMessageRecorder::~TMessageRecorder() {
    SetMessageHandler(std::move(previousMessage_));
    SetEndProcessHandler(std::move(previousEnd_));
}

void TMessageRecorder::QueueAnswer(TMsgAnswer answer) {
    std::lock_guard<std::mutex> lock(store_->lock);
    store_->answers.push_back(answer);
}

std::vector<TMessageRecorder::Shown> TMessageRecorder::Messages() const {
    std::lock_guard<std::mutex> lock(store_->lock);
    return store_->shown;
}

int TMessageRecorder::EndProcessCount() const {
    std::lock_guard<std::mutex> lock(store_->lock);
    return store_->endCount;
}

} // namespace tavrin
