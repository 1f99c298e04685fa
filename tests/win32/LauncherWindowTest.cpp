// The launcher window as a user sees it, read back through Win32 queries.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Ui.h"
#include "platform/win32/Win32UiIds.h"
#include "tests/support/WindowReading.h"
#include "ui/LauncherWindowLayout.h"
#include "ui/frmDravikVT.h"

namespace dravik {
namespace {

using test::TextOf;

int Dpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int Px(int twips) {
    return static_cast<int>(std::lround(twips * Dpi() / 1440.0));
}

class LauncherWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui_.CreateLauncherWindow(LauncherWindowLayout(), [this](Control control) {
            clicks_.push_back(control);
            if (onClick_) {
                onClick_(control);
            }
        });
        window_ = reinterpret_cast<HWND>(ui_.GetWindowHandle());
        ASSERT_NE(window_, nullptr);
    }

    HWND Item(int id) const { return GetDlgItem(window_, id); }
    // The window shown as the launcher shows it: centred, with the status text.
    void ShowCentred(const Text &status) { frmDravikVT(platform_).ShowMe(status); }

    // The launcher's window services under a platform whose window they are.
    class WindowPlatform final : public Win32Platform {
    public:
        explicit WindowPlatform(Win32Ui &ui) : ui_(ui) {}
        WindowServices &Window() override { return ui_; }

    private:
        Win32Ui &ui_;
    };

    Win32Ui ui_;
    WindowPlatform platform_{ui_};
    HWND window_ = nullptr;
    std::vector<Control> clicks_;
    std::function<void(Control)> onClick_;
};

TEST_F(LauncherWindowTest, IsCreatedHiddenWithCaptionAndFixedFrame) {
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_FALSE(IsWindowVisible(window_));
    EXPECT_EQ(TextOf(window_), L"Dravik");
    EXPECT_EQ(test::ClassOf(window_), win32ui::kLauncherClassName);
    LONG style = GetWindowLongW(window_, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME) << "the frame must not be resizable";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_EQ(GetParent(window_), nullptr);
}

TEST_F(LauncherWindowTest, ClientAreaIsTheLayoutSizeAtTheScreenResolution) {
    RECT client{};
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.right, Px(5025));
    EXPECT_EQ(client.bottom, Px(2400));
    if (Dpi() == 96) {
        EXPECT_EQ(client.right, 335);
        EXPECT_EQ(client.bottom, 160);
    }
}

TEST_F(LauncherWindowTest, ControlsHaveTheirCaptionsPlacesAndKinds) {
    struct Expected {
        int id;
        const wchar_t *className;
        const wchar_t *caption;
        int left, top, width, height;
    };
    const Expected expected[] = {
        {win32ui::kIdCmdKraj, L"Button", L"Kraj", 3720, 1680, 1095, 495},
        {win32ui::kIdCmdPokreniProgram, L"Button", L"Pokreni program", 1260, 1680, 2415, 495},
        {win32ui::kIdCmdUzmiNoviMDE, L"Button", L"Uzmi novi MDA", 120, 1680, 1095, 495},
        {win32ui::kIdLabel1, L"Static", L"Kopiranje nove verzije programa...", 120, 240, 4695,
         1335},
    };
    for (const Expected &e : expected) {
        HWND item = Item(e.id);
        ASSERT_NE(item, nullptr) << e.caption;
        EXPECT_EQ(_wcsicmp(test::ClassOf(item).c_str(), e.className), 0) << e.caption;
        EXPECT_EQ(TextOf(item), e.caption);
        EXPECT_TRUE(GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE) << e.caption;
        EXPECT_TRUE(IsWindowEnabled(item)) << e.caption;
        RECT rect{};
        GetWindowRect(item, &rect);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT *>(&rect), 2);
        EXPECT_EQ(rect.left, Px(e.left)) << e.caption;
        EXPECT_EQ(rect.top, Px(e.top)) << e.caption;
        EXPECT_NEAR(rect.right - rect.left, Px(e.width), 1) << e.caption;
        EXPECT_NEAR(rect.bottom - rect.top, Px(e.height), 1) << e.caption;
    }
    LONG buttonStyle = GetWindowLongW(Item(win32ui::kIdCmdKraj), GWL_STYLE);
    EXPECT_EQ(buttonStyle & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_TRUE(buttonStyle & WS_TABSTOP);
    EXPECT_EQ(GetWindowLongW(Item(win32ui::kIdLabel1), GWL_STYLE) & SS_TYPEMASK, SS_LEFT);
}

TEST_F(LauncherWindowTest, TabGoesFromKrajToPokreniToUzmiAndBack) {
    HWND kraj = Item(win32ui::kIdCmdKraj);
    HWND pokreni = Item(win32ui::kIdCmdPokreniProgram);
    HWND uzmi = Item(win32ui::kIdCmdUzmiNoviMDE);
    EXPECT_EQ(GetNextDlgTabItem(window_, kraj, FALSE), pokreni);
    EXPECT_EQ(GetNextDlgTabItem(window_, pokreni, FALSE), uzmi);
    EXPECT_EQ(GetNextDlgTabItem(window_, uzmi, FALSE), kraj);
    EXPECT_EQ(GetNextDlgTabItem(window_, kraj, TRUE), uzmi);
    // z-order follows the tab order, the label last
    EXPECT_EQ(GetWindow(window_, GW_CHILD), kraj);
    EXPECT_EQ(GetWindow(kraj, GW_HWNDNEXT), pokreni);
    EXPECT_EQ(GetWindow(pokreni, GW_HWNDNEXT), uzmi);
    EXPECT_EQ(GetWindow(uzmi, GW_HWNDNEXT), Item(win32ui::kIdLabel1));
}

TEST_F(LauncherWindowTest, LabelUsesMsSansSerif13AndAHalfPointButtonsTheFormFont) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(Item(win32ui::kIdLabel1), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW logFont{};
    ASSERT_EQ(GetObjectW(font, sizeof(logFont), &logFont), static_cast<int>(sizeof(logFont)));
    EXPECT_STREQ(logFont.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(logFont.lfHeight, -static_cast<int>(std::lround(13.5 * Dpi() / 72.0)));
    EXPECT_EQ(logFont.lfWeight, 400);
    EXPECT_EQ(logFont.lfCharSet, 238);
    EXPECT_EQ(logFont.lfItalic, 0);

    auto buttonFont =
        reinterpret_cast<HFONT>(SendMessageW(Item(win32ui::kIdCmdKraj), WM_GETFONT, 0, 0));
    ASSERT_NE(buttonFont, nullptr);
    LOGFONTW buttonLogFont{};
    ASSERT_EQ(GetObjectW(buttonFont, sizeof(buttonLogFont), &buttonLogFont),
              static_cast<int>(sizeof(buttonLogFont)));
    EXPECT_STREQ(buttonLogFont.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(buttonLogFont.lfHeight, -static_cast<int>(std::lround(8.25 * Dpi() / 72.0)));
    EXPECT_EQ(buttonLogFont.lfCharSet, 238);
    for (int id : {win32ui::kIdCmdPokreniProgram, win32ui::kIdCmdUzmiNoviMDE}) {
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(Item(id), WM_GETFONT, 0, 0)), buttonFont);
    }
}

TEST_F(LauncherWindowTest, EveryButtonCaptionFitsItsButton) {
    for (int id :
         {win32ui::kIdCmdKraj, win32ui::kIdCmdPokreniProgram, win32ui::kIdCmdUzmiNoviMDE}) {
        HWND button = Item(id);
        auto font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        HDC dc = GetDC(button);
        HGDIOBJ old = SelectObject(dc, font);
        std::wstring caption = TextOf(button);
        SIZE extent{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        ReleaseDC(button, dc);
        RECT client{};
        GetClientRect(button, &client);
        if (_wcsicmp(face, L"MS Sans Serif") != 0 && _wcsicmp(face, L"Microsoft Sans Serif") != 0) {
            // A system without the font draws a wider stand-in; the sizes say nothing then.
            GTEST_SKIP() << "MS Sans Serif is not installed; buttons drawn in "
                         << std::string(face, face + wcslen(face));
        }
        // "Uzmi novi MDA" in MS Sans Serif is as wide as its 1095-twip button, so the
        // check is that no caption is wider than its button, not that it has a margin.
        EXPECT_LE(extent.cx, client.right)
            << "id " << id << ": text " << extent.cx << " px in a " << client.right
            << " px button, drawn in " << std::string(face, face + wcslen(face));
        EXPECT_LE(extent.cy, client.bottom - 6) << "id " << id;
    }
}

TEST_F(LauncherWindowTest, CarriesItsOwn16PixelIcon) {
    auto small = reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0));
    auto big = reinterpret_cast<HICON>(SendMessageW(window_, WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(small, nullptr);
    ASSERT_NE(big, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(small, &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 16);
    EXPECT_EQ(bitmap.bmHeight, 16);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

TEST_F(LauncherWindowTest, ShownCentredWithStatusTextAndFocusOnKraj) {
    ShowCentred(L"Kopiranje nove verzije programa...");
    EXPECT_TRUE(IsWindowVisible(window_));
    for (int id : {win32ui::kIdCmdKraj, win32ui::kIdCmdPokreniProgram, win32ui::kIdCmdUzmiNoviMDE,
                   win32ui::kIdLabel1}) {
        EXPECT_TRUE(IsWindowVisible(Item(id))) << id;
    }
    EXPECT_EQ(TextOf(Item(win32ui::kIdLabel1)), L"Kopiranje nove verzije programa...");
    EXPECT_EQ(GetFocus(), Item(win32ui::kIdCmdKraj));

    RECT rect{};
    GetWindowRect(window_, &rect);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(rect.left + (rect.right - rect.left) / 2.0, screenWidth / 2.0, 1.0);
    EXPECT_NEAR(rect.top + (rect.bottom - rect.top) / 2.0, screenHeight / 2.0, 1.0);

    TwipSize size = ui_.WindowSize();
    EXPECT_DOUBLE_EQ(size.width, (rect.right - rect.left) * 1440.0 / Dpi());
    EXPECT_DOUBLE_EQ(size.height, (rect.bottom - rect.top) * 1440.0 / Dpi());
    TwipSize screen = ui_.ScreenSize();
    EXPECT_DOUBLE_EQ(screen.width, screenWidth * 1440.0 / Dpi());
    EXPECT_DOUBLE_EQ(screen.height, screenHeight * 1440.0 / Dpi());

    // The repaint has to reach the screen although nobody returns to the event
    // loop: the label's area shows dark text on the light face colour.
    RECT label{};
    GetWindowRect(Item(win32ui::kIdLabel1), &label);
    std::vector<std::uint32_t> pixels = test::CaptureScreenRect(label);
    ASSERT_FALSE(pixels.empty());
    int dark = 0;
    for (std::uint32_t pixel : pixels) {
        if (((pixel >> 16) & 0xFF) < 80 && ((pixel >> 8) & 0xFF) < 80 && (pixel & 0xFF) < 80) {
            ++dark;
        }
    }
    EXPECT_GT(dark, 50) << "no text drawn in the label";

    CreateDirectoryW(test::WindowsPath(DRAVIK_ARTIFACT_DIR).c_str(), nullptr);
    EXPECT_TRUE(
        test::SaveScreenRect(rect, test::WindowsPath(DRAVIK_ARTIFACT_DIR "/launcher-window.bmp")));
}

TEST_F(LauncherWindowTest, ShowingAgainOrHidingDoesNotMoveTheWindow) {
    ui_.SetWindowPosition(1500, 3000);
    ui_.SetWindowVisible(true);
    RECT before{};
    GetWindowRect(window_, &before);
    EXPECT_EQ(before.left, Px(1500));
    EXPECT_EQ(before.top, Px(3000));
    ui_.SetWindowVisible(false);
    EXPECT_FALSE(IsWindowVisible(window_));
    ui_.SetWindowVisible(true);
    RECT after{};
    GetWindowRect(window_, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
}

TEST_F(LauncherWindowTest, ControlsCanBeHiddenAndRelabelled) {
    ui_.SetWindowVisible(true);
    ui_.SetControlVisible(Control::CmdUzmiNoviMDE, false);
    EXPECT_FALSE(IsWindowVisible(Item(win32ui::kIdCmdUzmiNoviMDE)));
    ui_.SetControlVisible(Control::CmdUzmiNoviMDE, true);
    EXPECT_TRUE(IsWindowVisible(Item(win32ui::kIdCmdUzmiNoviMDE)));
    ui_.SetControlText(Control::Label1, L"Šifra neće ČĆŽŠĐ");
    EXPECT_EQ(TextOf(Item(win32ui::kIdLabel1)), L"Šifra neće ČĆŽŠĐ");
    ui_.SetControlText(Control::Label1, L"");
    EXPECT_EQ(TextOf(Item(win32ui::kIdLabel1)), L"");
    ui_.SetControlText(Control::CmdKraj, L"Kraj!");
    EXPECT_EQ(TextOf(Item(win32ui::kIdCmdKraj)), L"Kraj!");
}

TEST_F(LauncherWindowTest, ButtonClicksReachTheHandler) {
    ui_.SetWindowVisible(true);
    SendMessageW(Item(win32ui::kIdCmdPokreniProgram), BM_CLICK, 0, 0);
    SendMessageW(Item(win32ui::kIdCmdUzmiNoviMDE), BM_CLICK, 0, 0);
    SendMessageW(Item(win32ui::kIdCmdKraj), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks_, (std::vector<Control>{Control::CmdPokreniProgram, Control::CmdUzmiNoviMDE,
                                             Control::CmdKraj}));
}

TEST_F(LauncherWindowTest, TabAndEnterInTheEventLoopPressTheNextButton) {
    ShowCentred(L"");
    onClick_ = [this](Control) { ui_.CloseLauncherWindow(); };
    HWND kraj = Item(win32ui::kIdCmdKraj);
    ASSERT_EQ(GetFocus(), kraj);
    PostMessageW(kraj, WM_KEYDOWN, VK_TAB, 0x000F0001);
    PostMessageW(kraj, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001u));
    PostMessageW(kraj, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    ui_.RunEventLoop();
    EXPECT_EQ(clicks_, std::vector<Control>{Control::CmdPokreniProgram});
}

TEST_F(LauncherWindowTest, ClosingThroughTheTitleBarEndsTheEventLoop) {
    ui_.SetWindowVisible(true);
    PostMessageW(window_, WM_CLOSE, 0, 0);
    ui_.RunEventLoop();
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_EQ(ui_.GetWindowHandle(), 0u);
    EXPECT_TRUE(clicks_.empty());
}

TEST_F(LauncherWindowTest, EventLoopReturnsAtOnceWhenTheWindowIsAlreadyClosed) {
    ui_.CloseLauncherWindow();
    EXPECT_FALSE(IsWindow(window_));
    auto start = std::chrono::steady_clock::now();
    ui_.RunEventLoop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // The services stay harmless on a closed window.
    ui_.SetControlText(Control::Label1, L"x");
    ui_.SetWindowVisible(true);
    ui_.RepaintWindow();
    ui_.CloseLauncherWindow();
}

// In the middle of an update the window repaints and answers, but neither a click
// nor a close may cut in.
TEST_F(LauncherWindowTest, AnsweringTheSystemPaintsButRunsNoClickAndNoClose) {
    ShowCentred(L"Kopiranje nove verzije programa...");
    PostMessageW(window_, WM_CLOSE, 0, 0);
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(win32ui::kIdCmdKraj, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(win32ui::kIdCmdKraj)));
    // A click sent from another thread waits until this thread reads its messages.
    HWND uzmi = Item(win32ui::kIdCmdUzmiNoviMDE);
    std::thread clicker([uzmi] {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(uzmi, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
    });
    Sleep(300);
    InvalidateRect(window_, nullptr, TRUE);
    ui_.KeepWindowResponsive();
    clicker.join();
    EXPECT_TRUE(IsWindow(window_));
    EXPECT_TRUE(clicks_.empty());
    RECT dirty{};
    EXPECT_FALSE(GetUpdateRect(window_, &dirty, FALSE)) << "not repainted";
    // Taken from the queue and let go, not kept for later. (Mouse input stays queued.)
    MSG waiting{};
    EXPECT_FALSE(PeekMessageW(&waiting, window_, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
    EXPECT_FALSE(PeekMessageW(&waiting, window_, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
    // Afterwards the window works as before.
    SendMessageW(Item(win32ui::kIdCmdKraj), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks_, std::vector<Control>{Control::CmdKraj});
}

TEST_F(LauncherWindowTest, AFailureInAClickHandlerLeavesTheEventLoop) {
    ui_.SetWindowVisible(true);
    onClick_ = [](Control) { throw Failure(L"Path not found"); };
    PostMessageW(window_, WM_COMMAND, MAKEWPARAM(win32ui::kIdCmdUzmiNoviMDE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(win32ui::kIdCmdUzmiNoviMDE)));
    try {
        ui_.RunEventLoop();
        ADD_FAILURE() << "the failure was swallowed";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.Description(), L"Path not found");
    }
    EXPECT_EQ(clicks_, std::vector<Control>{Control::CmdUzmiNoviMDE});
}

} // namespace
} // namespace dravik
