#include "layout.h"

#include "driver.h"
#include "framework/win32/wide.h"

#include <cstdio>

namespace e2e {

namespace {
enum class Kind { Control, Group, Line, Host, Text };

struct Box {
    std::string what;
    RECT rect;
    Kind kind;
};

std::string ClassOf(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return NarrowToGbk(name).value_or("?");
}

// The window's own text, read without a message to its (perhaps held) thread.
std::string TitleOf(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, 512);
    return NarrowToGbk(text).value_or("?");
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Intersect(const RECT& a, const RECT& b)
{
    RECT both;
    return IntersectRect(&both, &a, &b) != FALSE;
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const Box& box)
{
    char where[64];
    std::snprintf(where, sizeof where, " (%ld,%ld %ldx%ld)", box.rect.left, box.rect.top,
                  box.rect.right - box.rect.left, box.rect.bottom - box.rect.top);
    return box.what + where;
}

RECT RectOf(int x, int y, int cx, int cy) { return RECT{x, y, x + cx, y + cy}; }

RECT MapItem(const TemplateItem& item, DialogUnits units)
{
    return RectOf(MulDiv(item.x, units.x, 4), MulDiv(item.y, units.y, 8), MulDiv(item.cx, units.x, 4),
                  MulDiv(item.cy, units.y, 8));
}

RECT MeasuredTextRect(const PaintedText& line)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-line.height, 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size = {};
    const std::wstring text = Widen(line.text);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return RectOf(line.x, line.y, size.cx, metrics.tmHeight);
}

// SimSun: a GBK double byte is an ideograph an em wide, anything else half.
int SimSunWidth(const std::string& text, int em)
{
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size()) {
            width += em;
            ++i;
        } else {
            width += (em + 1) / 2;
        }
    }
    return width;
}

RECT SimSunTextRect(const PaintedText& line)
{
    return RectOf(line.x, line.y, SimSunWidth(line.text, line.height), line.height);
}

Box ChildBox(HWND parent, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const std::string cls = ClassOf(child);
    const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
    char label[96];
    std::snprintf(label, sizeof label, "%s %d", cls.c_str(), static_cast<int>(static_cast<short>(GetDlgCtrlID(child))));
    std::string what = label;
    const std::string text = TitleOf(child);
    if (!text.empty() && cls != "Edit")
        what += " \"" + text.substr(0, 40) + "\"";
    Kind kind = Kind::Control;
    if (_stricmp(cls.c_str(), "Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX)
        kind = Kind::Group;
    else if (_stricmp(cls.c_str(), "Static") == 0 &&
             ((style & SS_TYPEMASK) == SS_ETCHEDHORZ || (style & SS_TYPEMASK) == SS_ETCHEDVERT))
        kind = Kind::Line;
    else if (cls == "SysTabControl32") {
        kind = Kind::Host;
        // What shows of the host is its window region.
        RECT visible;
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        if (GetWindowRgn(child, region) != ERROR && GetRgnBox(region, &visible) != ERROR)
            r = RectOf(r.left + visible.left, r.top + visible.top, visible.right - visible.left,
                       visible.bottom - visible.top);
        DeleteObject(region);
    }
    return Box{what, r, kind};
}

const WindowContent* ContentOf(HWND window, const std::vector<WindowContent>& contents)
{
    for (const WindowContent& content : contents)
        if (content.window == window)
            return &content;
    return nullptr;
}

// The template's control at SimSun's units when it lies where the template
// puts it at this machine's units; as it lies when the program placed it.
void AtSimSunUnits(HWND child, const DialogTemplate& dialog, Box& box)
{
    const DialogUnits live = MeasuredUnits(dialog.pointSize, dialog.face);
    const DialogUnits simsun = SimSunUnits(dialog.pointSize);
    const auto id = static_cast<uint16_t>(GetDlgCtrlID(child));
    for (const TemplateItem& item : dialog.items) {
        if (static_cast<uint16_t>(item.id) != id)
            continue;
        const RECT placed = MapItem(item, live);
        if (EqualRect(&box.rect, &placed)) {
            box.rect = MapItem(item, simsun);
            return;
        }
    }
}

void CheckWindow(HWND window, const std::vector<WindowContent>& contents, Metrics metrics,
                 std::vector<std::string>& faults)
{
    const std::string name = "in " + ClassOf(window) + " \"" + TitleOf(window) + "\"";
    const WindowContent* content = ContentOf(window, contents);
    const bool simsun = metrics == Metrics::SimSun && content && content->dialog;
    RECT area;
    GetClientRect(window, &area);
    if (simsun && !(GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)) {
        const DialogUnits units = SimSunUnits(content->dialog->pointSize);
        area = RectOf(0, 0, MulDiv(content->dialog->cx, units.x, 4), MulDiv(content->dialog->cy, units.y, 8));
    }
    // A page shows only through the window region of the host it lies in.
    HWND parent = GetParent(window);
    if (parent && (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) && ClassOf(parent) == "SysTabControl32") {
        const Box host = ChildBox(GetParent(parent), parent);
        RECT visible = host.rect;
        MapWindowPoints(GetParent(parent), window, reinterpret_cast<POINT*>(&visible), 2);
        IntersectRect(&area, &area, &visible);
    }

    std::vector<Box> boxes;
    std::vector<HWND> inner;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        Box box = ChildBox(window, child);
        if (simsun)
            AtSimSunUnits(child, *content->dialog, box);
        boxes.push_back(box);
        if (GetWindow(child, GW_CHILD))
            inner.push_back(child);
    }
    if (content)
        for (const PaintedText& line : content->lines)
            boxes.push_back(Box{"text \"" + line.text + "\"",
                                metrics == Metrics::SimSun ? SimSunTextRect(line) : MeasuredTextRect(line),
                                Kind::Text});

    // The pages of a host lie over each other by design; one shows at a time.
    if (ClassOf(window) != "SysTabControl32") {
        for (size_t i = 0; i < boxes.size(); ++i) {
            const Box& a = boxes[i];
            if (Empty(a.rect))
                continue;
            if (a.kind != Kind::Line && !Inside(a.rect, area))
                faults.push_back(Describe(a) + " reaches past the visible part " + name);
            for (size_t j = i + 1; j < boxes.size(); ++j) {
                const Box& b = boxes[j];
                if (Empty(b.rect) || !Intersect(a.rect, b.rect))
                    continue;
                if ((a.kind == Kind::Group && Inside(b.rect, a.rect)) || (b.kind == Kind::Group && Inside(a.rect, b.rect)))
                    continue;
                if ((a.kind == Kind::Line && b.kind == Kind::Host) || (a.kind == Kind::Host && b.kind == Kind::Line))
                    continue;
                faults.push_back(Describe(a) + " overlaps " + Describe(b) + " " + name);
            }
        }
    }
    for (HWND child : inner)
        CheckWindow(child, contents, metrics, faults);
}
}  // namespace

DialogUnits SimSunUnits(int pointSize)
{
    const int em = MulDiv(pointSize, 96, 72);
    return DialogUnits{(em + 1) / 2, em};
}

DialogUnits MeasuredUnits(int pointSize, const std::u16string& face)
{
    HDC dc = CreateCompatibleDC(nullptr);
    const std::wstring name(face.begin(), face.end());
    HFONT font = CreateFontW(-MulDiv(pointSize, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, name.c_str());
    HGDIOBJ old = SelectObject(dc, font);
    // The dialog manager's average: 52 letters, rounded.
    SIZE size = {};
    GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return DialogUnits{(size.cx / 26 + 1) / 2, static_cast<int>(metrics.tmHeight)};
}

std::vector<std::string> LayoutFaults(HWND top, const std::vector<WindowContent>& contents, Metrics metrics)
{
    std::vector<std::string> faults;
    if (!IsWindow(top))
        return {"no window to judge"};
    CheckWindow(top, contents, metrics, faults);
    return faults;
}

std::optional<DialogTemplate> LoadDialogTemplate(const std::string& program, int id)
{
    HMODULE module = LoadLibraryExW(Widen(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return std::nullopt;
    std::optional<DialogTemplate> dialog;
    if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */))
        if (HGLOBAL loaded = LoadResource(module, found))
            dialog = ParseDialogTemplate(static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(module, found));
    FreeLibrary(module);
    return dialog;
}

std::string WindowProgram(HWND window)
{
    wchar_t path[32768] = L"";
    DWORD size = 32768;
    if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, WindowProcess(window))) {
        if (!QueryFullProcessImageNameW(process, 0, path, &size))
            path[0] = L'\0';
        CloseHandle(process);
    }
    return NarrowToGbk(path).value_or(std::string());
}

namespace {
RECT ScreenRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

void CollectTexts(HWND window, std::vector<ShownText>& texts)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        const std::string cls = ClassOf(child);
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        // An edit box keeps its text itself; other controls' is their title.
        const std::string text = _stricmp(cls.c_str(), "Edit") == 0 ? WindowText(child) : TitleOf(child);
        const bool label = (_stricmp(cls.c_str(), "Button") == 0 && (style & BS_TYPEMASK) != BS_OWNERDRAW &&
                            (style & BS_TYPEMASK) != BS_GROUPBOX) ||
                           (_stricmp(cls.c_str(), "Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT);
        if (label && !text.empty()) {
            texts.push_back(ShownText{text, ScreenRect(child)});
        } else if (_stricmp(cls.c_str(), "Edit") == 0) {
            // The lines that show, each as far as it fits (a long one is cut at the edge).
            RECT client;
            GetClientRect(child, &client);
            const int rows = (style & ES_MULTILINE) ? client.bottom / 12 : 1;
            POINT origin = {0, 0};
            ClientToScreen(child, &origin);
            size_t at = 0;
            for (int row = 0; row < rows && at < text.size(); ++row) {
                size_t end = text.find('\n', at);
                if (end == std::string::npos)
                    end = text.size();
                std::string line = text.substr(at, end - at);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                size_t cut = 0;
                for (int width = 0; cut < line.size();) {
                    const bool wide = static_cast<unsigned char>(line[cut]) >= 0x81 && cut + 1 < line.size();
                    width += wide ? 12 : 6;
                    if (width > client.right - 4)
                        break;
                    cut += wide ? 2 : 1;
                }
                const int top = (style & ES_MULTILINE) ? origin.y + row * 12 : origin.y;
                const int bottom = (style & ES_MULTILINE) ? top + 12 : origin.y + client.bottom;
                if (cut > 0)
                    texts.push_back(ShownText{line.substr(0, cut), RECT{origin.x, top, origin.x + client.right, bottom}});
                at = end + 1;
            }
        }
        CollectTexts(child, texts);
    }
}
}  // namespace

std::vector<ShownText> ControlTexts(HWND top)
{
    std::vector<ShownText> texts;
    const std::string caption = TitleOf(top);
    POINT client = {0, 0};
    ClientToScreen(top, &client);
    RECT frame = ScreenRect(top);
    if (!caption.empty() && client.y > frame.top)
        texts.push_back(ShownText{caption, RECT{frame.left, frame.top, frame.right, client.y}});
    CollectTexts(top, texts);
    return texts;
}

ShownText PaintedOnScreen(HWND window, const PaintedText& line)
{
    RECT r = MeasuredTextRect(line);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return ShownText{line.text, r};
}

}  // namespace e2e
