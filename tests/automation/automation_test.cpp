// The shared automation vocabulary: code descriptions, the ProgID rule, signature parsing.
#include "automation/codes.h"
#include "automation/dbus_protocol.h"
#include "automation/prog_id.h"

#include <gtest/gtest.h>

namespace vexilo::automation {
namespace {

TEST(Codes, DescribeNamesKnownCodesAndShowsUnknownOnesInHex) {
    const std::pair<HResult, const char*> cases[] = {
        {kCancelCode, "0x80020009 DISP_E_EXCEPTION: cancelled, or raised by the CAD"},
        {kBadIndexCode, "0x8002000B DISP_E_BADINDEX: index out of range"},
        {0, "0x00000000 S_OK: success"},
        {-1, "0xFFFFFFFF"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(describe(code), text) << code;
    }
}

TEST(Codes, EveryCodeIsListedOnce) {
    for (const CodeInfo& info : kCodes) {
        EXPECT_EQ(findCode(info.code), &info) << info.name;
    }
}

TEST(ProgIdBusName, ElementsThatBeginWithADigitGetAnUnderscore) {
    const std::pair<const char*, const char*> cases[] = {
        {"AutoCAD.Application", "org.vexilo.ProgId.AutoCAD.Application"},
        {"AutoCAD.Application.18", "org.vexilo.ProgId.AutoCAD.Application._18"},
        {"AutoCAD.Application.24.1", "org.vexilo.ProgId.AutoCAD.Application._24._1"},
        {"Odd Name", "org.vexilo.ProgId.Odd_Name"},
        {"a..b", "org.vexilo.ProgId.a._.b"},
    };
    for (const auto& [progId, expected] : cases) {
        EXPECT_EQ(busNameForProgId(progId), expected) << progId;
    }
}

TEST(ProtocolSignature, CountsCompleteTypes) {
    const std::pair<const char*, int> cases[] = {
        {"", 0},      {"s", 1},  {"ad", 1},    {"adiibad", 5}, {"a{sv}", 1},
        {"(dd)s", 2}, {"a", -1}, {"a{sv", -1}, {"()", -1},     {"z", -1},
    };
    for (const auto& [signature, count] : cases) {
        EXPECT_EQ(protocol::completeTypeCount(signature), count) << signature;
    }
}

} // namespace
} // namespace vexilo::automation
