// Checks the linked resources the way the program uses them: skins through
// LoadPngResource, the scroll-bar bitmap through LoadImage, the dialog templates as
// the dialog manager reads them, plus icon, string, manifest and version.
#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "skin/PngResource.h"
#include "win/GdiPlus.h"

namespace {

const wchar_t kToolName[] = L"Orvane 2020灯效闪烁修复工具";

struct Bytes {
    const uint8_t* data = nullptr;
    DWORD size = 0;
};

Bytes ResourceBytes(LPCWSTR name, LPCWSTR type) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC res = ::FindResourceW(module, name, type);
    if (!res) return {};
    HGLOBAL loaded = ::LoadResource(module, res);
    if (!loaded) return {};
    return {static_cast<const uint8_t*>(::LockResource(loaded)), ::SizeofResource(module, res)};
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// ---------------------------------------------------------------------------------
// PNG skins

struct Skin {
    UINT id;
    UINT width;
    UINT height;
    bool alpha;
};

std::vector<Skin> SkinTable() {
    std::vector<Skin> t;
    auto add = [&t](std::initializer_list<UINT> ids, UINT w, UINT h, bool alpha) {
        for (UINT id : ids) t.push_back({id, w, h, alpha});
    };
    add({148, 206}, 410, 611, true);
    add({149, 207}, 400, 600, false);
    add({150}, 48, 16, true);
    add({151, 152, 153, 154, 157, 158, 159, 160}, 26, 34, false);
    add({165, 166, 167, 168}, 58, 18, false);
    add({192, 193, 194, 195, 208, 209, 210, 211}, 246, 47, false);
    add({155}, 232, 132, true);
    add({156}, 204, 104, true);
    add({169, 212}, 330, 150, true);
    add({170}, 320, 140, false);
    add({213}, 320, 140, true);
    add({174, 175, 176}, 12, 12, false);
    add({171, 172, 173, 177, 178, 179, 180, 181, 182, 183, 184, 185,
         214, 215, 216, 217, 218, 219, 220, 221, 222}, 55, 24, false);
    add({186}, 410, 479, true);
    add({187}, 400, 468, true);
    add({188, 189, 190, 191}, 12, 12, false);
    add({197, 198, 199, 200, 202, 203, 204, 205, 161, 162, 163, 164}, 266, 60, true);
    add({201}, 541, 402, true);
    return t;
}

TEST(PngSkins, EveryIdLoadsWithItsSizeAndAlpha) {
    win::GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());
    for (const Skin& s : SkinTable()) {
        SCOPED_TRACE(s.id);
        Bytes raw = ResourceBytes(MAKEINTRESOURCEW(s.id), L"PNG");
        ASSERT_GE(raw.size, 33u);
        ASSERT_EQ(0, memcmp(raw.data, "\x89PNG\r\n\x1a\n", 8));
        ASSERT_EQ(0, memcmp(raw.data + 12, "IHDR", 4));
        EXPECT_EQ(s.width, BigEndian32(raw.data + 16));
        EXPECT_EQ(s.height, BigEndian32(raw.data + 20));
        EXPECT_EQ(8, raw.data[24]) << "bit depth";
        EXPECT_EQ(s.alpha ? 6 : 2, raw.data[25]) << "PNG colour type";

        Gdiplus::Image* image = nullptr;
        ASSERT_TRUE(LoadPngResource(&image, s.id));
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(Gdiplus::Ok, image->GetLastStatus());
        EXPECT_EQ(s.width, image->GetWidth());
        EXPECT_EQ(s.height, image->GetHeight());
        EXPECT_EQ(s.alpha, (image->GetFlags() & Gdiplus::ImageFlagsHasAlpha) != 0);
        DeletePngImage(&image);
    }
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::set<UINT>*>(param)->insert(static_cast<UINT>(
            reinterpret_cast<ULONG_PTR>(name)));
    }
    return TRUE;
}

TEST(PngSkins, NoOtherPngResourceExists) {
    std::set<UINT> found;
    ::EnumResourceNamesW(::GetModuleHandleW(nullptr), L"PNG", CollectName,
                         reinterpret_cast<LONG_PTR>(&found));
    std::set<UINT> expected;
    for (const Skin& s : SkinTable()) expected.insert(s.id);
    EXPECT_EQ(74u, expected.size());
    EXPECT_EQ(expected, found);
}

// Pixels of a skin as 0xAARRGGBB, decoded from the resource bytes.
struct Pixels {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(UINT x, UINT y) const { return argb[y * width + x]; }
    int Alpha(UINT x, UINT y) const { return At(x, y) >> 24; }
};

Pixels Decode(UINT id) {
    Pixels px;
    Bytes raw = ResourceBytes(MAKEINTRESOURCEW(id), L"PNG");
    if (!raw.data) return px;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, raw.size);
    memcpy(::GlobalLock(block), raw.data, raw.size);
    ::GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream))) {
        ::GlobalFree(block);
        return px;
    }
    {
        Gdiplus::Bitmap bitmap(stream, FALSE);
        Gdiplus::BitmapData data{};
        Gdiplus::Rect all(0, 0, bitmap.GetWidth(), bitmap.GetHeight());
        if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) ==
            Gdiplus::Ok) {
            px.width = data.Width;
            px.height = data.Height;
            px.argb.resize(size_t(px.width) * px.height);
            for (UINT y = 0; y < px.height; ++y) {
                memcpy(&px.argb[size_t(y) * px.width],
                       static_cast<const uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride,
                       px.width * 4);
            }
            bitmap.UnlockBits(&data);
        }
    }
    stream->Release();
    return px;
}

// What the windows rely on: children and their borrowed backgrounds are opaque,
// backs fade to nothing at their edge and are solid where the child sits, the
// 266 x 60 buttons keep their margin clear, and the controls that fill white sit
// on white.
TEST(PngSkins, ArtKeepsTheDrawingContract) {
    win::GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus.ok());

    for (UINT id : {156u, 187u, 213u}) {
        SCOPED_TRACE(id);
        Pixels px = Decode(id);
        ASSERT_FALSE(px.argb.empty());
        int transparent = 0;
        for (uint32_t v : px.argb) transparent += (v >> 24) != 255;
        EXPECT_EQ(0, transparent) << "child pictures are drawn over black memory bitmaps";
    }

    struct Back {
        UINT id;
        RECT child;
    };
    for (const Back& b : {Back{148, {5, 4, 405, 604}}, Back{206, {5, 4, 405, 604}},
                          Back{155, {14, 12, 218, 116}}, Back{169, {5, 3, 325, 143}},
                          Back{212, {5, 3, 325, 143}}, Back{186, {5, 4, 405, 472}},
                          Back{201, {1, 1, 539, 384}}}) {
        SCOPED_TRACE(b.id);
        Pixels px = Decode(b.id);
        ASSERT_FALSE(px.argb.empty());
        for (UINT x = 0; x < px.width; ++x) {
            ASSERT_EQ(0, px.Alpha(x, px.height - 1)) << "x " << x;
        }
        for (UINT y = 0; y < px.height; ++y) {
            ASSERT_EQ(0, px.Alpha(px.width - 1, y)) << "y " << y;
        }
        for (LONG y = b.child.top; y < b.child.bottom; y += 7) {
            for (LONG x = b.child.left; x < b.child.right; x += 7) {
                ASSERT_EQ(255, px.Alpha(x, y)) << x << "," << y;
            }
        }
    }

    for (UINT id : {161u, 162u, 163u, 164u, 197u, 198u, 199u, 200u, 202u, 203u, 204u, 205u}) {
        SCOPED_TRACE(id);
        Pixels px = Decode(id);
        ASSERT_EQ(266u, px.width);
        int rim = 0;
        for (UINT y = 0; y < px.height; ++y) {
            for (UINT x = 0; x < px.width; ++x) {
                bool edge = x < 2 || y < 2 || x >= px.width - 2 || y >= px.height - 2;
                if (edge) rim += px.Alpha(x, y) != 0;
            }
        }
        EXPECT_EQ(0, rim);
        EXPECT_EQ(255, px.Alpha(133, 30));
        EXPECT_EQ(255, px.Alpha(12, 30));
        EXPECT_EQ(255, px.Alpha(253, 30));
    }

    struct White {
        UINT id;
        RECT area;
    };
    for (const White& w : {White{149, {0, 568, 400, 600}}, White{170, {10, 50, 310, 106}},
                           White{213, {10, 50, 310, 106}}}) {
        SCOPED_TRACE(w.id);
        Pixels px = Decode(w.id);
        ASSERT_FALSE(px.argb.empty());
        int other = 0;
        for (LONG y = w.area.top; y < w.area.bottom; ++y) {
            for (LONG x = w.area.left; x < w.area.right; ++x) other += px.At(x, y) != 0xFFFFFFFF;
        }
        EXPECT_EQ(0, other);
    }
}

// ---------------------------------------------------------------------------------
// Scroll-bar bitmap

TEST(ScrollBarBitmap, IsAnEightBitBitmapAndNotAPng) {
    win::GdiplusSession gdiplus;
    EXPECT_EQ(nullptr, ::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(196), L"PNG"));
    Gdiplus::Image* untouched = reinterpret_cast<Gdiplus::Image*>(0x1);
    EXPECT_FALSE(LoadPngResource(&untouched, 196));
    EXPECT_EQ(reinterpret_cast<Gdiplus::Image*>(0x1), untouched);

    HBITMAP bmp = static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                    MAKEINTRESOURCEW(196), IMAGE_BITMAP, 0, 0,
                                                    LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, bmp);
    BITMAP info{};
    ASSERT_NE(0, ::GetObjectW(bmp, sizeof(info), &info));
    EXPECT_EQ(117, info.bmWidth);
    EXPECT_EQ(39, info.bmHeight);
    EXPECT_EQ(8, info.bmBitsPixel);
    ::DeleteObject(bmp);
}

// The bar draws its thumb as 3-px caps plus a tiled middle: the middle rows of the
// vertical thumb (and the middle columns of the horizontal one) must all be alike.
TEST(ScrollBarBitmap, ThumbMiddleTilesSeamlessly) {
    Bytes raw = ResourceBytes(MAKEINTRESOURCEW(196), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    ASSERT_GE(raw.size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    memcpy(&header, raw.data, sizeof(header));
    ASSERT_EQ(8, header.biBitCount);
    ASSERT_EQ(BI_RGB, header.biCompression);
    const int w = header.biWidth;
    const int h = header.biHeight > 0 ? header.biHeight : -header.biHeight;
    const DWORD colors = header.biClrUsed ? header.biClrUsed : 256;
    const size_t stride = (size_t(w) + 3) & ~size_t(3);
    const uint8_t* bits = raw.data + header.biSize + colors * 4;
    ASSERT_LE(size_t(bits - raw.data) + stride * h, raw.size);
    auto index = [&](int x, int y) {
        int row = header.biHeight > 0 ? h - 1 - y : y;
        return bits[size_t(row) * stride + x];
    };
    const int c = w / 9;
    ASSERT_EQ(13, c);
    for (int state = 0; state < 3; ++state) {
        SCOPED_TRACE(state);
        int x0 = 2 * c, y0 = state * c;
        for (int y = 4; y < c - 3; ++y) {
            for (int x = 0; x < c; ++x) EXPECT_EQ(index(x0 + x, y0 + 3), index(x0 + x, y0 + y));
        }
        x0 = 6 * c;
        for (int x = 4; x < c - 3; ++x) {
            for (int y = 0; y < c; ++y) EXPECT_EQ(index(x0 + 3, y0 + y), index(x0 + x, y0 + y));
        }
    }
}

// ---------------------------------------------------------------------------------
// Dialog templates, read as the dialog manager reads DLGTEMPLATEEX.

class Reader {
public:
    explicit Reader(Bytes b) : b_(b) {}
    bool ok() const { return ok_; }
    uint16_t Word() {
        uint16_t v = 0;
        Take(&v, 2);
        return v;
    }
    uint32_t Dword() {
        uint32_t v = 0;
        Take(&v, 4);
        return v;
    }
    uint8_t Byte() {
        uint8_t v = 0;
        Take(&v, 1);
        return v;
    }
    std::wstring String() {
        std::wstring s;
        for (uint16_t c = Word(); ok_ && c; c = Word()) s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    // sz_Or_Ord: a string, or "#n" for an ordinal.
    std::wstring NameOrOrdinal() {
        uint16_t first = Word();
        if (first == 0) return L"";
        if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
        std::wstring s(1, static_cast<wchar_t>(first));
        return s + String();
    }
    void Skip(size_t n) { pos_ = n <= Left() ? pos_ + n : (ok_ = false, b_.size); }
    void AlignDword() { Skip((4 - pos_ % 4) % 4); }

private:
    size_t Left() const { return b_.size - pos_; }
    void Take(void* out, size_t n) {
        if (!ok_ || n > Left()) {
            ok_ = false;
            return;
        }
        memcpy(out, b_.data + pos_, n);
        pos_ += n;
    }
    Bytes b_;
    size_t pos_ = 0;
    bool ok_ = true;
};

struct Item {
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    std::wstring cls;
    std::wstring text;
};

struct Template {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu, cls, title, face;
    int points = 0;
    std::vector<Item> items;
    bool ok = false;
};

// Class names compare without regard to case, as the window manager looks them up;
// the predefined atoms are turned into their names.
std::wstring ClassName(const std::wstring& cls) {
    static const wchar_t* atoms[] = {L"BUTTON", L"EDIT", L"STATIC", L"LISTBOX", L"SCROLLBAR",
                                     L"COMBOBOX"};
    if (cls.size() > 1 && cls[0] == L'#') {
        int atom = std::stoi(cls.substr(1));
        if (atom >= 0x80 && atom <= 0x85) return atoms[atom - 0x80];
    }
    std::wstring upper = cls;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
    return upper;
}

Template ReadTemplate(UINT id) {
    Template t;
    Bytes raw = ResourceBytes(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!raw.data) return t;
    Reader r(raw);
    t.extended = r.Word() == 1 && r.Word() == 0xFFFF;
    if (!t.extended) return t;
    r.Dword();
    t.exStyle = r.Dword();
    t.style = r.Dword();
    const int count = r.Word();
    t.x = static_cast<short>(r.Word());
    t.y = static_cast<short>(r.Word());
    t.cx = static_cast<short>(r.Word());
    t.cy = static_cast<short>(r.Word());
    t.menu = r.NameOrOrdinal();
    t.cls = r.NameOrOrdinal();
    t.title = r.String();
    if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
        t.points = r.Word();
        r.Word();
        r.Byte();
        r.Byte();
        t.face = r.String();
    }
    for (int k = 0; k < count && r.ok(); ++k) {
        r.AlignDword();
        Item item;
        r.Dword();
        item.exStyle = r.Dword();
        item.style = r.Dword();
        r.Skip(8);
        item.id = static_cast<int>(r.Dword());
        item.cls = ClassName(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        r.Skip(r.Word());
        t.items.push_back(item);
    }
    t.ok = r.ok();
    return t;
}

constexpr DWORD kPopup = WS_POPUP | WS_SYSMENU | DS_SETFONT;
constexpr DWORD kOwnerDrawn = 0x5001000B;
constexpr DWORD kCheckBox = 0x50010003;
constexpr DWORD kText = WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT;
// The two links of the main panel are texts that Tab reaches.
constexpr DWORD kLink = kText | WS_TABSTOP;
constexpr DWORD kRichEdit = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP |
                            ES_MULTILINE | ES_READONLY | 0x2000 /* ES_DISABLENOSCROLL */;

struct ExpectedTemplate {
    UINT id;
    short cx, cy;
    DWORD style;
    DWORD exStyle;
    std::vector<Item> items;  // style, exStyle, id, class, text; in the order Tab visits them
};

std::vector<ExpectedTemplate> TemplateTable() {
    return {
        {102, 457, 369, kPopup | WS_VISIBLE, WS_EX_APPWINDOW, {}},
        {146, 457, 369, kPopup, 0,
         {{kOwnerDrawn, 0, 1016, L"Button", L"修复"},
          {kOwnerDrawn, 0, 1011, L"Button", L"更多工具"},
          {kCheckBox, 0, 1012, L"Button", L"同意"},
          {kLink, 0, 1014, L"Static", L"《Corvel服务工具使用许可协议》"},
          {kLink, 0, 1015, L"Static", L"反馈问题"},
          {kOwnerDrawn, 0, 1010, L"Button", L"最小化"},
          {kOwnerDrawn, 0, 1005, L"Button", L"关闭"},
          {kText, 0, 1013, L"Static", L"Static"}}},
        {130, 133, 75, kPopup, 0, {}},
        {129, 117, 59, kPopup, 0, {{kText, 0, 1000, L"Static", L"Static"}}},
        {139, 200, 110, kPopup, 0, {}},
        {137, 200, 110, kPopup, 0,
         {{kOwnerDrawn, 0, 1007, L"Button", L"确定"},
          {kOwnerDrawn, 0, 1008, L"Button", L"取消"},
          {kOwnerDrawn, 0, 1005, L"Button", L"关闭"},
          {kText, 0, 1006, L"Static", L"Static"}}},
        {135, 440, 343, kPopup, 0, {}},
        {131, 440, 343, kPopup, 0,
         {{kOwnerDrawn, 0, 1003, L"Button", L"解决"},
          {kOwnerDrawn, 0, 1004, L"Button", L"未解决"},
          {kOwnerDrawn, 0, 1001, L"Button", L"更多方案"},
          {kOwnerDrawn, 0, 1002, L"Button", L"关闭"}}},
        {143, 280, 240, kPopup, 0, {}},
        {141, 280, 240, kPopup, 0, {{kRichEdit, 0, 1009, L"RichEdit20W", L""}}},
    };
}

TEST(DialogTemplates, EachHasItsStylesFontAndControls) {
    for (const ExpectedTemplate& e : TemplateTable()) {
        SCOPED_TRACE(e.id);
        Template t = ReadTemplate(e.id);
        ASSERT_TRUE(t.extended);
        ASSERT_TRUE(t.ok);
        EXPECT_EQ(e.style, t.style);
        EXPECT_EQ(e.exStyle, t.exStyle);
        EXPECT_EQ(0, t.x);
        EXPECT_EQ(0, t.y);
        EXPECT_EQ(e.cx, t.cx);
        EXPECT_EQ(e.cy, t.cy);
        EXPECT_EQ(L"", t.title);
        EXPECT_EQ(L"", t.menu);
        EXPECT_EQ(L"宋体", t.face);
        EXPECT_EQ(10, t.points);
        ASSERT_EQ(e.items.size(), t.items.size());
        for (size_t k = 0; k < e.items.size(); ++k) {
            SCOPED_TRACE(e.items[k].id);
            EXPECT_EQ(e.items[k].id, t.items[k].id);
            EXPECT_EQ(e.items[k].style, t.items[k].style);
            EXPECT_EQ(e.items[k].exStyle, t.items[k].exStyle);
            EXPECT_EQ(ClassName(e.items[k].cls), t.items[k].cls);
            EXPECT_EQ(e.items[k].text, t.items[k].text);
        }
    }
}

TEST(DialogTemplates, AboutBoxShowsIconNameAndOk) {
    Template t = ReadTemplate(100);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(L"关于 FastMendLUMAFWU", t.title);
    EXPECT_TRUE(t.style & WS_CAPTION);
    std::vector<std::wstring> texts;
    bool ok = false, icon = false;
    for (const Item& item : t.items) {
        texts.push_back(item.text);
        ok |= item.id == IDOK && item.cls == L"BUTTON" && item.text == L"确定";
        icon |= item.cls == L"STATIC" && (item.style & SS_ICON) && item.text == L"#128";
    }
    EXPECT_TRUE(ok);
    EXPECT_TRUE(icon);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"FastMendLUMAFWU，版本 1.0"));
    EXPECT_EQ(4u, t.items.size());
}

// ---------------------------------------------------------------------------------
// Icon, string, manifest, version

TEST(OtherResources, IconGroupHoldsThreeSizes) {
    Bytes group = ResourceBytes(MAKEINTRESOURCEW(128), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_GE(group.size, 6u);
    Reader r(group);
    r.Word();
    EXPECT_EQ(1, r.Word());
    const int count = r.Word();
    std::set<int> sizes;
    for (int k = 0; k < count; ++k) {
        int w = r.Byte();
        r.Skip(13);
        sizes.insert(w);
    }
    ASSERT_TRUE(r.ok());
    EXPECT_EQ((std::set<int>{16, 32, 48}), sizes);
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(128), IMAGE_ICON, size,
                                                     size, 0));
        EXPECT_NE(nullptr, icon) << size;
        if (icon) ::DestroyIcon(icon);
    }
}

TEST(OtherResources, AboutMenuString) {
    wchar_t text[128] = {};
    ASSERT_GT(::LoadStringW(::GetModuleHandleW(nullptr), 101, text, 128), 0);
    EXPECT_STREQ(L"关于 FastMendLUMAFWU(&A)...", text);
}

TEST(OtherResources, ManifestAsksForAdminCommonControlsAndDpiAwareness) {
    Bytes m = ResourceBytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* RT_MANIFEST */);
    ASSERT_NE(nullptr, m.data);
    std::string text(reinterpret_cast<const char*>(m.data), m.size);
    for (const char* part : {"level=\"requireAdministrator\"",
                             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                             ">true</dpiAware>",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(std::string::npos, text.find(part)) << part;
    }
}

TEST(OtherResources, VersionNamesTheTool) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &handle);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);

    WORD* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(0x0804, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    for (const wchar_t* key : {L"ProductName", L"FileDescription"}) {
        std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + key;
        wchar_t* value = nullptr;
        ASSERT_TRUE(::VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                     &len))
            << key;
        EXPECT_STREQ(kToolName, value);
    }
}

}  // namespace
