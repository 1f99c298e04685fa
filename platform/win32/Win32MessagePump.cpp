// The launcher window's message pump: the event loop that waits for the user, and
// the bounded round that only answers the system in the middle of the work.
#include <windows.h>

#include <exception>

#include "platform/win32/Win32UiState.h"

namespace dravik {

void Win32Ui::KeepWindowResponsive() {
    if (state_->window == nullptr) {
        return;
    }
    // Every message but keyboard and mouse input is handled; input is not even taken
    // from the queue, so a click or a key waits for the event loop. The system sees
    // the thread read its messages and never puts a "Not Responding" ghost in its place.
    struct Range {
        UINT first, last;
    };
    const Range allButInput[] = {{0, WM_NCMOUSEMOVE - 1},
                                 {WM_NCXBUTTONDBLCLK + 1, WM_KEYFIRST - 1},
                                 {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
                                 {WM_MOUSELAST + 1, 0xFFFFFFFFu}};
    state_->answeringOnly = true;
    MSG message{};
    bool quit = false;
    // Bounded: a timer that keeps firing must not hold the update up.
    for (int handled = 0, round = 1; round > 0 && handled < 1000 && !quit;) {
        round = 0;
        for (const Range &range : allButInput) {
            while (!quit && handled < 1000 &&
                   PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE)) {
                ++round;
                ++handled;
                if (message.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(message.wParam)); // for the event loop
                    quit = true;
                    break;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    state_->answeringOnly = false;
}

void Win32Ui::RunEventLoop() {
    // The window may already be gone (the normal start-up closes it before the
    // loop runs): then there is nothing to wait for.
    MSG message{};
    while (state_->window != nullptr && !state_->pendingFailure) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (state_->window != nullptr && IsDialogMessageW(state_->window, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (state_->pendingFailure) {
        std::exception_ptr failure = state_->pendingFailure;
        state_->pendingFailure = nullptr;
        std::rethrow_exception(failure);
    }
}

} // namespace dravik
