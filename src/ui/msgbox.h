// The program's one way to show a modal error box ("Lorvex" caption, one OK
// button). Tests install a hook that records the text instead of showing a
// box. UI thread only; workers hand their texts over with a queued call.
#pragma once

#include <QString>
#include <functional>

namespace lorvex {

void showMessageBox(const QString& text);

// While a hook is installed, showMessageBox calls it instead of opening a
// box. An empty function removes the hook.
void setMessageBoxHook(std::function<void(const QString&)> hook);

}  // namespace lorvex
