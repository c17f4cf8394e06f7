// SPDX-License-Identifier: GPL-2.0-or-later
// Stand-alone test-file generator on libuemf's record writer (libuemf is
// GPL-2.0-only, so this tool is built and run by make_metafiles.sh alone and is
// never linked with the program's code). It writes the valid WMF and EMF test
// pictures that the player's renderings are compared against wmf2gd and
// emf2svg-conv with.
#include <uemf.h>
#include <uwmf.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define CHECK(x)                                                                                                       \
    do {                                                                                                               \
        if (!(x)) {                                                                                                    \
            fprintf(stderr, "failed: %s (line %d)\n", #x, __LINE__);                                                   \
            exit(1);                                                                                                   \
        }                                                                                                              \
    } while (0)

// ---------------------------------------------------------------- EMF

static EMFTRACK* et;
static EMFHANDLES* eht;

static void emf(char* rec)
{
    CHECK(rec);
    CHECK(emf_append((U_ENHMETARECORD*)rec, et, 1) == 0);
}

static void emfBegin(const char* name, int widthPx, int heightPx)
{
    CHECK(emf_start(name, 1000000, 250000, &et) == 0);
    CHECK(emf_htable_create(128, 128, &eht) == 0);
    // 96 pixels per inch on the reference device: 960 pixels over 254 mm.
    const U_SIZEL device = sizel_set(960, 960), mm = sizel_set(254, 254);
    const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(widthPx - 1, heightPx - 1));
    const U_RECTL frame = rectl_set(point32_set(0, 0), point32_set(widthPx * 2540 / 96, heightPx * 2540 / 96));
    uint16_t* desc = U_Utf8ToUtf16le("uemf_writer\0test\0", 17, NULL);
    emf(U_EMRHEADER_set(bounds, frame, NULL, 17, desc, device, mm, 0));
    free(desc);
}

static void emfEnd(void)
{
    emf(U_EMREOF_set(0, NULL, et));
    CHECK(emf_finish(et, eht) == 0);
    emf_free(&et);
    emf_htable_free(&eht);
}

static uint32_t emfPen(int style, int width, U_COLORREF c)
{
    uint32_t ih;
    emf(createpen_set(&ih, eht, logpen_set(style, point32_set(width, width), c)));
    emf(selectobject_set(ih, eht));
    return ih;
}

static uint32_t emfBrush(int style, U_COLORREF c, int hatch)
{
    uint32_t ih;
    emf(createbrushindirect_set(&ih, eht, logbrush_set(style, c, hatch)));
    emf(selectobject_set(ih, eht));
    return ih;
}

static U_RECTL R(int l, int t, int r, int b)
{
    return rectl_set(point32_set(l, t), point32_set(r, b));
}

static void emfText(int x, int y, const char* utf8, int height, U_COLORREF colour)
{
    uint32_t ih;
    uint16_t* face = U_Utf8ToUtf16le("DejaVu Sans", 0, NULL);
    U_LOGFONT lf = logfont_set(-height, 0, 0, 0, 700, 0, 0, 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
        U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_SWISS, face);
    free(face);
    U_LOGFONT_PANOSE lfp = logfont_panose_set(lf, NULL, NULL, 0, panose_set(0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    emf(extcreatefontindirectw_set(&ih, eht, NULL, (char*)&lfp));
    emf(selectobject_set(ih, eht));
    emf(U_EMRSETTEXTCOLOR_set(colour));
    emf(U_EMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT));
    emf(U_EMRSETBKMODE_set(U_TRANSPARENT));
    size_t n = 0;
    uint16_t* text = U_Utf8ToUtf16le(utf8, 0, &n);
    uint32_t* dx = dx_set(height, U_FW_BOLD, (uint32_t)n);
    char* rec = emrtext_set(point32_set(x, y), (U_NUM_STR)n, 2, text, U_ETO_NONE, U_RCL_DEF, dx);
    emf(U_EMREXTTEXTOUTW_set(U_RCL_DEF, U_GM_COMPATIBLE, 1.0, 1.0, (PU_EMRTEXT)rec));
    free(rec);
    free(dx);
    free(text);
    emf(deleteobject_set(&ih, eht));
}

static void writeShapesEmf(const char* name)
{
    emfBegin(name, 320, 240);
    uint32_t pen = emfPen(U_PS_SOLID, 3, colorref3_set(0, 0, 0));
    uint32_t brush = emfBrush(U_BS_SOLID, colorref3_set(220, 30, 30), 0);
    emf(U_EMRRECTANGLE_set(R(10, 10, 110, 70)));
    uint32_t blue = emfBrush(U_BS_SOLID, colorref3_set(30, 60, 220), 0);
    emf(U_EMRELLIPSE_set(R(120, 10, 220, 70)));
    uint32_t green = emfBrush(U_BS_SOLID, colorref3_set(30, 180, 60), 0);
    emf(U_EMRROUNDRECT_set(R(230, 10, 310, 70), sizel_set(30, 30)));
    emf(U_EMRPIE_set(R(10, 80, 90, 160), point32_set(90, 120), point32_set(50, 80)));
    emf(selectobject_set(brush, eht));
    emf(U_EMRCHORD_set(R(100, 80, 180, 160), point32_set(180, 80), point32_set(100, 160)));
    emf(U_EMRARC_set(R(190, 80, 270, 160), point32_set(270, 120), point32_set(190, 120)));
    U_POINT16 tri[3] = {{280, 160}, {300, 80}, {318, 160}};
    emf(selectobject_set(blue, eht));
    emf(U_EMRPOLYGON16_set(U_RCL_DEF, 3, tri));
    U_POINT16 bez[4] = {{10, 230}, {40, 170}, {80, 250}, {110, 180}};
    emf(U_EMRPOLYBEZIER16_set(U_RCL_DEF, 4, bez));
    uint32_t hatch = emfBrush(U_BS_HATCHED, colorref3_set(0, 0, 0), U_HS_CROSS);
    emf(U_EMRSETBKMODE_set(U_TRANSPARENT));
    uint32_t counts[2] = {4, 3};
    U_POINT16 pp[7] = {{120, 170}, {170, 170}, {170, 230}, {120, 230}, {180, 230}, {205, 170}, {230, 230}};
    emf(U_EMRPOLYPOLYGON16_set(U_RCL_DEF, 2, counts, 7, pp));
    // A path: a closed triangle-ish figure, stroked and filled.
    emf(selectobject_set(green, eht));
    emf(U_EMRBEGINPATH_set());
    emf(U_EMRMOVETOEX_set(point32_set(240, 180)));
    emf(U_EMRLINETO_set(point32_set(310, 180)));
    emf(U_EMRLINETO_set(point32_set(310, 235)));
    emf(U_EMRLINETO_set(point32_set(240, 235)));
    emf(U_EMRCLOSEFIGURE_set());
    emf(U_EMRENDPATH_set());
    emf(U_EMRSTROKEANDFILLPATH_set(U_RCL_DEF));
    emf(deleteobject_set(&hatch, eht));
    emf(deleteobject_set(&green, eht));
    emf(deleteobject_set(&blue, eht));
    emf(deleteobject_set(&brush, eht));
    emf(deleteobject_set(&pen, eht));
    emfEnd();
}

static void writeMappingEmf(const char* name)
{
    emfBegin(name, 320, 240);
    emf(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    emf(U_EMRSETWINDOWORGEX_set(point32_set(0, 0)));
    emf(U_EMRSETWINDOWEXTEX_set(sizel_set(1000, 1000)));
    emf(U_EMRSETVIEWPORTEXTEX_set(sizel_set(320, 240)));
    emfPen(U_PS_NULL, 0, colorref3_set(0, 0, 0));
    uint32_t red = emfBrush(U_BS_SOLID, colorref3_set(200, 0, 0), 0);
    emf(U_EMRRECTANGLE_set(R(50, 50, 450, 450)));
    emf(U_EMRSAVEDC_set());
    emf(U_EMRSETMAPMODE_set(U_MM_TEXT));
    emf(U_EMRSETWORLDTRANSFORM_set(xform_set(1, 0, 0, 1, 200, 120)));
    emfBrush(U_BS_SOLID, colorref3_set(0, 0, 200), 0);
    emf(U_EMRRECTANGLE_set(R(0, 0, 100, 100)));
    emf(U_EMRRESTOREDC_set(-1));
    // back in the anisotropic window, with the red brush again
    emf(U_EMRELLIPSE_set(R(550, 550, 950, 950)));
    (void)red;
    emfEnd();
}

static void writeHimetricEmf(const char* name)
{
    emfBegin(name, 320, 240);
    emf(U_EMRSETMAPMODE_set(U_MM_HIMETRIC));
    // 0.01 mm, y up: 1 cm square 1 cm right of and 1 cm below the origin
    emfPen(U_PS_SOLID, 50, colorref3_set(0, 0, 0));
    emfBrush(U_BS_SOLID, colorref3_set(250, 200, 0), 0);
    emf(U_EMRRECTANGLE_set(R(1000, -1000, 5000, -4000)));
    emfBrush(U_BS_HATCHED, colorref3_set(0, 120, 0), U_HS_DIAGCROSS);
    emf(U_EMRELLIPSE_set(R(5500, -500, 8000, -6000)));
    emfEnd();
}

static void writeTextEmf(const char* name)
{
    emfBegin(name, 320, 120);
    emfText(10, 60, "Amiga EMF", 40, colorref3_set(0, 0, 160));
    emfText(10, 110, "caff\xc3\xa8", 30, colorref3_set(160, 0, 0));
    emfEnd();
}

static void writeBitmapEmf(const char* name)
{
    emfBegin(name, 160, 160);
    // a 4 x 4 24-bit bitmap, bottom-up: bottom rows red/green, top rows blue/white
    U_BITMAPINFOHEADER bh = bitmapinfoheader_set(4, 4, 1, 24, U_BI_RGB, 48, 2835, 2835, 0, 0);
    PU_BITMAPINFO bmi = bitmapinfo_set(bh, NULL);
    char px[48];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            unsigned char* p = (unsigned char*)px + y * 12 + x * 3;  // B G R
            const int top = y >= 2, right = x >= 2;
            p[0] = top ? (right ? 255 : 255) : 0;
            p[1] = top ? (right ? 255 : 0) : (right ? 200 : 0);
            p[2] = top ? (right ? 255 : 0) : (right ? 0 : 220);
        }
    emf(U_EMRSTRETCHDIBITS_set(U_RCL_DEF, point32_set(0, 0), point32_set(160, 160), point32_set(0, 0),
        point32_set(4, 4), U_DIB_RGB_COLORS, U_SRCCOPY, bmi, 48, px));
    free(bmi);
    emfEnd();
}

// ---------------------------------------------------------------- WMF

static WMFTRACK* wt;
static WMFHANDLES* wht;

static void wmf(char* rec)
{
    CHECK(rec);
    CHECK(wmf_append((U_METARECORD*)rec, wt, 1) == 0);
}

static U_RECT16 R16(int l, int t, int r, int b)
{
    return U_RECT16_set(point16_set(l, t), point16_set(r, b));
}

// placeable: width and height in inches at 1440 units per inch; else a
// standard WMF with the window 0,0 - 320,240.
static void wmfBegin(const char* name, int placeable)
{
    CHECK(wmf_start(name, 1000000, 250000, &wt) == 0);
    CHECK(wmf_htable_create(128, 128, &wht) == 0);
    U_PAIRF size = {4.0f, 3.0f};
    CHECK(wmf_header_append((U_METARECORD*)U_WMRHEADER_set(placeable ? &size : NULL, placeable ? 1440 : 0), wt, 1)
        == 0);
    if (placeable) {
        wmf(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
        wmf(U_WMRSETWINDOWEXT_set(point16_set(5760, 4320)));
    } else {
        wmf(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        wmf(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
        wmf(U_WMRSETWINDOWEXT_set(point16_set(320, 240)));
    }
}

static void wmfEnd(void)
{
    wmf(U_WMREOF_set());
    CHECK(wmf_finish(wt) == 0);
    wmf_free(&wt);
    wmf_htable_free(&wht);
}

static uint32_t wmfPen(int style, int width, U_COLORREF c)
{
    uint32_t ih;
    wmf(wcreatepenindirect_set(&ih, wht, U_PEN_set(style, width, c)));
    wmf(wselectobject_set(ih, wht));
    return ih;
}

static uint32_t wmfBrush(int style, U_COLORREF c, int hatch)
{
    uint32_t ih;
    wmf(wcreatebrushindirect_set(&ih, wht, U_WLOGBRUSH_set(style, c, hatch)));
    wmf(wselectobject_set(ih, wht));
    return ih;
}

static void wmfDelete(uint32_t ih)
{
    wmf(wdeleteobject_set(&ih, wht));
}

// Draws in a 320 x 240 design grid scaled by `s`.
static void wmfShapes(int s)
{
    uint32_t pen = wmfPen(U_PS_SOLID, 3 * s, colorref3_set(0, 0, 0));
    uint32_t red = wmfBrush(U_BS_SOLID, colorref3_set(220, 30, 30), 0);
    wmf(U_WMRRECTANGLE_set(R16(10 * s, 10 * s, 110 * s, 70 * s)));
    uint32_t blue = wmfBrush(U_BS_SOLID, colorref3_set(30, 60, 220), 0);
    wmf(U_WMRELLIPSE_set(R16(120 * s, 10 * s, 220 * s, 70 * s)));
    uint32_t green = wmfBrush(U_BS_SOLID, colorref3_set(30, 180, 60), 0);
    wmf(U_WMRROUNDRECT_set(30 * s, 30 * s, R16(230 * s, 10 * s, 310 * s, 70 * s)));
    wmf(U_WMRPIE_set(point16_set(90 * s, 120 * s), point16_set(50 * s, 80 * s), R16(10 * s, 80 * s, 90 * s, 160 * s)));
    wmf(wselectobject_set(red, wht));
    wmf(U_WMRCHORD_set(
        point16_set(180 * s, 80 * s), point16_set(100 * s, 160 * s), R16(100 * s, 80 * s, 180 * s, 160 * s)));
    wmf(U_WMRARC_set(
        point16_set(270 * s, 120 * s), point16_set(190 * s, 120 * s), R16(190 * s, 80 * s, 270 * s, 160 * s)));
    U_POINT16 tri[3] = {{280 * s, 160 * s}, {300 * s, 80 * s}, {318 * s, 160 * s}};
    wmf(wselectobject_set(blue, wht));
    wmf(U_WMRPOLYGON_set(3, tri));
    U_POINT16 line[4] = {{10 * s, 230 * s}, {40 * s, 170 * s}, {80 * s, 230 * s}, {110 * s, 180 * s}};
    wmf(U_WMRPOLYLINE_set(4, line));
    uint32_t hatch = wmfBrush(U_BS_HATCHED, colorref3_set(0, 0, 0), U_HS_CROSS);
    wmf(U_WMRSETBKMODE_set(U_TRANSPARENT));
    uint16_t counts[2] = {4, 3};
    U_POINT16 pp[7] = {{120 * s, 170 * s}, {170 * s, 170 * s}, {170 * s, 230 * s}, {120 * s, 230 * s},
        {180 * s, 230 * s}, {205 * s, 170 * s}, {230 * s, 230 * s}};
    wmf(U_WMRPOLYPOLYGON_set(2, counts, pp));
    wmf(wselectobject_set(green, wht));
    wmf(U_WMRSAVEDC_set());
    wmfPen(U_PS_NULL, 0, colorref3_set(0, 0, 0));
    wmf(U_WMRRECTANGLE_set(R16(240 * s, 180 * s, 310 * s, 235 * s)));
    wmf(U_WMRRESTOREDC_set(-1));
    wmf(U_WMRMOVETO_set(point16_set(240 * s, 180 * s)));
    wmf(U_WMRLINETO_set(point16_set(310 * s, 235 * s)));
    wmfDelete(hatch);
    wmfDelete(green);
    wmfDelete(blue);
    wmfDelete(red);
    wmfDelete(pen);
}

static void writeTextWmf(const char* name)
{
    wmfBegin(name, 0);
    uint32_t ih;
    U_FONT* font = U_FONT_set(-40, 0, 0, 0, 700, 0, 0, 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS, U_CLIP_DEFAULT_PRECIS,
        U_DEFAULT_QUALITY, U_DEFAULT_PITCH | U_FF_SWISS, "DejaVu Sans");
    wmf(wcreatefontindirect_set(&ih, wht, font));
    free(font);
    wmf(wselectobject_set(ih, wht));
    wmf(U_WMRSETTEXTCOLOR_set(colorref3_set(0, 0, 160)));
    wmf(U_WMRSETBKMODE_set(U_TRANSPARENT));
    wmf(U_WMRSETTEXTALIGN_set(U_TA_BASELINE | U_TA_LEFT));
    wmf(U_WMRTEXTOUT_set(point16_set(10, 80), "Amiga WMF"));
    wmf(U_WMRSETTEXTCOLOR_set(colorref3_set(160, 0, 0)));
    wmf(U_WMREXTTEXTOUT_set(point16_set(10, 180), 5, 0, "caff\xe8", NULL, R16(0, 0, 0, 0)));
    wmfEnd();
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: uemf_writer OUTDIR\n");
        return 2;
    }
    char path[4096];
#define OUT(file) (snprintf(path, sizeof path, "%s/%s", argv[1], file), path)
    writeShapesEmf(OUT("uemf_shapes.emf"));
    writeMappingEmf(OUT("uemf_mapping.emf"));
    writeHimetricEmf(OUT("uemf_himetric.emf"));
    writeTextEmf(OUT("uemf_text.emf"));
    writeBitmapEmf(OUT("uemf_bitmap.emf"));
    wmfBegin(OUT("uemf_placeable.wmf"), 1);
    wmfShapes(18);
    wmfEnd();
    wmfBegin(OUT("uemf_standard.wmf"), 0);
    wmfShapes(1);
    wmfEnd();
    writeTextWmf(OUT("uemf_text.wmf"));
    return 0;
}
