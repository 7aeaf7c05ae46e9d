// The stand-in spreadsheet of the report tests: an out-of-process COM server that COM starts on
// demand (LocalServer32, "-Embedding") for CoCreateInstance of its class. It serves the part of
// Excel's object model the report uses (application, workbooks, workbook, worksheets,
// worksheet, range, font, borders, border, page setup) with Excel's refusals: a range text it
// cannot parse, a row past its sheet's end. Texts assigned to a General cell go through entry
// rules like Excel's: a plain decimal number becomes a number cell. Each workbook's sheet is
// written as JSON when its application is made visible or quits:
//
//   stand_in_spreadsheet --class CLSID --out DIR [--name NAME] [--rows N] [--refuse MEMBER]
//   -Embedding
//       CLSID      the class it serves ({...})
//       DIR        where book-<instance>-<n>.json files go (n counts workbooks from 1)
//       NAME       the application's Name and the "application" of the JSON ("Excel")
//       N          rows of a sheet (1048576; 65536 is an Excel 2003 sheet)
//       MEMBER     a member every call of which fails, for the skip-and-continue tests
//
// JSON: {"application", "visible", "rowLimit", "centerHorizontally", "printTitleRows" ("1:2"),
// "centerFooter", "merged": [[first row, first column, last row, last column]],
// "columns": [[column, width, horizontal]] (columns whose width was set; horizontal is the
// alignment every cell of rows 1 to 65,536 of the column shares, or null), "rows": [[first,
// last, height]] (rows whose height was set or grew with a font), "cells": [[row, column,
// {"v": value, "t": "n"|"s", "fmt", "b", "sz", "edges": [left, right, top, bottom],
// "h"}]] for every cell of the used area (values, edges, formats and fonts)}.
#include "cad/com/variant.h"
#include "named_members_object.h"

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using vexilo::cad::com::toUtf8;

constexpr HRESULT kExcelRefuses = static_cast<HRESULT>(0x800A03EC);
constexpr int kMaxColumns = 16'384;
constexpr int kFormattedRows = 65'536;
constexpr double kDefaultRowHeight = 15.0;

struct Options {
    std::wstring out;
    std::wstring name = L"Excel";
    int rows = 1'048'576;
    std::wstring refuse;
};
Options g_options;
LONG g_objects = 0;
int g_books = 0;
DWORD g_cookie = 0;
// Names this server's sheet files apart from those of earlier servers, whose process ids the
// system may give again.
std::wstring g_instance;

void objectMade() {
    InterlockedIncrement(&g_objects);
}
// When the last object goes, the class is withdrawn at once, so that the next CoCreateInstance
// starts a new server instead of reaching this one while it ends.
void objectGone() {
    if (InterlockedDecrement(&g_objects) == 0) {
        if (g_cookie != 0) {
            CoRevokeClassObject(g_cookie);
            g_cookie = 0;
        }
        PostQuitMessage(0);
    }
}

struct Rect {
    int r1 = 1, c1 = 1, r2 = 1, c2 = 1;
    bool contains(int r, int c) const { return r >= r1 && r <= r2 && c >= c1 && c <= c2; }
};

struct Cell {
    std::wstring text;
    double number = 0.0;
    bool isNumber = false;
};

template <class T> struct Layer {
    std::vector<std::pair<Rect, T>> items;
    const T* at(int r, int c) const {
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            if (it->first.contains(r, c)) {
                return &it->second;
            }
        }
        return nullptr;
    }
};

struct Sheet {
    std::map<std::pair<int, int>, Cell> cells;
    std::vector<Rect> merged;
    std::map<int, double> widths;
    std::vector<std::pair<int, int>> heightRows;
    std::vector<double> heights;
    std::map<int, double> fontHeights; // rows grown by a font
    Layer<std::wstring> formats;
    Layer<int> alignment;
    Layer<bool> bold;
    Layer<double> fontSize;
    Layer<int> edges[4];
    bool centerHorizontally = false;
    std::wstring printTitleRows; // "1:2"
    std::wstring footer;         // the centre of the page footer
};

struct Book {
    int number = 0;
    Sheet sheet;
};

// Excel's entry rule for a General cell, as far as the report's texts go: a plain decimal
// number ([-]digits[.digits][E[+|-]digits]) becomes a number.
std::optional<double> enteredNumber(const std::wstring& text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
            ++i;
        }
        return i - from;
    };
    if (i < text.size() && text[i] == L'-') {
        ++i;
    }
    if (digits() == 0) {
        return std::nullopt;
    }
    if (i < text.size() && text[i] == L'.') {
        ++i;
        if (digits() == 0) {
            return std::nullopt;
        }
    }
    if (i < text.size() && (text[i] == L'E' || text[i] == L'e')) {
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
            ++i;
        }
        if (digits() == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    return std::wcstod(text.c_str(), nullptr);
}

int columnNumber(const std::wstring& letters) {
    int n = 0;
    for (const wchar_t ch : letters) {
        n = n * 26 + (std::towupper(ch) - L'A' + 1);
    }
    return n;
}

// "A1", "a2:d65536", "B:D" (whole columns); nothing for anything else or past the sheet.
std::optional<Rect> parseRange(const std::wstring& text, bool columnsOnly) {
    const auto part = [&](const std::wstring& s, int& row, int& column) {
        std::size_t i = 0;
        while (i < s.size() && std::iswalpha(s[i]) && s[i] < 128) {
            ++i;
        }
        if (i == 0 || i > 3) {
            return false;
        }
        column = columnNumber(s.substr(0, i));
        if (columnsOnly) {
            row = 0;
            return i == s.size();
        }
        if (i == s.size() || s.size() - i > 7) {
            return false;
        }
        for (std::size_t j = i; j < s.size(); ++j) {
            if (s[j] < L'0' || s[j] > L'9') {
                return false;
            }
        }
        row = std::stoi(s.substr(i));
        return true;
    };
    const std::size_t colon = text.find(L':');
    const std::wstring a = text.substr(0, colon);
    const std::wstring b = colon == std::wstring::npos ? a : text.substr(colon + 1);
    Rect r;
    if (!part(a, r.r1, r.c1) || !part(b, r.r2, r.c2)) {
        return std::nullopt;
    }
    if (columnsOnly) {
        r.r1 = 1;
        r.r2 = g_options.rows;
    }
    if (r.r1 > r.r2) {
        std::swap(r.r1, r.r2);
    }
    if (r.c1 > r.c2) {
        std::swap(r.c1, r.c2);
    }
    if (r.r1 < 1 || r.r2 > g_options.rows || r.c1 < 1 || r.c2 > kMaxColumns) {
        return std::nullopt;
    }
    return r;
}

HRESULT refused(EXCEPINFO* exception) {
    if (exception != nullptr) {
        exception->scode = kExcelRefuses;
        exception->bstrSource = SysAllocString(g_options.name.c_str());
    }
    return DISP_E_EXCEPTION;
}

// An automation object: members by name; DISPID 0 is the default member.
class Automation : public vexilo::com_stand_in::NamedMembersObject {
public:
    Automation() { objectMade(); }
    ~Automation() override { objectGone(); }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        const std::wstring name = id == DISPID_VALUE ? defaultMember() : memberOf(id);
        if (name.empty()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (!g_options.refuse.empty() && _wcsicmp(name.c_str(), g_options.refuse.c_str()) == 0) {
            return refused(exception);
        }
        // Arguments first first; a property write's value last.
        std::vector<VARIANT*> arguments;
        const UINT count = parameters != nullptr ? parameters->cArgs : 0;
        for (UINT i = 0; i < count; ++i) {
            arguments.push_back(&parameters->rgvarg[count - 1 - i]);
        }
        VARIANT ignored;
        VariantInit(&ignored);
        const bool putting = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        const HRESULT outcome =
            call(name, putting, arguments, result != nullptr ? result : &ignored, exception);
        VariantClear(&ignored);
        return outcome;
    }

protected:
    virtual std::wstring defaultMember() const { return {}; }
    virtual HRESULT call(const std::wstring& name, bool putting,
                         const std::vector<VARIANT*>& arguments, VARIANT* result,
                         EXCEPINFO* exception) = 0;
};

using vexilo::com_stand_in::returnObject;

std::optional<std::wstring> textArgument(const VARIANT* value) {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(value), 0, VT_BSTR))) {
        return std::nullopt;
    }
    std::wstring text(copy.bstrVal, SysStringLen(copy.bstrVal));
    VariantClear(&copy);
    return text;
}

std::optional<double> numberArgument(const VARIANT* value) {
    VARIANT copy;
    VariantInit(&copy);
    if (FAILED(VariantChangeType(&copy, const_cast<VARIANT*>(value), 0, VT_R8))) {
        return std::nullopt;
    }
    return copy.dblVal;
}

using BookPtr = std::shared_ptr<Book>;

class PageSetupObject : public Automation {
public:
    explicit PageSetupObject(BookPtr book) : m_book(std::move(book)) {}

protected:
    std::vector<std::wstring> members() const override {
        return {L"CenterHorizontally", L"PrintTitleRows", L"CenterFooter"};
    }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT*, EXCEPINFO* exception) override {
        Sheet& sheet = m_book->sheet;
        if (!putting) {
            return refused(exception);
        }
        if (name == L"CenterHorizontally") {
            sheet.centerHorizontally = numberArgument(arguments.back()).value_or(0) != 0;
            return S_OK;
        }
        const auto text = textArgument(arguments.back());
        if (!text) {
            return refused(exception);
        }
        if (name == L"CenterFooter") {
            sheet.footer = *text;
            return S_OK;
        }
        // Rows as Excel writes them: "$1:$2" (or "1:2").
        std::wstring rows;
        for (const wchar_t ch : *text) {
            if (ch != L'$') {
                rows += ch;
            }
        }
        const std::size_t colon = rows.find(L':');
        if (colon == std::wstring::npos || colon == 0 || colon + 1 == rows.size() ||
            rows.find_first_not_of(L"0123456789:") != std::wstring::npos) {
            return refused(exception);
        }
        sheet.printTitleRows = rows;
        return S_OK;
    }

private:
    BookPtr m_book;
};

class FontObject : public Automation {
public:
    FontObject(BookPtr book, Rect rect) : m_book(std::move(book)), m_rect(rect) {}

protected:
    std::vector<std::wstring> members() const override { return {L"Bold", L"Size"}; }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT*, EXCEPINFO* exception) override {
        const auto value = putting ? numberArgument(arguments.back()) : std::nullopt;
        if (!value) {
            return refused(exception);
        }
        Sheet& sheet = m_book->sheet;
        if (name == L"Bold") {
            sheet.bold.items.push_back({m_rect, *value != 0});
        } else {
            sheet.fontSize.items.push_back({m_rect, *value});
            // A row without a height of its own grows with its largest font (Calibri: 1.3125
            // times the size; 11 points give 15).
            for (int row = m_rect.r1; row <= m_rect.r2; ++row) {
                double& height = sheet.fontHeights[row];
                height = std::max({height, kDefaultRowHeight, *value * 1.3125});
            }
        }
        return S_OK;
    }

private:
    BookPtr m_book;
    Rect m_rect;
};

class BorderObject : public Automation {
public:
    BorderObject(BookPtr book, Rect rect, int edge)
        : m_book(std::move(book)), m_rect(rect), m_edge(edge) {}

protected:
    std::vector<std::wstring> members() const override { return {L"LineStyle"}; }
    HRESULT call(const std::wstring&, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT*, EXCEPINFO* exception) override {
        const auto style = putting ? numberArgument(arguments.back()) : std::nullopt;
        if (!style) {
            return refused(exception);
        }
        Sheet& sheet = m_book->sheet;
        // An edge of every cell of the range; the neighbour across it shares it.
        sheet.edges[m_edge - 1].items.push_back({m_rect, static_cast<int>(*style)});
        return S_OK;
    }

private:
    BookPtr m_book;
    Rect m_rect;
    int m_edge;
};

class BordersObject : public Automation {
public:
    BordersObject(BookPtr book, Rect rect) : m_book(std::move(book)), m_rect(rect) {}

protected:
    std::vector<std::wstring> members() const override { return {L"Item", L"LineStyle"}; }
    std::wstring defaultMember() const override { return L"Item"; }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT* result, EXCEPINFO* exception) override {
        if (name == L"LineStyle") {
            // The collection's LineStyle: all four edges of every cell of the range.
            const auto style = putting ? numberArgument(arguments.back()) : std::nullopt;
            if (!style) {
                return refused(exception);
            }
            for (Layer<int>& edges : m_book->sheet.edges) {
                edges.items.push_back({m_rect, static_cast<int>(*style)});
            }
            return S_OK;
        }
        const auto edge =
            !putting && arguments.size() == 1 ? numberArgument(arguments[0]) : std::nullopt;
        if (!edge || *edge < 1 || *edge > 4) {
            return refused(exception);
        }
        returnObject(result, new BorderObject(m_book, m_rect, static_cast<int>(*edge)));
        return S_OK;
    }

private:
    BookPtr m_book;
    Rect m_rect;
};

class RangeObject : public Automation {
public:
    RangeObject(BookPtr book, Rect rect) : m_book(std::move(book)), m_rect(rect) {}

protected:
    std::vector<std::wstring> members() const override {
        return {L"MergeCells",        L"Font",    L"ColumnWidth",
                L"RowHeight",         L"Borders", L"HorizontalAlignment",
                L"NumberFormatLocal", L"Value"};
    }
    std::wstring defaultMember() const override { return L"Value"; }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT* result, EXCEPINFO* exception) override {
        Sheet& sheet = m_book->sheet;
        if (!putting) {
            if (name == L"Font") {
                returnObject(result, new FontObject(m_book, m_rect));
                return S_OK;
            }
            if (name == L"Borders") {
                returnObject(result, new BordersObject(m_book, m_rect));
                return S_OK;
            }
            return refused(exception);
        }
        VARIANT* value = arguments.back();
        if (name == L"Value") {
            return assign(value, exception);
        }
        if (name == L"NumberFormatLocal") {
            const auto text = textArgument(value);
            if (!text) {
                return refused(exception);
            }
            sheet.formats.items.push_back({m_rect, *text});
            return S_OK;
        }
        const auto number = numberArgument(value);
        if (!number) {
            return refused(exception);
        }
        if (name == L"MergeCells") {
            if (*number != 0) {
                sheet.merged.push_back(m_rect);
            }
        } else if (name == L"ColumnWidth") {
            if (*number < 0 || *number > 255) {
                return refused(exception);
            }
            for (int c = m_rect.c1; c <= m_rect.c2; ++c) {
                sheet.widths[c] = *number;
            }
        } else if (name == L"RowHeight") {
            if (*number < 0 || *number > 409) {
                return refused(exception);
            }
            sheet.heightRows.push_back({m_rect.r1, m_rect.r2});
            sheet.heights.push_back(*number);
        } else if (name == L"HorizontalAlignment") {
            sheet.alignment.items.push_back({m_rect, static_cast<int>(*number)});
        } else {
            return refused(exception);
        }
        return S_OK;
    }

private:
    void enter(int row, int column, const VARIANT& value) {
        Sheet& sheet = m_book->sheet;
        const std::wstring* format = sheet.formats.at(row, column);
        if (value.vt == VT_EMPTY || (value.vt == VT_BSTR && SysStringLen(value.bstrVal) == 0)) {
            sheet.cells.erase({row, column});
            return;
        }
        Cell cell;
        if (value.vt == VT_BSTR) {
            cell.text.assign(value.bstrVal, SysStringLen(value.bstrVal));
            if (format == nullptr || *format != L"@") {
                if (const auto number = enteredNumber(cell.text)) {
                    cell.isNumber = true;
                    cell.number = *number;
                }
            }
        } else if (const auto number = numberArgument(&value)) {
            cell.isNumber = true;
            cell.number = *number;
        }
        sheet.cells[{row, column}] = cell;
    }

    HRESULT assign(VARIANT* value, EXCEPINFO* exception) {
        const VARIANT* v = (value->vt & VT_BYREF) != 0 && value->vt == (VT_BYREF | VT_VARIANT)
                               ? value->pvarVal
                               : value;
        if ((v->vt & VT_ARRAY) == 0) {
            for (int r = m_rect.r1; r <= m_rect.r2; ++r) {
                for (int c = m_rect.c1; c <= m_rect.c2; ++c) {
                    enter(r, c, *v);
                }
            }
            return S_OK;
        }
        SAFEARRAY* array = (v->vt & VT_BYREF) != 0 ? *v->pparray : v->parray;
        if (array == nullptr || SafeArrayGetDim(array) != 2 ||
            (v->vt & VT_TYPEMASK) != VT_VARIANT) {
            return refused(exception);
        }
        LONG rowLow = 0, rowHigh = 0, columnLow = 0, columnHigh = 0;
        SafeArrayGetLBound(array, 1, &rowLow);
        SafeArrayGetUBound(array, 1, &rowHigh);
        SafeArrayGetLBound(array, 2, &columnLow);
        SafeArrayGetUBound(array, 2, &columnHigh);
        if (rowHigh - rowLow != m_rect.r2 - m_rect.r1 ||
            columnHigh - columnLow != m_rect.c2 - m_rect.c1) {
            return refused(exception); // the report always hands over a block of its range's size
        }
        for (LONG r = rowLow; r <= rowHigh; ++r) {
            for (LONG c = columnLow; c <= columnHigh; ++c) {
                LONG index[2] = {r, c};
                VARIANT element;
                VariantInit(&element);
                SafeArrayGetElement(array, index, &element);
                enter(m_rect.r1 + (r - rowLow), m_rect.c1 + (c - columnLow), element);
                VariantClear(&element);
            }
        }
        return S_OK;
    }

    BookPtr m_book;
    Rect m_rect;
};

class WorksheetObject : public Automation {
public:
    explicit WorksheetObject(BookPtr book) : m_book(std::move(book)) {}

protected:
    std::vector<std::wstring> members() const override {
        return {L"Range", L"Columns", L"Cells", L"PageSetup"};
    }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT* result, EXCEPINFO* exception) override {
        if (putting) {
            return refused(exception);
        }
        if (name == L"PageSetup") {
            returnObject(result, new PageSetupObject(m_book));
            return S_OK;
        }
        std::optional<Rect> rect;
        if (name == L"Cells" && arguments.size() == 2) {
            const auto row = numberArgument(arguments[0]);
            const auto column = numberArgument(arguments[1]);
            if (row && column && *row >= 1 && *row <= g_options.rows && *column >= 1 &&
                *column <= kMaxColumns) {
                const int r = static_cast<int>(*row);
                const int c = static_cast<int>(*column);
                rect = Rect{r, c, r, c};
            }
        } else if (arguments.size() == 1) {
            if (const auto text = textArgument(arguments[0])) {
                rect = parseRange(*text, name == L"Columns");
                // Range also takes whole columns ("B:D"), never a lone column letter.
                if (!rect && name == L"Range" && text->find(L':') != std::wstring::npos) {
                    rect = parseRange(*text, true);
                }
            }
        }
        if (!rect) {
            return refused(exception);
        }
        returnObject(result, new RangeObject(m_book, *rect));
        return S_OK;
    }

private:
    BookPtr m_book;
};

class SheetsObject : public Automation {
public:
    explicit SheetsObject(BookPtr book) : m_book(std::move(book)) {}

protected:
    std::vector<std::wstring> members() const override { return {L"Item", L"Count"}; }
    std::wstring defaultMember() const override { return L"Item"; }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT* result, EXCEPINFO* exception) override {
        if (putting) {
            return refused(exception);
        }
        if (name == L"Count") {
            result->vt = VT_I4;
            result->lVal = 1;
            return S_OK;
        }
        const auto index = arguments.size() == 1 ? numberArgument(arguments[0]) : std::nullopt;
        if (!index || *index != 1) {
            return DISP_E_BADINDEX;
        }
        returnObject(result, new WorksheetObject(m_book));
        return S_OK;
    }

private:
    BookPtr m_book;
};

class WorkbookObject : public Automation {
public:
    explicit WorkbookObject(BookPtr book) : m_book(std::move(book)) {}

protected:
    std::vector<std::wstring> members() const override { return {L"Worksheets"}; }
    HRESULT call(const std::wstring&, bool putting, const std::vector<VARIANT*>&, VARIANT* result,
                 EXCEPINFO* exception) override {
        if (putting) {
            return refused(exception);
        }
        returnObject(result, new SheetsObject(m_book));
        return S_OK;
    }

private:
    BookPtr m_book;
};

struct App {
    std::vector<BookPtr> books;
    bool visible = false;
};
using AppPtr = std::shared_ptr<App>;

class WorkbooksObject : public Automation {
public:
    explicit WorkbooksObject(AppPtr app) : m_app(std::move(app)) {}

protected:
    std::vector<std::wstring> members() const override { return {L"Add", L"Count"}; }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>&,
                 VARIANT* result, EXCEPINFO* exception) override {
        if (putting) {
            return refused(exception);
        }
        if (name == L"Count") {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(m_app->books.size());
            return S_OK;
        }
        auto book = std::make_shared<Book>();
        book->number = ++g_books;
        m_app->books.push_back(book);
        returnObject(result, new WorkbookObject(book));
        return S_OK;
    }

private:
    AppPtr m_app;
};

std::string jsonText(const std::wstring& text) {
    std::string out = "\"";
    for (const char ch : toUtf8(text)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

const char* horizontal(const int* alignment) {
    if (alignment == nullptr) {
        return "null";
    }
    switch (*alignment) {
    case -4108:
        return "\"center\"";
    case -4131:
        return "\"left\"";
    case -4152:
        return "\"right\"";
    default:
        return "\"general\"";
    }
}

const char* lineStyle(const int* style) {
    return style != nullptr && *style == 1 ? "\"thin\"" : "null";
}

void writeBook(const Book& book, bool visible) {
    const Sheet& sheet = book.sheet;
    // The used area: values, edges, formats and fonts (not alignment or heights, which cover
    // rows of their own).
    int lastRow = 0;
    int lastColumn = 0;
    const auto extend = [&](const Rect& r) {
        lastRow = std::max(lastRow, r.r2);
        lastColumn = std::max(lastColumn, r.c2);
    };
    for (const auto& [at, cell] : sheet.cells) {
        extend({at.first, at.second, at.first, at.second});
    }
    for (const auto& layer : sheet.edges) {
        for (const auto& item : layer.items) {
            extend(item.first);
        }
    }
    for (const auto& item : sheet.formats.items) {
        extend(item.first);
    }
    for (const auto& item : sheet.fontSize.items) {
        extend(item.first);
    }
    const std::wstring path =
        g_options.out + L"\\book-" + g_instance + L"-" + std::to_wstring(book.number) + L".json";
    const std::wstring partial = path + L".part";
    FILE* f = _wfopen(partial.c_str(), L"wb");
    if (f == nullptr) {
        return;
    }
    std::fprintf(f, "{\"application\": %s, \"visible\": %s, \"rowLimit\": %d,\n",
                 jsonText(g_options.name).c_str(), visible ? "true" : "false", g_options.rows);
    std::fprintf(f, "\"centerHorizontally\": %s, \"printTitleRows\": %s, \"centerFooter\": %s,\n",
                 sheet.centerHorizontally ? "true" : "false",
                 jsonText(sheet.printTitleRows).c_str(), jsonText(sheet.footer).c_str());
    std::fprintf(f, "\"merged\": [");
    for (std::size_t i = 0; i < sheet.merged.size(); ++i) {
        const Rect& r = sheet.merged[i];
        std::fprintf(f, "%s[%d, %d, %d, %d]", i ? ", " : "", r.r1, r.c1, r.r2, r.c2);
    }
    std::fprintf(f, "],\n\"columns\": [");
    bool first = true;
    for (const auto& [column, width] : sheet.widths) {
        const int* shared = sheet.alignment.at(1, column);
        for (int row = 2; shared != nullptr && row <= kFormattedRows; ++row) {
            const int* here = sheet.alignment.at(row, column);
            if (here == nullptr || *here != *shared) {
                shared = nullptr;
            }
        }
        std::fprintf(f, "%s[%d, %.17g, %s]", first ? "" : ", ", column, width, horizontal(shared));
        first = false;
    }
    std::fprintf(f, "],\n\"rows\": [");
    first = true;
    std::map<int, double> own; // rows with a height set, the last setting winning
    for (std::size_t i = 0; i < sheet.heightRows.size(); ++i) {
        std::fprintf(f, "%s[%d, %d, %.17g]", first ? "" : ", ", sheet.heightRows[i].first,
                     sheet.heightRows[i].second, sheet.heights[i]);
        first = false;
    }
    for (const auto& [row, height] : sheet.fontHeights) {
        bool set = false;
        for (const auto& rows : sheet.heightRows) {
            set = set || (row >= rows.first && row <= rows.second);
        }
        if (!set) {
            std::fprintf(f, "%s[%d, %d, %.17g]", first ? "" : ", ", row, row, height);
            first = false;
        }
    }
    std::fprintf(f, "],\n\"cells\": [");
    first = true;
    for (int row = 1; row <= lastRow; ++row) {
        for (int column = 1; column <= lastColumn; ++column) {
            std::string entry;
            const auto found = sheet.cells.find({row, column});
            if (found != sheet.cells.end()) {
                if (found->second.isNumber) {
                    char number[40];
                    std::snprintf(number, sizeof number, "%.17g", found->second.number);
                    entry += std::string("\"v\": ") + number + ", \"t\": \"n\"";
                } else {
                    entry += "\"v\": " + jsonText(found->second.text) + ", \"t\": \"s\"";
                }
            }
            const auto add = [&](const std::string& item) {
                entry += (entry.empty() ? "" : ", ") + item;
            };
            if (const std::wstring* format = sheet.formats.at(row, column)) {
                add("\"fmt\": " + jsonText(*format));
            }
            if (const bool* bold = sheet.bold.at(row, column)) {
                add(std::string("\"b\": ") + (*bold ? "true" : "false"));
            }
            if (const double* size = sheet.fontSize.at(row, column)) {
                char text[40];
                std::snprintf(text, sizeof text, "%.17g", *size);
                add(std::string("\"sz\": ") + text);
            }
            // The edges a cell's own ranges gave it, as a saved workbook keeps them (the
            // neighbour across an edge does not record it).
            const int* left = sheet.edges[0].at(row, column);
            const int* right = sheet.edges[1].at(row, column);
            const int* top = sheet.edges[2].at(row, column);
            const int* bottom = sheet.edges[3].at(row, column);
            if (left || right || top || bottom) {
                add(std::string("\"edges\": [") + lineStyle(left) + ", " + lineStyle(right) + ", " +
                    lineStyle(top) + ", " + lineStyle(bottom) + "]");
            }
            if (const int* alignment = sheet.alignment.at(row, column)) {
                add(std::string("\"h\": ") + horizontal(alignment));
            }
            if (!entry.empty()) {
                std::fprintf(f, "%s[%d, %d, {%s}]", first ? "" : ",\n", row, column, entry.c_str());
                first = false;
            }
        }
    }
    std::fprintf(f, "]}\n");
    std::fclose(f);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

class ApplicationObject : public Automation {
public:
    ApplicationObject() : m_app(std::make_shared<App>()) {}

protected:
    std::vector<std::wstring> members() const override {
        return {L"Workbooks", L"ActiveSheet", L"Visible", L"Quit", L"Name"};
    }
    HRESULT call(const std::wstring& name, bool putting, const std::vector<VARIANT*>& arguments,
                 VARIANT* result, EXCEPINFO* exception) override {
        if (name == L"Visible") {
            if (putting) {
                m_app->visible = numberArgument(arguments.back()).value_or(0) != 0;
                if (m_app->visible) {
                    writeBooks();
                }
            } else {
                result->vt = VT_BOOL;
                result->boolVal = m_app->visible ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        }
        if (putting) {
            return refused(exception);
        }
        if (name == L"Workbooks") {
            returnObject(result, new WorkbooksObject(m_app));
        } else if (name == L"ActiveSheet") {
            if (m_app->books.empty()) {
                result->vt = VT_EMPTY; // Excel gives Nothing without a workbook
                return S_OK;
            }
            returnObject(result, new WorksheetObject(m_app->books.back()));
        } else if (name == L"Quit") {
            writeBooks();
        } else {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(g_options.name.c_str());
        }
        return S_OK;
    }

private:
    void writeBooks() {
        for (const BookPtr& book : m_app->books) {
            writeBook(*book, m_app->visible);
        }
    }
    AppPtr m_app;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* application = new ApplicationObject();
        const HRESULT result = application->QueryInterface(iid, object);
        application->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            objectMade();
        } else {
            objectGone();
        }
        return S_OK;
    }
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    GUID classId{};
    bool classGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        const wchar_t* value = i + 1 < argc ? argv[i + 1] : L"";
        if (_wcsicmp(option.c_str(), L"-Embedding") == 0 ||
            _wcsicmp(option.c_str(), L"/Embedding") == 0) {
            continue;
        }
        ++i;
        if (option == L"--out") {
            g_options.out = value;
        } else if (option == L"--name") {
            g_options.name = value;
        } else if (option == L"--rows") {
            g_options.rows = _wtoi(value);
        } else if (option == L"--refuse") {
            g_options.refuse = value;
        } else if (option == L"--class") {
            classGiven = SUCCEEDED(CLSIDFromString(value, &classId));
        } else {
            std::fprintf(stderr, "stand-in spreadsheet: unknown option %ls\n", option.c_str());
            return 2;
        }
    }
    if (!classGiven || g_options.out.empty() ||
        FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "stand-in spreadsheet: --class and --out are needed\n");
        return 2;
    }
    GUID instance{};
    wchar_t instanceText[40] = {};
    CoCreateGuid(&instance);
    StringFromGUID2(instance, instanceText, 40);
    g_instance.assign(instanceText + 1, 36);
    Factory factory;
    if (FAILED(CoRegisterClassObject(classId, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &g_cookie))) {
        CoUninitialize();
        return 3;
    }
    // Serves until the last object is released, as an automation server that nobody holds.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    if (g_cookie != 0) {
        CoRevokeClassObject(g_cookie);
    }
    CoUninitialize();
    return 0;
}
