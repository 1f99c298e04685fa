// The prompt and the message box, answered by a second thread that plays the
// user: it finds the dialog, reads what it shows and presses its buttons.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "platform/win32/Win32Ui.h"
#include "platform/win32/Win32UiIds.h"
#include "tests/support/WindowReading.h"
#include "ui/LauncherWindowLayout.h"

namespace dravik {
namespace {

using test::TextOf;

// What the user saw in a dialog.
struct Seen {
    bool found = false;
    std::wstring title;
    std::wstring text;
    std::wstring fieldText;
    bool focusInField = false;
    int defaultButton = 0;
    int buttonCount = 0;
    HWND owner = nullptr;
    HICON icon = nullptr;
    bool iconVisible = false;
};

// Runs `show` on this thread while another thread waits for the dialog, records
// what it shows and then calls `answer` on it.
template <typename Show> Seen WithUser(Show show, const std::function<void(HWND dialog)> &answer) {
    Seen seen;
    const DWORD uiThread = GetCurrentThreadId();
    std::thread user([&] {
        HWND dialog = test::WaitForThreadWindow(uiThread, test::IsDialog);
        if (dialog == nullptr) {
            return;
        }
        Sleep(50); // let it finish its first paint and focus
        seen.found = true;
        seen.title = TextOf(dialog);
        seen.owner = GetWindow(dialog, GW_OWNER);
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(uiThread, &info);
        seen.defaultButton = LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0));
        for (HWND child : test::ChildrenOf(dialog)) {
            std::wstring cls = test::ClassOf(child);
            LONG style = GetWindowLongW(child, GWL_STYLE);
            if (_wcsicmp(cls.c_str(), L"Button") == 0) {
                ++seen.buttonCount;
            } else if (_wcsicmp(cls.c_str(), L"Edit") == 0) {
                seen.fieldText = TextOf(child);
                seen.focusInField = info.hwndFocus == child;
            } else if (_wcsicmp(cls.c_str(), L"Static") == 0) {
                if ((style & SS_TYPEMASK) == SS_ICON) {
                    seen.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                    seen.iconVisible = IsWindowVisible(child) != FALSE;
                } else if (seen.text.empty()) {
                    seen.text = TextOf(child);
                }
            }
        }
        answer(dialog);
    });
    show();
    user.join();
    return seen;
}

HWND FieldOf(HWND dialog) {
    return GetDlgItem(dialog, win32ui::kIdPromptEdit);
}

void Type(HWND field, const std::wstring &text) {
    for (wchar_t c : text) {
        PostMessageW(field, WM_CHAR, c, 1);
    }
}

void PressKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

void Click(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

TEST(AskText, ShowsThePromptAndAnswersTheTypedTextOnOk) {
    Win32Ui ui;
    Text answer = L"unchanged";
    Seen seen = WithUser([&] { answer = ui.AskText(L"Šifra ?"); },
                         [](HWND dialog) {
                             Type(FieldOf(dialog), L"zelk");
                             Sleep(100);
                             Click(dialog, IDOK);
                         });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, kApplicationTitle);
    EXPECT_EQ(seen.text, L"Šifra ?");
    EXPECT_EQ(seen.fieldText, L"");
    EXPECT_TRUE(seen.focusInField);
    EXPECT_EQ(seen.defaultButton, IDOK);
    EXPECT_EQ(seen.buttonCount, 2);
    EXPECT_EQ(answer, L"zelk");
}

TEST(AskText, EnterInTheFieldAnswersTheTypedText) {
    Win32Ui ui;
    Text answer;
    Seen seen = WithUser([&] { answer = ui.AskText(L"Šifra ?"); },
                         [](HWND dialog) {
                             HWND field = FieldOf(dialog);
                             Type(field, L"Čćžšđ neće");
                             PressKey(field, VK_RETURN);
                         });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(answer, L"Čćžšđ neće");
}

// Cancel, Escape in the field and the title bar's close all answer empty, even
// after typing.
TEST(AskText, EveryWayOutButOkAnswersEmptyEvenAfterTyping) {
    const std::pair<const char *, std::function<void(HWND)>> waysOut[] = {
        {"cancel", [](HWND dialog) { Click(dialog, IDCANCEL); }},
        {"escape", [](HWND dialog) { PressKey(FieldOf(dialog), VK_ESCAPE); }},
        {"close", [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); }},
    };
    for (const auto &[name, leave] : waysOut) {
        Win32Ui ui;
        Text answer = L"unchanged";
        Seen seen = WithUser([&] { answer = ui.AskText(L"Šifra ?"); },
                             [&](HWND dialog) {
                                 Type(FieldOf(dialog), L"zelk");
                                 Sleep(100);
                                 leave(dialog);
                             });
        ASSERT_TRUE(seen.found) << name;
        EXPECT_EQ(answer, L"") << name;
    }
}

TEST(ShowMessage, InformationWithTheApplicationTitleAndOneOkButton) {
    Win32Ui ui;
    Seen seen = WithUser(
        [&] {
            ui.ShowMessage(L"Dravik: Ne mogu pokrenuti program!\r\rError:neće",
                           MessageIcon::Information, std::nullopt);
        },
        [](HWND dialog) { Click(dialog, IDOK); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, L"DravikVT");
    EXPECT_EQ(seen.text, L"Dravik: Ne mogu pokrenuti program!\r\rError:neće");
    EXPECT_EQ(seen.buttonCount, 1);
    EXPECT_TRUE(seen.iconVisible);
    EXPECT_EQ(seen.icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32516))); // IDI_INFORMATION
    EXPECT_EQ(seen.owner, nullptr) << "no visible launcher window to own it";
}

TEST(ShowMessage, ExclamationWithItsOwnTitle) {
    Win32Ui ui;
    Seen seen = WithUser(
        [&] {
            ui.ShowMessage(L"Nema datoteke\r\nVelkor_2007.exe", MessageIcon::Exclamation,
                           Text(L"Dravik upozorenje"));
        },
        [](HWND dialog) { Click(dialog, IDOK); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, L"Dravik upozorenje");
    EXPECT_EQ(seen.text, L"Nema datoteke\r\nVelkor_2007.exe");
    EXPECT_EQ(seen.icon, LoadIconW(nullptr, MAKEINTRESOURCEW(32515))); // IDI_EXCLAMATION
}

TEST(ShowMessage, WithoutIconShowsNone) {
    Win32Ui ui;
    Seen seen = WithUser([&] { ui.ShowMessage(L"Gotovo.", MessageIcon::None, std::nullopt); },
                         [](HWND dialog) { PressKey(dialog, VK_RETURN); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Gotovo.");
    EXPECT_TRUE(seen.icon == nullptr || !seen.iconVisible);
}

TEST(ShowMessage, IsOwnedByTheVisibleLauncherWindow) {
    Win32Ui ui;
    ui.CreateLauncherWindow(LauncherWindowLayout(), [](Control) {});
    ui.SetWindowVisible(true);
    Seen seen = WithUser([&] { ui.ShowMessage(L"x", MessageIcon::Information, std::nullopt); },
                         [](HWND dialog) { Click(dialog, IDOK); });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, reinterpret_cast<HWND>(ui.GetWindowHandle()));

    Text answer = L"unchanged";
    Seen prompt = WithUser([&] { answer = ui.AskText(L"Šifra ?"); },
                           [](HWND dialog) { Click(dialog, IDCANCEL); });
    ASSERT_TRUE(prompt.found);
    EXPECT_EQ(prompt.owner, reinterpret_cast<HWND>(ui.GetWindowHandle()));
    EXPECT_EQ(answer, L"");
}

} // namespace
} // namespace dravik
