#include "platform/win32/Win32Prompt.h"

#include <cstdint>
#include <vector>

#include "platform/win32/Win32Error.h"
#include "platform/win32/Win32UiIds.h"

namespace dravik::win32ui {
namespace {

// Builds a DLGTEMPLATE with its items in a WORD buffer; the dialog manager
// wants the header and each item on a DWORD boundary.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height, const Text &caption, WORD fontPoints,
                   const wchar_t *fontFace) {
        Align();
        PutDword(style);
        PutDword(0); // extended style
        countAt_ = words_.size();
        PutWord(0); // item count, filled in as items are added
        PutWord(0); // x: DS_CENTER places the dialog
        PutWord(0); // y
        PutWord(static_cast<WORD>(width));
        PutWord(static_cast<WORD>(height));
        PutWord(0); // no menu
        PutWord(0); // the predefined dialog class
        PutText(caption.c_str());
        PutWord(fontPoints);
        PutText(fontFace);
    }

    void AddItem(DWORD style, short x, short y, short width, short height, WORD id, WORD classAtom,
                 const Text &text) {
        Align();
        PutDword(style | WS_CHILD | WS_VISIBLE);
        PutDword(0);
        PutWord(static_cast<WORD>(x));
        PutWord(static_cast<WORD>(y));
        PutWord(static_cast<WORD>(width));
        PutWord(static_cast<WORD>(height));
        PutWord(id);
        PutWord(0xFFFF); // class given by its atom
        PutWord(classAtom);
        PutText(text.c_str());
        PutWord(0); // no creation data
        ++words_[countAt_];
    }

    const DLGTEMPLATE *Get() const { return reinterpret_cast<const DLGTEMPLATE *>(words_.data()); }

private:
    void Align() {
        while (words_.size() % 2 != 0) {
            words_.push_back(0);
        }
    }
    void PutWord(WORD w) { words_.push_back(w); }
    void PutDword(DWORD d) {
        PutWord(LOWORD(d));
        PutWord(HIWORD(d));
    }
    void PutText(const wchar_t *text) {
        for (; *text != L'\0'; ++text) {
            PutWord(static_cast<WORD>(*text));
        }
        PutWord(0);
    }

    // A vector of WORDs is at least WORD-aligned; DWORD alignment of the start is
    // what the allocator gives for any new'd block.
    std::vector<WORD> words_;
    std::size_t countAt_ = 0;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

struct PromptData {
    const Text *prompt;
    Text answer;
};

Text ControlText(HWND control) {
    int length = GetWindowTextLengthW(control);
    if (length <= 0) {
        return Text();
    }
    Text text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(control, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto *data = reinterpret_cast<PromptData *>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, kIdPromptText, data->prompt->c_str());
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, kIdPromptEdit));
        return FALSE; // focus has been placed in the text field
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            auto *data = reinterpret_cast<PromptData *>(GetWindowLongPtrW(dialog, DWLP_USER));
            data->answer = ControlText(GetDlgItem(dialog, kIdPromptEdit));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL: // Cancel, Escape and the close box all arrive here
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

Text RunTextPrompt(HWND owner, const Text &title, const Text &prompt) {
    // Dialog units: a prompt on the left with OK and Cancel beside it, the text
    // field along the bottom.
    DialogTemplate dialog(DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_SETFOREGROUND | WS_POPUP |
                              WS_CAPTION | WS_SYSMENU,
                          236, 84, title, 8, L"MS Shell Dlg");
    dialog.AddItem(SS_LEFT | SS_NOPREFIX, 7, 7, 160, 48, kIdPromptText, kStaticAtom, Text());
    dialog.AddItem(ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 62, 222, 14, kIdPromptEdit,
                   kEditAtom, Text());
    dialog.AddItem(BS_DEFPUSHBUTTON | WS_TABSTOP, 179, 7, 50, 14, IDOK, kButtonAtom, L"OK");
    dialog.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 179, 25, 50, 14, IDCANCEL, kButtonAtom, L"Cancel");

    PromptData data{&prompt, Text()};
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner,
                                             PromptProc, reinterpret_cast<LPARAM>(&data));
    if (result == -1) {
        throw LastErrorFailure();
    }
    return result == IDOK ? data.answer : Text();
}

} // namespace dravik::win32ui
