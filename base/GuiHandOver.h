// The one way a worker hands work to the GUI thread and waits for it: the
// work is queued to the thread that owns a QObject and the worker blocks
// until it has run there. QtCore only.
#pragma once

#include <functional>

class QObject;

namespace tavrin {

// Runs fn on the thread of context and returns true once it has run. While fn
// is still queued, giveUp (when given) is asked every 20 ms; when it answers
// true, fn is dropped and false is returned, so an owner that stops the
// worker from the GUI thread never deadlocks against it. Once fn has begun
// the call always waits for its end, so fn may refer to the caller's locals.
// On context's own thread fn runs at once. False for a null context or fn.
// context must outlive the call unless giveUp can come true.
bool RunOnThreadOf(QObject* context, std::function<void()> fn,
                   const std::function<bool()>& giveUp = {});

} // namespace tavrin
