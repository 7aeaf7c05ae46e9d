// vexilo.exe as a person and another program use it, under Wine: the stand-in AutoCAD runs,
// the window is clicked at its controls' places and typed into, its message boxes are
// answered, and the rows are read back through Vexilo.FormCAD's `Rows`.
#include "stand_in_process.h"
#include "window_driver.h"

#include <gtest/gtest.h>

namespace vexilo::win32 {
namespace {

using cad::com::testing::StandIn;
using namespace driver;

class VexiloExeTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Vexilo registration(L"/RegServer");
        ASSERT_EQ(registration.exitCode(30), 0);
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(VexiloExeTest, PickedPointsWithTypedOptionsReachRows) {
    StandIn autocad({"12.3456,45.6789", "10", "-20.5,7.25", "^C"});
    ASSERT_TRUE(autocad.ready());
    RunningVexilo vexilo;
    ASSERT_TRUE(vexilo.start());
    HWND window = vexilo.window();

    // Two decimal places: the click selects "3", a letter is refused, "2" replaces the text.
    click(window, "Text1(0)");
    type(L"a2");
    EXPECT_TRUE(waitFor([&] { return textOf(controlOf(window, "Text1(0)")) == L"2"; }))
        << textOf(controlOf(window, "Text1(0)")).c_str();
    click(window, "Check2");
    EXPECT_TRUE(waitFor([&] {
        return SendMessageW(controlOf(window, "Check2"), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }));

    // The first code typed, the second counted up; Esc at the third point ends the pick.
    click(window, "Command1");
    ASSERT_TRUE(waitFor([&] { return autocad.logged("Utility.GetPoint").size() == 3; }, 30));
    ASSERT_TRUE(waitFor([&] { return rowsOf(vexilo.object()).size() == 2; }, 10))
        << ::testing::PrintToString(autocad.log());
    EXPECT_EQ(rowsOf(vexilo.object()),
              (Rows{{L"1", L"10", L"45.68", L"12.35"}, {L"2", L"11", L"7.25", L"-20.5"}}));

    // "导出": no Excel under Wine; the information box is answered.
    click(window, "Command4");
    EXPECT_EQ(answerMessageBox(vexilo.process().id(), L"提示信息"),
              L"软件没有检测到EXCEL，请确认EXCEL安装完整版！");

    // A click on the first row makes it current, "删除一行" deletes it.
    clickGridRow(window, 1);
    ASSERT_TRUE(waitFor([&] { return selectedGridRow(window) == 1; }));
    click(window, "Command5");
    EXPECT_TRUE(waitFor([&] { return rowsOf(vexilo.object()).size() == 1; }));
    EXPECT_EQ(rowsOf(vexilo.object()), (Rows{{L"2", L"11", L"7.25", L"-20.5"}}));

    vexilo.releaseObject();
    click(window, "Command3");
    EXPECT_EQ(vexilo.process().exitCode(15), 0);
    EXPECT_EQ(bindVexilo(), nullptr); // gone from the running object table
    // The stand-in quits when asked, without a fault on its way out.
    EXPECT_TRUE(autocad.end());
}

TEST_F(VexiloExeTest, AnotherProgramCallsTheOperationsByName) {
    StandIn autocad({"3,4", "J1", "^C"});
    ASSERT_TRUE(autocad.ready());
    RunningVexilo vexilo;
    ASSERT_TRUE(vexilo.start());
    IDispatch* object = vexilo.object();
    VARIANT result;
    std::wstring description;

    // GetObject(, "Vexilo.FormCAD").DMS(30.5)
    EXPECT_EQ(call(object, L"DMS", DISPATCH_METHOD, {number(30.5)}, result, description), S_OK);
    EXPECT_EQ(result.vt, VT_R8);
    EXPECT_DOUBLE_EQ(result.dblVal, 30.3);

    // An arithmetic failure is an exception with a description.
    EXPECT_EQ(
        call(object, L"fansuanJD", DISPATCH_METHOD, {number(0), number(0)}, result, description),
        DISP_E_EXCEPTION);
    EXPECT_FALSE(description.empty());

    // A command run by the other program: its rows are there when the call returns.
    EXPECT_EQ(call(object, L"Command1_Click", DISPATCH_METHOD, {}, result, description), S_OK);
    VariantClear(&result);
    const Rows rows = rowsOf(object);
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0][1], L"J1");

    // `Rows` is read-only.
    EXPECT_EQ(call(object, L"Rows", DISPATCH_PROPERTYPUT, {number(1)}, result, description),
              DISP_E_MEMBERNOTFOUND);
}

} // namespace
} // namespace vexilo::win32
