// dialog_driver: plays the technician at a running Tessaro.exe main dialog, for
// scripts (the documentation screenshots).  Steps run in the order given and
// stop at the first that fails (exit code 1):
//
//   wait-status TEXT   the status line shows TEXT
//   wait-enabled ID    control ID is enabled
//   click ID           clicks control ID
//   load PATH          Select Bin / Rom / Sum, PATH typed into the Open dialog
//   answer TEXT        a "Quillon" box saying TEXT is there; OK pressed
//   confirm TEXT       an "ISP WARNING" box asking TEXT is there; Yes pressed
//   sleep MS           waits MS milliseconds
//   busy MS            the dialog's thread answers no message within MS
//                      milliseconds (it is blocked, e.g. in an erase)
//   shot FILE.bmp      the dialog as the screen shows it
//   shot-now FILE.bmp  the same without bringing it to the front first (the
//                      dialog's thread may be blocked)
//   wait-gone          the dialog has ended
//   windows            lists the visible dialog windows (what a failed step met)
//   dialog CAPTION     the dialog played from here on: the first whose caption
//                      begins with CAPTION (the main dialog's by default)
//   status-id ID       the status line is control ID (the main dialog's by default)
//   box-caption TEXT   answer looks for boxes with this caption ("Quillon" by default)
//   close              the close box of the dialog
//   wait-text ID TEXT  control ID shows TEXT (ID and TEXT one argument)
//   type ID TEXT       TEXT typed into edit field ID over what it holds
//   select ID INDEX    entry INDEX chosen in list ID, as the user does
//
// The configurations editor (the dialog captioned "Configurations" that holds
// the VID field), opened by a click on Configurations:
//
//   editor-wait ID=TEXT   its control ID shows TEXT
//   editor-click ID       clicks its control ID
//   editor-shot FILE.bmp  the editor as the screen shows it
//
// The multi-hub dialog (its status line is 1119; the main dialog's 1034):
//
//   wait-tabs N        the tab control holds N tabs
//   tab N              selects tab N (from 0) with an arrow key, as a keyboard
//                      user does
//   page-load PATH     Select Bin/Rom/Sum of the page shown, PATH typed into
//                      the Open dialog
//
// "\n" in a TEXT stands for a line break.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/ui_win32/window_driving.h"
#include "ui/win32/resource.h"

namespace {

const int kTimeoutMs = 60000;

// The dialog being played, its status line and the caption of its boxes.
std::string g_caption = "Varnellogic USB3.0 Hub FW ISP Tool";
int g_statusId = IDC_STATUS;
std::string g_boxCaption = "Quillon";

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Found once by its caption (asking a window for its caption waits for its
// thread); later steps may meet the dialog's thread blocked.  A new caption
// forgets it (the dialog before may still be open behind a modal one).
HWND g_known = nullptr;
HWND MainDialog() {
    if (g_known && IsWindow(g_known) && IsWindowVisible(g_known)) return g_known;
    g_known = windrive::WaitDialog(g_caption, true, kTimeoutMs);
    return g_known;
}

// The status line: the one status-id named, else the main dialog's, else
// the multi-hub dialog's.
HWND StatusOf(HWND dlg) {
    if (g_statusId != IDC_STATUS) return GetDlgItem(dlg, g_statusId);
    HWND h = GetDlgItem(dlg, IDC_STATUS);
    return h ? h : GetDlgItem(dlg, IDC_MH_STATUS);
}

// The hub page the multi-hub dialog shows: its visible child dialog.
HWND VisiblePage(HWND dlg) {
    HWND found = nullptr;
    EnumChildWindows(
        dlg,
        [](HWND c, LPARAM p) -> BOOL {
            if (windrive::ClassOf(c) != "#32770" || !IsWindowVisible(c)) return TRUE;
            *reinterpret_cast<HWND*>(p) = c;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool FillOpen(const std::string& path);

void ListWindows() {
    EnumWindows(
        [](HWND h, LPARAM) -> BOOL {
            if (windrive::ClassOf(h) != "#32770" || !IsWindowVisible(h)) return TRUE;
            std::fprintf(stderr, "  window \"%s\"\n", windrive::WindowText(h).c_str());
            EnumChildWindows(
                h,
                [](HWND c, LPARAM) -> BOOL {
                    if (IsWindowVisible(c))
                        std::fprintf(stderr, "    %d %s \"%s\"\n", GetDlgCtrlID(c), windrive::ClassOf(c).c_str(),
                                     windrive::WindowText(c).c_str());
                    return TRUE;
                },
                0);
            return TRUE;
        },
        0);
}

bool Fail(const std::string& what) {
    std::fprintf(stderr, "dialog_driver: %s\n", what.c_str());
    ListWindows();
    return false;
}

// The configurations editor's window: a dialog with the editor's VID field.
HWND Editor() {
    HWND found = nullptr;
    windrive::WaitFor(
        [&] {
            EnumWindows(
                [](HWND h, LPARAM p) -> BOOL {
                    if (windrive::ClassOf(h) != "#32770" || !IsWindowVisible(h) || !GetDlgItem(h, IDC_CFG_VID))
                        return TRUE;
                    *reinterpret_cast<HWND*>(p) = h;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&found));
            return found != nullptr;
        },
        kTimeoutMs);
    return found;
}

// Steps on the configurations editor; false with handled set when one failed.
bool EditorStep(const std::string& verb, const std::string& arg, bool& handled) {
    handled = verb.compare(0, 7, "editor-") == 0;
    if (!handled) return true;
    HWND editor = Editor();
    if (!editor) return Fail("no configurations editor");
    if (verb == "editor-wait") {
        const size_t eq = arg.find('=');
        const int id = std::atoi(arg.substr(0, eq).c_str());
        const std::string want = eq == std::string::npos ? std::string() : Unescape(arg.substr(eq + 1));
        if (!windrive::WaitFor([&] { return windrive::WindowText(GetDlgItem(editor, id)) == want; }, kTimeoutMs))
            return Fail("editor control shows \"" + windrive::WindowText(GetDlgItem(editor, id)) + "\"");
    } else if (verb == "editor-click") {
        windrive::Click(editor, std::atoi(arg.c_str()));
    } else if (verb == "editor-shot") {
        SetForegroundWindow(editor);
        Sleep(500);
        if (!windrive::CaptureWindow(editor, arg)) return Fail("cannot capture into " + arg);
    } else {
        return Fail("unknown step " + verb);
    }
    std::printf("%s %s: ok\n", verb.c_str(), arg.c_str());
    std::fflush(stdout);
    return true;
}

bool Step(const std::string& verb, const std::string& arg) {
    bool editorStep = false;
    const bool editorOk = EditorStep(verb, arg, editorStep);
    if (editorStep) return editorOk;
    if (verb == "windows") {
        ListWindows();
        return true;
    }
    if (verb == "dialog" || verb == "status-id" || verb == "box-caption") {
        if (verb == "dialog") {
            g_caption = arg;
            g_known = nullptr;
        }
        if (verb == "status-id") g_statusId = std::atoi(arg.c_str());
        if (verb == "box-caption") g_boxCaption = arg;
        std::printf("%s %s: ok\n", verb.c_str(), arg.c_str());
        return true;
    }
    HWND dlg = MainDialog();
    if (!dlg && verb != "wait-gone") return Fail("no main dialog");
    if (verb == "wait-status") {
        const std::string want = Unescape(arg);
        if (!windrive::WaitFor([&] { return windrive::WindowText(StatusOf(dlg)) == want; }, kTimeoutMs))
            return Fail("status is \"" + windrive::WindowText(StatusOf(dlg)) + "\", not \"" + want + "\"");
    } else if (verb == "wait-enabled") {
        const int id = std::atoi(arg.c_str());
        if (!windrive::WaitFor([&] { return windrive::Enabled(dlg, id); }, kTimeoutMs)) return Fail(arg + " stays disabled");
    } else if (verb == "click") {
        windrive::Click(dlg, std::atoi(arg.c_str()));
    } else if (verb == "load") {
        windrive::Click(dlg, IDC_SELECT_BIN);
        HWND open = windrive::WaitDialog("Open", false, kTimeoutMs);
        if (!open) return Fail("no Open dialog");
        Sleep(300);  // let it finish filling its lists
        if (!windrive::FillFileDialog(open, arg)) return Fail("the Open dialog has no file name box");
        if (!windrive::WaitFor([&] { return !IsWindow(open) || !IsWindowVisible(open); }, kTimeoutMs))
            return Fail("the Open dialog stays");
    } else if (verb == "wait-tabs") {
        HWND tab = GetDlgItem(dlg, IDC_MH_TAB);
        const int want = std::atoi(arg.c_str());
        if (!windrive::WaitFor([&] { return SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0) == want; }, kTimeoutMs))
            return Fail("the tab control does not hold " + arg + " tabs");
    } else if (verb == "tab") {
        // An arrow key onto the tab, as the keyboard user moves: the tab
        // control then tells its dialog itself (a WM_NOTIFY from here would
        // carry a pointer into this process).
        HWND tab = GetDlgItem(dlg, IDC_MH_TAB);
        const int want = std::atoi(arg.c_str());
        SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(want > 0 ? want - 1 : 1), 0);
        const WPARAM key = want > 0 ? VK_RIGHT : VK_LEFT;
        PostMessageA(tab, WM_KEYDOWN, key, 1);
        PostMessageA(tab, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        if (!windrive::WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == want; }, kTimeoutMs))
            return Fail("tab " + arg + " is not selected");
        Sleep(200);  // the page shown
    } else if (verb == "page-load") {
        HWND page = VisiblePage(dlg);
        if (!page) return Fail("no hub page shown");
        windrive::Click(page, IDC_PG_SELECT_BIN);
        if (!FillOpen(arg)) return false;
    } else if (verb == "answer") {
        HWND box = windrive::WaitDialog(g_boxCaption, false, kTimeoutMs);
        if (!box) return Fail("no box");
        const std::string text = windrive::BoxText(box);
        std::printf("box: %s\n", text.c_str());
        if (text != Unescape(arg)) return Fail("the box says \"" + text + "\"");
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        windrive::WaitFor([&] { return !IsWindow(box); }, kTimeoutMs);
    } else if (verb == "confirm") {
        HWND box = windrive::WaitDialog("ISP WARNING", false, kTimeoutMs);
        if (!box) return Fail("no warning box");
        const std::string text = windrive::BoxText(box);
        if (text != Unescape(arg)) return Fail("the warning box says \"" + text + "\"");
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        windrive::WaitFor([&] { return !IsWindow(box); }, kTimeoutMs);
    } else if (verb == "sleep") {
        Sleep(static_cast<DWORD>(std::atoi(arg.c_str())));
    } else if (verb == "busy") {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(std::atoi(arg.c_str())), &answer))
            return Fail("the dialog's thread is not busy");
    } else if (verb == "shot-now") {
        if (!windrive::CaptureWindow(dlg, arg)) return Fail("cannot capture into " + arg);
    } else if (verb == "shot") {
        SetForegroundWindow(dlg);
        Sleep(500);  // the last repaint
        if (!windrive::CaptureWindow(dlg, arg)) return Fail("cannot capture into " + arg);
    } else if (verb == "close") {
        PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (verb == "wait-text" || verb == "type" || verb == "select") {
        const size_t blank = arg.find(' ');
        const int id = std::atoi(arg.c_str());
        const std::string text = blank == std::string::npos ? std::string() : Unescape(arg.substr(blank + 1));
        HWND item = GetDlgItem(dlg, id);
        if (!item) return Fail("no control " + arg);
        if (verb == "wait-text") {
            if (!windrive::WaitFor([&] { return windrive::WindowText(item) == text; }, kTimeoutMs))
                return Fail("control shows \"" + windrive::WindowText(item) + "\", not \"" + text + "\"");
        } else if (verb == "type") {
            SendMessageA(item, EM_SETSEL, 0, -1);
            for (char c : text) SendMessageA(item, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 0);
        } else {
            SendMessageA(item, CB_SETCURSEL, static_cast<WPARAM>(std::atoi(text.c_str())), 0);
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(item));
        }
    } else if (verb == "wait-gone") {
        if (!windrive::WaitFor([] { return windrive::FindDialog(g_caption, true) == nullptr; },
                               kTimeoutMs))
            return Fail("the dialog stays open");
    } else {
        return Fail("unknown step " + verb);
    }
    std::printf("%s %s: ok\n", verb.c_str(), arg.c_str());
    std::fflush(stdout);
    return true;
}

bool FillOpen(const std::string& path) {
    HWND open = windrive::WaitDialog("Open", false, kTimeoutMs);
    if (!open) return Fail("no Open dialog");
    Sleep(300);  // let it finish filling its lists
    if (!windrive::FillFileDialog(open, path)) return Fail("the Open dialog has no file name box");
    if (!windrive::WaitFor([&] { return !IsWindow(open) || !IsWindowVisible(open); }, kTimeoutMs))
        return Fail("the Open dialog stays");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string verb = argv[i];
        std::string arg = verb == "wait-gone" || verb == "windows" || verb == "close" || i + 1 >= argc ? std::string() : argv[++i];
        if (!Step(verb, arg)) return 1;
    }
    return 0;
}
