// The coordinate report driven through a spreadsheet application's automation interface.
#include "export/excel_report.h"

#include "cad/com/dispatch.h"
#include "cad/com/variant.h"
#include "export/report_layout.h"

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vexilo::report {
namespace {

using cad::com::ComPtr;
using cad::com::Link;
using cad::com::Variant;

/// Excel's constants for the members the report uses. The LineStyle of a range's Borders
/// collection sets all four edges (left, right, top, bottom) of every cell of the range at once,
/// as Borders(1) to Borders(4) do one by one.
constexpr int kContinuousLine = 1;  // xlContinuous
constexpr int kAlignCentre = -4108; // xlCenter
constexpr const wchar_t* kTextFormat = L"@";

/// The default member (DISPID_VALUE), which needs no look-up: a range's Value (what assigning
/// to the range itself sets) and a collection's Item (what indexing the collection reads).
constexpr const wchar_t* kDefault = nullptr;

/// One automation object of the application, with the kind whose DISPIDs it shares.
struct Object {
    ComPtr<IDispatch> dispatch;
    const char* kind = "";
    explicit operator bool() const { return static_cast<bool>(dispatch); }
};

/// The calls of one export in skip-and-continue mode: a call on an object that could not be
/// had is skipped, and every failure leaves its code in lastError().
class Session {
public:
    Session() : m_link(cad::com::RetryPolicy{}) {}

    std::uint64_t calls() const { return m_link.calls(); }
    void countCall() { m_link.countCall(); }
    HRESULT lastError() const { return m_lastError; }
    void fail(HRESULT code) { m_lastError = code; }

    /// A property read (with arguments, first first, for a parameterised property or a
    /// collection's Item) or a method call, whose result is an object of `kind`.
    Object object(const Object& on, const wchar_t* name, const char* kind,
                  std::vector<Variant> arguments = {}, WORD flags = kGet) {
        std::optional<Variant> result = invoke(on, name, flags, std::move(arguments));
        if (!result) {
            return {};
        }
        VARIANT& value = *result->get();
        if (value.vt != VT_DISPATCH || value.pdispVal == nullptr) {
            fail(DISP_E_TYPEMISMATCH);
            return {};
        }
        value.pdispVal->AddRef();
        return {ComPtr<IDispatch>(value.pdispVal), kind};
    }

    /// A property write; false when it failed or was skipped.
    bool put(const Object& on, const wchar_t* name, Variant value) {
        std::vector<Variant> argument;
        argument.push_back(std::move(value));
        return invoke(on, name, DISPATCH_PROPERTYPUT, std::move(argument)).has_value();
    }

    static constexpr WORD kGet = DISPATCH_PROPERTYGET | DISPATCH_METHOD;

private:
    std::optional<Variant> invoke(const Object& on, const wchar_t* name, WORD flags,
                                  std::vector<Variant> arguments) {
        if (!on) {
            return std::nullopt; // the object this step works on was not had: skipped
        }
        DISPID id = DISPID_UNKNOWN;
        if (name == kDefault) {
            id = DISPID_VALUE;
        } else if (const DISPID* known = m_link.findDispId(on.kind, name)) {
            id = *known;
        } else {
            LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
            const HRESULT looked = cad::com::callRetryingWhileBusy(m_link, [&] {
                return on.dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
            });
            if (FAILED(looked)) {
                fail(looked);
                return std::nullopt;
            }
            m_link.storeDispId(on.kind, name, id);
        }
        // DISPPARAMS holds the arguments last first.
        std::vector<VARIANT> reversed;
        for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
            reversed.push_back(it->value());
        }
        const bool putting = (flags & DISPATCH_PROPERTYPUT) != 0;
        DISPID namedPut = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{reversed.data(), putting ? &namedPut : nullptr,
                              static_cast<UINT>(reversed.size()), putting ? 1U : 0U};
        Variant result;
        const HRESULT outcome = cad::com::callRetryingWhileBusy(m_link, [&] {
            VariantClear(result.get());
            EXCEPINFO exception{};
            UINT argumentError = 0;
            const HRESULT code =
                on.dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                    putting ? nullptr : result.get(), &exception, &argumentError);
            SysFreeString(exception.bstrSource);
            SysFreeString(exception.bstrDescription);
            SysFreeString(exception.bstrHelpFile);
            return code;
        });
        if (FAILED(outcome)) {
            fail(outcome);
            return std::nullopt;
        }
        return result;
    }

    Link m_link;
    HRESULT m_lastError = S_OK;
};

Variant real(double value) {
    Variant v;
    v.get()->vt = VT_R8;
    v.get()->dblVal = value;
    return v;
}

Variant wide(const wchar_t* text) {
    Variant v;
    v.get()->vt = VT_BSTR;
    v.get()->bstrVal = SysAllocString(text);
    return v;
}

/// Texts as a rows × columns SAFEARRAY of VARIANT texts, both bounds starting at 1 as a
/// range's Value does. `text(row, column)` gives each, 0-based.
template <class TextAt> Variant textBlock(int rows, int columns, TextAt text) {
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows), 1}, {static_cast<ULONG>(columns), 1}};
    Variant block;
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (array == nullptr) {
        return block;
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            LONG index[2] = {r + 1, c + 1};
            Variant cell = Variant::text(text(r, c));
            SafeArrayPutElement(array, index, cell.get());
        }
    }
    block.get()->vt = VT_ARRAY | VT_VARIANT;
    block.get()->parray = array;
    return block;
}

Object rangeOf(Session& session, const Object& sheet, const CellRange& cells) {
    std::vector<Variant> argument;
    argument.push_back(Variant::text(toA1(cells)));
    return session.object(sheet, L"Range", "Range", std::move(argument));
}

/// Creates the first application that answers to one of kSpreadsheetProgIds.
Object createApplication(Session& session, std::wstring& progId) {
    for (const std::wstring_view candidate : kSpreadsheetProgIds) {
        const std::wstring name(candidate);
        CLSID classId{};
        HRESULT result = CLSIDFromProgID(name.c_str(), &classId);
        if (SUCCEEDED(result)) {
            IDispatch* dispatch = nullptr;
            session.countCall();
            result = CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(&dispatch));
            if (SUCCEEDED(result) && dispatch != nullptr) {
                progId = name;
                return {ComPtr<IDispatch>(dispatch), "Application"};
            }
        }
        session.fail(result);
    }
    return {};
}

/// The text of sheet cell (row, column), both 1-based, from the title row to the last report
/// row: the title (B1 to D1 lie under the title's merge and stay empty), a heading, or the
/// table's text as it stands.
std::string_view sheetText(const cad::CoordinateTable& table, int row, int column) {
    if (row == kTitleRow) {
        return column == 1 ? kTitle : std::string_view();
    }
    if (row == kHeadingRow) {
        return kReportColumns[static_cast<std::size_t>(column - 1)].heading;
    }
    return table.cell(row - kHeadingRow, column - 1);
}

/// Sheet rows first..last as one block: the code cells among them formatted as text first, then
/// every text in one assignment. False when the application refused either.
bool writeBlock(Session& session, const Object& sheet, const cad::CoordinateTable& table, int first,
                int last) {
    const int firstCode = std::max(first, kFirstDataRow);
    if (firstCode <= last) {
        const Object codes = rangeOf(session, sheet, {firstCode, 2, last, 2});
        if (!session.put(codes, L"NumberFormatLocal", wide(kTextFormat))) {
            return false;
        }
    }
    const Object cells = rangeOf(session, sheet, {first, 1, last, kReportColumnCount});
    return session.put(cells, kDefault,
                       textBlock(last - first + 1, kReportColumnCount,
                                 [&](int r, int c) { return sheetText(table, first + r, c + 1); }));
}

/// Writes sheet rows first..last; a block the application refuses is halved until what fits
/// has been written, in order and without gaps. Returns the rows written, from `first` on.
int writeRows(Session& session, const Object& sheet, const cad::CoordinateTable& table, int first,
              int last) {
    if (writeBlock(session, sheet, table, first, last)) {
        return last - first + 1;
    }
    if (first == last) {
        return 0;
    }
    const int middle = first + (last - first) / 2;
    const int written = writeRows(session, sheet, table, first, middle);
    if (written < middle - first + 1) {
        return written;
    }
    return written + writeRows(session, sheet, table, middle + 1, last);
}

/// Whole columns first..last in A1 notation: "A:A", "B:D".
std::string wholeColumns(int first, int last) {
    // "B1:D1" without its row numbers.
    std::string columns;
    for (const char ch : toA1({1, first, 1, last})) {
        if (ch < '0' || ch > '9') {
            columns += ch;
        }
    }
    return columns;
}

} // namespace

std::string partialReportMessage(int written, int total) {
    return "EXCEL工作表只接收了前" + std::to_string(written) + "行数据，表格共有" +
           std::to_string(total) + "行数据。";
}

SpreadsheetExport exportToSpreadsheet(const cad::CoordinateTable& table, cad::WindowPort& window,
                                      SpreadsheetReport& kept) {
    SpreadsheetExport outcome;
    const std::optional<ReportLayout> layout = layoutReport(table);
    if (!layout) {
        return outcome; // the header row alone: nothing to report, nothing started
    }
    Session session;
    const Object application = createApplication(session, outcome.progId);
    const Object workbooks = session.object(application, L"Workbooks", "Workbooks");
    const Object workbook =
        session.object(workbooks, L"Add", "Workbook", {}, static_cast<WORD>(DISPATCH_METHOD));
    const Object worksheets = session.object(workbook, L"Worksheets", "Sheets");
    std::vector<Variant> itemOne;
    itemOne.push_back(Variant::integer(1));
    const Object worksheet = session.object(worksheets, kDefault, "Worksheet", std::move(itemOne));
    if (!application || !workbook || !worksheet) {
        window.showInformation(kNoSpreadsheetMessage);
        outcome.calls = session.calls();
        outcome.lastError = session.lastError();
        return outcome;
    }
    outcome.started = true;
    kept.application = application.dispatch;
    kept.workbook = workbook.dispatch;
    kept.worksheet = worksheet.dispatch;
    kept.lastReportRow = layout->lastReportRow;

    // The title across A1:D1, bold, 20 points.
    const Object title = rangeOf(session, worksheet, layout->mergedTitle);
    session.put(title, L"MergeCells", Variant::boolean(true));
    const Object font = session.object(title, L"Font", "Font");
    session.put(font, L"Bold", Variant::boolean(true));
    session.put(font, L"Size", real(kTitleFontSize));

    // Column widths, one call per run of equal widths, through Range("A:A") (a range of whole
    // columns, as Columns("A:A") gives), whose member names are already known.
    for (int column = 1; column <= kReportColumnCount;) {
        const double width = kReportColumns[static_cast<std::size_t>(column - 1)].width;
        int last = column;
        while (last < kReportColumnCount &&
               kReportColumns[static_cast<std::size_t>(last)].width == width) {
            ++last;
        }
        std::vector<Variant> letters;
        letters.push_back(Variant::text(wholeColumns(column, last)));
        session.put(session.object(worksheet, L"Range", "Range", std::move(letters)),
                    L"ColumnWidth", real(width));
        column = last + 1;
    }

    // Row heights, edges, page centring and alignment. A workbook just added has its first
    // worksheet as the application's active sheet, so these go through the worksheet taken
    // above, which needs no ActiveSheet call and cannot reach another sheet.
    session.put(rangeOf(session, worksheet, layout->tallRows), L"RowHeight", real(kRowHeight));
    const Object borders =
        session.object(rangeOf(session, worksheet, layout->ruled), L"Borders", "Borders");
    session.put(borders, L"LineStyle", Variant::integer(kContinuousLine));
    const Object page = session.object(worksheet, L"PageSetup", "PageSetup");
    if (layout->pageCentredHorizontally) {
        session.put(page, L"CenterHorizontally", Variant::boolean(true));
    }
    session.put(page, L"PrintTitleRows",
                Variant::text("$" + std::to_string(layout->printTitleFirstRow) + ":$" +
                              std::to_string(layout->printTitleLastRow)));
    session.put(page, L"CenterFooter", Variant::text(layout->footer));
    session.put(rangeOf(session, worksheet, layout->centred), L"HorizontalAlignment",
                Variant::integer(kAlignCentre));

    // The title, the headings and the data in blocks of sheet rows, the first block starting
    // at the title. When the application refuses that first block as a whole, the title and the
    // headings go on their own, skipped if refused again, so that they never keep the data out.
    const int dataRows = table.rowCount() - 1;
    const int lastRow = layout->lastReportRow;
    int first = std::min(lastRow, kBlockRows) + 1;
    int reached = first - 1; // the last sheet row written
    if (!writeBlock(session, worksheet, table, kTitleRow, reached)) {
        writeBlock(session, worksheet, table, kTitleRow, kHeadingRow);
        first = kFirstDataRow;
        reached = kHeadingRow;
    }
    while (first <= lastRow) {
        const int last = std::min(lastRow, first + kBlockRows - 1);
        const int written = writeRows(session, worksheet, table, first, last);
        reached = first + written - 1;
        if (written < last - first + 1) {
            break; // the sheet ends here: later blocks would be refused as well
        }
        first = last + 1;
    }
    outcome.rowsWritten = std::max(0, reached - kHeadingRow);

    session.put(application, L"Visible", Variant::boolean(true));
    outcome.calls = session.calls();
    outcome.lastError = session.lastError();
    if (outcome.rowsWritten < dataRows) {
        window.showInformation(partialReportMessage(outcome.rowsWritten, dataRows));
    }
    return outcome;
}

} // namespace vexilo::report
