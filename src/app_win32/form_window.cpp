// `FormCAD` as a Win32 window over the form core.
#include "app_win32/form_window.h"

#include "form/control_table.h"
#include "form/grid_text.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace vexilo::win32 {
namespace {

constexpr int kFirstControlId = 100;
/// Posted once per burst of table changes: the grid takes the table's row count and current row
/// when the message loop runs again, so that appending many rows costs one update.
constexpr UINT kSyncGrid = WM_APP + 1;

int controlId(std::size_t index) {
    return kFirstControlId + static_cast<int>(index);
}

/// The window's DPI: GetDpiForWindow where the system has it (Windows 10), else the screen's.
int dpiOf(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : form::kStandardDpi;
}

int CALLBACK noteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool faceInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, noteFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

HFONT makeFont(double points, int dpi) {
    const int height = -MulDiv(static_cast<int>(points * 10 + 0.5), dpi, 720);
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, songFace().c_str());
}

const wchar_t* classOf(form::ControlKind kind) {
    switch (kind) {
    case form::ControlKind::Frame:
    case form::ControlKind::Button:
    case form::ControlKind::CheckBox:
    case form::ControlKind::OptionButton:
        return WC_BUTTONW;
    case form::ControlKind::TextBox:
        return WC_EDITW;
    case form::ControlKind::Label:
        return WC_STATICW;
    case form::ControlKind::Grid:
        return WC_LISTVIEWW;
    }
    return WC_STATICW;
}

DWORD styleOf(const form::ControlSpec& entry) {
    const DWORD common = WS_CHILD | WS_VISIBLE;
    switch (entry.kind) {
    case form::ControlKind::Frame:
        return common | BS_GROUPBOX | WS_GROUP;
    case form::ControlKind::Button:
        return common | BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP;
    case form::ControlKind::CheckBox:
        return common | BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
    case form::ControlKind::OptionButton:
        // Both option buttons lie next to each other in creation order: the first opens the
        // exclusive group, the control after the second closes it.
        return common | BS_AUTORADIOBUTTON | WS_TABSTOP |
               (entry.name == "Option1(0)" ? WS_GROUP : 0);
    case form::ControlKind::TextBox:
        return common | WS_BORDER | ES_CENTER | ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP;
    case form::ControlKind::Label:
        return common | SS_LEFT | WS_GROUP;
    case form::ControlKind::Grid:
        return common | WS_BORDER | WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_OWNERDATA |
               LVS_OWNERDRAWFIXED | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
    }
    return common;
}

/// The control's rectangle in the window's client area, at `dpi`.
RECT placeOf(const form::ControlSpec& entry, int dpi) {
    int left = entry.left;
    int top = entry.top;
    if (const form::ControlSpec* frame = form::findControl(entry.parent); frame != nullptr) {
        left += frame->left;
        top += frame->top;
    }
    const int x = form::twipsToPixels(left, dpi);
    const int y = form::twipsToPixels(top, dpi);
    return {x, y, x + form::twipsToPixels(entry.width, dpi),
            y + form::twipsToPixels(entry.height, dpi)};
}

} // namespace

std::wstring wide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

std::string narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                        nullptr, nullptr);
    return result;
}

std::wstring songFace() {
    static const std::wstring face = [] {
        for (const wchar_t* candidate :
             {L"SimSun", L"宋体", L"NSimSun", L"Microsoft YaHei", L"Noto Sans CJK SC",
              L"Noto Serif CJK SC", L"WenQuanYi Zen Hei"}) {
            if (faceInstalled(candidate)) {
                return std::wstring(candidate);
            }
        }
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        return std::wstring(metrics.lfMessageFont.lfFaceName);
    }();
    return face;
}

FormWindow::FormWindow() {
    m_table.setObserver(this);
    m_guard.setCloser([this] {
        if (m_window != nullptr) {
            SendMessageW(m_window, WM_CLOSE, 0, 0);
        }
    });
}

FormWindow::~FormWindow() {
    m_table.setObserver(nullptr);
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    DeleteObject(m_boxFont);
    DeleteObject(m_gridFont);
}

bool FormWindow::create(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const std::wstring title = wide(form::kProgramName);
    m_window = CreateWindowExW(WS_EX_TOPMOST, kClassName, title.c_str(), style, CW_USEDEFAULT,
                               CW_USEDEFAULT, 400, 420, nullptr, nullptr, instance, this);
    if (m_window == nullptr) {
        return false;
    }
    m_dpi = dpiOf(m_window);
    createControls();
    layout(m_dpi);
    return true;
}

LRESULT CALLBACK FormWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<FormWindow*>(create->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

void FormWindow::createControls() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_window, GWLP_HINSTANCE));
    m_rules.reserve(form::kControls.size());
    for (std::size_t i = 0; i < form::kControls.size(); ++i) {
        const form::ControlSpec& entry = form::kControls[i];
        const std::wstring text = wide(entry.text);
        HWND handle = CreateWindowExW(
            0, classOf(entry.kind), text.c_str(), styleOf(entry), 0, 0, 10, 10, m_window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(i))), instance, nullptr);
        m_controls.push_back(
            {entry.name, handle, entry.tabIndex, (styleOf(entry) & WS_TABSTOP) != 0});
        if (entry.initiallyOn) {
            SendMessageW(handle, BM_SETCHECK, BST_CHECKED, 0);
        }
        if (entry.kind == form::ControlKind::TextBox) {
            m_rules.emplace_back(entry.accepts);
            // The boxes take digits only; an input method would compose in them.
            ImmAssociateContextEx(handle, nullptr, 0);
            SetWindowSubclass(handle, optionBoxProc, 1,
                              reinterpret_cast<DWORD_PTR>(&m_rules.back()));
        }
        if (entry.kind == form::ControlKind::Grid) {
            m_grid = handle;
            ListView_SetExtendedListViewStyle(m_grid, LVS_EX_DOUBLEBUFFER);
            for (std::size_t column = 0; column < cad::CoordinateTable::kHeaders.size(); ++column) {
                std::wstring header = wide(cad::CoordinateTable::kHeaders[column]);
                LVCOLUMNW layout{};
                layout.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
                layout.fmt = LVCFMT_CENTER;
                layout.cx = 10;
                layout.pszText = header.data();
                ListView_InsertColumn(m_grid, static_cast<int>(column), &layout);
            }
        }
    }
    // Replacing the window procedure rather than SetWindowSubclass: comctl32 finds a subclass
    // chain through a window property on every message, which under Wine is a round trip to
    // the server, and the grid gets many messages (several per painted row).
    SetWindowLongPtrW(m_grid, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_gridBaseProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(m_grid, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gridProc)));
}

void FormWindow::makeFonts(int dpi) {
    DeleteObject(m_boxFont);
    DeleteObject(m_gridFont);
    m_boxFont = makeFont(form::kTextBoxPointSize, dpi);
    m_gridFont = makeFont(form::kGridPointSize, dpi);
}

void FormWindow::layout(int dpi) {
    m_dpi = dpi;
    makeFonts(dpi);
    RECT frame{0, 0, form::twipsToPixels(form::kClientWidthTwips, dpi),
               form::twipsToPixels(form::kClientHeightTwips, dpi)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_EXSTYLE)));
    SetWindowPos(m_window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Captions taller than their control (option buttons are 180 twips, less than a line of
    // a CJK face at 9 points) grow about their middle rather than being clipped.
    HDC dc = GetDC(m_window);
    HGDIOBJ old = SelectObject(dc, m_gridFont);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(m_window, dc);
    const int lineHeight = static_cast<int>(metrics.tmHeight);
    for (std::size_t i = 0; i < form::kControls.size(); ++i) {
        const form::ControlSpec& entry = form::kControls[i];
        RECT place = placeOf(entry, dpi);
        const bool caption = entry.kind == form::ControlKind::CheckBox ||
                             entry.kind == form::ControlKind::OptionButton ||
                             entry.kind == form::ControlKind::Label;
        if (caption && place.bottom - place.top < lineHeight) {
            const int grow = lineHeight - (place.bottom - place.top);
            place.top -= grow / 2;
            place.bottom += grow - grow / 2;
        }
        HWND handle = m_controls[i].handle;
        MoveWindow(handle, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, TRUE);
        const bool boxFont =
            entry.kind == form::ControlKind::TextBox || entry.kind == form::ControlKind::Grid;
        SendMessageW(handle, WM_SETFONT,
                     reinterpret_cast<WPARAM>(
                         boxFont ? (entry.kind == form::ControlKind::Grid ? m_gridFont : m_boxFont)
                                 : m_gridFont),
                     TRUE);
    }
    for (std::size_t column = 0; column < form::kGridColumnWidthsTwips.size(); ++column) {
        ListView_SetColumnWidth(m_grid, static_cast<int>(column),
                                form::twipsToPixels(form::kGridColumnWidthsTwips[column], dpi));
    }
    // An owner-drawn list view asks its rows' height (WM_MEASUREITEM) when its font is set.
    SendMessageW(m_grid, WM_SETFONT, reinterpret_cast<WPARAM>(m_gridFont), TRUE);
    InvalidateRect(m_window, nullptr, TRUE);
}

HWND FormWindow::control(std::string_view name) const {
    for (const Control& entry : m_controls) {
        if (entry.name == name) {
            return entry.handle;
        }
    }
    return nullptr;
}

void FormWindow::setCommand(Command button, std::function<void()> command) {
    m_commands[static_cast<std::size_t>(button)] = std::move(command);
}

void FormWindow::setUnloadHandler(std::function<void()> handler) {
    m_guard.setUnloadHandler(std::move(handler));
}

bool FormWindow::runCommand(const std::function<void()>& action) {
    return m_guard.run(action);
}

void FormWindow::onCommand(int id) {
    const std::size_t index = static_cast<std::size_t>(id - kFirstControlId);
    if (id < kFirstControlId || index >= form::kControls.size()) {
        return;
    }
    const std::string_view name = form::kControls[index].name;
    const auto command = [this](Command which) {
        return [this, which] {
            const auto& action = m_commands[static_cast<std::size_t>(which)];
            if (action) {
                action();
            }
        };
    };
    if (name == "Command1") {
        runCommand(command(Command::Command1));
    } else if (name == "Command2") {
        runCommand(command(Command::Command2));
    } else if (name == "Command4") {
        runCommand(command(Command::Command4));
    } else if (name == "Command5") {
        runCommand([this] { cad::deleteRow(m_table); });
    } else if (name == "Command6") {
        runCommand([this] { cad::clearTable(m_table); });
    } else if (name == "Command3") {
        runCommand([this] { PostMessageW(m_window, WM_CLOSE, 0, 0); });
    }
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
            onCommand(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == m_grid) {
            return onGridNotify(*header);
        }
        if (header->hwndFrom == ListView_GetHeader(m_grid) &&
            (header->code == HDN_BEGINTRACKW || header->code == HDN_BEGINTRACKA ||
             header->code == HDN_DIVIDERDBLCLICKW)) {
            return TRUE; // the columns keep their widths
        }
        break;
    }
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlType == ODT_LISTVIEW) {
            measure->itemHeight =
                static_cast<UINT>(form::twipsToPixels(form::kGridRowHeightTwips, m_dpi));
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem == m_grid) {
            drawGridRow(*item);
            return TRUE;
        }
        break;
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        layout(HIWORD(wParam));
        return 0;
    }
    case kSyncGrid:
        syncGrid();
        return 0;
    case WM_CLOSE:
        if (m_guard.requestClose() == form::CommandGuard::CloseVerdict::Close) {
            DestroyWindow(m_window);
        }
        return 0;
    case WM_DESTROY:
        m_window = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

LRESULT FormWindow::onGridNotify(const NMHDR& header) {
    switch (header.code) {
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!m_selectingFromTable && change.iItem >= 0 && (change.uNewState & LVIS_SELECTED) != 0) {
            form::clickCell(m_table, {change.iItem + 1, 0});
        }
        return 0;
    }
    case LVN_ODFINDITEMW:
        return -1;
    default:
        return 0;
    }
}

void FormWindow::drawGridRow(const DRAWITEMSTRUCT& item) {
    const int row = static_cast<int>(item.itemID) + 1;
    const bool current = row == m_table.currentRow();
    HDC dc = item.hDC;
    HGDIOBJ oldFont = SelectObject(dc, m_gridFont);
    SetBkMode(dc, TRANSPARENT);
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    for (int column = 0; column < cad::CoordinateTable::kColumnCount; ++column) {
        RECT cell{};
        ListView_GetSubItemRect(m_grid, static_cast<int>(item.itemID), column, LVIR_BOUNDS, &cell);
        if (column == 0) {
            // The first sub-item's bounds are the whole row: the first column ends where the
            // second begins.
            RECT second{};
            ListView_GetSubItemRect(m_grid, static_cast<int>(item.itemID), 1, LVIR_BOUNDS, &second);
            cell.right = second.left;
        }
        const form::GridCell shown = form::gridCell(m_table, row, column);
        if (shown.headerStyle) {
            FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
            RECT edge = cell;
            DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        } else if (current) {
            FillRect(dc, &cell, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        }
        if (!shown.headerStyle) {
            MoveToEx(dc, cell.left, cell.bottom - 1, nullptr);
            LineTo(dc, cell.right - 1, cell.bottom - 1);
            LineTo(dc, cell.right - 1, cell.top - 1);
        }
        std::wstring text = wide(shown.text);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK FormWindow::optionBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(GetParent(box), GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(box, optionBoxProc, id);
    } else if (self != nullptr && id == 1) {
        return self->optionBox(box, *reinterpret_cast<const form::OptionRules*>(data), message,
                               wParam, lParam);
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::gridProc(HWND grid, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(grid, GWLP_USERDATA));
    if (message == WM_LBUTTONDOWN) {
        // A click on a data cell makes its row current, whichever column it lies in.
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        LVHITTESTINFO hit{};
        hit.pt = at;
        ListView_SubItemHitTest(grid, &hit);
        if (hit.iItem >= 0) {
            form::clickCell(self->m_table, {hit.iItem + 1, std::max(hit.iSubItem, 0)});
        }
    }
    return CallWindowProcW(self->m_gridBaseProc, grid, message, wParam, lParam);
}

void FormWindow::insertIntoBox(HWND box, const form::InsertVerdict& verdict) {
    if (verdict.kind == form::InsertVerdict::Kind::Refuse) {
        MessageBeep(MB_OK);
        return;
    }
    if (verdict.kind == form::InsertVerdict::Kind::Insert) {
        const std::wstring text = wide(verdict.text);
        SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

LRESULT FormWindow::optionBox(HWND box, const form::OptionRules& rules, UINT message, WPARAM wParam,
                              LPARAM lParam) {
    const bool readOnly = (GetWindowLongPtrW(box, GWL_STYLE) & ES_READONLY) != 0;
    switch (message) {
    case WM_CHAR:
    case WM_IME_CHAR:
        if (rules.typed(static_cast<char32_t>(wParam)) == form::KeyVerdict::Discard) {
            return 0; // the box and its selection stay as they are
        }
        break;
    case WM_PASTE: {
        std::u16string text;
        if (OpenClipboard(box)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
                if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data))) {
                    text = chars;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        insertIntoBox(box, rules.inserted(std::u16string_view(text), readOnly));
        return 0;
    }
    case WM_IME_COMPOSITION:
        if ((lParam & GCS_RESULTSTR) != 0) {
            HIMC context = ImmGetContext(box);
            const LONG bytes = ImmGetCompositionStringW(context, GCS_RESULTSTR, nullptr, 0);
            std::u16string text(static_cast<std::size_t>(std::max<LONG>(bytes, 0)) / 2, u'\0');
            ImmGetCompositionStringW(context, GCS_RESULTSTR, text.data(), bytes);
            ImmReleaseContext(box, context);
            insertIntoBox(box, rules.inserted(std::u16string_view(text), readOnly));
            return 0;
        }
        break;
    case WM_SETFOCUS: {
        const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
        // Focus from another control of this window (Tab, a shortcut, the program) selects
        // the whole text; coming back from another window keeps the selection.
        const HWND from = reinterpret_cast<HWND>(wParam);
        const bool returning = from == nullptr || GetAncestor(from, GA_ROOT) != m_window;
        const bool byMouse = (GetKeyState(VK_LBUTTON) & 0x8000) != 0;
        if (byMouse) {
            m_swallowMouseOf = box;
        }
        if (form::selectsAllOnFocus(byMouse     ? form::FocusReason::MouseClick
                                    : returning ? form::FocusReason::Returning
                                                : form::FocusReason::Programmatic)) {
            SendMessageW(box, EM_SETSEL, 0, -1);
        }
        return result;
    }
    case WM_LBUTTONDOWN:
        if (GetFocus() != box) {
            SetFocus(box);
            SetCapture(box);
            return 0; // the click that brings the focus does not place the cursor
        }
        m_swallowMouseOf = nullptr;
        break;
    case WM_MOUSEMOVE:
        if (m_swallowMouseOf == box) {
            return 0;
        }
        break;
    case WM_LBUTTONUP:
        if (m_swallowMouseOf == box) {
            m_swallowMouseOf = nullptr;
            if (GetCapture() == box) {
                ReleaseCapture();
            }
            SendMessageW(box, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_KILLFOCUS:
        m_swallowMouseOf = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

bool FormWindow::translateNavigation(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || m_window == nullptr ||
        (message.hwnd != m_window && !IsChild(m_window, message.hwnd))) {
        return false;
    }
    std::vector<const Control*> order;
    for (const Control& entry : m_controls) {
        if (entry.tabStop && IsWindowEnabled(entry.handle)) {
            // Of the two option buttons only the selected one is a stop, as in a dialog.
            if (entry.name.starts_with("Option1") &&
                SendMessageW(entry.handle, BM_GETCHECK, 0, 0) != BST_CHECKED) {
                continue;
            }
            order.push_back(&entry);
        }
    }
    std::sort(order.begin(), order.end(),
              [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    if (order.empty()) {
        return true;
    }
    const HWND focus = GetFocus();
    auto at = std::find_if(order.begin(), order.end(),
                           [focus](const Control* entry) { return entry->handle == focus; });
    const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    std::size_t next = 0;
    if (at != order.end()) {
        const std::size_t here = static_cast<std::size_t>(at - order.begin());
        next = backwards ? (here + order.size() - 1) % order.size() : (here + 1) % order.size();
    }
    SetFocus(order[next]->handle);
    return true;
}

bool FormWindow::isChecked(std::string_view name) const {
    return SendMessageW(control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string FormWindow::textOf(std::string_view name) const {
    HWND box = control(name);
    const int length = GetWindowTextLengthW(box);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(box, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return narrow(text);
}

bool FormWindow::userSystemSelected() const {
    return isChecked("Option1(0)");
}

bool FormWindow::swapSelected() const {
    return isChecked("Check1");
}

bool FormWindow::codeIncrementSelected() const {
    return isChecked("Check2");
}

std::string FormWindow::incrementText() const {
    return textOf("Text1(1)");
}

std::string FormWindow::decimalPlacesText() const {
    return textOf("Text1(0)");
}

std::string FormWindow::scaleText() const {
    return textOf("Text2");
}

void FormWindow::minimise() {
    ShowWindow(m_window, SW_MINIMIZE);
}

void FormWindow::restore() {
    ShowWindow(m_window, SW_RESTORE);
    SetForegroundWindow(m_window);
}

void FormWindow::showInformation(std::string_view text) {
    showMessage(form::kInformationTitle, text, MB_ICONINFORMATION);
}

void FormWindow::showPlain(std::string_view title, std::string_view text) {
    showMessage(title.empty() ? form::kProgramName : title, text, 0);
}

void FormWindow::showMessage(std::string_view title, std::string_view text, UINT icon) {
    // While the window is minimised a box owned by it would stay hidden with it.
    const HWND owner = m_window != nullptr && !IsIconic(m_window) ? m_window : nullptr;
    MessageBoxW(owner, wide(text).c_str(), wide(title).c_str(),
                MB_OK | icon | MB_TOPMOST | MB_SETFOREGROUND);
}

void FormWindow::scheduleSync() {
    if (!m_syncPending && m_window != nullptr) {
        m_syncPending = true;
        PostMessageW(m_window, kSyncGrid, 0, 0);
    }
}

void FormWindow::syncGrid() {
    m_syncPending = false;
    const int rows = m_table.rowCount() - 1;
    if (rows != m_gridRows) {
        // Only the rows that came or went are repainted, and the view stays where it is.
        ListView_SetItemCountEx(m_grid, rows, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
        m_gridRows = rows;
    }
    const int dirtyLast = std::min(m_dirtyLast, rows);
    if (m_dirtyLast > 0 && m_dirtyFirst <= dirtyLast) {
        ListView_RedrawItems(m_grid, m_dirtyFirst - 1, dirtyLast - 1);
    }
    m_dirtyLast = 0;

    // The list view's selection and focus follow the table's current row. A selection made by
    // hand moves the table's current row with it, so besides the current row only the item
    // this window selected last can be selected: no walk over every item is needed.
    const int current = m_table.currentRow() - 1;
    const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
    m_selectingFromTable = true;
    if (m_gridCurrent != current && m_gridCurrent >= 0 && m_gridCurrent < rows) {
        ListView_SetItemState(m_grid, m_gridCurrent, 0, state);
        ListView_RedrawItems(m_grid, m_gridCurrent, m_gridCurrent); // no longer highlighted
    }
    if (current >= 0 && ListView_GetItemState(m_grid, current, state) != state) {
        ListView_SetItemState(m_grid, current, state, state);
        ListView_EnsureVisible(m_grid, current, FALSE);
    }
    m_gridCurrent = current;
    m_selectingFromTable = false;
    // As on Linux, appended rows bring the last row into view.
    if (m_rowsAppended && rows > 0) {
        ListView_EnsureVisible(m_grid, rows - 1, FALSE);
    }
    m_rowsAppended = false;
}

void FormWindow::rowsAboutToBeInserted(int, int) {}

void FormWindow::rowsInserted() {
    m_rowsAppended = true;
    scheduleSync();
}

void FormWindow::rowsAboutToBeRemoved(int, int) {}

void FormWindow::rowsRemoved() {
    // The list view must not ask for rows the table no longer has; the rows after the removed
    // ones moved up, so the whole view is repainted.
    m_gridRows = m_table.rowCount() - 1;
    ListView_SetItemCountEx(m_grid, m_gridRows, LVSICF_NOSCROLL);
    scheduleSync();
}

void FormWindow::cellChanged(int row, int) {
    // Rows the list view does not have yet are painted when it takes the new count.
    if (row > 0 && row <= m_gridRows) {
        m_dirtyFirst = m_dirtyLast == 0 ? row : std::min(m_dirtyFirst, row);
        m_dirtyLast = std::max(m_dirtyLast, row);
        scheduleSync();
    }
}

void FormWindow::currentRowChanged(int) {
    scheduleSync();
}

} // namespace vexilo::win32
