// vexilo.exe's window in this process: how its grid follows the coordinate table.
#include "app_win32/form_window.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace vexilo::win32 {
namespace {

/// The messages sent to windows of this thread while it lives, recorded by a WH_CALLWNDPROC hook.
class SentMessages {
public:
    SentMessages() {
        s_log = &m_log;
        m_hook = SetWindowsHookExW(WH_CALLWNDPROC, record, nullptr, GetCurrentThreadId());
    }
    ~SentMessages() {
        UnhookWindowsHookEx(m_hook);
        s_log = nullptr;
    }
    SentMessages(const SentMessages&) = delete;
    SentMessages& operator=(const SentMessages&) = delete;

    bool hooked() const { return m_hook != nullptr; }
    /// How many messages went to `window`.
    int to(HWND window) const {
        int count = 0;
        for (const Sent& message : m_log) {
            count += message.window == window ? 1 : 0;
        }
        return count;
    }
    /// The items of `control` that were owner-drawn, in drawing order.
    std::vector<int> drawnItems(HWND control) const {
        std::vector<int> items;
        for (const Sent& message : m_log) {
            if (message.drawn == control) {
                items.push_back(message.item);
            }
        }
        return items;
    }

private:
    struct Sent {
        HWND window;
        HWND drawn; ///< for WM_DRAWITEM, the control drawn
        int item;
    };

    static LRESULT CALLBACK record(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && s_log != nullptr) {
            const auto& message = *reinterpret_cast<const CWPSTRUCT*>(lParam);
            Sent entry{message.hwnd, nullptr, -1};
            if (message.message == WM_DRAWITEM) {
                const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(message.lParam);
                entry.drawn = draw.hwndItem;
                entry.item = static_cast<int>(draw.itemID);
            }
            s_log->push_back(entry);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline std::vector<Sent>* s_log = nullptr;
    std::vector<Sent> m_log;
    HHOOK m_hook = nullptr;
};

class FormWindowGrid : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_window.create(GetModuleHandleW(nullptr)));
        ShowWindow(m_window.handle(), SW_SHOWNORMAL);
        UpdateWindow(m_window.handle());
        m_grid = m_window.control("zbxsc");
        ASSERT_NE(m_grid, nullptr);
        runLoop();
    }

    /// One turn of the message loop, painting included.
    void runLoop() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        UpdateWindow(m_window.handle());
    }

    void append(int rows) {
        for (int i = 0; i < rows; ++i) {
            const std::string number = std::to_string(m_window.table().rowCount());
            m_window.table().appendRow({number, "P" + number, "3512.250", "870.125"});
        }
    }

    /// Whether the list view item lies among the rows in view.
    bool inView(int item) const {
        const int top = ListView_GetTopIndex(m_grid);
        return item >= top && item < top + ListView_GetCountPerPage(m_grid);
    }

    FormWindow m_window;
    HWND m_grid = nullptr;
};

TEST_F(FormWindowGrid, AppendingRowsSendsTheGridNothingUntilTheMessageLoopRuns) {
    append(3);
    runLoop();
    SentMessages sent;
    ASSERT_TRUE(sent.hooked());
    append(500);
    m_window.table().setCurrentRow(503);
    EXPECT_EQ(sent.to(m_grid), 0);
}

TEST_F(FormWindowGrid, ShowsEveryRowTheCurrentOneSelectedAndTheLastInView) {
    append(200);
    m_window.table().setCurrentRow(5);
    runLoop();
    EXPECT_EQ(ListView_GetItemCount(m_grid), 200);
    EXPECT_EQ(ListView_GetNextItem(m_grid, -1, LVNI_SELECTED), 4);
    EXPECT_EQ(ListView_GetNextItem(m_grid, -1, LVNI_FOCUSED), 4);
    EXPECT_TRUE(inView(199));

    m_window.table().setCurrentRow(7);
    runLoop();
    EXPECT_EQ(ListView_GetNextItem(m_grid, -1, LVNI_SELECTED), 6);
    EXPECT_EQ(ListView_GetSelectedCount(m_grid), 1u);
    EXPECT_TRUE(inView(6));

    cad::clearTable(m_window.table());
    runLoop();
    EXPECT_EQ(ListView_GetItemCount(m_grid), 0);
    EXPECT_EQ(ListView_GetSelectedCount(m_grid), 0u);
}

TEST_F(FormWindowGrid, RepaintsARowWhoseCellChanged) {
    append(5);
    runLoop();
    SentMessages sent;
    ASSERT_TRUE(sent.hooked());
    m_window.table().setCell(3, 1, "Q3");
    runLoop();
    EXPECT_EQ(sent.drawnItems(m_grid), std::vector<int>{2});
}

} // namespace
} // namespace vexilo::win32
